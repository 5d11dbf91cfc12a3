#pragma once
// Free routines of the project module: the project source file behind a path the user
// gives, the settings section of an older project repository, the child-project test, the
// audit log, and helpers that other project operations call. None keeps state of its own.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IProjectRepository.h"
#include "Prjrep/IRegKeyPairs.h"
#include "Prjrep/IStorage.h"
#include "core/Holders.h"

namespace Hvd {

// The settings section of an older repository, and its key naming the project source file.
inline constexpr char kSettingsSection[] = "Corvane11";
inline constexpr char kProjectSourceFileKey[] = "XHLC_FILE";
// The audit log: its file, in the current directory, and its name in the registry.
inline constexpr char kAuditLogFile[] = "pr_audit.xml";
inline constexpr char kAuditLogName[] = "pr_audit";

// --- Records outside the project file -------------------------------------------------

// Finds the repository of `repositoryPath` (made when the registry does not know it) into
// `*repository`, then opens its section `section` as a storage into `*storage` and as key
// pairs into `*keys`, each when asked for and present. 1, whatever the section gave; the
// lookup's failure when there is no repository; 0 for a null `repository`.
Status OpenSettingsSection(const Port::StringBase<char>& section, const Port::StringBase<char>& repositoryPath,
                           Prjrep::IProjectRepository** repository, Prjrep::IStorage** storage = nullptr,
                           Prjrep::IRegKeyPairs** keys = nullptr);

// The project source file (.xhlc) to open for `path`, absolute and canonical, in its real
// folder (InRealFolder): the path itself for a source file; for a missing file the path with
// the extension ".xhlc"; for an existing file of another kind the source file its repository
// records, else the source file beside it, else the path itself. An empty path stays empty.
Port::StringBase<char> ResolveProjectSourceFile(const Port::StringBase<char>& path);

// The absolute `path` of a project file, canonical, with its folder taken where it really is,
// through the links on the way: the relative names a project file holds lead from there, as the
// system resolves them, and not from the place of a link to the folder at another depth. The
// file's own name is kept as given, so a project file that is itself a link is still known, and
// refused, by that name. A folder that cannot be resolved (a loop, a step that cannot be
// searched) is only made canonical, for the caller to refuse.
Port::StringBase<char> InRealFolder(const Port::StringBase<char>& path);

// The absolute `path` of a source, in normal form, as the project whose folder is `folder`, where
// it really is (InRealFolder), knows it: when a leading part of the path leads through links to
// that folder, or into it, that part is named from the folder, so a file reached by any link to
// the folder is the project's own and is written by its name there. Only the shortest such part
// is resolved: a folder inside the project that is a link to code elsewhere stays as named. Any
// other path is returned as it is.
Port::StringBase<char> ThroughProjectFolder(const Port::StringBase<char>& path, const Port::StringBase<char>& folder);

// True when the named lookup of `lookupObject` knows `name`; false for a null project.
bool IsChildProject(CitI::IInterface* lookupObject, const Port::StringBase<char>& name, IProject* project);

// Registers an open dumper on `fileName` under `registryName`, unless one is registered.
void OpenAuditLog(const Port::StringBase<char>& fileName, const Port::StringBase<char>& registryName);
// Closes the dumper registered under `registryName` and withdraws the name.
void CloseAuditLog(const Port::StringBase<char>& registryName);

// --- Helpers --------------------------------------------------------------------------

Prjrep::AutoRelease<IPropertyInstance> GetProjectPropertyInstance(IProject* project, const Port::StringBase<char>& key);
// Empty when the project has no such property.
Port::StringBase<char> GetProjectPropertyValue(IProject* project, const Port::StringBase<char>& key);
Prjrep::AutoRelease<IDeviceStore> GetDeviceStore();

// True when the project has a file whose type is named `typeName` exactly; the first such
// file goes to `*file` with a reference, and `*file` is left alone when there is none.
bool FindProjectFileOfType(const Port::StringBase<char>& typeName, IFileManager* files, IFile** file = nullptr);

// Runs the Tcl procedure with `argument` as one word and `object` bound to
// "piThisInterface" as the last word, each when given; the result text goes to `*result`.
// The interpreter's status; 0 for a null procedure name.
Status RunTclProcWithObject(const char* procedure, const char* argument, CitI::IInterface* object, std::int32_t flags,
                            Port::StringBase<char>* result);

// Cleans up, composes again and saves the open project of every configuration, and cleans
// up the closed ones in a separate shell. 1; 0 without the partial-reconfiguration helper.
Status CleanUpConfigurationProjects();

// Runs "_cleanup_project_.tcl", made in a private folder of its own, in the suite's Tcl shell,
// which opens and cleans the project at `projectPath`. Nothing is reported.
void WriteAndRunCleanupScript(const Port::StringBase<char>& projectPath);

// `path` with its project-file extension (.hlc, .xhlc, .ghlc, .rwk, .snp) replaced by
// `extension`, made absolute, or with `extension` appended to any other; canonical. A path
// that has the extension already comes back as it is. The dot of `extension` may be left out.
Port::StringBase<char> ReplaceProjectExtension(const Port::StringBase<char>& path,
                                               const Port::StringBase<char>& extension);

// Makes `directory` (and its parents) when it is missing. Fails, saying so, when it names
// something that is not a directory or cannot be made; an empty path is left alone.
Status VerifyCreateDir(const Port::StringBase<char>& directory);

}  // namespace Hvd
