#pragma once
// The project's usage statistics: its anonymous id and creation time, where its working
// directory lies, and the statistics file "metrion_kv.xml" in its working directory.

#include <string>

#include "CitI/IInterface.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"

namespace Hvd {

// Gives the project an id and a creation time stamp when it has none; values already there
// are kept, so both survive saving and reopening.
void EnsureUsageIdentity(IProject* project);

// Takes the iteration from the statistics file in the working directory, when there is one,
// and records where the working directory lies relative to the project directory. Nothing
// happens for an object that is not a project.
void CollectMetrionData(CitI::IInterface* project);

// The part of CollectMetrionData that records where the working directory lies relative to the
// project directory, from the project's paths as they are now.
void RecordWorkingDirectoryPlace(CitI::IInterface* project);

// Writes the statistics file into the working directory: 1 when written, kProjectNotOpen for
// a closed project, kMissingInterface for an object that is not a project, 0 when the file
// could not be written (the old file is then left whole).
Status WriteMetrionData(CitI::IInterface* project);

// Where the working directory lies relative to the project directory, both without trailing
// separators: the values of PROP_intWorkingDirUsed and PROP_intWorkingDirLocWRTProjDir.
struct WorkingDirectoryPlace {
  const char* used;
  const char* location;
};
WorkingDirectoryPlace ClassifyWorkingDirectory(const std::string& projectDirectory,
                                               const std::string& workingDirectory);

}  // namespace Hvd
