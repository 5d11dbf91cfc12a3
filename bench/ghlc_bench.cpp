// Opening a project whose generated file lists many output files: two transforms, each with its
// own outputs, all of them generated files of the project.
//
// Goal: linear growth in the number of outputs (twice the outputs, about twice the time).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "LoadedProject.h"
#include "Hvd/IProject.h"
#include "Hvd/ITransformEngine.h"
#include "Hvd/ITransformInstance.h"
#include "core/Holders.h"

namespace {

namespace fs = std::filesystem;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;

bool Quick() { return std::getenv("GHLC_BENCH_QUICK") != nullptr; }

fs::path Folder() { return bench_support::ScratchFolder("ghlc_bench"); }

constexpr const char* kTransforms[] = {"TRAN_synth", "TRAN_translate"};

// A project without sources whose generated file lists `count` outputs for each of two
// transforms.
fs::path Generated(std::int64_t count) {
  const fs::path directory = Folder() / ("proj" + std::to_string(count));
  const fs::path file = directory / "p.xhlc";
  if (fs::exists(file)) return file;
  fs::create_directories(directory);
  std::ofstream(directory / "p.ghlc.tmp") << [&] {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
        "<generated_project xmlns=\"http://www.velmor.com/XMLSchema\" "
        "xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n  <files>\n";
    for (int t = 0; t < 2; ++t) {
      for (std::int64_t i = 0; i < count; ++i) {
        text += "    <file vel_kv:name=\"gen/t" + std::to_string(t) + "/out_" + std::to_string(i) +
                ".ngc\" vel_kv:origination=\"generated\"/>\n";
      }
    }
    text += "  </files>\n  <transforms>\n";
    for (int t = 0; t < 2; ++t) {
      text += std::string("    <transform vel_kv:name=\"") + kTransforms[t] + "\" vel_kv:end_ts=\"1700000042\">\n";
      for (std::int64_t i = 0; i < count; ++i)
        text += "      <outfile vel_kv:name=\"gen/t" + std::to_string(t) + "/out_" + std::to_string(i) + ".ngc\"/>\n";
      text += "    </transform>\n";
    }
    return text + "  </transforms>\n</generated_project>\n";
  }();
  fs::rename(directory / "p.ghlc.tmp", directory / "p.ghlc");
  std::ofstream(file.string() + ".tmp")
      << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
         "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n"
         "  <header/>\n  <version vel_kv:hlc_version=\"14.1\" vel_kv:schema_version=\"2\"/>\n  <files/>\n"
         "  <autoManagedFiles/>\n  <properties/>\n  <bindings/>\n  <libraries/>\n</project>\n";
  fs::rename(file.string() + ".tmp", file);
  return file;
}

// How many outputs the transform holds after the open.
std::size_t OutputsOf(Hvd::IProject* project, const char* name) {
  Hvd::IDesign* design = nullptr;
  AutoRelease<Hvd::ITransformEngine> engine;
  AutoRelease<Hvd::ITransformInstance> instance;
  AutoRelease<Prjrep::ISet> outputs;
  if (project->GetDesign(&design) != Hvd::kSuccess || design->GetTOE(engine.Receive()) != Hvd::kSuccess ||
      AutoCast<Hvd::ITransformAccess>(engine.Get())->FindTransformInstance(name, instance.Receive()) != Hvd::kSuccess ||
      instance->GetOutputFiles(outputs.Receive()) != Hvd::kSuccess)
    return 0;
  return outputs->Size();
}

void BM_OpenGeneratedOutputs(benchmark::State& state) {
  bench_support::StartHost();
  const fs::path file = Generated(state.range(0));
  for (auto _ : state) {
    AutoRelease<Hvd::IProject> project(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    if (project->Open(file.c_str()) != Hvd::kSuccess) state.SkipWithError("open failed");
    state.PauseTiming();
    for (const char* name : kTransforms) {
      if (OutputsOf(project.Get(), name) != static_cast<std::size_t>(state.range(0)))
        state.SkipWithError("outputs not read");
    }
    std::ignore = project->ProjectClose(false);
    state.ResumeTiming();
  }
  state.counters["outputs"] = static_cast<double>(2 * state.range(0));
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  if (Quick()) {
    benchmark->Arg(20)->Iterations(1);
    return;
  }
  // One size, once: for a profile.
  if (const char* size = std::getenv("GHLC_BENCH_SIZE"); size != nullptr) {
    benchmark->Arg(std::atol(size))->Iterations(1);
    return;
  }
  benchmark->Arg(1000)->Arg(2000)->Arg(4000)->Iterations(3);
}

BENCHMARK(BM_OpenGeneratedOutputs)->Apply(Sizes)->Unit(benchmark::kMillisecond);

}  // namespace
