#include "pr/helper/Shared.h"

#include "Prjrep/IName.h"
#include "core/Holders.h"
#include "core/XmlChars.h"
#include "pr/PRShared.h"
#include "pr/helper/Diagnostics.h"
#include "utils/FileStamp.h"

namespace Hvd::prhelper {

namespace {

bool IsOther(CitI::IInterface* object, CitI::IInterface* self, const Port::StringBase<char>& name) {
  return object != nullptr && !pr::SameObject(object, self) && GetObjectName(object).str() == name.str();
}

}  // namespace

bool CheckProjectName(CitI::IInterface* manager, const Port::StringBase<char>& name, const char* kind,
                      CitI::IInterface* self) {
  // The name is also its project's design name, which the project file holds.
  // It names the project's folder too, which the project file must give back as it is on the disk.
  // Checked first: a NUL is named as what it is, not as a directory the name cannot be.
  if (!XmlFits("ProjectMgmt", "The " + std::string(kind) + " name", name.str()) ||
      !Utf8Fits("ProjectMgmt", "The " + std::string(kind) + " name", name.str()))
    return false;
  if (!pr::IsUsableAsPathComponent(name)) {
    UserError(__LINE__,
              "The %s name <%s> cannot name a project directory: it must not be empty, \".\" or \"..\", nor hold "
              "\"/\" or \"\\\".\n",
              kind, name.c_str());
    return false;
  }
  bool taken = false;
  Prjrep::AutoCast<IConfigurationManager> configurations(manager);
  Prjrep::AutoRelease<IConfigurationIterator> each;
  if (configurations.Get() != nullptr) std::ignore = configurations->GetConfigurations(each.Receive());
  for (; !taken && each.Get() != nullptr && !each->IsDone(); std::ignore = each->Next())
    taken = IsOther(each->Current(), self, name);
  Prjrep::AutoCast<IPRModuleManager> modules(manager);
  Prjrep::AutoRelease<IPRModuleIterator> module;
  if (modules.Get() != nullptr) std::ignore = modules->GetPRModules(module.Receive());
  for (; !taken && module.Get() != nullptr && !module->IsDone(); std::ignore = module->Next()) {
    Prjrep::AutoRelease<IFlavorSet> flavors;
    if (module->Current() != nullptr) std::ignore = module->Current()->GetFlavorSet(flavors.Receive());
    Prjrep::AutoRelease<IFlavorIterator> flavor;
    if (flavors.Get() != nullptr) std::ignore = flavors->GetIterator(flavor.Receive());
    for (; !taken && flavor.Get() != nullptr && !flavor->IsDone(); std::ignore = flavor->Next())
      taken = IsOther(flavor->Current(), self, name);
  }
  if (taken) {
    UserError(__LINE__,
              "A flavor or configuration named <%s> exists already; the %s would share its project. Choose another "
              "name.\n",
              name.c_str(), kind);
  }
  return !taken;
}

}  // namespace Hvd::prhelper
