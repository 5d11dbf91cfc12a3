#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// A project kept together with its files in one directory.
class CDirectoryProjectBundle : public TComponent<CDirectoryProjectBundle> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::DirectoryProjectBundle(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CDirectoryProjectBundle> m_refCount{this};
};

}  // namespace Hvd
