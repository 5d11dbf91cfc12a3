// A chain of child projects, each holding one source and the next one's project file: opening
// the first opens them all, closing it closes them all.
//
// Goal: linear growth in the length of the chain (twice the projects, about twice the time).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "LoadedProject.h"
#include "Hvd/IProject.h"
#include "core/Holders.h"

namespace {

namespace fs = std::filesystem;
using Prjrep::AutoRelease;

bool Quick() { return std::getenv("CHAIN_BENCH_QUICK") != nullptr; }

fs::path Folder() { return bench_support::ScratchFolder("chain_bench"); }

void WriteAtomically(const fs::path& path, const std::string& text) {
  std::ofstream(path.string() + ".tmp") << text;
  fs::rename(path.string() + ".tmp", path);
}

// The first project file of a chain of `length` projects, p0 .. p<length-1>, each in its own
// folder beside the others.
fs::path Chain(std::int64_t length) {
  const fs::path directory = Folder() / ("chain" + std::to_string(length));
  const fs::path first = directory / "p0" / "p0.xhlc";
  if (fs::exists(first)) return first;
  for (std::int64_t i = length - 1; i >= 0; --i) {
    const std::string name = "p" + std::to_string(i);
    fs::create_directories(directory / name);
    WriteAtomically(directory / name / ("unit_" + std::to_string(i) + ".vhd"),
                    "entity unit_" + std::to_string(i) + " is\nend entity;\n");
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
        "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n"
        "  <header/>\n  <version vel_kv:hlc_version=\"14.1\" vel_kv:schema_version=\"2\"/>\n  <files>\n"
        "    <file vel_kv:name=\"unit_" +
        std::to_string(i) + ".vhd\" vel_kv:type=\"FILE_VHDL\">\n      <association vel_kv:name=\"Implementation\"/>\n"
        "    </file>\n";
    if (i + 1 < length) {
      const std::string next = "p" + std::to_string(i + 1);
      text += "    <file vel_kv:name=\"../" + next + "/" + next + ".xhlc\" vel_kv:type=\"FILE_XHLC\"/>\n";
    }
    text += "  </files>\n  <autoManagedFiles/>\n  <properties/>\n  <bindings/>\n  <libraries/>\n</project>\n";
    WriteAtomically(directory / name / (name + ".xhlc"), text);
  }
  return first;
}

AutoRelease<Hvd::IProject> OpenChain(const fs::path& first, benchmark::State& state) {
  AutoRelease<Hvd::IProject> project(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  if (project->Open(first.c_str()) != Hvd::kSuccess) state.SkipWithError("open failed");
  return project;
}

void BM_CloseChain(benchmark::State& state) {
  bench_support::StartHost();
  const fs::path first = Chain(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    AutoRelease<Hvd::IProject> project = OpenChain(first, state);
    state.ResumeTiming();
    if (project->ProjectClose(false) != Hvd::kSuccess) state.SkipWithError("close failed");
  }
  state.counters["projects"] = static_cast<double>(state.range(0));
}

// The open beside it, for comparison.
void BM_OpenChain(benchmark::State& state) {
  bench_support::StartHost();
  const fs::path first = Chain(state.range(0));
  for (auto _ : state) {
    AutoRelease<Hvd::IProject> project = OpenChain(first, state);
    state.PauseTiming();
    std::ignore = project->ProjectClose(false);
    state.ResumeTiming();
  }
  state.counters["projects"] = static_cast<double>(state.range(0));
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  if (Quick()) {
    benchmark->Arg(3)->Iterations(1);
    return;
  }
  // One size, once: for a profile.
  if (const char* size = std::getenv("CHAIN_BENCH_SIZE"); size != nullptr) {
    benchmark->Arg(std::atol(size))->Iterations(1);
    return;
  }
  benchmark->Arg(10)->Arg(20)->Arg(40)->Iterations(3);
}

BENCHMARK(BM_CloseChain)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenChain)->Apply(Sizes)->Unit(benchmark::kMillisecond);

}  // namespace
