#pragma once
// What the project benchmarks share: the host and its stand-ins, loaded once and shut down at
// the end of the run, a project read from a file through the steps of an open, and a scratch
// folder for the run.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDesign.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectCopy.h"
#include "Hvd/IViewManager.h"
#include "Hvd/ISourceLibrary.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "core/Holders.h"
#include "project/project/CProject.h"
#include "projectfiles/CXMLReader.h"

namespace bench_support {

// A folder of this run's own under the temporary directory, removed when the run ends.
inline const std::filesystem::path& ScratchFolder(const std::string& name) {
  struct Folder {
    std::filesystem::path path;
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static const Folder folder{[&] {
    std::filesystem::path path = std::filesystem::temp_directory_path() / (name + "_" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return path;
  }()};
  return folder.path;
}

struct Host {
  Host() {
    if (!CitP::Factory::LoadLibraryFactory("libHvd_Base") || !CitP::Factory::LoadLibraryFactory("libHvd_TOE") ||
        !CitP::Factory::LoadLibraryFactory("libHvd_Hdl"))
      std::abort();
    InstFactoryEntry();
    Prjrep::RegisterComponents();
  }
  ~Host() {
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
  }
};

inline void StartHost() { static Host s_host; }

// An open project read from `file` through the steps of an open.
struct Loaded {
  Prjrep::AutoRelease<Hvd::IProject> project;
  Prjrep::AutoRelease<Hvd::IDesign> design;
  std::unique_ptr<Hvd::CXMLReader> reader;

  explicit Loaded(const std::filesystem::path& file) {
    StartHost();
    project = Prjrep::AutoRelease<Hvd::IProject>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    design = Prjrep::AutoRelease<Hvd::IDesign>(CitP::Factory::CreateInstance(Hvd::ClassId::Design()));
    Hvd::CProject::FromInterface(project.Get())->EnterOpenState(file.c_str(), design.Get(), false);
    std::ignore = Prjrep::AutoCast<Hvd::ICompAdmin>(design.Get())->InitializeAfterCreate(project.Get(), nullptr);
    Prjrep::AutoRelease<Hvd::IDesignPlatform> platform;
    if (design->GetDesignPlatform(platform.Receive()) == Hvd::kSuccess) std::ignore = platform->NotifyChanges();
    Prjrep::AutoRelease<Hvd::ISourceLibrary> work;
    std::ignore =
        Prjrep::AutoCast<Hvd::ISourceLibraryManager>(project.Get())->CreateSourceLibrary("work", work.Receive());
    reader = std::make_unique<Hvd::CXMLReader>(project.Get());
    reader->DivertFileEntries();  // as the project's open parses
    if (!reader->ParseFile(file.c_str())) return;
    reader->ReadVersion();
    reader->ApplyProperties();
    reader->ReadFilesAndLibraries(true);
    reader->UpdateFileViews();
    reader->ReadImplementationTop();
    reader->ReadPartitions();
  }
  ~Loaded() {
    reader.reset();
    if (design) std::ignore = Prjrep::AutoCast<Hvd::ICompAdmin>(design.Get())->Teardown();
  }
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;
};

// The synthesis view's top after the edits, so that a run that chose none shows it.
inline bool HasTop(Hvd::IProject* project) {
  Hvd::IDesign* design = nullptr;  // borrowed: the project keeps its design
  if (project->GetDesign(&design) != Hvd::kSuccess || design == nullptr) return false;
  Prjrep::AutoCast<Hvd::IViewManager> views(design);
  Prjrep::AutoRelease<Hvd::IViewIterator> at;
  if (!views || views->FindViewByHint("AbstractSynthesis", at.Receive()) != Hvd::kSuccess || !at || at->IsDone())
    return false;
  Port::StringBase<char> top;
  return at->Current()->GetTopName(&top) == Hvd::kSuccess && !top.empty();
}

// The seconds since `since`.
inline double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Runs a program with its output thrown away (its standard error to `errorTo` when given); its
// exit status. Spawned without copying this process, which has grown large by now.
inline int Spawn(const char* const* argv, int errorTo = -1) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  if (errorTo >= 0) posix_spawn_file_actions_adddup2(&actions, errorTo, 2);
  pid_t child = 0;
  const int failed = posix_spawnp(&child, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return -1;
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

// Runs `xmllint --format` on the file; its time.
inline double RunXmllint(const std::filesystem::path& file) {
  const auto start = std::chrono::steady_clock::now();
  const char* argv[] = {"xmllint", "--format", file.c_str(), nullptr};
  Spawn(argv);
  return Seconds(start);
}

// What the open benchmarks add up over their rounds: the project's Open, its first forced save
// and xmllint of the same file.
struct OpenFirstSaveTimes {
  double open = 0;
  double save = 0;
  double xmllint = 0;
  int rounds = 0;

  // One round on `file`: xmllint, then a new project's Open and its first forced save, timed
  // apart; `check` looks at the open project with the timer stopped, before it is closed.
  template <class Check>
  void Round(benchmark::State& state, const std::filesystem::path& file, Check check) {
    ++rounds;
    xmllint += RunXmllint(file);
    Prjrep::AutoRelease<Hvd::IProject> project(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    if (project->Open(file.c_str()) != Hvd::kSuccess) state.SkipWithError("open failed");
    const auto opened = std::chrono::steady_clock::now();
    if (Prjrep::AutoCast<Hvd::IForceSave>(project.Get())->ForceSave() != Hvd::kSuccess)
      state.SkipWithError("save failed");
    const auto saved = std::chrono::steady_clock::now();
    state.PauseTiming();
    open += std::chrono::duration<double>(opened - start).count();
    save += std::chrono::duration<double>(saved - opened).count();
    check(project.Get());
    std::ignore = project->ProjectClose(false);
  }
  // The counters of a run over `files` files: each time a round, and open plus save against xmllint.
  void Report(benchmark::State& state, double files) const {
    const double count = rounds > 0 ? rounds : 1;
    state.counters["open_ms"] = 1000 * open / count;
    state.counters["first_save_ms"] = 1000 * save / count;
    state.counters["xmllint_ms"] = 1000 * xmllint / count;
    state.counters["x_xmllint"] = xmllint > 0 ? (open + save) / xmllint : 0;
    state.counters["files"] = files;
  }
};

}  // namespace bench_support
