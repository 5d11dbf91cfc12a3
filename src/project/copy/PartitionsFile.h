#pragma once
// The project's partitions file, NAME.hdp beside NAME.xhlc, which a copy of the project takes
// along under the copy's name.

#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

class MadeFolders;

// The partitions file of a project file.
Port::StringBase<char> PartitionsFileOf(const Port::StringBase<char>& projectFile);

// Writes the partitions of `project` beside `destinationProjectFile`, under its name: those the
// open project holds in its hierarchical-design project, which writes them to disk only when
// the project closes, else the file beside `sourceProjectFile`. A project without partitions
// leaves none there. With `made`, a copy of the file is recorded there, and its failure named
// with the system's reason (FileUtils::CopyFile).
Status CarryPartitionsFile(IProject* project, const Port::StringBase<char>& sourceProjectFile,
                           const Port::StringBase<char>& destinationProjectFile, MadeFolders* made = nullptr);

}  // namespace Hvd
