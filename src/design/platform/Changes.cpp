// How the platform follows its properties: the changes it records, the code hooks it runs and
// the one event that tells its receivers what changed.

#include <cstdint>
#include <utility>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/EventIds.h"
#include "Prjrep/ClassIds.h"
#include "design/platform/CDesignPlatform.h"

namespace Hvd {

namespace {

struct Stamp {
  std::int64_t seconds = 0;
  std::int64_t microseconds = 0;
  bool operator==(const Stamp&) const = default;
};

// (0, 0) for an instance that keeps no timestamp.
Stamp StampOf(CitI::IInterface* instance) {
  Stamp stamp;
  if (Prjrep::AutoCast<Prjrep::ITimestamp> time(instance); time)
    std::ignore = time->GetTime(&stamp.seconds, &stamp.microseconds);
  return stamp;
}

// Runs the code hook of the instance's definition, when it has one.
void RunCodeHook(IPropertyInstance* instance) {
  Prjrep::AutoRelease<IPropertyTemplate> definition;
  std::ignore = instance->GetTemplate(definition.Receive());
  Prjrep::AutoCast<ICodeHookDefn> hook(definition.Get());
  if (!hook) return;
  Port::StringBase<char> name;
  Port::XUID classId;
  std::ignore = hook->GetHookName(&name);
  std::ignore = hook->GetHookClassId(classId);
  if (classId == Port::XUID() || name.empty()) return;
  Prjrep::AutoRelease<ICodeHookInstance> runner(CitP::Factory::CreateInstance(classId));
  if (runner) std::ignore = runner->Run(name, instance);
}

}  // namespace

Prjrep::AutoRelease<Prjrep::IName> CreateNameFromPropertyInstance(CitI::IInterface* instance) {
  Prjrep::AutoRelease<Prjrep::IName> made;
  Prjrep::AutoCast<IPropertyInstance> property(instance);
  Port::StringBase<char> name;
  if (!property || property->GetName(&name) != kSuccess) return made;
  std::ignore = made.Assign(CitP::Factory::CreateInstance(Prjrep::ClassId::NameObject()));
  if (made) std::ignore = made->SetName(name);
  return made;
}

Status CDesignPlatform::HandleEvent(CDesignPlatform* self, Prjrep::IEvent* event) {
  if (event == nullptr) return kFailure;
  Port::XUID id;
  std::ignore = event->GetEventId(id);
  if (id == EventId::PropertyChangeA() || id == EventId::PropertyChangeB() || id == EventId::PropertyChangeC()) {
    Prjrep::AutoRelease<CitI::IInterface> instance;
    std::ignore = event->GetArgument(instance.Receive());
    self->RecordChange(instance);
  } else if (id == EventId::PropertyChangesComplete()) {
    std::ignore = self->RunCodeHooks();
  }
  return kSuccess;
}

// A change counts even when its name cannot be kept: the next notification then goes out
// with the names it has.
void CDesignPlatform::RecordChange(CitI::IInterface* instance) {
  if (Prjrep::AutoRelease<Prjrep::IName> name = CreateNameFromPropertyInstance(instance); name)
    std::ignore = m_changedNames->Add(name);
  std::ignore = m_changedStamp.SetToNow();
  ++m_changes;
}

// A hook that changes a property (its own or another's) moves that property's timestamp; only
// then are the receivers told.
Status CDesignPlatform::RunCodeHooks() {
  std::vector<Prjrep::AutoPtr<IPropertyInstance>> instances;
  Prjrep::AutoRelease<IPropertyInstanceIterator> it;
  if (m_properties.GetIterator(it.Receive()) == kSuccess && it) {
    for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) instances.emplace_back(it->Current());
  }
  bool changed = false;
  for (const auto& instance : instances) {
    const Stamp before = StampOf(instance);
    RunCodeHook(instance);
    if (!(StampOf(instance) == before)) changed = true;
  }
  if (changed) std::ignore = m_XIDesignPlatform.NotifyChanges();
  return kSuccess;
}

// The names go out in a list of their own, so that changes recorded while the receivers work
// (a rebuild sets properties too) wait for the next notification instead of being dropped.
Status CDesignPlatform::XIDesignPlatform::NotifyChanges() {
  CDesignPlatform& self = This();
  if (self.m_changes == self.m_changesNotified) return kSuccess;
  self.m_changesNotified = self.m_changes;
  Prjrep::AutoPtr<NameList> sent = std::exchange(self.m_changedNames, Prjrep::AutoRelease<NameList>(new NameList()));
  Prjrep::AutoRelease<Prjrep::INameIterator> names;
  std::ignore = sent->GetIterator(names.Receive());
  std::ignore = SendEvent(this, EventId::DesignPlatformChanged(), names);
  return kSuccess;
}

}  // namespace Hvd
