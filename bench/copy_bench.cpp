// Copies of a generated project of many source files: the archive against `zip -r` of the same
// tree, and save as against `cp -r` of it, in the same run.
//
// Goals: each within 1.3 times its tool's time at 10,000 files.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "LoadedProject.h"
#include "Hvd/ClassIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDesign.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectCopy.h"
#include "Hvd/ISourceLibrary.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "core/Holders.h"
#include "project/project/CProject.h"
#include "projectfiles/CXMLReader.h"

namespace {

namespace fs = std::filesystem;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;

bool Quick() { return std::getenv("COPY_BENCH_QUICK") != nullptr; }

fs::path Folder() { return bench_support::ScratchFolder("copy_bench"); }

// A project directory of `count` VHDL sources in directories of 100, with its project file.
fs::path Generated(std::int64_t count) {
  const fs::path directory = Folder() / ("proj" + std::to_string(count));
  const fs::path file = directory / "p.xhlc";
  if (fs::exists(file)) return file;
  fs::create_directories(directory);
  std::ofstream out(file.string() + ".tmp");
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
         "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n\n"
         "  <header/>\n\n  <version vel_kv:hlc_version=\"14.1\" vel_kv:schema_version=\"2\"/>\n\n  <files>\n";
  for (std::int64_t i = 0; i < count; ++i) {
    const std::string name = "src/d" + std::to_string(i / 100) + "/unit_" + std::to_string(i) + ".vhd";
    fs::create_directories((directory / name).parent_path());
    std::ofstream source(directory / name);
    source << "library ieee;\nuse ieee.std_logic_1164.all;\n\nentity unit_" << i
           << " is\n  port (clk : in std_logic; q : out std_logic);\nend entity;\n\narchitecture rtl of unit_" << i
           << " is\nbegin\n  q <= clk;\nend architecture;\n";
    out << "    <file vel_kv:name=\"" << name << "\" vel_kv:type=\"FILE_VHDL\">\n"
        << "      <association vel_kv:name=\"Implementation\"/>\n    </file>\n";
  }
  out << "  </files>\n\n  <autoManagedFiles/>\n\n  <properties/>\n\n  <bindings/>\n\n  <libraries/>\n\n</project>\n";
  out.close();
  fs::rename(file.string() + ".tmp", file);
  return file;
}

// A project opened as `project open` opens it, with its copies; saved only when a copy forces
// it. Opened, it keeps what it read, so a copy's save of an unchanged project writes nothing.
struct Loaded {
  AutoRelease<Hvd::IProject> project;
  explicit Loaded(const fs::path& file) {
    bench_support::StartHost();
    project = AutoRelease<Hvd::IProject>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    if (!project || project->Open(file.c_str()) != Hvd::kSuccess) {
      std::fprintf(stderr, "could not open %s\n", file.c_str());
      std::exit(1);
    }
    std::ignore = AutoCast<Hvd::IForceSave>(project.Get())->SetSaveDelay(-1);
  }
  ~Loaded() {
    if (project) std::ignore = project->ProjectClose(false);
  }
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;
  Hvd::IProjectSaveAsArchive3* Copies() const {
    return AutoCast<Hvd::IProjectSaveAsArchive3>(project.Get()).Get();
  }
};

// One loaded project per size for the whole run.
Loaded& Project(std::int64_t count) {
  static std::map<std::int64_t, std::unique_ptr<Loaded>> projects;
  auto& loaded = projects[count];
  if (!loaded) loaded = std::make_unique<Loaded>(Generated(count));
  return *loaded;
}

// Runs a program in `directory` with its output thrown away; its time in seconds, or a
// negative time when it failed.
double Spawn(const char* const* argv, const fs::path& directory) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  const int failed = posix_spawnp(&child, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (failed == 0) ::waitpid(child, &status, 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return failed != 0 || status != 0 ? -1 : seconds;
}

void Remove(const fs::path& path) {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

void BM_Archive(benchmark::State& state) {
  Loaded& loaded = Project(state.range(0));
  const fs::path archive = Folder() / "archive.zip";
  for (auto _ : state) {
    Port::StringBase<char> remoteSources;
    if (loaded.Copies()->SaveAsArchive(archive.c_str(), &remoteSources) != Hvd::kSuccess)
      state.SkipWithError("archive failed");
    state.PauseTiming();
    Remove(archive);
    state.ResumeTiming();
  }
  state.counters["files"] = static_cast<double>(state.range(0));
}

void BM_ZipR(benchmark::State& state) {
  const fs::path project = Generated(state.range(0)).parent_path();
  const fs::path archive = Folder() / "zip_r.zip";
  for (auto _ : state) {
    const char* argv[] = {"zip", "-q", "-r", archive.c_str(), ".", nullptr};
    const double seconds = Spawn(argv, project);
    if (seconds < 0) state.SkipWithError("zip failed");
    state.SetIterationTime(seconds < 0 ? 0 : seconds);
    Remove(archive);
  }
}

void BM_SaveAs(benchmark::State& state) {
  Loaded& loaded = Project(state.range(0));
  const fs::path copy = Folder() / "saved_as";
  for (auto _ : state) {
    if (loaded.Copies()->SaveAs((copy / "q.xhlc").c_str()) != Hvd::kSuccess) state.SkipWithError("save as failed");
    state.PauseTiming();
    Remove(copy);
    state.ResumeTiming();
  }
}

void BM_CopyProject(benchmark::State& state) {
  Loaded& loaded = Project(state.range(0));
  const fs::path copy = Folder() / "copied";
  for (auto _ : state) {
    Port::StringBase<char> remoteSources;
    if (loaded.Copies()->CopyProject((copy / "p.xhlc").c_str(), 0x14E, "", "", &remoteSources) != Hvd::kSuccess)
      state.SkipWithError("copy failed");
    state.PauseTiming();
    Remove(copy);
    state.ResumeTiming();
  }
}

void BM_CpR(benchmark::State& state) {
  const fs::path project = Generated(state.range(0)).parent_path();
  const fs::path copy = Folder() / "cp_r";
  for (auto _ : state) {
    const char* argv[] = {"cp", "-r", project.c_str(), copy.c_str(), nullptr};
    const double seconds = Spawn(argv, Folder());
    if (seconds < 0) state.SkipWithError("cp failed");
    state.SetIterationTime(seconds < 0 ? 0 : seconds);
    Remove(copy);
  }
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  if (Quick()) {
    benchmark->Arg(100)->Iterations(1);
    return;
  }
  benchmark->Arg(10000)->Iterations(5);
}

BENCHMARK(BM_Archive)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZipR)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveAs)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyProject)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CpR)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
