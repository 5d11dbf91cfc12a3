#include "files/FileViewPlacement.h"

#include <atomic>

namespace Hvd {

namespace {

std::atomic<FileViewPlacer> g_placer{nullptr};
thread_local int t_holds = 0;

}  // namespace

std::uint32_t ViewClassOfBranch(std::string_view branch) {
  static constexpr struct {
    std::string_view branch;
    std::uint32_t viewClass;
  } kClasses[] = {{"BehavioralSimulation", 1},
                  {"PostSynthesisSimulation", 2},
                  {"PostTranslateSimulation", 3},
                  {"PostMapSimulation", 4},
                  {"PostRouteSimulation", 5}};
  for (const auto& entry : kClasses) {
    if (entry.branch == branch) return entry.viewClass;
  }
  return 0;
}

void InstallFileViewPlacer(FileViewPlacer placer) noexcept { g_placer.store(placer); }

void PlaceFileInViews(IFile* file, IDesign* design, bool backOnDisk) {
  const FileViewPlacer placer = g_placer.load();
  if (placer == nullptr || t_holds > 0 || file == nullptr || design == nullptr) return;
  placer(file, design, backOnDisk);
}

FileViewPlacementHold::FileViewPlacementHold() noexcept { ++t_holds; }

FileViewPlacementHold::~FileViewPlacementHold() { --t_holds; }

}  // namespace Hvd
