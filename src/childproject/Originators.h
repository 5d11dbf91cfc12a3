#pragma once
// The originators of a project's files (the child projects that brought them in), the
// files' origin state, and the record that puts the active named objects back after a child
// project was opened.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/IFile.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Holders.h"

namespace Hvd {

// Adds `originator` when `object` keeps originators.
void AddOriginator(CitI::IInterface* object, CitI::IInterface* originator);
// 1 when `originator` was one of the object's originators and was removed; 0 otherwise.
Status RemoveOriginator(CitI::IInterface* object, CitI::IInterface* originator);
// The number of originators; -1 when the object keeps none.
std::int64_t OriginatorCount(CitI::IInterface* object);
// The live project an originator (as the file keeps it) stands for; null when it is not open.
Prjrep::AutoRelease<IProject> OriginatingProject(CitI::IInterface* originator);
// The project's file of that full path, or null.
Prjrep::AutoRelease<IFile> FindFileByPath(IProject* project, const Port::StringBase<char>& path);
// Origin states: 0 added by the user, 1 generated, 2 brought in by composition.
bool OriginStateIsOne(CitI::IInterface* file);
void SetOriginState(CitI::IInterface* file, std::uint32_t state);

// Takes the child's files out of the parent: those whose only originator was the child,
// project files excepted. 0 when a project or the parent's file list is missing.
Status UpdateComposedFileOriginators(IProject* parent, IProject* child);
// Puts the originating projects' files of the object's path into the source library of
// the object's name. Always 1.
Status PropagateLibraryToOriginators(CitI::IInterface* object);

// Registers the held repository again as "ActiveRepository", then lets go of it.
void RestoreActiveRepository(Prjrep::AutoRelease<CitI::IInterface>& repository);
// Registers the held project again as "ActiveHvdProject" and the Cvf project its repository
// holds as "ActiveCvfProject", then lets go of it. The repository is found by the project's
// name with VEL_CORVANE_ENABLE_HLC set, else by its project-file path.
void RegisterActiveProjects(Prjrep::AutoRelease<CitI::IInterface>& project);

// Keeps the process-wide "ActiveHvdProject", "ActiveCvfProject" and "ActiveRepository" from
// its construction and puts them back when it ends, whatever was registered meanwhile; a
// name that was free before is withdrawn again.
class ActiveProjectRecord {
 public:
  ActiveProjectRecord();
  ActiveProjectRecord(const ActiveProjectRecord&) = delete;
  ActiveProjectRecord& operator=(const ActiveProjectRecord&) = delete;
  ~ActiveProjectRecord();

 private:
  Prjrep::AutoRelease<CitI::IInterface> m_project;
  Prjrep::AutoRelease<CitI::IInterface> m_cvfProject;
  Prjrep::AutoRelease<CitI::IInterface> m_repository;
};

}  // namespace Hvd
