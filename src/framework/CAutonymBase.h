#pragma once
// Autonyms of the configuration manager, a configuration and a flavor: named records that
// find their component again in the repository, by name or from storage, write it there
// and close it.

#include "Hvd/ClassIds.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IName.h"
#include "Prjrep/IPersist.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// The base of the autonyms: what finds, writes and closes a component through the kind's
// item in the repository. A kind says where it lives and what it is looked up by.
class CAutonymBase : public TComponent<CAutonymBase> {
 public:
  CAutonymBase() = default;
  CAutonymBase(const CAutonymBase&) = delete;
  CAutonymBase& operator=(const CAutonymBase&) = delete;

  auto QueryTable() {
    return Table(Row<Prjrep::IAutonym>(&m_XISaveAutonym), Row<Prjrep::ISaveAutonym>(&m_XISaveAutonym),
                 Row<Prjrep::IPersist>(&m_XIPersist), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(&m_XISaveAutonym));
  }

  // Where the kind lives in the repository's storage, and the name it is looked up by.
  virtual void GetSectionName(Port::StringBase<char>* name) = 0;
  virtual void GetKindName(Port::StringBase<char>* name) = 0;
  virtual void GetItemName(Port::StringBase<char>* name) = 0;
  virtual void GetLookupName(Port::StringBase<char>* name) = 0;
  virtual const Port::XUID& GetAutonymClassId() = 0;

  // The component the autonym stands for; the autonym keeps it alive.
  void SetObject(CitI::IInterface* object) { m_object.Assign(object); }

 private:
  struct XISaveAutonym : TNested<CAutonymBase, Prjrep::ISaveAutonym> {
    using TNested::TNested;
    Status Resolve(CitI::IInterface* context, CitI::IInterface** object) override;
    Status GetName(Port::StringBase<char>* name) override;
    Status GetObject(CitI::IInterface** object) override;
    Status IsSame(CitI::IInterface* other, bool* same) override;
    Status SaveObject(CitI::IInterface* context) override;
    Status CloseObject(CitI::IInterface* context) override;
  } m_XISaveAutonym{this};

  // The stored form is what the storage records of any object: class id and instance id.
  struct XIPersist : TNested<CAutonymBase, Prjrep::IPersist> {
    using TNested::TNested;
    Status PersistLoad(Prjrep::IStorage*) override { return kSuccess; }
    Status PersistSave(Prjrep::IStorage*) override { return kSuccess; }
    Status GetClassId(Port::XUID& id) override {
      id = This().GetAutonymClassId();
      return kSuccess;
    }
    Status GetId(Port::XUID& id) override {
      id = This().m_id;
      return kSuccess;
    }
    Status SetId(const Port::XUID& id) override {
      This().m_id = id;
      return kSuccess;
    }
  } m_XIPersist{this};

  Prjrep::TRefCountHelper<CAutonymBase> m_refCount{this};
  Port::XUID m_id = Port::XUID::New();
  Prjrep::AutoPtr<CitI::IInterface> m_object;
};

// The three kinds, all under "/PartialReconfig", each with one name for its kind storage,
// its item and its lookup.
template <const Port::XUID& (*ClassId)(), const char* Kind>
class TPartialReconfigAutonym final : public CAutonymBase {
 public:
  static const Port::XUID& GetCLSID() { return ClassId(); }

  void GetSectionName(Port::StringBase<char>* name) override { *name = "/PartialReconfig"; }
  void GetKindName(Port::StringBase<char>* name) override { *name = Kind; }
  void GetItemName(Port::StringBase<char>* name) override { *name = Kind; }
  void GetLookupName(Port::StringBase<char>* name) override { *name = Kind; }
  const Port::XUID& GetAutonymClassId() override { return ClassId(); }
};

inline constexpr char kConfigManagerKind[] = "ConfigManager";
inline constexpr char kConfigurationKind[] = "Configuration";
inline constexpr char kFlavorKind[] = "Flavor";

using CConfigurationMgrAutonym = TPartialReconfigAutonym<&ClassId::ConfigurationMgrAutonym, kConfigManagerKind>;
using CConfigurationAutonym = TPartialReconfigAutonym<&ClassId::ConfigurationAutonym, kConfigurationKind>;
using CFlavorAutonym = TPartialReconfigAutonym<&ClassId::FlavorAutonym, kFlavorKind>;

}  // namespace Hvd
