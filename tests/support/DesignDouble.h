#pragma once
// A design that gives the base services' data store and property manager, and a recorder of
// the events that reach it. Files and projects are tried on it until the real design exists.

#include <utility>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/BaseStandIn.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/IDesign.h"
#include "Prjrep/IEvents.h"
#include "core/Events.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace testing_support {

inline CitI::IInterface* Root(CitI::IInterface* object) {
  return object != nullptr ? object->QueryInterface(CitI::IInterface::GetIID()) : nullptr;
}

// The project, when one is set, is not counted: the project holds the design.
struct DesignDouble : Hvd::TComponent<DesignDouble, Hvd::IDesign> {
  using Status = Hvd::Status;
  static constexpr Status kNo = Hvd::kNotSupported;
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IDesign>(this), Hvd::Row<Prjrep::IRefCount>(&count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Status GetDesignPlatform(Hvd::IDesignPlatform**) override { return kNo; }
  Status SetDesignPlatform(Hvd::IDesignPlatform*) override { return kNo; }
  Status GetDesignUnits(Hvd::IHdlDesignUnitIterator**) override { return kNo; }
  Status GetTOE(Hvd::ITransformEngine**) override { return kNo; }
  Status GetDataStore(Hvd::IDataStore** out) override {
    return Prjrep::AutoOut<Hvd::IDataStore>(out).Assign(store.Get());
  }
  Status GetPropertyManager(Hvd::IPropertyManager** out) override {
    return Prjrep::AutoOut<Hvd::IPropertyManager>(out).Assign(manager.Get());
  }
  Status GetProject(Hvd::IProject** out) override {
    Prjrep::AutoOut<Hvd::IProject>(out).Assign(project);
    return project != nullptr ? Hvd::kSuccess : Hvd::kOwnerMissing;
  }
  Status GetDefaultParserConfig(Hvd::IHdlParserConfig**) override { return kNo; }

  // The base services' store and a new property manager; false when they cannot be had.
  bool UseBaseServices() {
    if (!CitP::Factory::LoadLibraryFactory("libHvd_Base")) return false;
    Prjrep::AutoRelease<Hvd::IBaseServices> services(CitP::Factory::CreateInstance(Hvd::BaseServicesClassId()));
    if (!services) return false;
    Prjrep::AutoRelease<CitI::IInterface> found;
    std::ignore = services->GetService(Hvd::DataStoreServiceId(), found.Receive());
    store = Prjrep::AutoCast<Hvd::IDataStore>(found.Get()).Get();
    manager = Prjrep::AutoRelease<Hvd::IPropertyManager>(CitP::Factory::CreateInstance(Hvd::PropertyManagerClassId()));
    return store && manager;
  }

  Prjrep::AutoPtr<Hvd::IDataStore> store;
  Prjrep::AutoPtr<Hvd::IPropertyManager> manager;
  Hvd::IProject* project = nullptr;
  Prjrep::TRefCountHelper<DesignDouble> count{this};
};

// Every event heard, as its sender's identity and its id.
struct Recorder {
  using Heard = std::vector<std::pair<CitI::IInterface*, Port::XUID>>;
  static Hvd::Status Record(Recorder* self, Prjrep::IEvent* event) {
    Prjrep::AutoRelease<CitI::IInterface> sender;
    Port::XUID id;
    std::ignore = event->GetSender(sender.Receive());
    std::ignore = event->GetEventId(id);
    self->heard.emplace_back(Root(sender.Get()), id);
    return Hvd::kSuccess;
  }
  void Listen(CitI::IInterface* sender) { Hvd::ConnectEventReceiver(sender, &receiver); }
  std::vector<Port::XUID> Ids() const {
    std::vector<Port::XUID> ids;
    for (const auto& heardOne : heard) ids.push_back(heardOne.second);
    return ids;
  }
  Heard heard;
  Prjrep::TBaseEventReceiverHelper<Recorder> receiver{this, &Record};
};

}  // namespace testing_support
