// The partial-reconfiguration commands of the shell, as the suite's Tcl layer calls the
// library's reconfiguration helper. They reach the library only through its public
// interfaces; a failure is a Tcl error carrying the messages the library issued for it.

#include "PRCommands.h"

#include <algorithm>
#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IConfiguration.h"
#include "Messages.h"
#include "Port/MsgMan.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IName.h"
#include "Prjrep/IStringSet.h"
#include "ProjectCommands.h"
#include "TclText.h"
#include "core/Holders.h"

namespace velsh {
namespace {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;

// The messages the library issued since the command began, in the order issued.
int Failed(Tcl_Interp* interp, const std::string& what, Hvd::Status status, const std::string& why = std::string()) {
  return velsh::Failed(interp, what, status, why, false);
}

AutoRelease<CitI::IInterface> Helper() {
  return AutoRelease<CitI::IInterface>(CitP::Factory::CreateInstance(Hvd::ClassId::PRHelper()));
}

std::string NameOf(CitI::IInterface* object) {
  Text name;
  if (AutoCast<Prjrep::IName> named(object); named) std::ignore = named->GetName(name);
  return name.str();
}

// The project file of a configuration or flavor, as its project names it.
std::string ProjectFileOf(CitI::IInterface* object) {
  Text path;
  if (AutoCast<Hvd::IProjectReference> reference(object); reference) std::ignore = reference->GetProjectFileName(&path);
  return path.str();
}

// The configuration manager of the open project, made when asked.
AutoRelease<Hvd::IConfigurationManager> Manager(CitI::IInterface* helper, bool create) {
  AutoRelease<CitI::IInterface> found;
  if (AutoCast<Hvd::IPRSolutionHelper> solution(helper); solution && OpenProject() != nullptr)
    std::ignore = solution->GetConfigManager(OpenProject(), create, found.Receive());
  return AutoRelease<Hvd::IConfigurationManager>(std::move(found));
}

// A string set of the repository stand-in holding the elements of a Tcl list.
AutoRelease<Prjrep::IStringSet> StringsOf(Tcl_Interp* interp, Tcl_Obj* list) {
  int count = 0;
  Tcl_Obj** items = nullptr;
  if (Tcl_ListObjGetElements(interp, list, &count, &items) != TCL_OK) return nullptr;
  AutoRelease<Prjrep::IStringSet> set(CitP::Factory::CreateInstance(Prjrep::ClassId::StringSet()));
  for (int i = 0; set && i < count; ++i) std::ignore = set->Add(FromTcl(items[i]));
  return set;
}

// Whether a flavor of that name is made, in any module.
bool FlavorNamed(CitI::IInterface* helper, const std::string& name) {
  AutoCast<Hvd::IFlavorHelper> flavors(helper);
  AutoRelease<Hvd::IFlavor> flavor;
  return flavors && flavors->FindNamedFlavor(name, "", flavor.Receive()) == Hvd::kSuccess && flavor;
}

// The case a configuration command failed on when it names what is not there; empty otherwise.
std::string Unknown(CitI::IInterface* helper, const std::string& configuration, const std::string& flavor,
                    const std::string& command) {
  AutoCast<Hvd::IConfigurationHelper> configurations(helper);
  AutoRelease<Hvd::IConfiguration> found;
  if (configurations)
    std::ignore = configurations->FindNamedConfiguration(OpenProject(), configuration, found.Receive());
  if (!found) return command + ": no configuration named " + Shown(configuration);
  if (!flavor.empty() && !FlavorNamed(helper, flavor)) return command + ": no flavor named " + Shown(flavor);
  return std::string();
}

int FlavorCmd(Tcl_Interp* interp, CitI::IInterface* helper, const std::vector<std::string>& args) {
  AutoCast<Hvd::IFlavorHelper> flavors(helper);
  const std::string sub = args.empty() ? std::string() : args[0];
  if (sub == "create") {
    if (args.size() != 3) return Usage(interp, "pr flavor create NAME INSTANCEPATH");
    AutoRelease<Hvd::IFlavor> flavor;
    const Hvd::Status made = flavors->CreateFlavorFromInstPath(OpenProject(), args[1], args[2],
                                                               flavor.Receive());
    if (made != Hvd::kSuccess || !flavor) return Failed(interp, "pr flavor create", made);
    Tcl_SetObjResult(interp, ToTcl(ProjectFileOf(flavor.Get())));
    return TCL_OK;
  }
  if (sub == "find") {
    if (args.size() != 2 && args.size() != 3) return Usage(interp, "pr flavor find NAME ?INSTANCEPATH?");
    AutoRelease<Hvd::IFlavor> flavor;
    const Hvd::Status found =
        flavors->FindNamedFlavor(args[1], args.size() == 3 ? args[2] : std::string(), flavor.Receive());
    if (found != Hvd::kSuccess) return Failed(interp, "pr flavor find", found);
    Tcl_SetObjResult(interp, ToTcl(ProjectFileOf(flavor.Get())));
    return TCL_OK;
  }
  if (sub == "delete") {
    if (args.size() != 2) return Usage(interp, "pr flavor delete NAME");
    const Hvd::Status deleted = flavors->DeleteNamedFlavor(OpenProject(), args[1]);
    if (deleted == Hvd::kSuccess) return Done(interp);
    return Failed(interp, "pr flavor delete", deleted,
                  FlavorNamed(helper, args[1]) ? "" : "pr flavor delete: no flavor named " + Shown(args[1]));
  }
  return Error(interp, "bad subcommand \"" + Shown(sub) + "\": must be create, find or delete");
}

int ConfigurationCmd(Tcl_Interp* interp, CitI::IInterface* helper, int objc, Tcl_Obj* const objv[],
                     const std::vector<std::string>& args) {
  AutoCast<Hvd::IConfigurationHelper> configurations(helper);
  const std::string sub = args.empty() ? std::string() : args[0];
  auto answer = [interp](Hvd::IConfiguration* configuration) {
    Tcl_SetObjResult(interp, ToTcl(ProjectFileOf(configuration)));
    return TCL_OK;
  };
  if (sub == "create") {
    if (args.size() != 2 && args.size() != 3) return Usage(interp, "pr configuration create NAME ?FLAVORLIST?");
    AutoRelease<Hvd::IConfiguration> configuration;
    const Hvd::Status made = configurations->CreateConfigurationFromFlavorList(
        OpenProject(), args[1], args.size() == 3 ? args[2] : std::string(), configuration.Receive());
    if (made != Hvd::kSuccess || !configuration) return Failed(interp, "pr configuration create", made);
    return answer(configuration.Get());
  }
  if (sub == "pairs") {
    if (args.size() != 4) return Usage(interp, "pr configuration pairs NAME FLAVORS INSTANCEPATHS");
    AutoRelease<Prjrep::IStringSet> names = StringsOf(interp, objv[4]);
    AutoRelease<Prjrep::IStringSet> paths = StringsOf(interp, objv[5]);
    if (!names || !paths) return Error(interp, "the flavors and instance paths must be lists");
    // Paired one to one: a list longer than the other would drop its tail without a word.
    int flavorCount = 0;
    int pathCount = 0;
    std::ignore = Tcl_ListObjLength(interp, objv[4], &flavorCount);
    std::ignore = Tcl_ListObjLength(interp, objv[5], &pathCount);
    if (flavorCount != pathCount) {
      return Error(interp, "the flavors and instance paths must pair one to one: " + std::to_string(flavorCount) +
                               (flavorCount == 1 ? " flavor and " : " flavors and ") + std::to_string(pathCount) +
                               (pathCount == 1 ? " instance path" : " instance paths") + " given, nothing made");
    }
    AutoRelease<Prjrep::IStringIterator> nameIt, pathIt;
    std::ignore = names->GetIterator(nameIt.Receive());
    std::ignore = paths->GetIterator(pathIt.Receive());
    AutoRelease<Hvd::IConfiguration> configuration;
    const Hvd::Status made = configurations->CreateConfigurationFromFlavorAndInstPathList(
        OpenProject(), args[1], nameIt.Get(), pathIt.Get(), configuration.Receive());
    if (made != Hvd::kSuccess || !configuration) return Failed(interp, "pr configuration pairs", made);
    return answer(configuration.Get());
  }
  if (sub == "find") {
    if (args.size() != 2) return Usage(interp, "pr configuration find NAME");
    AutoRelease<Hvd::IConfiguration> configuration;
    std::ignore = configurations->FindNamedConfiguration(OpenProject(), args[1], configuration.Receive());
    return answer(configuration.Get());
  }
  if (sub == "delete") {
    if (args.size() != 2) return Usage(interp, "pr configuration delete NAME");
    const Hvd::Status deleted = configurations->DeleteNamedConfiguration(OpenProject(), args[1]);
    if (deleted == Hvd::kSuccess) return Done(interp);
    return Failed(interp, "pr configuration delete", deleted, Unknown(helper, args[1], "", "pr configuration delete"));
  }
  if (sub == "assign") {
    if (args.size() != 3) return Usage(interp, "pr configuration assign NAME FLAVOR");
    const Hvd::Status assigned =
        configurations->AssignReconfigurableModuleToConfiguration(OpenProject(), args[1], args[2]);
    if (assigned == Hvd::kSuccess) return Done(interp);
    return Failed(interp, "pr configuration assign", assigned,
                  Unknown(helper, args[1], args[2], "pr configuration assign"));
  }
  if (sub == "list") {
    if (args.size() != 1) return Usage(interp, "pr configuration list");
    Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
    AutoRelease<Hvd::IConfigurationManager> manager = Manager(helper, false);
    AutoRelease<Hvd::IConfigurationIterator> each;
    if (manager) std::ignore = manager->GetConfigurations(each.Receive());
    for (; each && !each->IsDone(); std::ignore = each->Next())
      Tcl_ListObjAppendElement(nullptr, list, ToTcl(NameOf(each->Current())));
    Tcl_SetObjResult(interp, list);
    return TCL_OK;
  }
  if (sub == "flavors") {
    if (args.size() != 2) return Usage(interp, "pr configuration flavors NAME");
    AutoRelease<Hvd::IConfiguration> configuration;
    std::ignore = configurations->FindNamedConfiguration(OpenProject(), args[1], configuration.Receive());
    if (!configuration) return Error(interp, "no configuration \"" + Shown(args[1]) + "\"");
    Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
    AutoRelease<Hvd::IConfigurationElementIterator> it;
    for (std::ignore = configuration->GetElements(it.Receive()); it && !it->IsDone(); std::ignore = it->Next()) {
      AutoRelease<Hvd::IPRModule> module;
      if (it->Current()->GetPRModule(module.Receive()) != Hvd::kSuccess || !module) continue;
      Text path;
      std::ignore = module->GetInstancePath(path);
      AutoRelease<CitI::IInterface> flavor;
      std::ignore = it->Current()->GetFlavor(flavor.Receive());
      Tcl_ListObjAppendElement(nullptr, list, ToTcl(path.str()));
      Tcl_ListObjAppendElement(nullptr, list, ToTcl(NameOf(flavor.Get())));
    }
    Tcl_SetObjResult(interp, list);
    return TCL_OK;
  }
  static_cast<void>(objc);
  return Error(interp,
               "bad subcommand \"" + Shown(sub) + "\": must be create, pairs, find, delete, assign, list or flavors");
}

int PRCmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  Port_MsgManData::ClearCaptured();
  if (objc < 3) return Usage(interp, "pr flavor|configuration subcommand ?arg ...?");
  if (OpenProject() == nullptr) return Error(interp, "no project is open");
  AutoRelease<CitI::IInterface> helper = Helper();
  if (!helper) return Error(interp, "the reconfiguration helper is missing");
  const std::string family = FromTcl(objv[1]);
  std::vector<std::string> args;
  for (int i = 2; i < objc; ++i) args.push_back(FromTcl(objv[i]));
  if (family == "flavor") return FlavorCmd(interp, helper.Get(), args);
  if (family == "configuration") return ConfigurationCmd(interp, helper.Get(), objc, objv, args);
  return Error(interp, "bad family \"" + Shown(family) + "\": must be flavor or configuration");
}

// What a configuration's or flavor's project registered in its own lookup holds the
// project in turn; it is let go before the project closes.
void CloseMadeProject(Hvd::IProject* project) {
  if (project == nullptr) return;
  if (AutoCast<Prjrep::ISimpleNamedLookup> names(project); names) {
    for (const char* name : {"Flavor", "Configuration"}) {
      AutoRelease<CitI::IInterface> object;
      if (names->Find(name, object.Receive()) == Hvd::kSuccess) std::ignore = names->UnregisterObject(object.Get());
    }
  }
  std::ignore = project->ProjectClose(true);
}

}  // namespace

void RegisterPRCommands(Tcl_Interp* interp) { Tcl_CreateObjCommand(interp, "pr", PRCmd, nullptr, nullptr); }

PRProjects TakePRProjects(Hvd::IProject* project) {
  PRProjects taken;
  AutoRelease<CitI::IInterface> helper = Helper();
  AutoCast<Hvd::IPRSolutionHelper> solution(helper.Get());
  AutoRelease<CitI::IInterface> found;
  if (solution && project != nullptr) std::ignore = solution->GetConfigManager(project, false, found.Receive());
  AutoCast<Hvd::IConfigurationManager> manager(found.Get());
  if (!manager) return taken;
  taken.manager = found.Get();
  auto add = [&taken](Hvd::IProject* made) {
    if (made != nullptr && std::find(taken.projects.begin(), taken.projects.end(), made) == taken.projects.end())
      taken.projects.emplace_back(made);
  };
  AutoRelease<Hvd::IConfigurationIterator> each;
  for (std::ignore = manager->GetConfigurations(each.Receive()); each && !each->IsDone(); std::ignore = each->Next()) {
    AutoRelease<Hvd::IProject> made;
    if (each->Current()->GetProject(made.Receive()) == Hvd::kSuccess) add(made.Get());
  }
  AutoCast<Hvd::IPRModuleManager> modules(found.Get());
  AutoRelease<Hvd::IPRModuleIterator> module;
  if (modules) std::ignore = modules->GetPRModules(module.Receive());
  for (; module && !module->IsDone(); std::ignore = module->Next()) {
    AutoRelease<Hvd::IFlavorSet> set;
    AutoRelease<Hvd::IFlavorIterator> flavor;
    if (module->Current()->GetFlavorSet(set.Receive()) == Hvd::kSuccess && set)
      std::ignore = set->GetIterator(flavor.Receive());
    for (; flavor && !flavor->IsDone(); std::ignore = flavor->Next()) {
      AutoRelease<Hvd::IProject> made;
      if (flavor->Current()->GetProject(made.Receive()) == Hvd::kSuccess) add(made.Get());
    }
  }
  return taken;
}

void ClosePRProjects(PRProjects& taken) {
  // Taken apart first: that saves the projects of its configurations and modules.
  if (AutoCast<Hvd::ICompAdmin> admin(taken.manager.Get()); admin) std::ignore = admin->Teardown();
  for (const auto& made : taken.projects) CloseMadeProject(made.Get());
  taken.projects.clear();
  taken.manager = nullptr;
}

}  // namespace velsh
