#pragma once
// Shared design-data utilities: named objects, repositories and active projects.

#include "CitI/IInterface.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IProjectRepository.h"

namespace Hvd {

// The repository registered for a project-file path, with one reference for the caller;
// created when missing and `createWhenMissing` is set. `found` (when given) tells whether
// a repository came back.
Prjrep::IProjectRepository* FindAutonymByName(const char* name, bool createWhenMissing, bool* found = nullptr);

// Registers `object` under `name` in `table`: at once with `replace`, else only while the
// name is free (0 when taken). An object that can name itself is registered by its autonym
// too, when the table keeps autonyms.
Status RegisterNamedObject(CitI::IInterface* table, const Port::StringBase<char>& name, CitI::IInterface* object,
                           bool replace);

// The path of the project file of the project that `object` belongs to; empty when none.
Port::StringBase<char> GetObjectFullPath(CitI::IInterface* object);

// The project registered as "ActiveHvdProject" in the repository of `path`, with one
// reference for the caller, or null.
IProject* GetActiveProjectOfRepository(const Port::StringBase<char>& path);

// The active project of the repository in which `object` lives, with one reference, or null.
IProject* GetActiveProjectOfObject(CitI::IInterface* object);

}  // namespace Hvd
