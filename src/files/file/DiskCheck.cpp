// The file on disk: whether it changed, went missing or came back since the last check.

#include <utility>

#include "Hvd/EventIds.h"
#include "Hvd/IViewManager.h"
#include "files/FileViewPlacement.h"
#include "files/file/CFile.h"
#include "files/file/GoneViews.h"
#include "files/file/UserAdded.h"
#include "utils/DmUtils.h"
#include "utils/KeyedProperty.h"

namespace Hvd {

// The check time holds the modification time seen last: all ones before the first check, 0
// while the file is missing.
Status CFile::XIHdlFile::CheckFileOnDisk() {
  CFile& self = This();
  std::int64_t lastSeconds = 0;
  std::int64_t lastMicroseconds = 0;
  std::ignore = self.m_checkTime.GetTime(&lastSeconds, &lastMicroseconds);
  // The path is the name helper's, which keeps the path last set: the file keeps no copy.
  FileStamp stamp;
  if (self.m_fileNameHelper) std::ignore = self.m_fileNameHelper->GetFullName(&stamp.path);
  stamp.Update();
  // A folder at the file's name, as a branch switch leaves one, holds no text of the file: the
  // file is off the disk until a file is there again, and keeps its entry and views meanwhile.
  if (stamp.folder) stamp.time = stamp.size = stamp.nanoseconds = 0;
  const std::int64_t lastSize = std::exchange(self.m_sizeOnDisk, stamp.size);
  const std::int64_t time = stamp.time;
  // Kept to the microsecond: a file rewritten within the second of its last check, as a script
  // does, is a change, and the parser's hand-over compares this time to see it.
  const std::int64_t microseconds = time == 0 ? 0 : stamp.nanoseconds / 1000;
  std::ignore = self.m_checkTime.SetTime(time, microseconds);

  if (lastSeconds == -1) return kSuccess;
  if (time == 0) {
    // Kept before the views let it go.
    self.RememberViewsWhenGone(lastSeconds != 0);
    // A header the user added is recorded as its includer's kind; an includer read again while
    // it is gone no longer finds it, and would leave it a source of its own kind.
    if (lastSeconds != 0 && UserAddedManagedFile(&self.m_XIHdlFile)) {
      KeepIncludedEntryWhileGone(&self.m_XIHdlFile, GetDefDataIdName(&self.m_XIFile));
    }
    std::ignore = SendEvent(this, EventId::HdlFileEvent(), this);
    return kSuccess;
  }
  // A file that comes back is not a changed one: it takes its place in the views again, a
  // user's file as a source and any other as what the views' sources include.
  if (lastSeconds == 0) {
    self.m_includedTypeWhenGone.reset();
    self.PlaceInViews(true);
    self.m_viewsWhenGone.reset();
    return kSuccess;
  }
  if (time == lastSeconds && stamp.size == lastSize && microseconds == lastMicroseconds) return kSuccess;
  std::ignore = SendEvent(this, EventId::FileChangedOnDisk(), this);
  std::ignore = SetModified(true);
  std::ignore = self.m_states.Clear();
  return kSuccess;
}

void CFile::RememberViewsWhenGone(bool wentNow) {
  if (m_viewsWhenGone && !wentNow) return;
  Prjrep::AutoRelease<IViewIterator> views;
  if (m_views.GetIterator(views.Receive()) != kSuccess || !views) return;
  auto words = std::make_unique<std::vector<ViewBranchWords>>();
  for (; !views->IsDone(); std::ignore = views->Next()) {
    IView* view = views->Current();
    words->push_back({GetKeyedPropertyValue(view, "BRANCH"), GetKeyedPropertyValue(view, "SUBBRANCH")});
  }
  // Found gone by an open, the file is in the views the project file gave it: those its classes
  // name. The views take most such files as they are read; a header, which is its includer's
  // kind only while found on the disk, they cannot, and it keeps them all the same.
  if (!wentNow && words->empty()) {
    Prjrep::AutoCast<IViewManager> manager(m_design.Get());
    if (manager && manager->GetViews(views.ReleaseAndReceive()) == kSuccess && views) {
      for (; !views->IsDone(); std::ignore = views->Next()) {
        IView* view = views->Current();
        String branch = GetKeyedPropertyValue(view, "BRANCH");
        if (m_XIViewClassAssociation.TestBit(ViewClassOfBranch(branch.str())))
          words->push_back({std::move(branch), GetKeyedPropertyValue(view, "SUBBRANCH")});
      }
    }
  }
  if (wentNow || !words->empty()) m_viewsWhenGone = std::move(words);
}

bool IsOffTheDisk(CitI::IInterface* file) {
  Prjrep::AutoCast<Prjrep::ITimestamp> checked(file);
  std::int64_t seconds = -1;
  std::int64_t microseconds = 0;
  return checked && checked->GetTime(&seconds, &microseconds) == kSuccess && seconds == 0;
}

void KeepIncludedEntryWhileGone(CitI::IInterface* file, const Port::StringBase<char>& typeName) {
  CFile* own = CFile::Of(file);
  if (own == nullptr || typeName.empty() || !IsOffTheDisk(file)) return;
  own->m_includedTypeWhenGone = std::make_unique<CFile::String>(typeName);
}

const Port::StringBase<char>* IncludedTypeWhileGone(CitI::IInterface* file) {
  const CFile* own = CFile::Of(file);
  return own != nullptr && IsOffTheDisk(file) ? own->m_includedTypeWhenGone.get() : nullptr;
}

const std::vector<ViewBranchWords>* ViewsWhenGone(CitI::IInterface* file) {
  const CFile* own = CFile::Of(file);
  return own != nullptr ? own->m_viewsWhenGone.get() : nullptr;
}

Status CFile::XIHdlFile::SetModified(bool modified) {
  This().m_modified = modified;
  if (modified) std::ignore = SendEvent(this, EventId::FileModified(), this);
  return kSuccess;
}

}  // namespace Hvd
