#pragma once
// A file knows when it must be placed in its design's views (its view classes grew, or it came
// back on disk); the design knows how. The design installs the way, so that the file floor
// never reaches up to it.

#include <cstdint>
#include <string_view>

#include "Hvd/IDesign.h"
#include "Hvd/IFile.h"

namespace Hvd {

// The bit of a file's view-class association that a view's BRANCH stands for. Every BRANCH
// outside the table, the empty one included, is the implementation's (class 0). They are not
// the numbers a view uses for its own sequence ids.
std::uint32_t ViewClassOfBranch(std::string_view branch);

// `backOnDisk`: the file was missing at its last check and is there again.
using FileViewPlacer = void (*)(IFile* file, IDesign* design, bool backOnDisk);

// Installed by every design as it is made; the same function each time.
void InstallFileViewPlacer(FileViewPlacer placer) noexcept;

// Places `file` in the views of `design` that take it, unless a hold is in force on this
// thread or no design installed the way yet. A file back on disk that the views take for their
// sources' includes is not placed: the views look again for what their sources include.
void PlaceFileInViews(IFile* file, IDesign* design, bool backOnDisk = false);

// While held, files are not placed one by one: the holder places every file once at the end
// (a project file being read sets the view classes of thousands of files).
class FileViewPlacementHold {
 public:
  FileViewPlacementHold() noexcept;
  ~FileViewPlacementHold();
  FileViewPlacementHold(const FileViewPlacementHold&) = delete;
  FileViewPlacementHold& operator=(const FileViewPlacementHold&) = delete;
};

}  // namespace Hvd
