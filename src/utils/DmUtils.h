#pragma once
// Shared design-data utilities: named objects and the operation gate, owning projects and
// object paths, autonyms. Each group below is written in its own file under dmutils/.

#include "CitI/IInterface.h"
#include "Hvd/IDefDataId.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IProjectRepository.h"
#include "Prjrep/IStorage.h"
#include "core/Holders.h"

namespace Hvd {

// --- Named objects, active project and repository -------------------------------------
// Every object handed out comes with a reference for the caller, in its holder; `out`
// arguments are cleared first. The process-wide registry is created afresh for every call.

Status FindNamedObject(const char* name, CitI::IInterface** out);
// The same lookup in `table`, any object that answers the named lookup.
Status FindNamedObjectIn(CitI::IInterface* table, const Port::StringBase<char>& name, CitI::IInterface** out);

// Registers `object` under `name` in `table`: at once with `replace`, else only while the
// name is free (0 when taken). An object that can name itself is registered by its autonym
// too, when the table keeps autonyms.
Status RegisterNamedObject(CitI::IInterface* table, const Port::StringBase<char>& name, CitI::IInterface* object,
                           bool replace);
// Withdraws every registration of `object` in the process-wide registry.
Status ForwardToNamedObjectRegistry(CitI::IInterface* object);

Prjrep::AutoRelease<CitI::IInterface> GetActiveProject();
Prjrep::AutoRelease<CitI::IInterface> GetActiveRepository();
// The project registered as "ActiveHvdProject" in the repository of `path`, or null.
Prjrep::AutoRelease<IProject> GetActiveProjectOfRepository(const Port::StringBase<char>& path);
Prjrep::AutoRelease<IProject> GetActiveProjectOfObject(CitI::IInterface* object);
// True when the object's full path names the active project (repository); an object
// without a path is never the active one.
bool IsActiveProject(CitI::IInterface* object);
bool IsActiveRepository(CitI::IInterface* object);
void SetActiveProject(CitI::IInterface* object);
void SetActiveRepository(CitI::IInterface* object);

// `name` in the table of the repository of `path`, or in the process-wide registry for an
// empty path.
Prjrep::AutoRelease<CitI::IInterface> FindNamedObjectInRepository(Port::StringBase<char> name,
                                                                  Port::StringBase<char> path);
// The object an autonym stands for, through the lookup of the repository of `path` (the
// process-wide registry for an empty path or a compound autonym).
Prjrep::AutoRelease<CitI::IInterface> ResolveAutonym(CitI::IInterface* autonym, Port::StringBase<char> path);
// A compound autonym of a simple autonym named `name` and the autonym of `parent`.
Prjrep::AutoRelease<Prjrep::IAutonym> ComposeAutonym(const Port::StringBase<char>& name, CitI::IInterface* parent);

// --- The operation gate -----------------------------------------------------------------
// One key per running operation and object, so that an operation started again on the same
// object from within itself notices it.

// `prefix` followed by the identity of `object` (0 for null).
Port::StringBase<char> MakeInterfaceKey(const char* prefix, CitI::IInterface* object);

class OperationGateGuard {
 public:
  // Only finds or creates the gate; reports the operation as already entered.
  OperationGateGuard();
  // Enters the gate for the operation `prefix` on `object`.
  explicit OperationGateGuard(CitI::IInterface* object, const char* prefix = "");
  OperationGateGuard(const OperationGateGuard&) = delete;
  OperationGateGuard& operator=(const OperationGateGuard&) = delete;
  // Leaves the gate: withdraws the key when this guard entered it, so that an operation
  // that detected a re-entry leaves the outer one protected; drops the gate once empty.
  ~OperationGateGuard();

  // True when the same operation was already running on the object.
  bool EnteredAlready() const noexcept { return m_enteredAlready; }

  // Enters `key` for `object` without owning it: the key outlives this guard and stays
  // until it is withdrawn by name (how a child project stays marked as a sub-project).
  void EnterOperationGate(const Port::StringBase<char>& key, CitI::IInterface* object) { Enter(key, object); }

 private:
  void FindOrCreateGate();
  void Enter(const Port::StringBase<char>& key, CitI::IInterface* object);

  bool m_enteredAlready = true;
  Prjrep::AutoRelease<CitI::IInterface> m_gate;
  Port::StringBase<char> m_name{"OperationGate"};
  Port::StringBase<char> m_key;
  CitI::IInterface* m_identity = nullptr;
};

// Withdraws `key` from the operation gate, when the gate holds it; 0 when it does not.
Status WithdrawFromOperationGate(const Port::StringBase<char>& key);

// Under the "close" key of `project`, closes the Cvf project of `object`.
Status CloseOperationGate(CitI::IInterface* object, CitI::IInterface* project);

// --- Owning project and object paths ----------------------------------------------------

Prjrep::AutoRelease<IProject> GetOwningProject(CitI::IInterface* object);
// Absolute and canonical; empty when the object has no path.
Port::StringBase<char> GetObjectFullPath(CitI::IInterface* object);
Prjrep::AutoRelease<Prjrep::IProjectRepository> GetRepositoryOfObject(CitI::IInterface* object);
Prjrep::AutoRelease<IProjectHelper> GetCvfProject(CitI::IInterface* object, bool createWhenMissing);
// The part of the object's Tcl project that answers the Tcl project's own id (not its root).
Prjrep::AutoRelease<CitI::IInterface> GetTclProject(CitI::IInterface* object);
Prjrep::AutoRelease<Prjrep::IAutonym> GetObjectAutonym(CitI::IInterface* object);
Port::StringBase<char> GetObjectDisplayName(CitI::IInterface* object);
Status SaveOwningProject(CitI::IInterface* object, CitI::IInterface* argument);
Status CloseOwningCvfProject(CitI::IInterface* object, CitI::IInterface* argument);
// Closes the Cvf project of the object's project, else closes the object through its autonym.
Status SaveOwningCvfProject(CitI::IInterface* object, CitI::IInterface* argument);
// True for a child project's file: its type is one of the project-file types.
bool IsProjectFileType(CitI::IInterface* object);

// --- Definition data --------------------------------------------------------------------
// The def-data id behind a file (its type), a view (its type), a property instance (its
// definition) or an object that is one itself.

Prjrep::AutoRelease<IDefDataId> GetDefDataId(CitI::IInterface* object);
Port::StringBase<char> GetDefDataIdName(CitI::IInterface* object);
// The id of a design unit's type.
Prjrep::AutoRelease<IDefDataId> GetDesignUnitDefDataIdOf(CitI::IInterface* object);
Port::StringBase<char> GetDesignUnitTypeName(CitI::IInterface* object);
// True also for an object without definition data.
bool IsDefDataObsolete(CitI::IInterface* object);

// --- Autonyms ---------------------------------------------------------------------------

// The object itself when it is an autonym, else the autonym it makes of itself.
Prjrep::AutoRelease<Prjrep::IAutonym> GetAutonymOf(CitI::IInterface* object);
bool AddAutonymToSet(CitI::IInterface* set, CitI::IInterface* object);
// The repository registered for a project-file path; created when missing with
// `createWhenMissing`. An empty name finds and creates nothing.
Prjrep::AutoRelease<Prjrep::IProjectRepository> FindAutonymByName(const char* name, bool createWhenMissing,
                                                                  bool* found = nullptr);
// Registers `repository` in the process-wide registry under the path `name`, so that
// FindAutonymByName finds it there; replaces an earlier one of that name.
Status RegisterRepositoryByName(const char* name, Prjrep::IProjectRepository* repository);
Prjrep::AutoRelease<Prjrep::IAutonym> SynthesizeHlcPlusAutonym(CitI::IInterface* object);
Prjrep::AutoRelease<Prjrep::IAutonym> SynthesizeObjectAutonym(CitI::IInterface* object);
Prjrep::AutoRelease<Prjrep::IAutonym> SynthesizeNestedAutonym(CitI::IInterface* object, CitI::IInterface* child);
// The autonym that names `component` inside the project at `path`; null for an empty path.
Prjrep::AutoRelease<Prjrep::IAutonym> MakeProjectComponentAutonym(const Port::StringBase<char>& path,
                                                                  CitI::IInterface* component);
// The autonym of `object` when the set of `owner` holds it, else null.
Prjrep::AutoRelease<Prjrep::IAutonym> FindAutonymInSet(CitI::IInterface* owner, CitI::IInterface* object);
Status PersistObjectAutonym(Prjrep::IStorage* storage, CitI::IInterface* object);
Status LoadAutonymReference(Prjrep::IStorage* storage, CitI::IInterface** out);
// Status messages listing the names of a table and what they stand for, recursively; an
// object already listed is not entered again.
void DumpNameTracker(CitI::IInterface* lookupObject, const Port::StringBase<char>& indent);
void DumpGlobalNameTracker();

}  // namespace Hvd
