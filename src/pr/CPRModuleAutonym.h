#pragma once

#include "Hvd/ClassIds.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IAutonym.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Persist.h"
#include "core/RefCount.h"

namespace Hvd {

// The named record of a reconfigurable module: it names the module by the module's
// instance id and finds it again among the modules of a configuration manager.
class CPRModuleAutonym : public TComponent<CPRModuleAutonym> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::PRModuleAutonym(); }

  CPRModuleAutonym() = default;
  CPRModuleAutonym(const CPRModuleAutonym&) = delete;
  CPRModuleAutonym& operator=(const CPRModuleAutonym&) = delete;

  auto QueryTable() {
    return Table(Row<Prjrep::IAutonym>(&m_XISaveAutonym), Row<Prjrep::ISaveAutonym>(&m_XISaveAutonym),
                 Row<Prjrep::IPersist>(&m_persist), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(&m_XISaveAutonym));
  }

  // Binds the module and takes its instance id.
  void SetObject(CitI::IInterface* object);

  Status LoadFrom(Prjrep::IStorage* storage);
  Status SaveTo(Prjrep::IStorage* storage);

 private:
  struct XISaveAutonym : TNested<CPRModuleAutonym, Prjrep::ISaveAutonym> {
    using TNested::TNested;
    Status Resolve(CitI::IInterface* context, CitI::IInterface** object) override;
    Status GetName(Port::StringBase<char>* name) override;
    Status GetObject(CitI::IInterface** object) override;
    Status IsSame(CitI::IInterface* other, bool* same) override;
    Status SaveObject(CitI::IInterface*) override { return kSuccess; }
    Status CloseObject(CitI::IInterface* context) override;
  } m_XISaveAutonym{this};

  Prjrep::TPersistHelper<CPRModuleAutonym> m_persist{this};
  Prjrep::TRefCountHelper<CPRModuleAutonym> m_refCount{this};
  Port::XUID m_moduleId{};
  Prjrep::AutoPtr<CitI::IInterface> m_object;
};

}  // namespace Hvd
