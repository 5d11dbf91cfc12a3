// Single edits of a growing project, each made alone as a script makes them: a design of N
// VHDL units added one file at a time to a new project, and taken out again one at a time in
// the order they were added, through the project's file manager, the way `velfile add` and
// `velfile remove` do it. bench/velsh/single_edits.tcl does the same through velsh. The same
// edits of hdl_bench's mixed design of N files (VHDL and SystemVerilog cells with `timescale and
// package imports, packages, leaves, a testbench), as `single_edits.tcl -design mixed` makes them.
//
// Goals: one edit costs the same however large the project is: N = 2,000 costs at most 13
// times N = 200, adds and removals alike, and at 2,000 files one add costs under 1 ms.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "LoadedProject.h"
#include "MixedDesign.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IProject.h"
#include "Hvd/IFile.h"
#include "Hvd/IViewManager.h"
#include "core/Holders.h"

namespace {

namespace fs = std::filesystem;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using bench_support::HasTop;
using bench_support::Seconds;

bool Quick() { return std::getenv("EDIT_BENCH_QUICK") != nullptr; }

fs::path Folder() { return bench_support::ScratchFolder("edit_bench"); }

// A binary tree of `count` entities: unit_i instantiates unit_2i+1 and unit_2i+2. Its sources,
// in the order a script would add them.
std::vector<std::string> Design(std::int64_t count) {
  const fs::path directory = Folder() / ("design" + std::to_string(count));
  std::vector<std::string> files;
  const bool made = fs::exists(directory);
  fs::create_directories(directory);
  for (std::int64_t i = 0; i < count; ++i) {
    const fs::path file = directory / ("unit_" + std::to_string(i) + ".vhd");
    files.push_back(file.string());
    if (made) continue;
    std::ofstream out(file);
    out << "library ieee;\nuse ieee.std_logic_1164.all;\n\nentity unit_" << i
        << " is\n  port (clk : in std_logic; q : out std_logic);\nend entity;\n\narchitecture rtl of unit_" << i
        << " is\nbegin\n";
    for (std::int64_t child : {2 * i + 1, 2 * i + 2}) {
      if (child < count) out << "  u" << child << " : entity work.unit_" << child << " port map (clk => clk, q => open);\n";
    }
    out << "  q <= clk;\nend architecture;\n";
  }
  return files;
}

// A project file that lists the design's files as single adds leave them.
fs::path ProjectOf(std::int64_t count, const std::vector<std::string>& files) {
  const fs::path path = Folder() / ("design" + std::to_string(count)) / "full.xhlc";
  std::ofstream out(path);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
         "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n"
         "  <header/>\n  <version vel_kv:hlc_version=\"14.1\" vel_kv:schema_version=\"2\"/>\n  <files>\n";
  for (const std::string& file : files) {
    out << "    <file vel_kv:name=\"" << fs::path(file).filename().string() << "\" vel_kv:type=\"FILE_VHDL\">\n"
        << "      <association vel_kv:name=\"BehavioralSimulation\"/>\n"
        << "      <association vel_kv:name=\"Implementation\"/>\n    </file>\n";
  }
  out << "  </files>\n  <autoManagedFiles/>\n  <properties/>\n  <bindings/>\n  <libraries/>\n</project>\n";
  return path;
}

AutoRelease<Hvd::IProject> Open(const fs::path& file, benchmark::State& state) {
  bench_support::StartHost();
  AutoRelease<Hvd::IProject> project(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  if (!project || project->Open(file.c_str()) != Hvd::kSuccess) state.SkipWithError("open failed");
  return project;
}

// The time of one edit, from the iteration's time and the count of files edited.
void PerEdit(benchmark::State& state) {
  state.counters["per_edit"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                  benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
}

// Removes `files` one at a time as `velfile remove` does, in the order given.
void RemoveEach(Hvd::IFileManager* manager, const std::vector<std::string>& files, benchmark::State& state) {
  for (const std::string& path : files) {
    if (manager->RemoveFileByPath(path.c_str()) != Hvd::kSuccess) {
      state.SkipWithError("remove failed");
      return;
    }
  }
}

void BM_SingleAdds(benchmark::State& state) {
  const std::vector<std::string> files = Design(state.range(0));
  const fs::path file = Folder() / ("design" + std::to_string(state.range(0))) / "adds.xhlc";
  for (auto _ : state) {
    fs::remove(file);
    AutoRelease<Hvd::IProject> project = Open(file, state);
    AutoCast<Hvd::IFileManager> manager(project.Get());
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& path : files) {
      AutoRelease<Hvd::IHdlFile> added;
      if (manager->ProjectAddFile(path.c_str(), nullptr, added.Receive()) != Hvd::kSuccess || !added) {
        state.SkipWithError("add failed");
        break;
      }
      if (AutoCast<Hvd::IViewClassAssociation> classes(added.Get()); classes) {
        std::ignore = classes->SetBit(0);
        std::ignore = classes->SetBit(1);
      }
    }
    state.SetIterationTime(Seconds(start));
    if (!HasTop(project.Get())) state.SkipWithError("no top after the adds");
    std::ignore = project->ProjectClose(false);
  }
  PerEdit(state);
}

void BM_SingleRemovals(benchmark::State& state) {
  const std::vector<std::string> files = Design(state.range(0));
  const fs::path full = ProjectOf(state.range(0), files);
  const fs::path file = full.parent_path() / "removals.xhlc";
  for (auto _ : state) {
    fs::copy_file(full, file, fs::copy_options::overwrite_existing);
    AutoRelease<Hvd::IProject> project = Open(file, state);
    AutoCast<Hvd::IFileManager> manager(project.Get());
    const auto start = std::chrono::steady_clock::now();
    // In the order they were added, as a script's loop over the same files takes them out: each
    // removal takes the top, and the units it instantiated become roots of their own.
    RemoveEach(manager.Get(), files, state);
    state.SetIterationTime(Seconds(start));
    std::ignore = project->ProjectClose(false);
  }
  PerEdit(state);
}

// hdl_bench's design of `count` files on disk, in the order it lists them.
std::vector<std::string> MixedDesign(std::int64_t count) {
  const fs::path directory = Folder() / ("mixed" + std::to_string(count));
  const bench_support::Design design = bench_support::Generate(static_cast<int>(count));
  std::vector<std::string> files;
  for (const std::string& path : design.paths) {
    const fs::path file = directory / path.substr(1);  // "/gen/..."
    files.push_back(file.string());
    if (fs::exists(file)) continue;
    fs::create_directories(file.parent_path());
    std::ofstream(file) << design.texts.at(path);
  }
  return files;
}

// Adds `files` one at a time as `velfile add` does; false, with the benchmark's error, on a failure.
bool AddEach(Hvd::IFileManager* manager, const std::vector<std::string>& files, benchmark::State& state) {
  for (const std::string& path : files) {
    AutoRelease<Hvd::IHdlFile> added;
    if (manager->ProjectAddFile(path.c_str(), nullptr, added.Receive()) != Hvd::kSuccess || !added) {
      state.SkipWithError("add failed");
      return false;
    }
    if (AutoCast<Hvd::IViewClassAssociation> classes(added.Get()); classes) {
      std::ignore = classes->SetBit(0);
      std::ignore = classes->SetBit(1);
    }
  }
  return true;
}

void BM_SingleAddsMixed(benchmark::State& state) {
  const std::vector<std::string> files = MixedDesign(state.range(0));
  const fs::path file = Folder() / ("mixed" + std::to_string(state.range(0))) / "adds.xhlc";
  for (auto _ : state) {
    fs::remove(file);
    AutoRelease<Hvd::IProject> project = Open(file, state);
    AutoCast<Hvd::IFileManager> manager(project.Get());
    const auto start = std::chrono::steady_clock::now();
    const bool added = AddEach(manager.Get(), files, state);
    state.SetIterationTime(Seconds(start));
    if (added && !HasTop(project.Get())) state.SkipWithError("no top after the adds");
    std::ignore = project->ProjectClose(false);
  }
  PerEdit(state);
}

// The design added first, untimed, then taken out in the order it was added.
void BM_SingleRemovalsMixed(benchmark::State& state) {
  const std::vector<std::string> files = MixedDesign(state.range(0));
  const fs::path file = Folder() / ("mixed" + std::to_string(state.range(0))) / "removals.xhlc";
  for (auto _ : state) {
    fs::remove(file);
    AutoRelease<Hvd::IProject> project = Open(file, state);
    AutoCast<Hvd::IFileManager> manager(project.Get());
    if (!AddEach(manager.Get(), files, state)) break;
    const auto start = std::chrono::steady_clock::now();
    RemoveEach(manager.Get(), files, state);
    state.SetIterationTime(Seconds(start));
    std::ignore = project->ProjectClose(false);
  }
  PerEdit(state);
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  if (Quick()) {
    benchmark->Arg(20)->Iterations(1);
    return;
  }
  // Chosen sizes, e.g. "200,2000": for a profile, or where the largest takes too long.
  if (const char* sizes = std::getenv("EDIT_BENCH_SIZES"); sizes != nullptr) {
    for (const char* at = sizes; *at != 0;) {
      char* end = nullptr;
      benchmark->Arg(std::strtol(at, &end, 10));
      at = *end == ',' ? end + 1 : end;
      if (end == at && *end != 0) break;
    }
    benchmark->Iterations(1);
    return;
  }
  benchmark->Arg(200)->Arg(2000)->Arg(20000)->Iterations(1);
}

BENCHMARK(BM_SingleAdds)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SingleRemovals)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
// The largest size of the mixed design takes too long for a default run: EDIT_BENCH_SIZES asks for it.
void MixedSizes(benchmark::internal::Benchmark* benchmark) {
  if (Quick() || std::getenv("EDIT_BENCH_SIZES") != nullptr) return Sizes(benchmark);
  benchmark->Arg(200)->Arg(2000)->Iterations(1);
}
BENCHMARK(BM_SingleAddsMixed)->Apply(MixedSizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SingleRemovalsMixed)->Apply(MixedSizes)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
