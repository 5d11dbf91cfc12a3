// velsh: the suite's Tcl shell. A Tcl 8.6 shell with the host library, the project
// repository and the design-data library loaded, and a `component` command that creates
// and inspects components by id.

#include <tcl.h>

#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>

#include "CitP/Factory.h"
#include "CommonI/IRefCount.h"
#include "Prjrep/IRefCount.h"
#include "Prjrep/StandIns.h"

namespace {

// Components created from Tcl, by handle; each holds the creation reference.
std::map<std::string, CitI::IInterface*> g_components;
unsigned long g_nextHandle = 1;

void GiveUp(CitI::IInterface* object) {
  if (auto* count = static_cast<Prjrep::IRefCount*>(object->QueryInterface(Prjrep::IRefCount::GetIID()))) {
    count->Release();
  } else if (auto* common = static_cast<CommonI::IRefCount*>(object->QueryInterface(CommonI::IRefCount::GetIID()))) {
    common->Release();
  }
}

int Fail(Tcl_Interp* interp, const std::string& message) {
  Tcl_SetObjResult(interp, Tcl_NewStringObj(message.c_str(), -1));
  return TCL_ERROR;
}

// Ids are accepted with or without their braces, since Tcl reads braces as quoting.
bool ParseId(Tcl_Interp* interp, Tcl_Obj* text, Port::XUID& id) {
  std::string braced = Tcl_GetString(text);
  if (braced.empty() || braced.front() != '{') braced = "{" + braced + "}";
  try {
    id = Port::XUID(braced.c_str());
    return true;
  } catch (const std::invalid_argument&) {
    Fail(interp, std::string("malformed id \"") + Tcl_GetString(text) + "\"");
    return false;
  }
}

CitI::IInterface* Lookup(Tcl_Interp* interp, Tcl_Obj* handle) {
  const auto found = g_components.find(Tcl_GetString(handle));
  if (found == g_components.end()) Fail(interp, std::string("no component \"") + Tcl_GetString(handle) + "\"");
  return found == g_components.end() ? nullptr : found->second;
}

// component create CLASSID        -> handle
// component query HANDLE IID      -> 1 when the component answers IID, else 0
// component release HANDLE
int ComponentCmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  static const char* const kSubcommands[] = {"create", "query", "release", nullptr};
  enum { kCreate, kQuery, kRelease };
  int which = 0;
  if (objc < 2) {
    Tcl_WrongNumArgs(interp, 1, objv, "create|query|release ?arg ...?");
    return TCL_ERROR;
  }
  if (Tcl_GetIndexFromObj(interp, objv[1], kSubcommands, "subcommand", 0, &which) != TCL_OK) return TCL_ERROR;

  if (which == kCreate) {
    if (objc != 3) {
      Tcl_WrongNumArgs(interp, 2, objv, "classId");
      return TCL_ERROR;
    }
    Port::XUID clsid;
    if (!ParseId(interp, objv[2], clsid)) return TCL_ERROR;
    CitI::IInterface* object = CitP::Factory::CreateInstance(clsid);
    if (object == nullptr) return Fail(interp, std::string("no component of class ") + Tcl_GetString(objv[2]));
    const std::string handle = "component" + std::to_string(g_nextHandle++);
    g_components[handle] = object;
    Tcl_SetObjResult(interp, Tcl_NewStringObj(handle.c_str(), -1));
    return TCL_OK;
  }
  if (which == kQuery) {
    if (objc != 4) {
      Tcl_WrongNumArgs(interp, 2, objv, "handle interfaceId");
      return TCL_ERROR;
    }
    CitI::IInterface* object = Lookup(interp, objv[2]);
    Port::XUID iid;
    if (object == nullptr || !ParseId(interp, objv[3], iid)) return TCL_ERROR;
    Tcl_SetObjResult(interp, Tcl_NewBooleanObj(object->QueryInterface(iid) != nullptr));
    return TCL_OK;
  }
  if (objc != 3) {
    Tcl_WrongNumArgs(interp, 2, objv, "handle");
    return TCL_ERROR;
  }
  CitI::IInterface* object = Lookup(interp, objv[2]);
  if (object == nullptr) return TCL_ERROR;
  g_components.erase(Tcl_GetString(objv[2]));
  GiveUp(object);
  return TCL_OK;
}

void ShutDown(ClientData) {
  for (auto& entry : g_components) GiveUp(entry.second);
  g_components.clear();
  Prjrep::ResetNamedObjectRegistry();
  CitP::Factory::Shutdown();
}

int AppInit(Tcl_Interp* interp) {
  if (Tcl_Init(interp) != TCL_OK) return TCL_ERROR;
  for (const char* library : {"libPrjrep", "libHvd_DesignData"}) {
    if (!CitP::Factory::LoadLibraryFactory(library)) {
      Tcl_SetObjResult(interp, Tcl_NewStringObj((std::string("cannot load ") + library).c_str(), -1));
      return TCL_ERROR;
    }
  }
  Tcl_CreateObjCommand(interp, "component", ComponentCmd, nullptr, nullptr);
  Tcl_CreateExitHandler(ShutDown, nullptr);
  return TCL_OK;
}

}  // namespace

int main(int argc, char** argv) {
  Tcl_Main(argc, argv, AppInit);
  return 0;
}
