#include "Components.h"

#include "Prjrep/StandIns.h"

namespace Prjrep {

void RegisterComponents() {
  standins::RegisterRepository();
  standins::RegisterRegistry();
  standins::RegisterEvent();
  standins::RegisterOperationGate();
  standins::RegisterAutonyms();
  standins::RegisterRelayAndAttachment();
  standins::RegisterFileNameHelper();
  standins::RegisterStringSet();
  standins::RegisterNameObject();
  standins::RegisterMemoryStorage();
  standins::RegisterSharedConstraintMgr();
  standins::RegisterSharedOperationGate();
}

}  // namespace Prjrep

extern "C" void InstFactoryEntry() { Prjrep::RegisterComponents(); }
