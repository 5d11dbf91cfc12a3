// A file joins the views that take it as soon as it may: when a view class is added to it.

#include "files/FileViewPlacement.h"
#include "files/file/CFile.h"

namespace Hvd {

// Only a new class can make a view take the file; a class set again changes nothing.
Status CFile::XIViewClassAssociation::SetBit(std::uint32_t viewClass) {
  CFile& self = This();
  const std::uint32_t bit = 1u << (viewClass % 32);
  const bool added = (self.m_viewClassMask & bit) == 0;
  self.m_viewClassMask |= bit;
  if (added) self.PlaceInViews();
  return kSuccess;
}

void CFile::PlaceInViews(bool backOnDisk) { PlaceFileInViews(&m_XIFile, m_design.Get(), backOnDisk); }

}  // namespace Hvd
