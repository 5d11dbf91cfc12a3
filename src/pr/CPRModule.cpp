#include "pr/CPRModule.h"

#include "Port/MsgMan.h"
#include "core/XmlChars.h"
#include "pr/CPRModuleAutonym.h"
#include "pr/PRShared.h"
#include "utils/DmUtils.h"
#include "utils/Factory.h"

namespace Hvd {

CPRModule::CPRModule() : m_flavors(static_cast<IFlavorSet*>(new CFlavorSetHelper)) {}

Status CPRModule::XIPRModule::GetInstancePath(Port::StringBase<char>& path) {
  path = This().m_instancePath;
  return kSuccess;
}

Status CPRModule::XIPRModule::GetAuxiliaryString(Port::StringBase<char>& text) {
  text = This().m_auxiliary;
  return kSuccess;
}

Status CPRModule::XIPRModule::GetFlavorSet(IFlavorSet** flavors) {
  if (flavors == nullptr) return kFailure;
  Prjrep::AutoOut<IFlavorSet> out(flavors);
  std::ignore = out.Assign(This().m_flavors.Get());
  return *flavors != nullptr ? kSuccess : kFailure;
}

Status CPRModule::XIPRModule::GetActiveFlavor(IFlavor** flavor) {
  if (flavor == nullptr) return kFailure;
  Prjrep::AutoOut<IFlavor> out(flavor);
  std::ignore = out.Assign(This().m_activeFlavor.Get());
  return *flavor != nullptr ? kSuccess : kFailure;
}

Status CPRModule::XIPRModule::SetActiveFlavor(IFlavor* flavor) {
  This().HoldActiveFlavor(flavor);
  std::ignore = RegisterNamedObject(GetNamedObjectRegistryCLSID(), "ActiveFlavor", flavor, true);
  return kSuccess;
}

Status CPRModule::XIPRModule::FindFlavorWithGivenName(const Port::StringBase<char>& name, IFlavor** flavor) {
  if (flavor == nullptr) {
    Port_MsgManData::debugStub("ERROR: Invalid output parameter.\n");
    return kFailure;
  }
  Prjrep::AutoOut<IFlavor> out(flavor);
  if (name.empty()) {
    Port_MsgManData::debugStub("CPRModule::XIPRModule::FindFlavorWithGivenName -- blank flavor name.\n");
    return kFailure;
  }
  Prjrep::AutoRelease<IFlavorSet> set;
  std::ignore = GetFlavorSet(set.Receive());
  if (set.Get() == nullptr) {
    Port_MsgManData::debugStub("iFlavorSet, of type IFlavorSet");
    return kFailure;
  }
  Prjrep::AutoRelease<IFlavorIterator> it;
  std::ignore = set->GetIterator(it.Receive());
  if (it.Get() == nullptr) {
    Port_MsgManData::debugStub("iFlavorIter, of type IFlavorIter");
    return kFailure;
  }
  for (; !it->IsDone(); std::ignore = it->Next()) {
    Port::StringBase<char> flavorName;
    if (Prjrep::AutoCast<Prjrep::IName> named(it->Current()); named.Get() != nullptr)
      std::ignore = named->GetName(flavorName);
    if (flavorName.str() == name.str()) {
      std::ignore = out.Assign(it->Current());
      break;
    }
  }
  return *flavor != nullptr ? kSuccess : kFailure;
}

Status CPRModule::XISettablePRModule::SetInstancePath(const Port::StringBase<char>& path) {
  // The path names the module's partition, which the project's files hold.
  if (!XmlFits("ProjectMgmt", "The instance path", path.str())) return kInvalidParameter;
  This().m_instancePath = path;
  return kSuccess;
}

Status CPRModule::XISettablePRModule::SetAuxiliaryString(const Port::StringBase<char>& text) {
  This().m_auxiliary = text;
  return kSuccess;
}

Status CPRModule::XISettablePRModule::AddFlavor(IFlavor* flavor) {
  IFlavorSet* set = This().m_flavors.Get();
  // After a teardown the module has no set; it takes no flavor any more.
  if (flavor == nullptr || set == nullptr) return kFailure;
  Prjrep::AutoRelease<IFlavorIterator> it;
  std::ignore = set->GetIterator(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    if (it->Current() == flavor) return kFailure;
  }
  return set->Add(flavor);
}

Status CPRModule::XISettablePRModule::RemoveFlavor(IFlavor* flavor) {
  CPRModule& self = This();
  if (flavor != nullptr && pr::SameObject(self.m_activeFlavor.Get(), flavor)) std::ignore = SetActiveFlavor(nullptr);
  IFlavorSet* set = self.m_flavors.Get();
  if (flavor == nullptr || set == nullptr) return kFailure;
  Prjrep::AutoRelease<IFlavorIterator> it;
  std::ignore = set->GetIterator(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    if (it->Current() != flavor) continue;
    if (Prjrep::AutoCast<ISettableFlavor> settable(flavor); settable.Get() != nullptr)
      std::ignore = settable->SetPRModule(nullptr);
    return set->Remove(it);
  }
  return kFailure;
}

Status CPRModule::XISettablePRModule::SetActiveFlavor(IFlavor* flavor) {
  This().HoldActiveFlavor(flavor);
  return kSuccess;
}

Status CPRModule::XIAutoNaming::GetAutonym(Prjrep::IAutonym** autonym) {
  if (autonym == nullptr) return kFailure;
  auto* made = new CPRModuleAutonym;
  made->SetObject(&This().m_XIPRModule);
  Prjrep::AutoRelease<Prjrep::IAutonym> held(made);
  *autonym = held.Detach();
  return *autonym != nullptr ? kSuccess : kFailure;
}

Status CPRModule::XICompAdmin::Teardown() {
  CPRModule& self = This();
  std::ignore = ForwardToNamedObjectRegistry(this);
  Status result = kSuccess;
  // Taken out first: closing a flavor's project may reach back into the module.
  Prjrep::AutoRelease<IFlavorSet> flavors(std::move(self.m_flavors));
  Prjrep::AutoRelease<IFlavorIterator> it;
  if (flavors.Get() != nullptr) std::ignore = flavors->GetIterator(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    const Status closed = SaveOwningCvfProject(it->Current(), nullptr);
    if (closed != kSuccess) result = closed;
    // The flavor goes with the module: an autonym of its project file resolved later is a
    // flavor made again, not this one.
    std::ignore = ForwardToNamedObjectRegistry(it->Current());
  }
  return result;
}

Status CPRModule::SaveTo(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kFailure;
  // The first failed write is the answer: a record cut short is no saved record.
  const Port::StringBase<char>* const texts[] = {&m_name.Name(), &m_instancePath, &m_auxiliary};
  for (const Port::StringBase<char>* text : texts) {
    if (const Status status = storage->WriteString(text); status != kSuccess) return status;
  }
  IFlavorSet* set = m_flavors.Get();
  const std::size_t count = set != nullptr ? set->Size() : 0;
  if (const Status status = storage->WriteInt32(static_cast<std::int32_t>(count)); status != kSuccess) return status;
  if (set == nullptr) return kSuccess;
  Prjrep::AutoRelease<IFlavorIterator> it;
  std::ignore = set->GetIterator(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    if (const Status status = PersistObjectAutonym(storage, it->Current()); status != kSuccess) return status;
  }
  return kSuccess;
}

Status CPRModule::LoadFrom(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kFailure;
  // Reading stops at the first failure, so a damaged count cannot run on.
  Port::StringBase<char> name;
  if (const Status status = storage->ReadString(&name); status != kSuccess) return status;
  std::ignore = m_name.SetName(name);
  if (const Status status = storage->ReadString(&m_instancePath); status != kSuccess) return status;
  if (const Status status = storage->ReadString(&m_auxiliary); status != kSuccess) return status;
  if (m_flavors.Get() == nullptr) m_flavors.Assign(static_cast<IFlavorSet*>(new CFlavorSetHelper));
  std::int32_t count = 0;
  if (const Status status = storage->ReadInt32(&count); status != kSuccess) return status;
  for (std::int32_t i = 0; i < count; ++i) {
    Prjrep::AutoRelease<CitI::IInterface> flavor;
    if (const Status status = pr::ReadReference(storage, flavor); status != kSuccess) return status;
    std::ignore = m_flavors->Add(Prjrep::AutoCast<IFlavor>(flavor.Get()));
  }
  return kSuccess;
}

}  // namespace Hvd
