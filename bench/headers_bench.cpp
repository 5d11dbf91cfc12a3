// Single edits and the open of a design whose Verilog files include shared define headers: the
// design of MixedDesign.h's GenerateWithHeaders (Verilog and VHDL cells, the VHDL ones in four
// libraries, a quarter of the Verilog ones including their block's guarded header, which lies
// beside them and is no project file), as `single_edits.tcl -design headers` and
// `open.tcl -design headers` script them through velsh:
//   - its N files added one at a time in sorted order to a new project, each into its library,
//     the way `velfile add FILE ?-library NAME?` does it;
//   - the same files taken out one at a time, the way `velfile remove` does it, in the order
//     they were added and in the reverse order;
//   - `project open` and the first `project save` of a project file listing them, against
//     `xmllint --format` of the same file in the same round.
//
// Goals: N = 2,000 costs at most 13 times N = 200, adds and removals in either order alike; open
// plus first save of 10,000 files within 8 times xmllint's time.
// HEADERS_BENCH_QUICK=1 shrinks every size for the test command's quick pass; HEADERS_BENCH_SIZES
// (e.g. "200,2000") chooses the sizes of the edits, HEADERS_BENCH_OPEN_SIZE that of the open.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "LoadedProject.h"
#include "MixedDesign.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IProject.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Hvd/IViewManager.h"
#include "core/Holders.h"

namespace {

namespace fs = std::filesystem;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using bench_support::HasTop;
using bench_support::Seconds;

bool Quick() { return std::getenv("HEADERS_BENCH_QUICK") != nullptr; }

fs::path Folder() { return bench_support::ScratchFolder("headers_bench"); }

// A design file on disk and the library it is added into.
struct Source {
  std::string path;
  std::string library;
};

// The design of `count` files on disk under a folder of its own, headers beside them, in sorted
// order as a script's `lsort` of them gives them.
std::vector<Source> Design(std::int64_t count) {
  const fs::path directory = Folder() / ("design" + std::to_string(count));
  const bench_support::Design design = bench_support::GenerateWithHeaders(static_cast<int>(count));
  if (!fs::exists(directory)) {
    for (const auto& [path, text] : design.texts) {
      const fs::path file = directory / path.substr(5);  // "/gen/..."
      fs::create_directories(file.parent_path());
      std::ofstream(file) << text;
    }
  }
  std::vector<Source> sources;
  for (const std::string& path : design.paths) {
    const auto library = design.libraries.find(path);
    sources.push_back({(directory / path.substr(5)).string(), library == design.libraries.end() ? "work" : library->second});
  }
  std::sort(sources.begin(), sources.end(), [](const Source& a, const Source& b) { return a.path < b.path; });
  return sources;
}

AutoRelease<Hvd::IProject> Open(const fs::path& file, benchmark::State& state) {
  bench_support::StartHost();
  AutoRelease<Hvd::IProject> project(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  if (!project || project->Open(file.c_str()) != Hvd::kSuccess) state.SkipWithError("open failed");
  return project;
}

// `velfile add FILE ?-library NAME?`: added for every view, then moved into its library, which
// the first file of a library makes.
bool Add(Hvd::IProject* project, const Source& source) {
  AutoCast<Hvd::IFileManager> manager(project);
  AutoRelease<Hvd::IHdlFile> added;
  if (manager->ProjectAddFile(source.path.c_str(), nullptr, added.Receive()) != Hvd::kSuccess || !added) return false;
  if (AutoCast<Hvd::IViewClassAssociation> classes(added.Get()); classes) {
    std::ignore = classes->SetBit(0);
    std::ignore = classes->SetBit(1);
  }
  if (source.library == "work") return true;
  AutoCast<Hvd::ISourceLibraryManager> libraries(project);
  AutoRelease<Hvd::ISourceLibrary> library;
  if (libraries->FindSourceLibrary(source.library.c_str(), library.Receive()) == Hvd::kSuccess && !library)
    std::ignore = libraries->CreateSourceLibrary(source.library.c_str(), library.Receive());
  AutoCast<Hvd::ISourceLibraryMember> member(added.Get());
  return library && member && member->SetLibrary(library) == Hvd::kSuccess;
}

// Adds every source in its order; false, with the benchmark's error, on a failure.
bool AddEach(Hvd::IProject* project, const std::vector<Source>& sources, benchmark::State& state) {
  for (const Source& source : sources) {
    if (!Add(project, source)) {
      state.SkipWithError("add failed");
      return false;
    }
  }
  return true;
}

// Removes the sources one at a time as `velfile remove` does, in the order given.
void RemoveEach(Hvd::IProject* project, const std::vector<Source>& sources, benchmark::State& state) {
  AutoCast<Hvd::IFileManager> manager(project);
  for (const Source& source : sources) {
    if (manager->RemoveFileByPath(source.path.c_str()) != Hvd::kSuccess) {
      state.SkipWithError("remove failed");
      return;
    }
  }
}

// The time of one edit, from the iteration's time and the count of files edited.
void PerEdit(benchmark::State& state, std::size_t files) {
  state.counters["files"] = static_cast<double>(files);
  state.counters["per_edit"] = benchmark::Counter(static_cast<double>(files), benchmark::Counter::kIsIterationInvariantRate |
                                                                                  benchmark::Counter::kInvert);
}

void BM_SingleAdds(benchmark::State& state) {
  const std::vector<Source> sources = Design(state.range(0));
  const fs::path file = Folder() / ("design" + std::to_string(state.range(0))) / "adds.xhlc";
  for (auto _ : state) {
    fs::remove(file);
    AutoRelease<Hvd::IProject> project = Open(file, state);
    const auto start = std::chrono::steady_clock::now();
    const bool added = AddEach(project.Get(), sources, state);
    state.SetIterationTime(Seconds(start));
    if (added && !HasTop(project.Get())) state.SkipWithError("no top after the adds");
    std::ignore = project->ProjectClose(false);
  }
  PerEdit(state, sources.size());
}

// The design added first, untimed, then taken out in the order it was added (range 1 = 0) or in
// the reverse order (1).
void BM_SingleRemovals(benchmark::State& state) {
  std::vector<Source> sources = Design(state.range(0));
  const fs::path file = Folder() / ("design" + std::to_string(state.range(0))) / "removals.xhlc";
  std::vector<Source> order = sources;
  if (state.range(1) != 0) std::reverse(order.begin(), order.end());
  for (auto _ : state) {
    fs::remove(file);
    AutoRelease<Hvd::IProject> project = Open(file, state);
    if (!AddEach(project.Get(), sources, state)) break;
    const auto start = std::chrono::steady_clock::now();
    RemoveEach(project.Get(), order, state);
    state.SetIterationTime(Seconds(start));
    std::ignore = project->ProjectClose(false);
  }
  PerEdit(state, sources.size());
}

// The project file of `sources` in `folder`, as open.tcl writes it: the files in sorted order
// with their libraries, the headers among the files the project manages by itself.
fs::path ProjectOf(const fs::path& file, const fs::path& folder, const std::vector<Source>& sources) {
  std::ofstream out(file);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
         "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n\n"
         "  <header/>\n\n  <version vel_kv:hlc_version=\"14.1\" vel_kv:schema_version=\"2\"/>\n\n  <files>\n";
  for (const Source& source : sources) {
    const bool verilog = fs::path(source.path).extension() == ".v";
    out << "    <file vel_kv:name=\"" << fs::path(source.path).lexically_relative(folder).string()
        << "\" vel_kv:type=\"" << (verilog ? "FILE_VERILOG" : "FILE_VHDL") << "\">\n"
        << "      <association vel_kv:name=\"BehavioralSimulation\"/>\n"
        << "      <association vel_kv:name=\"Implementation\"/>\n";
    if (source.library != "work") out << "      <library vel_kv:name=\"" << source.library << "\"/>\n";
    out << "    </file>\n";
  }
  out << "  </files>\n\n  <autoManagedFiles>\n";
  for (int block = 0; block < 8; ++block) {
    out << "    <file vel_kv:name=\"blk" << block << "/blk" << block << "_defs.vh\" vel_kv:type=\"FILE_VERILOG\"/>\n";
  }
  out << "  </autoManagedFiles>\n\n  <properties>\n"
         "    <property vel_kv:name=\"Device Family\" vel_kv:value=\"Orvanta\" vel_kv:valueState=\"non-default\"/>\n"
         "  </properties>\n\n  <bindings/>\n\n  <libraries>\n";
  for (int k = 0; k < 4; ++k) out << "    <library vel_kv:name=\"lib" << k << "\"/>\n";
  out << "  </libraries>\n\n</project>\n";
  return file;
}

// `project open` then `project save` of a fresh project file in the design's folder, with no
// generated file or parser log yet: the project's Open and its first forced save, timed apart and
// together; xmllint of the same file runs in each round for the ratio.
void BM_OpenFirstSave(benchmark::State& state) {
  const std::vector<Source> sources = Design(state.range(0));
  const fs::path folder = Folder() / ("design" + std::to_string(state.range(0)));
  bench_support::StartHost();
  bench_support::OpenFirstSaveTimes times;
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path file = folder / ("open" + std::to_string(times.rounds + 1) + ".xhlc");
    fs::remove(folder / "hdlparser.log");
    ProjectOf(file, folder, sources);
    times.Round(state, file, [&state](Hvd::IProject* project) {
      if (!HasTop(project)) state.SkipWithError("no top after the open");
    });
    state.ResumeTiming();
  }
  times.Report(state, static_cast<double>(sources.size()));
}

void EditSizes(benchmark::internal::Benchmark* benchmark, bool orders) {
  std::vector<std::int64_t> sizes = {200, 2000};
  if (Quick()) {
    sizes = {20};
  } else if (const char* chosen = std::getenv("HEADERS_BENCH_SIZES"); chosen != nullptr) {
    sizes.clear();
    for (const char* at = chosen; *at != 0;) {
      char* end = nullptr;
      sizes.push_back(std::strtol(at, &end, 10));
      if (end == at) break;
      at = *end == ',' ? end + 1 : end;
    }
  }
  for (int reverse = 0; reverse < (orders ? 2 : 1); ++reverse) {
    for (std::int64_t size : sizes) {
      if (orders) {
        benchmark->Args({size, reverse});
      } else {
        benchmark->Arg(size);
      }
    }
  }
  benchmark->Iterations(1);
}

BENCHMARK(BM_SingleAdds)
    ->Apply([](benchmark::internal::Benchmark* benchmark) { EditSizes(benchmark, false); })
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SingleRemovals)
    ->Apply([](benchmark::internal::Benchmark* benchmark) { EditSizes(benchmark, true); })
    ->ArgNames({"files", "reverse"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenFirstSave)
    ->Apply([](benchmark::internal::Benchmark* benchmark) {
      const char* size = std::getenv("HEADERS_BENCH_OPEN_SIZE");
      benchmark->Arg(Quick() ? 100 : size != nullptr ? std::atol(size) : 10000)->Iterations(Quick() ? 1 : 3);
    })
    ->Unit(benchmark::kMillisecond);

}  // namespace
