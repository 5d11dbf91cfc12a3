// The HDL scanner and project on generated mixed designs: VHDL and SystemVerilog cells in a binary
// tree (so 200 files are already 7 levels deep), VHDL packages with bodies, SystemVerilog packages,
// shared leaf cells and a testbench. Measured: a full scan (bytes per second, and the project's
// resident memory against the source size) on one thread and on four, compile order plus top
// candidates (also as a share of the scan on one and on four threads), and the re-parse of one
// changed file and the removal and addition of one file with the answers after each, which must not
// grow with the design. On the design whose Verilog files include shared define headers
// (GenerateWithHeaders), its files added in sorted order and taken out one at a time, each removal
// followed by the answers a caller asks for, as the project manager's single removals reach the
// scanner.
// HDL_BENCH_QUICK=1 shrinks every size for the test command's quick pass.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "HdlScan/Project.h"
#include "MixedDesign.h"

namespace {

using namespace Hdl::scan;

using bench_support::Design;
using bench_support::Generate;

const Design& DesignOf(int files) {
  static std::map<int, std::unique_ptr<Design>> designs;
  auto& slot = designs[files];
  if (!slot) slot = std::make_unique<Design>(Generate(files));
  return *slot;
}

Reader ReaderOf(const Design& d) {
  return [&d](const std::string& path, std::string* text) {
    const auto found = d.texts.find(path);
    if (found == d.texts.end()) return ReadStatus::kMissing;
    *text = found->second;
    return ReadStatus::kOk;
  };
}

// Scanned on `threads` threads; 0: the project's default.
std::unique_ptr<Project> Build(const Design& d, std::size_t threads = 0) {
  auto project = std::make_unique<Project>();
  project->SetScanThreads(threads);
  project->SetReader(ReaderOf(d));
  project->SetVhdlStandard(VhdlStandard::k2008);
  for (std::size_t i = 0; i < d.paths.size(); ++i) {
    const auto library = d.libraries.find(d.paths[i]);
    project->AddFile(i + 1, d.paths[i], static_cast<std::int64_t>(i),
                     library == d.libraries.end() ? "work" : std::string_view(library->second));
  }
  project->Update();
  return project;
}

std::size_t ResidentBytes() {
  long pages = 0;
  long resident = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return static_cast<std::size_t>(resident) * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

bool Quick() { return std::getenv("HDL_BENCH_QUICK") != nullptr; }

void Sizes(benchmark::internal::Benchmark* b) {
  for (int files : Quick() ? std::vector<int>{24, 48} : std::vector<int>{200, 2000, 20000}) b->Arg(files);
}

// The sizes, each scanned on one thread and on four.
void SizesAndThreads(benchmark::internal::Benchmark* b) {
  for (int files : Quick() ? std::vector<int>{24, 48} : std::vector<int>{200, 2000, 20000}) {
    for (int threads : {1, 4}) b->Args({files, threads});
  }
}

double ScanSeconds(const Design& d, std::size_t threads) {
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    const auto start = std::chrono::steady_clock::now();
    auto scanned = Build(d, threads);
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

void BM_FullScan(benchmark::State& state) {
  const Design& d = DesignOf(static_cast<int>(state.range(0)));
  const auto threads = static_cast<std::size_t>(state.range(1));
  for (auto _ : state) {
    auto project = Build(d, threads);
    state.PauseTiming();  // taking the project down is no part of the scan
    project.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.bytes));
  // What one project keeps once its scans are done, against the text it read.
  ::malloc_trim(0);
  const std::size_t before = ResidentBytes();
  auto project = Build(d, threads);
  ::malloc_trim(0);
  const std::size_t after = ResidentBytes();
  state.counters["source_MB"] = static_cast<double>(d.bytes) / 1e6;
  state.counters["project_MB"] = static_cast<double>(after > before ? after - before : 0) / 1e6;
  state.counters["project_per_source"] = static_cast<double>(after > before ? after - before : 0) / d.bytes;
}
BENCHMARK(BM_FullScan)->Apply(SizesAndThreads)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CompileOrderAndTop(benchmark::State& state) {
  const Design& d = DesignOf(static_cast<int>(state.range(0)));
  const double scanOne = ScanSeconds(d, 1);
  const double scanFour = ScanSeconds(d, 4);
  auto project = Build(d);
  std::size_t units = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    project->Invalidate();
    units = project->GetCompileOrder().units.size();
    benchmark::DoNotOptimize(project->TopCandidates());
  }
  const double loopSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.SetComplexityN(state.range(0));
  state.counters["units"] = static_cast<double>(units);
  const double seconds = loopSeconds / static_cast<double>(state.iterations());
  state.counters["share_of_scan_1"] = seconds / scanOne;
  state.counters["share_of_scan_4"] = seconds / scanFour;
  // Four leaves go unused, so they are tops too; the testbench follows them.
  if (project->TopCandidates().empty() || project->TopCandidates().back().unit.name != "tb_top") {
    state.SkipWithError("the testbench is not the last top");
  }
}
BENCHMARK(BM_CompileOrderAndTop)->Apply(Sizes)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void BM_ReparseOneFile(benchmark::State& state) {
  const Design& d = DesignOf(static_cast<int>(state.range(0)));
  auto project = Build(d);
  const FileHandle changed = d.middle + 1;
  for (auto _ : state) {
    project->SetModified(changed);
    benchmark::DoNotOptimize(project->Update());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.texts.at(d.paths[d.middle]).size()));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReparseOneFile)->Apply(Sizes)->Unit(benchmark::kMicrosecond)->Complexity(benchmark::o1);

// One file taken out and added back last, each followed by what a caller asks after an edit: the
// tops, each top's hierarchy one level down and the file's units. Must not grow with the design.
void BM_RemoveAndAddOneFile(benchmark::State& state) {
  const Design& d = DesignOf(static_cast<int>(state.range(0)));
  auto project = Build(d);
  const FileHandle changed = d.middle + 1;
  std::int64_t order = static_cast<std::int64_t>(d.paths.size());
  auto ask = [&] {
    for (const TopCandidate& top : project->TopCandidates()) {
      if (const std::optional<HierarchyCursor> root = project->HierarchyRoot(top.unit.name)) {
        benchmark::DoNotOptimize(root->Children());
      }
    }
    benchmark::DoNotOptimize(project->UnitsOf(changed));
  };
  ask();
  for (auto _ : state) {
    project->Remove(changed);
    ask();
    project->AddFile(changed, d.paths[d.middle], order++);
    ask();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RemoveAndAddOneFile)->Apply(Sizes)->Unit(benchmark::kMicrosecond)->Complexity(benchmark::o1);

const Design& HeaderDesignOf(int files) {
  static std::map<int, std::unique_ptr<Design>> designs;
  auto& slot = designs[files];
  if (!slot) {
    slot = std::make_unique<Design>(bench_support::GenerateWithHeaders(files));
    std::sort(slot->paths.begin(), slot->paths.end());  // as a script adds them
  }
  return *slot;
}

// The design with headers taken out one file at a time, in the order it was added (range 1 = 0) or
// in the reverse order (1), each removal followed by what the project manager asks for to choose
// its top again: the tops by id and version, and the hierarchy one level down of each top whose
// version it has not read yet.
void BM_RemoveEachWithHeaders(benchmark::State& state) {
  const Design& d = HeaderDesignOf(static_cast<int>(state.range(0)));
  const bool reverse = state.range(1) != 0;
  std::size_t scanned = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto project = Build(d);
    std::unordered_map<std::uint32_t, std::uint64_t> read;  // the version of each top last read, by id
    state.ResumeTiming();
    for (std::size_t k = 0; k < d.paths.size(); ++k) {
      const FileHandle handle = reverse ? d.paths.size() - k : k + 1;
      project->Remove(handle);
      scanned += project->Update();
      for (const TopRef& top : project->TopRefs()) {
        const auto [at, first] = read.try_emplace(top.id, top.version);
        if (!first && top.version != 0 && at->second == top.version) continue;
        at->second = top.version;
        if (const std::optional<HierarchyCursor> root = project->HierarchyRoot(project->TopUnit(top.id).name)) {
          benchmark::DoNotOptimize(root->Children());
        }
      }
    }
    state.PauseTiming();
    project.reset();
    state.ResumeTiming();
  }
  state.counters["files"] = static_cast<double>(d.paths.size());
  state.counters["scans_per_removal"] =
      static_cast<double>(scanned) / static_cast<double>(state.iterations() * d.paths.size());
  state.counters["per_removal"] = benchmark::Counter(static_cast<double>(d.paths.size()),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}
BENCHMARK(BM_RemoveEachWithHeaders)
    ->Apply([](benchmark::internal::Benchmark* b) {
      for (int reverse : {0, 1}) {
        for (int files : Quick() ? std::vector<int>{24, 48} : std::vector<int>{200, 2000}) b->Args({files, reverse});
      }
    })
    ->ArgNames({"files", "reverse"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The scanners alone, without the project, over every file of a 2,000-file design.
void BM_ScanTextOnly(benchmark::State& state) {
  const Design& d = DesignOf(Quick() ? 48 : 2000);
  const ScanOptions options;
  for (auto _ : state) {
    for (const std::string& path : d.paths) {
      benchmark::DoNotOptimize(ScanText(d.texts.at(path), Language::kAuto, path, options));
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.bytes));
}
BENCHMARK(BM_ScanTextOnly)->Unit(benchmark::kMillisecond);

// Depth of the generated hierarchy, so the figures above are known to be over a deep tree.
void BM_HierarchyBelowTop(benchmark::State& state) {
  const Design& d = DesignOf(static_cast<int>(state.range(0)));
  auto project = Build(d);
  int depth = 0;
  std::size_t nodes = 0;
  for (auto _ : state) {
    const std::optional<HierarchyNode> tree = project->Hierarchy("tb_top");
    depth = 0;
    nodes = 0;
    std::vector<std::pair<const HierarchyNode*, int>> work{{&*tree, 1}};
    while (!work.empty()) {
      const auto [node, level] = work.back();
      work.pop_back();
      ++nodes;
      depth = std::max(depth, level);
      for (const HierarchyNode& child : node->children) work.emplace_back(&child, level + 1);
    }
  }
  state.counters["depth"] = depth;
  state.counters["nodes"] = static_cast<double>(nodes);
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_HierarchyBelowTop)->Apply(Sizes)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace
