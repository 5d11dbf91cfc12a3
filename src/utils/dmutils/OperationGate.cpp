// The operation gate: a registered table of the keys of the operations running on objects.

#include <cinttypes>
#include <cstdint>

#include "CitP/Factory.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IStringSet.h"
#include "utils/DmUtils.h"
#include "utils/dmutils/Shared.h"

namespace Hvd {
namespace {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;
using dmutils::IdentityOf;
using dmutils::Registry;


}  // namespace

String MakeInterfaceKey(const char* prefix, CitI::IInterface* object) {
  String key;
  key.Format("%s%" PRIuPTR, prefix ? prefix : "", reinterpret_cast<std::uintptr_t>(IdentityOf(object)));
  return key;
}

OperationGateGuard::OperationGateGuard() { FindOrCreateGate(); }

OperationGateGuard::OperationGateGuard(CitI::IInterface* object, const char* prefix) {
  FindOrCreateGate();
  if (object == nullptr) return;
  const String key = MakeInterfaceKey(prefix, object);
  Enter(key, object);
  m_identity = IdentityOf(object);
  m_key = key;
}

void OperationGateGuard::FindOrCreateGate() {
  std::ignore = FindNamedObject(m_name.c_str(), m_gate.Receive());
  if (m_gate.Get() != nullptr) return;
  m_gate = AutoRelease<CitI::IInterface>(CitP::Factory::CreateInstance(Prjrep::ClassId::OperationGate()));
  if (m_gate.Get() != nullptr) std::ignore = RegisterNamedObject(Registry<CitI::IInterface>(), m_name, m_gate, true);
}

void OperationGateGuard::Enter(const String& key, CitI::IInterface* object) {
  AutoCast<Prjrep::ISimpleNamedLookup> keys(m_gate.Get());
  if (keys.Get() == nullptr) return;
  AutoRelease<CitI::IInterface> present;
  std::ignore = keys->Find(key, present.Receive());
  m_enteredAlready = present.Get() != nullptr;
  if (!m_enteredAlready) std::ignore = RegisterNamedObject(m_gate, key, IdentityOf(object), true);
}

OperationGateGuard::~OperationGateGuard() {
  if (AutoCast<Prjrep::ISimpleNamedLookup> keys(m_gate.Get()); keys.Get() != nullptr) {
    if (!m_enteredAlready && !m_key.empty()) std::ignore = keys->Unregister(m_key);
    m_identity = nullptr;
    m_key = "";
  }
  if (AutoCast<Prjrep::IStringSet> held(m_gate.Get()); held.Get() != nullptr && held->Size() == 0) {
    if (auto names = Registry<Prjrep::ISimpleNamedLookup>(); names.Get() != nullptr)
      std::ignore = names->Unregister(m_name);
    m_gate = nullptr;
  }
}

Status WithdrawFromOperationGate(const String& key) {
  AutoRelease<CitI::IInterface> gate;
  std::ignore = FindNamedObject("OperationGate", gate.Receive());
  AutoCast<Prjrep::ISimpleNamedLookup> keys(gate.Get());
  return keys.Get() != nullptr ? keys->Unregister(key) : kFailure;
}

Status CloseOperationGate(CitI::IInterface* object, CitI::IInterface* project) {
  OperationGateGuard guard(project, "close");
  AutoRelease<IProjectHelper> helper = GetCvfProject(object, false);
  return helper.Get() ? helper->CloseProject() : kFailure;
}

}  // namespace Hvd
