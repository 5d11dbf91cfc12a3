#pragma once
// The project look-ups of the shared utilities, for other libraries through one interface.

#include "Hvd/ClassIds.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// Stateless: each operation hands its arguments to the utility of the same name.
class CProjRefUtils : public TComponent<CProjRefUtils, IProjRefUtils> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ProjRefUtils(); }

  CProjRefUtils() = default;
  CProjRefUtils(const CProjRefUtils&) = delete;
  CProjRefUtils& operator=(const CProjRefUtils&) = delete;

  auto QueryTable() {
    return Table(Row<IProjRefUtils>(this), Row<CitI::IInterface>(this), Row<Prjrep::IRefCount>(&m_refCount));
  }

  // Each writes its output and answers 1, what is not found being null or an empty path;
  // 0x1000000200000011 when there is no output.
  Status GetOwningProject(CitI::IInterface* object, IProject** project) override;
  Status GetObjectFullPath(Port::StringBase<char>* path, CitI::IInterface* object) override;
  Status GetActiveProjectOfRepository(const Port::StringBase<char>& repository, IProject** project) override;
  // Looks only: a missing Cvf project is not created.
  Status GetCvfProject(CitI::IInterface* object, IProjectHelper** helper) override;

 private:
  Prjrep::TRefCountHelper<CProjRefUtils> m_refCount{this};
};

}  // namespace Hvd
