#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

// Brings a project of the older repository into the current model.
class RepoMine : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return Hvd::ClassId::RepoMine(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<RepoMine> m_refCount{this};
};
