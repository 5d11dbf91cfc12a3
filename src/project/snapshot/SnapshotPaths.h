#pragma once
// Where a project's snapshots lie, how a snapshot name is checked, and the open projects and
// project helpers that a snapshot's project files may already have.

#include "Hvd/IProject.h"
#include "Hvd/IProjectHelper.h"
#include "Port/StringBase.h"
#include "core/Holders.h"

namespace Hvd::Snapshots {

using String = Port::StringBase<char>;

// A snapshot name becomes one directory under "snapshots": it may not be empty, "." or "..",
// hold a separator or a byte the host cannot name.
bool IsValidName(const String& name);

// The mark a take writes into the directory it makes, holding the token of its claim; it goes
// once the snapshot is whole, and is never restored into a project.
inline constexpr const char* kTakeMark = ".made_by_take";

// The directory of the project file, without a trailing separator; "" when the project has
// no project file.
String ProjectDirectory(IProject2* project);
// <project dir>/snapshots; "" without a project file.
String SnapshotsDirectory(IProject2* project);
// Whether the "snapshots" directory of the project is a link: what it leads to lies outside the
// project, so no snapshot is taken, listed, restored or deleted through it.
bool SnapshotsDirectoryIsLink(IProject2* project);
// <project dir>/snapshots/<name>/<project file name> with the extension ".snp"; "" without a
// project file or for a refused name.
String MarkerPath(IProject2* project, const String& name);

// The working directory of the project as the snapshot's copy is to keep it: relative to the
// project directory when it lies inside it, else absolute.
String WorkingDirectoryForCopy(IProject2* project);

// The older repository file that belongs to a project file: <working dir>/<base>.hlc, with the
// working directory the file records, canonical.
String GetRepositoryFileName(const String& projectFile);

// The project that the host has open for that project file, registered as "HvdProject" in its
// repository; null when there is none.
Prjrep::AutoRelease<IProject> FindOpenHvdProject(const String& projectFile);
// The same for the project helper registered as "CvfProject".
Prjrep::AutoRelease<IProjectHelper> FindOpenCvfProjectHelper(const String& projectFile);

}  // namespace Hvd::Snapshots
