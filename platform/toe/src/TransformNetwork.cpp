#include "TransformNetwork.h"

#include <algorithm>
#include <utility>

#include "CitP/Factory.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/IDefData.h"
#include "Hvd/ITransformBindingSets.h"
#include "Prjrep/IStorage.h"

namespace Hvd {
namespace {

using Text = Port::StringBase<char>;

using CObjectSet =
    TRefdSequenceSetHelper<CitI::IInterface*, Prjrep::ISet, Prjrep::IIterator, std::vector<CitI::IInterface*>>;
using CInstanceSet = TRefdSequenceSetHelper<ITransformInstance*, ITransformInstanceSet, ITransformInstanceIterator,
                                            std::vector<ITransformInstance*>>;

// A copy of a status list that its iterator walks on its own.
class CStatusValues final : public TComponent<CStatusValues, IStatusValueIterator> {
 public:
  explicit CStatusValues(std::vector<std::uint32_t> values) : m_values(std::move(values)) {}

  auto QueryTable() {
    return Table(Row<IStatusValueIterator>(this), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<Prjrep::IRefCountV1>(&m_refCount), Row<CitI::IInterface>(this));
  }

  std::uint32_t Current() override { return IsDone() ? 0 : m_values[m_at]; }
  Status Reset() override {
    m_at = 0;
    return kSuccess;
  }
  Status Next() override {
    if (IsDone()) return kFailure;
    ++m_at;
    return kSuccess;
  }
  bool IsDone() override { return m_at >= m_values.size(); }

 private:
  Prjrep::TRefCountHelper<CStatusValues> m_refCount{this};
  std::vector<std::uint32_t> m_values;
  std::size_t m_at = 0;
};

// Values that call for a run of the transform.
bool CallsForRun(std::uint32_t value) {
  return value == kNeverRun || value == kReset || (value >= kOutOfDateForInputs && value <= kOutOfDateForced) ||
         (value >= kInputAdded && value <= kOutputRemoved);
}

// The elements of a set, each kept alive while the caller works through them.
std::vector<Prjrep::AutoPtr<CitI::IInterface>> Snapshot(Prjrep::ISet* set) {
  std::vector<Prjrep::AutoPtr<CitI::IInterface>> elements;
  Prjrep::AutoRelease<Prjrep::IIterator> it;
  if (set == nullptr || set->GetIterator(it.Receive()) != kSuccess || !it) return elements;
  for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) elements.emplace_back(it->Current());
  return elements;
}

// The holder's first or second binding set, or nothing.
Prjrep::AutoRelease<ITransformBindingInstanceSet> BindingSetOf(CitI::IInterface* holder, bool firstSide) {
  Prjrep::AutoCast<ITransformBindingSets> sets(holder);
  Prjrep::AutoRelease<ITransformBindingInstanceSet> set;
  if (sets && firstSide) std::ignore = sets->GetFirstBindingSet(set.Receive());
  if (sets && !firstSide) std::ignore = sets->GetSecondBindingSet(set.Receive());
  return set;
}

// Hands out a held object through an operation's output argument.
template <class I, class Held>
Status HandOut(const Prjrep::AutoPtr<Held>& held, I** out) {
  Prjrep::AutoOut<I> result(out);
  if (out == nullptr) return kInvalidParameter;
  return held ? result.Assign(held.Get()) : kFailure;
}

}  // namespace

Prjrep::AutoRelease<Prjrep::ISet> NewObjectSet() { return Prjrep::AutoRelease<Prjrep::ISet>(new CObjectSet()); }

CTransform::CTransform(CitI::IInterface* definition, std::string name) : m_name(std::move(name)) {
  std::ignore = m_definition.Assign(definition);
}

Status CTransform::XITransform::GetInputTypes(IDefDataIdIterator** types) {
  Prjrep::AutoOut<IDefDataIdIterator> cleared(types);
  Prjrep::AutoCast<ITransformDefinition> definition(This().m_definition.Get());
  return definition ? definition->GetInputTypes(types) : kFailure;
}

Status CTransform::XITransform::GetOutputTypes(IDefDataIdIterator** types) {
  Prjrep::AutoOut<IDefDataIdIterator> cleared(types);
  Prjrep::AutoCast<ITransformDefinition> definition(This().m_definition.Get());
  return definition ? definition->GetOutputTypes(types) : kFailure;
}

Status CTransform::XIDefDataId::GetDefDataIdName(Text* name) {
  if (name == nullptr) return kInvalidParameter;
  *name = Text(This().m_name);
  return kSuccess;
}

bool CRunTime::IsLaterThan(CRunTime& other) {
  bool later = false;
  return m_time.IsLaterThan(&other.m_time, &later) == kSuccess && later;
}

bool CRunTime::IsSet() {
  std::int64_t seconds = 0;
  std::int64_t microseconds = 0;
  std::ignore = m_time.GetTime(&seconds, &microseconds);
  return seconds != 0 || microseconds != 0;
}

CTransformInstance::CTransformInstance(CTransform* transform)
    : m_transform(transform),
      m_inputs(NewObjectSet()),
      m_outputs(NewObjectSet()),
      m_start(Prjrep::AutoRelease<CRunTime>(new CRunTime())),
      m_end(Prjrep::AutoRelease<CRunTime>(new CRunTime())) {}

void CTransformInstance::AddValue(std::uint32_t value, bool calculated) {
  for (Value& held : m_values) {
    if (held.value != value) continue;
    held.calculated = held.calculated && calculated;  // a recorded value is no longer recalculated
    return;
  }
  m_values.push_back({value, calculated});
}

void CTransformInstance::ForgetCalculated() {
  std::erase_if(m_values, [](const Value& held) { return held.calculated; });
}

void CTransformInstance::ForgetInputs() { std::ignore = m_inputs->Clear(); }

Status CTransformInstance::XITransformInstance::GetTransform(ITransform** transform) {
  return HandOut(This().m_transform, transform);
}

Status CTransformInstance::XITransformInstance::GetInputFiles(Prjrep::ISet** files) {
  return HandOut(This().m_inputs, files);
}

Status CTransformInstance::XITransformInstance::GetOutputFiles(Prjrep::ISet** files) {
  return HandOut(This().m_outputs, files);
}

Status CTransformInstance::XITransformInstance::GetStartTime(Prjrep::ITimestamp** time) {
  return HandOut(This().m_start, time);
}

Status CTransformInstance::XITransformInstance::GetEndTime(Prjrep::ITimestamp** time) {
  return HandOut(This().m_end, time);
}

Status CTransformInstance::XITransformInstance::GetPropertyChecksum(std::int64_t* checksum) {
  if (checksum == nullptr) return kInvalidParameter;
  *checksum = This().m_propertyChecksum;
  return kSuccess;
}

Status CTransformInstance::XITransformInstance::SetPropertyChecksum(std::int64_t checksum) {
  This().m_propertyChecksum = checksum;
  return kSuccess;
}

Status CTransformInstance::XITransformInstance::GetInputChecksum(std::int64_t* checksum) {
  if (checksum == nullptr) return kInvalidParameter;
  *checksum = This().m_inputChecksum;
  return kSuccess;
}

Status CTransformInstance::XITransformInstance::SetInputChecksum(std::int64_t checksum) {
  This().m_inputChecksum = checksum;
  return kSuccess;
}

Status CTransformInstance::XIStatus::GetStatusValues(IStatusValueIterator** values) {
  Prjrep::AutoOut<IStatusValueIterator> result(values);
  if (values == nullptr) return kInvalidParameter;
  std::vector<std::uint32_t> copy;
  for (const Value& held : This().m_values) copy.push_back(held.value);
  return result.Assign(Prjrep::AutoRelease<IStatusValueIterator>(new CStatusValues(std::move(copy))));
}

Status CTransformInstance::XIStatus::HasStatusValue(std::uint32_t value, bool* has) {
  if (has == nullptr) return kInvalidParameter;
  const auto& values = This().m_values;
  *has = std::any_of(values.begin(), values.end(), [&](const Value& held) { return held.value == value; });
  return kSuccess;
}

// Values outside the table are refused, so that every value has a name to be written by.
Status CTransformInstance::XIStatus::AddStatusValue(std::uint32_t value) {
  if (value > kLastStatusValue) return kInvalidParameter;
  This().AddValue(value, false);
  return kSuccess;
}

Status CTransformInstance::XIStatus::GetStatusFlag(bool* flag) {
  if (flag == nullptr) return kInvalidParameter;
  const auto& values = This().m_values;
  *flag = std::any_of(values.begin(), values.end(), [](const Value& held) { return CallsForRun(held.value); });
  return kSuccess;
}

Status CTransformInstance::XIStatus::SetStatusValue(std::uint32_t value) {
  if (value > kLastStatusValue) return kInvalidParameter;
  This().m_values.assign(1, Value{value, false});
  return kSuccess;
}

CTransformBinding::CTransformBinding()
    : m_instances(Prjrep::AutoRelease<ITransformInstanceSet>(new CInstanceSet())),
      m_targets(NewObjectSet()),
      m_firstSide(NewObjectSet()),
      m_secondSide(NewObjectSet()) {}

Status CTransformBinding::SetInstance(CTransformInstance* instance) {
  if (instance == nullptr) return kInvalidParameter;
  m_name = instance->Transform().Name();
  std::ignore = m_definition.Assign(instance->Transform().Definition());
  return m_instances->Add(Prjrep::AutoCast<ITransformInstance>(instance));
}

Status CTransformBinding::AddTarget(CitI::IInterface* target) { return m_targets->Add(RootOf(target)); }

Status CTransformBinding::Attach(CitI::IInterface* holder, bool firstSide) {
  Prjrep::AutoRelease<ITransformBindingInstanceSet> set = BindingSetOf(holder, firstSide);
  if (!set) return kMissingInterface;
  const Status added = set->Add(&m_XITransformBindingInstance);
  if (added != kSuccess) return added;
  return (firstSide ? m_firstSide : m_secondSide)->Add(RootOf(holder));
}

void CTransformBinding::Unhook() {
  // A binding set that lets go of the binding may hold its last outside reference.
  Prjrep::AutoPtr<CitI::IInterface> keepAlive(static_cast<CitI::IInterface*>(this));
  for (const bool firstSide : {true, false}) {
    Prjrep::ISet* side = (firstSide ? m_firstSide : m_secondSide).Get();
    for (const auto& holder : Snapshot(side)) {
      Prjrep::AutoRelease<ITransformBindingInstanceSet> set = BindingSetOf(holder.Get(), firstSide);
      Prjrep::AutoRelease<ITransformBindingInstanceIterator> it;
      if (!set || set->GetIterator(it.Receive()) != kSuccess || !it) continue;
      for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next()) {
        if (RootOf(it->Current()) != keepAlive.Get()) continue;
        std::ignore = set->Remove(it);  // the set takes the holder off this side itself
        break;
      }
    }
    std::ignore = side->Clear();
  }
  std::ignore = m_targets->Clear();
  std::ignore = m_instances->Clear();
}

Status CTransformBinding::LoadFrom(Prjrep::IStorage* storage) {
  Text name;
  if (storage == nullptr) return kInvalidParameter;
  const Status status = storage->ReadString(&name);
  if (status != kSuccess) return status;
  m_name = name.str();
  std::ignore = m_definition.Assign(nullptr);
  return kSuccess;
}

Status CTransformBinding::SaveTo(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kInvalidParameter;
  const Text name(m_name);
  return storage->WriteString(&name);
}

// A binding read back knows its transform by name only; the definition is looked up then.
Status CTransformBinding::XITransformBindingInstance::GetDefinition(CitI::IInterface** definition) {
  CTransformBinding& self = This();
  if (!self.m_definition && !self.m_name.empty()) {
    Prjrep::AutoRelease<IBaseServices> services(CitP::Factory::CreateInstance(BaseServicesClassId()));
    Prjrep::AutoRelease<CitI::IInterface> service;
    if (services) std::ignore = services->GetService(DataStoreServiceId(), service.Receive());
    Prjrep::AutoRelease<IDataStore> store(std::move(service));
    Prjrep::AutoRelease<CitI::IInterface> found;
    if (store) std::ignore = store->FindDefData(Text(self.m_name), found.Receive());
    self.m_definition = std::move(found);
  }
  return HandOut(self.m_definition, definition);
}

Status CTransformBinding::XITransformBindingInstance::GetTransformInstances(ITransformInstanceIterator** instances) {
  if (instances == nullptr) return kInvalidParameter;
  return This().m_instances->GetIterator(instances);
}

Status CTransformBinding::XITransformBindingInstance::GetTargets(Prjrep::IIterator** targets) {
  if (targets == nullptr) return kInvalidParameter;
  return This().m_targets->GetIterator(targets);
}

Status CTransformBinding::XITransformBindingInstance::GetSecondSideObjects(Prjrep::ISet** objects) {
  return HandOut(This().m_secondSide, objects);
}

Status CTransformBinding::XITransformBindingInstance::GetFirstSideObjects(Prjrep::ISet** objects) {
  return HandOut(This().m_firstSide, objects);
}

// A binding made by class id takes its transform from the definition it is given.
Status CTransformBinding::XICompAdmin::InitializeAfterCreate(CitI::IInterface*, CitI::IInterface* definition) {
  Prjrep::AutoCast<IDefDataId> id(definition);
  Text name;
  if (!Prjrep::AutoCast<ITransformDefinition>(definition) || !id || id->GetDefDataIdName(&name) != kSuccess) {
    return kInvalidParameter;
  }
  CTransformBinding& self = This();
  self.m_name = name.str();
  return self.m_definition.Assign(definition);
}

}  // namespace Hvd
