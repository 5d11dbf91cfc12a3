#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

// Brings a project of the older repository into the current model.
class RepoMine : public Hvd::TComponent<RepoMine> {
 public:
  static const Port::XUID& GetCLSID() { return Hvd::ClassId::RepoMine(); }

  auto QueryTable() { return Hvd::Table(Hvd::Row<Prjrep::IRefCount>(&m_refCount), Hvd::Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<RepoMine> m_refCount{this};
};
