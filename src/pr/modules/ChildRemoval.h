#pragma once
// Taking a flavor or a module out of a manager's configurations: each configuration stops
// referring to it, and a configuration project that is not open loses the flavor's project
// file through a script run by the suite's shell.

#include "CitI/IInterface.h"
#include "Hvd/IConfiguration.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Holders.h"

namespace Hvd::pr {

// The script's file name, in a private folder of its own for each run.
inline constexpr const char* kRemoveChildScript = "_remove_child_.tcl";

// The text of the script that removes `child` from the project `parent`; each path is one
// Tcl word, so that nothing of a name is ever evaluated.
Port::StringBase<char> RemoveChildScript(const Port::StringBase<char>& parent, const Port::StringBase<char>& child);
// Writes the script and runs it with the suite's shell. Nothing runs for an empty child
// path, nor when the script could not be written whole. True when it ran.
bool WriteAndRunRemoveChildScript(const Port::StringBase<char>& parent, const Port::StringBase<char>& child);

// The first element of `configuration` whose flavor has the full path of `object`.
Prjrep::AutoRelease<ISettableConfigurationElement> FindElementForFlavor(IConfiguration* configuration,
                                                                        CitI::IInterface* object);
// The module's active flavor, else its first one, else empty.
Prjrep::AutoRelease<IFlavor> GetDefaultFlavor(IPRModule* module);
// The full path of the flavor that the configuration chooses for `module`; `path` is left
// as it is when there is none.
void GetFlavorPathOfModule(IConfiguration* configuration, IPRModule* module, Port::StringBase<char>& path);

// A flavor replaced in one configuration (`replacement` may be null).
void RemoveChildProject(IConfigurationManager* manager, IConfiguration* configuration, CitI::IInterface* flavor,
                        CitI::IInterface* replacement);
// A module dropped from one configuration.
void RemoveModuleFromConfiguration(IConfigurationManager* manager, IConfiguration* configuration, IPRModule* module);
// The manager's RemoveFlavor: the result of the module's own removal, or 0.
Status RemoveFlavorFromManager(IConfigurationManager* manager, IFlavor* flavor);

// Notes the active project and repository and registers them again when it ends, for the
// steps that open and close configuration projects in between.
class ActiveProjectsKeeper {
 public:
  ActiveProjectsKeeper();
  ActiveProjectsKeeper(const ActiveProjectsKeeper&) = delete;
  ActiveProjectsKeeper& operator=(const ActiveProjectsKeeper&) = delete;
  ~ActiveProjectsKeeper();

 private:
  Prjrep::AutoPtr<CitI::IInterface> m_project;
  Prjrep::AutoPtr<CitI::IInterface> m_repository;
};

}  // namespace Hvd::pr
