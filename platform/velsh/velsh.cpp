// velsh: the suite's Tcl shell. A Tcl 8.6 shell with the host library and every component
// library of its folder loaded (the project repository, the Tcl interpreter component, the
// design-data library, the HDL parser, the base services and the others), a `component`
// command that creates and inspects components by id, and the project commands. The shell runs
// on the interpreter component's interpreter, so scripts and the library share one interpreter.

#include <dlfcn.h>
#include <tcl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "CitP/Factory.h"
#include "Dialogs.h"
#include "Messages.h"
#include "PRCommands.h"
#include "ProjectCommands.h"
#include "TclText.h"
#include "Hvd/ITclInterp.h"
#include "Hvd/ToeTclInterp.h"
#include "Port/MsgMan.h"
#include "Port/Process.h"
#include "Prjrep/IRefCount.h"
#include "Prjrep/StandIns.h"
#include "core/RefCount.h"

namespace {

// Components created from Tcl, by handle; each holds the creation reference.
std::map<std::string, CitI::IInterface*> g_components;
unsigned long g_nextHandle = 1;

// Through the library's count or the host's, whichever the object answers.
void GiveUp(CitI::IInterface* object) { Prjrep::ReleaseInterface(object); }

// Ids are accepted with or without their braces, since Tcl reads braces as quoting. One holding a
// NUL is malformed: as a C string it would end there, its rest unread.
bool ParseId(Tcl_Interp* interp, Tcl_Obj* text, Port::XUID& id) {
  std::string braced = velsh::FromTcl(text);
  if (braced.empty() || braced.front() != '{') braced = "{" + braced + "}";
  if (braced.find('\0') == std::string::npos) {
    try {
      id = Port::XUID(braced.c_str());
      return true;
    } catch (const std::invalid_argument&) {
    }
  }
  velsh::Error(interp, "malformed id \"" + velsh::Shown(velsh::FromTcl(text)) + "\"");
  return false;
}

CitI::IInterface* Lookup(Tcl_Interp* interp, Tcl_Obj* handle) {
  const auto found = g_components.find(velsh::FromTcl(handle));
  if (found == g_components.end()) velsh::Error(interp, "no component \"" + velsh::Shown(velsh::FromTcl(handle)) + "\"");
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
    if (object == nullptr) return velsh::Error(interp, "no component of class " + velsh::Shown(velsh::FromTcl(objv[2])));
    const std::string handle = "component" + std::to_string(g_nextHandle++);
    g_components[handle] = object;
    Tcl_SetObjResult(interp, velsh::ToTcl(handle));
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
  g_components.erase(velsh::FromTcl(objv[2]));
  GiveUp(object);
  return TCL_OK;
}

// exit ?returnCode?: leaving the shell, by a script's `exit`, at the end of a script (Tcl's main
// loop ends with this command) or at the prompt, closes the open project as `project close`
// does, saving it. A save that fails is told on standard error and ends the shell with status 1.
int ExitCmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  int status = 0;
  if (objc > 2) {
    Tcl_WrongNumArgs(interp, 1, objv, "?returnCode?");
    return TCL_ERROR;
  }
  if (objc == 2 && Tcl_GetIntFromObj(interp, objv[1], &status) != TCL_OK) return TCL_ERROR;
  std::string failure;
  if (!velsh::SaveAndCloseOpenProject(failure)) {
    std::fputs(failure.c_str(), stderr);
    std::fflush(stderr);
    status = 1;
  }
  Tcl_Exit(status);
  return TCL_OK;
}

void ShutDown(ClientData) {
  velsh::CloseOpenProject();
  for (auto& entry : g_components) GiveUp(entry.second);
  g_components.clear();
  Prjrep::ResetNamedObjectRegistry();
  CitP::Factory::Shutdown();
}

// The component libraries of the folder the host loads them from (the host library's), by name,
// in name order; the host library itself is not one.
std::vector<std::string> ComponentLibraries() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&CitP::Factory::LoadLibraryFactory), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  const std::filesystem::path host = info.dli_fname;
  const std::filesystem::path folder = Port_Env::GetLibraryFolder().str();  // as it was when loaded
  std::vector<std::string> names;
  std::error_code error;
  if (folder.empty()) return {};
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::filesystem::path& path = entry.path();
    if (path.extension() == ".so" && path.filename().string().starts_with("lib") &&
        path.filename() != host.filename()) {
      names.push_back(path.stem().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Loads the component libraries by name, those the shell needs first, readies the interpreter
// component and returns its interpreter; null, with a message, when any step fails. Scripts
// create components of every library, so the others of the folder are loaded as well; one
// that does not load is left out with a message.
Tcl_Interp* OpenInterpreter() {
  const char* const needed[] = {"libPrjrep", "libHvd_TOE", "libHvd_DesignData"};
  for (const char* library : needed) {
    if (!CitP::Factory::LoadLibraryFactory(library)) {
      std::fprintf(stderr, "velsh: cannot load %s\n", library);
      return nullptr;
    }
  }
  for (const std::string& library : ComponentLibraries()) {  // those loaded already answer at once
    if (!CitP::Factory::LoadLibraryFactory(library.c_str()))
      std::fprintf(stderr, "velsh: cannot load %s\n", velsh::Shown(library).c_str());
  }
  CitI::IInterface* component = CitP::Factory::CreateInstance(Hvd::TclInterpClassId());
  auto* tcl = component ? static_cast<Hvd::ITclInterp*>(component->QueryInterface(Hvd::ITclInterp::GetIID())) : nullptr;
  const bool ready = tcl != nullptr && tcl->Init("") == Hvd::kSuccess;
  if (component != nullptr) GiveUp(component);  // the interpreter outlives its instances
  // The factory's own handle keeps the library loaded; this one only finds the symbol.
  void* library = ready ? dlopen("libHvd_TOE.so", RTLD_LAZY | RTLD_NOLOAD) : nullptr;
  auto* find = library ? reinterpret_cast<decltype(&HvdToeTclInterp)>(dlsym(library, "HvdToeTclInterp")) : nullptr;
  Tcl_Interp* interp = find ? static_cast<Tcl_Interp*>(find()) : nullptr;
  if (library != nullptr) dlclose(library);
  if (interp == nullptr) std::fprintf(stderr, "velsh: no interpreter from the Tcl interpreter component\n");
  return interp;
}

// The interpreter was initialised by its component; the shell adds its own commands.
int AppInit(Tcl_Interp* interp) {
  Tcl_CreateObjCommand(interp, "component", ComponentCmd, nullptr, nullptr);
  Tcl_CreateObjCommand(interp, "exit", ExitCmd, nullptr, nullptr);
  velsh::RegisterProjectCommands(interp);
  velsh::RegisterPRCommands(interp);
  velsh::RegisterDialogs(interp);
  Tcl_CreateExitHandler(ShutDown, nullptr);
  return TCL_OK;
}

// The library's developer lines are for whoever debugs it: a session shows them only when
// VELSH_DEBUG is set to anything but "" or "0".
bool DeveloperLinesAsked() {
  const char* asked = std::getenv("VELSH_DEBUG");
  return asked != nullptr && *asked != '\0' && std::string(asked) != "0";
}

}  // namespace

int main(int argc, char** argv) {
  Port_MsgManData::ShowDebug(DeveloperLinesAsked());
  // Before any interpreter exists, so that `info nameofexecutable` names velsh.
  Tcl_FindExecutable(argv[0]);
  Tcl_Interp* interp = OpenInterpreter();
  if (interp == nullptr) {
    ShutDown(nullptr);
    return 1;
  }
  Tcl_MainEx(argc, argv, AppInit, interp);
  return 0;
}
