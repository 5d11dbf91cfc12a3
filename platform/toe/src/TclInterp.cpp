#include <tcl.h>

#include <cinttypes>
#include <climits>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "CitP/Factory.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFile.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IHdlNetlist.h"
#include "Hvd/IHdlPortList.h"
#include "Hvd/IHdlProject.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/ITclInterp.h"
#include "Hvd/Status.h"
#include "Hvd/ToeTclInterp.h"
#include "Port/MsgMan.h"
#include "Prjrep/IFileNameHelper.h"
#include "Prjrep/IStringSet.h"
#include "TransformEngine.h"
#include "TransformNetwork.h"
#include "VelmorScript.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "core/Factory.h"

namespace Hvd {
namespace {

using Text = Port::StringBase<char>;

// Tcl's own "utf-8" encoding. Kept, like the interpreter.
Tcl_Encoding Utf8(Tcl_Interp* interp) {
  static const Tcl_Encoding s_utf8 = Tcl_GetEncoding(interp, "utf-8");
  return s_utf8;
}

// Tcl's strings are in its internal form, where NUL is the two bytes C0 80 and a character
// past U+FFFF may be a surrogate pair; callers get them as standard UTF-8, whatever the
// locale's encoding, so every string they passed in comes back byte for byte.
std::string External(Tcl_Interp* interp, const char* text, int length) {
  Tcl_DString external;
  Tcl_UtfToExternalDString(Utf8(interp), text, length, &external);
  std::string result(Tcl_DStringValue(&external), static_cast<std::size_t>(Tcl_DStringLength(&external)));
  Tcl_DStringFree(&external);
  return result;
}

// A standard UTF-8 text in Tcl's internal form, so that a character past U+FFFF in it is the
// same value as the one a script holds, which is a pair of surrogates.
std::string Internal(Tcl_Interp* interp, std::string_view text) {
  Tcl_DString internal;
  Tcl_ExternalToUtfDString(Utf8(interp), text.data(), static_cast<int>(text.size()), &internal);
  std::string result(Tcl_DStringValue(&internal), static_cast<std::size_t>(Tcl_DStringLength(&internal)));
  Tcl_DStringFree(&internal);
  return result;
}

// A Tcl string object of a standard UTF-8 text.
Tcl_Obj* NewText(Tcl_Interp* interp, std::string_view text) {
  const std::string internal = Internal(interp, text);
  return Tcl_NewStringObj(internal.data(), static_cast<int>(internal.size()));
}

std::string ResultOf(Tcl_Interp* interp) {
  int length = 0;
  const char* text = Tcl_GetStringFromObj(Tcl_GetObjResult(interp), &length);
  return External(interp, text, length);
}

void Report(const char* what, Tcl_Interp* interp) {
  const std::string message = std::string("TOE: ") + what + ": " + ResultOf(interp) + "\n";
  Port_MsgManData::debugStub(message.c_str());
}

std::string HandleOf(CitI::IInterface* object);

// The objects bound as "this" or "piThisInterface", by handle: a script can reach only the
// object the library handed the command it runs, and only while it is bound. Binding takes no
// reference: the binder keeps the object alive while it is bound and binds "this" to none
// afterwards, as every caller that binds "this" does. An object bound as "piThisInterface" is
// handed to the one command that follows, and is out of reach once that command is done, though
// the variable keeps its handle. Objects bound under other names stay out of reach.
constexpr const char* kThisName = "this";
constexpr const char* kCommandObjectName = "piThisInterface";
bool IsReachableName(const Text& name) { return name == kThisName || name == kCommandObjectName; }

std::map<std::string, CitI::IInterface*>& BoundObjects() {
  static std::map<std::string, CitI::IInterface*> s_bound;
  return s_bound;
}

// The handle each reachable name grants, empty for none. An object stays in reach while one of
// them grants it.
std::map<std::string, std::string>& Grants() {
  static std::map<std::string, std::string> s_grants;
  return s_grants;
}

void Grant(const std::string& name, const std::string& handle, CitI::IInterface* object) {
  const std::string before = std::exchange(Grants()[name], object != nullptr ? handle : std::string());
  if (object != nullptr) BoundObjects()[handle] = object;
  if (before.empty() || before == Grants()[name]) return;
  for (const auto& grant : Grants())
    if (grant.second == before) return;
  BoundObjects().erase(before);
}

// ::velmor::Hvd::hvd_StringSetAdd HANDLE TEXT: adds TEXT to the string set bound as HANDLE,
// the way the host's procedures hand lines back to the library.
int StringSetAdd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  if (objc != 3) {
    Tcl_WrongNumArgs(interp, 1, objv, "handle text");
    return TCL_ERROR;
  }
  const auto found = BoundObjects().find(Tcl_GetString(objv[1]));
  Prjrep::AutoCast<Prjrep::IStringSet> set(found == BoundObjects().end() ? nullptr : found->second);
  if (!set) {
    Tcl_SetObjResult(interp, Tcl_ObjPrintf("no string set \"%s\"", Tcl_GetString(objv[1])));
    return TCL_ERROR;
  }
  int length = 0;
  const char* text = Tcl_GetStringFromObj(objv[2], &length);
  std::ignore = set->Add(Text(External(interp, text, length)));
  return TCL_OK;
}

// ::velmor::Hvd::hvd_ObjectPath HANDLE: the full path of the file bound as HANDLE, so that a
// procedure can read the file the library handed it.
int ObjectPath(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  if (objc != 2) {
    Tcl_WrongNumArgs(interp, 1, objv, "handle");
    return TCL_ERROR;
  }
  const auto found = BoundObjects().find(Tcl_GetString(objv[1]));
  Prjrep::AutoCast<Prjrep::IFileNameHelper> names(found == BoundObjects().end() ? nullptr : found->second);
  Text path;
  if (!names || names->GetFullName(&path) != kSuccess || path.empty()) {
    Tcl_SetObjResult(interp, Tcl_ObjPrintf("no file \"%s\"", Tcl_GetString(objv[1])));
    return TCL_ERROR;
  }
  Tcl_SetObjResult(interp, NewText(interp, path.str()));
  return TCL_OK;
}

// ::velmor::Hvd::hvd_AddProjectSource HANDLE PATH: adds the file PATH to the project of the
// project helper bound as HANDLE, through the helper, as the suite's procedures add a file.
int AddProjectSource(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  if (objc != 3) {
    Tcl_WrongNumArgs(interp, 1, objv, "handle path");
    return TCL_ERROR;
  }
  const auto found = BoundObjects().find(Tcl_GetString(objv[1]));
  Prjrep::AutoCast<IProjSrcHelper> helper(found == BoundObjects().end() ? nullptr : found->second);
  if (!helper) {
    Tcl_SetObjResult(interp, Tcl_ObjPrintf("no project helper \"%s\"", Tcl_GetString(objv[1])));
    return TCL_ERROR;
  }
  int length = 0;
  const char* text = Tcl_GetStringFromObj(objv[2], &length);
  const std::string path = External(interp, text, length);
  if (path.empty() || helper->AddProjectSource(Text(path), 0) != kSuccess) {
    Tcl_SetObjResult(interp, Tcl_ObjPrintf("the project did not take \"%s\"", text));
    return TCL_ERROR;
  }
  return TCL_OK;
}

// One design unit's interface as a dictionary: see HdlPorts.
Tcl_Obj* PortDictionary(Tcl_Interp* interp, const std::string& name, const std::string& type, IHdlPortList* ports) {
  Tcl_Obj* dictionary = Tcl_NewDictObj();
  const auto put = [&](const char* key, Tcl_Obj* value) {
    std::ignore = Tcl_DictObjPut(nullptr, dictionary, Tcl_NewStringObj(key, -1), value);
  };
  put("name", NewText(interp, name));
  put("type", NewText(interp, type));
  put("ansi", Tcl_NewBooleanObj(ports->IsAnsi()));
  put("complete", Tcl_NewBooleanObj(ports->IsComplete()));
  for (const auto& [key, section] : {std::pair{"context", HdlPortSection::kContext},
                                     std::pair{"generics", HdlPortSection::kGenerics},
                                     std::pair{"ports", HdlPortSection::kPorts}}) {
    Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
    for (std::uint32_t i = 0; i < ports->GetCount(section); ++i) {
      Text fields[5];
      if (ports->GetEntry(section, i, &fields[0], &fields[1], &fields[2], &fields[3], &fields[4]) != kSuccess) continue;
      if (section == HdlPortSection::kContext) {
        Tcl_ListObjAppendElement(nullptr, list, NewText(interp, fields[0].str()));
        continue;
      }
      Tcl_Obj* entry = Tcl_NewListObj(0, nullptr);
      for (const Text& field : fields) Tcl_ListObjAppendElement(nullptr, entry, NewText(interp, field.str()));
      Tcl_ListObjAppendElement(nullptr, list, entry);
    }
    put(key, list);
  }
  return dictionary;
}

// ::velmor::Hvd::hvd_HdlPorts HANDLE: what the HDL parser reads of the file bound as HANDLE: for
// each entity and module the file declares, in file order, a dictionary of its "name", its
// design-unit "type", whether its ports are declared in its header ("ansi") and whether the parser
// read them whole ("complete"), its "context" clauses, and its "generics" and "ports", each entry
// a list {name mode type dims value} of texts as written.
int HdlPorts(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  if (objc != 2) {
    Tcl_WrongNumArgs(interp, 1, objv, "handle");
    return TCL_ERROR;
  }
  const auto found = BoundObjects().find(Tcl_GetString(objv[1]));
  CitI::IInterface* bound = found == BoundObjects().end() ? nullptr : found->second;
  Prjrep::AutoCast<Prjrep::IFileNameHelper> names(bound);
  Text path;
  if (!names || names->GetFullName(&path) != kSuccess || path.empty()) {
    Tcl_SetObjResult(interp, Tcl_ObjPrintf("no file \"%s\"", Tcl_GetString(objv[1])));
    return TCL_ERROR;
  }
  // A parser project of the one file, which the parser reads as the file's type says.
  Prjrep::AutoRelease<CitI::IInterface> root;
  if (CitP::Factory::LoadLibraryFactory("libHvd_Hdl")) std::ignore = root.Assign(CitP::Factory::CreateInstance(HdlProjectClassId()));
  Prjrep::AutoCast<IHdlProject> project(root.Get());
  Prjrep::AutoCast<IHdlFileSet> files(root.Get());
  Prjrep::AutoCast<IHdlElaborationData> elaboration(root.Get());
  Prjrep::AutoRelease<IHdlFile> file;
  if (!project || !files || !elaboration || project->CreateFile(file.Receive()) != kSuccess || !file) {
    Tcl_SetObjResult(interp, Tcl_NewStringObj("no HDL parser", -1));
    return TCL_ERROR;
  }
  const std::string full = path.str();
  const std::size_t slash = full.rfind('/');
  Prjrep::AutoRelease<IFileType> type;
  if (Prjrep::AutoCast<IFile> asFile(bound); asFile) std::ignore = asFile->GetFileType(type.Receive());
  Prjrep::AutoCast<ICompAdmin> admin(file.Get());
  Prjrep::AutoRelease<IHdlDesignUnitIterator> units;
  if (file->SetPath(Text(full.substr(0, slash + 1)), Text(full.substr(slash + 1))) != kSuccess || !admin ||
      admin->InitializeAfterCreate(nullptr, type.Get()) != kSuccess || files->Add(file.Get()) != kSuccess ||
      file->GetDesignUnits(nullptr, units.Receive()) != kSuccess || !units) {
    Tcl_SetObjResult(interp, Tcl_ObjPrintf("the HDL parser cannot read \"%s\"", full.c_str()));
    return TCL_ERROR;
  }
  Tcl_Obj* result = Tcl_NewListObj(0, nullptr);
  for (std::ignore = units->Reset(); !units->IsDone(); std::ignore = units->Next()) {
    Prjrep::AutoCast<IDesignUnit> unit(units->Current());
    Prjrep::AutoRelease<IDesignUnitType> unitType;
    Text name, typeName;
    if (!unit || unit->GetDesignUnitName(&name) != kSuccess || unit->GetDesignUnitType(unitType.Receive()) != kSuccess)
      continue;
    Prjrep::AutoCast<IDefDataId> id(unitType.Get());
    if (!id || id->GetDefDataIdName(&typeName) != kSuccess ||
        (typeName.str() != "DESUT_VHDL_ENTITY" && typeName.str() != "DESUT_VERILOG_MODULE")) {
      continue;
    }
    Prjrep::AutoRelease<CitI::IInterface> ports;
    if (elaboration->GetPorts(name.c_str(), ports.Receive()) != kSuccess) continue;
    if (Prjrep::AutoCast<IHdlPortList> list(ports.Get()); list) {
      Tcl_ListObjAppendElement(nullptr, result, PortDictionary(interp, name.str(), typeName.str(), list.Get()));
    }
  }
  std::ignore = files->Clear();
  Tcl_SetObjResult(interp, result);
  return TCL_OK;
}

Tcl_Interp* CreateInterpreter() {
  Tcl_Interp* interp = Tcl_CreateInterp();
  // Asking Tcl for the executable's name is only safe once an interpreter exists; a host
  // that named it (velsh) keeps its name, any other gets the locale's encodings set up.
  if (Tcl_GetNameOfExecutable() == nullptr) Tcl_FindExecutable(nullptr);
  // Without init.tcl only Tcl's own library procedures are missing; evaluation still works.
  if (Tcl_Init(interp) != TCL_OK) Report("Tcl_Init failed, continuing without init.tcl", interp);
  if (Tcl_EvalEx(interp, VelmorScript(), -1, TCL_EVAL_GLOBAL) != TCL_OK) Report("the dialog procedures failed", interp);
  Tcl_CreateObjCommand(interp, "::velmor::Hvd::hvd_StringSetAdd", &StringSetAdd, nullptr, nullptr);
  Tcl_CreateObjCommand(interp, "::velmor::Hvd::hvd_ObjectPath", &ObjectPath, nullptr, nullptr);
  Tcl_CreateObjCommand(interp, "::velmor::Hvd::hvd_HdlPorts", &HdlPorts, nullptr, nullptr);
  Tcl_CreateObjCommand(interp, "::velmor::Hvd::hvd_AddProjectSource", &AddProjectSource, nullptr, nullptr);
  Tcl_ResetResult(interp);
  return interp;
}

// Instances come and go with every call, so the interpreter belongs to the process.
Tcl_Interp* SharedInterpreter() {
  static Tcl_Interp* const s_interp = CreateInterpreter();
  return s_interp;
}

// The same object gives the same text through any of its interfaces.
std::string HandleOf(CitI::IInterface* object) {
  if (object == nullptr) return std::string();
  CitI::IInterface* root = object->QueryInterface(CitI::IInterface::GetIID());
  char text[48];
  std::snprintf(text, sizeof text, "IInterface@0x%" PRIxPTR, reinterpret_cast<std::uintptr_t>(root ? root : object));
  return text;
}

// The Tcl interpreter component: a view of the process's interpreter, holding no state.
class CTclInterp final : public TComponent<CTclInterp> {
 public:
  static const Port::XUID& GetCLSID() { return Hvd::TclInterpClassId(); }

  auto QueryTable() {
    return Table(Row<ITclInterp>(&m_XITclInterp), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<Prjrep::IRefCountV1>(&m_refCount), Row<CitI::IInterface>(this));
  }

 private:
  struct XITclInterp : TNested<CTclInterp, ITclInterp> {
    using TNested::TNested;

    Hvd::Status Init(const Text&) override { return SharedInterpreter() != nullptr ? kSuccess : kFailure; }

    // Binding another object, or none, to a name lets go of the one bound before.
    Hvd::Status BindObject(CitI::IInterface* object, const Text& name) override {
      const std::string handle = HandleOf(object);
      if (IsReachableName(name)) Grant(name.str(), handle, object);
      Tcl_Obj* value = Tcl_NewStringObj(handle.data(), static_cast<int>(handle.size()));
      Tcl_IncrRefCount(value);  // freed here whether or not Tcl takes it
      const bool set = Tcl_SetVar2Ex(SharedInterpreter(), name.c_str(), nullptr, value, TCL_GLOBAL_ONLY) != nullptr;
      Tcl_DecrRefCount(value);
      return set ? kSuccess : kFailure;
    }

    Hvd::Status ExecuteCmd(const Text& command, Text& result, std::int32_t) override {
      Tcl_Interp* interp = SharedInterpreter();
      if (command.size() > static_cast<std::size_t>(INT_MAX)) {
        result = "command too long";
        return kFailure;
      }
      // A command the library runs from inside a script's command (velsh's) leaves that command's
      // result and error state as they were.
      Tcl_InterpState outer = Tcl_SaveInterpState(interp, TCL_OK);
      const std::string internal = Internal(interp, command.str());
      ++s_depth;
      const int code = Tcl_EvalEx(interp, internal.data(), static_cast<int>(internal.size()), TCL_EVAL_GLOBAL);
      --s_depth;
      result = Text(ResultOf(interp));
      // The command an object was bound as "piThisInterface" for is done.
      if (s_depth == 0) Grant(kCommandObjectName, std::string(), nullptr);
      std::ignore = Tcl_RestoreInterpState(interp, outer);
      return code == TCL_OK ? kSuccess : kFailure;
    }

    // How many of the library's commands are running, one inside another.
    static inline int s_depth = 0;
  } m_XITclInterp{this};

  Prjrep::TRefCountHelper<CTclInterp> m_refCount{this};
};

}  // namespace
}  // namespace Hvd

extern "C" void* HvdToeTclInterp() { return Hvd::SharedInterpreter(); }

// The library's entry for the host: registers the factories of the interpreter component,
// the transform engine and its bindings (made by class id when a stored binding is read).
extern "C" void InstFactoryEntry() {
  Hvd::RegisterFactoriesOf<Hvd::CTclInterp, Hvd::CTransformEngine, Hvd::CTransformBinding>();
}
