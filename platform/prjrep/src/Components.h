#pragma once
// The registration of each component's factory.

#include "CitP/Factory.h"
#include "Prjrep/ClassIds.h"
#include "core/Holders.h"
#include "core/Factory.h"

namespace Prjrep::standins {

void RegisterRepository();
void RegisterRegistry();
void RegisterEvent();
void RegisterOperationGate();
void RegisterAutonyms();
void RegisterRelayAndAttachment();
void RegisterFileNameHelper();
void RegisterStringSet();
void RegisterNameObject();
void RegisterMemoryStorage();
void RegisterSharedConstraintMgr();
// Puts one operation gate into the registry under "OperationGate" unless one is there;
// needs the registry's and the gate's factories.
void RegisterSharedOperationGate();

}  // namespace Prjrep::standins
