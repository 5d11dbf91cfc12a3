#pragma once
// What the project benchmarks share: the host and its stand-ins, loaded once and shut down at
// the end of the run, a project read from a file through the steps of an open, and a scratch
// folder for the run.

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

}  // namespace bench_support
