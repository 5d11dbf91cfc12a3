#include "files/FileViewPlacement.h"

#include <atomic>

namespace Hvd {

namespace {

std::atomic<FileViewPlacer> g_placer{nullptr};
thread_local int t_holds = 0;

}  // namespace

void InstallFileViewPlacer(FileViewPlacer placer) noexcept { g_placer.store(placer); }

void PlaceFileInViews(IFile* file, IDesign* design, bool backOnDisk) {
  const FileViewPlacer placer = g_placer.load();
  if (placer == nullptr || t_holds > 0 || file == nullptr || design == nullptr) return;
  placer(file, design, backOnDisk);
}

FileViewPlacementHold::FileViewPlacementHold() noexcept { ++t_holds; }

FileViewPlacementHold::~FileViewPlacementHold() { --t_holds; }

}  // namespace Hvd
