// The project source file on generated projects of many files: a `project open` of it through
// the project's interfaces with its first save, an unchanged save after that, the reader's
// steps alone, and saves after one change, against `xmllint --format` of the same file in the
// same run. Peak memory of a read is measured in a child process, as is xmllint's.
//
// Goals: open plus first save of 10,000 files within 8 times xmllint's time; an unchanged save
// within a tenth of the open; growth from 10,000 to 100,000 files at most 11 times; the read's
// peak memory within three times xmllint's.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "LoadedProject.h"
#include "Hvd/ClassIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDesign.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IProject.h"
#include "Hvd/ISourceLibrary.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "core/Holders.h"
#include "project/project/CProject.h"
#include "projectfiles/CProjectSourceXMLWriter.h"
#include "projectfiles/CXMLReader.h"
#include "utils/PropertyAccessor.h"

namespace {

using bench_support::RunXmllint;
using bench_support::Spawn;

namespace fs = std::filesystem;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;

bool Quick() { return std::getenv("XHLC_BENCH_QUICK") != nullptr; }

fs::path Folder() {
  const fs::path& folder = bench_support::ScratchFolder("xhlc_bench");
  fs::create_directories(folder / "proj");
  return folder;
}

// A project file of `count` source files in a few libraries, written as the writer would.
fs::path Generated(std::int64_t count) {
  const fs::path path = Folder() / "proj" / ("p" + std::to_string(count) + ".xhlc");
  if (fs::exists(path)) return path;
  std::ofstream out(path);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
         "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n\n"
         "  <header/>\n\n  <version vel_kv:hlc_version=\"14.1\" vel_kv:schema_version=\"2\"/>\n\n  <files>\n";
  for (std::int64_t i = 0; i < count; ++i) {
    out << "    <file vel_kv:name=\"src/d" << i / 100 << "/unit_" << i << ".vhd\" vel_kv:type=\"FILE_VHDL\">\n"
        << "      <association vel_kv:name=\"BehavioralSimulation\"/>\n"
        << "      <association vel_kv:name=\"Implementation\"/>\n";
    if (i % 10 == 0) out << "      <library vel_kv:name=\"lib" << i % 7 << "\"/>\n";
    out << "    </file>\n";
  }
  out << "  </files>\n\n  <autoManagedFiles/>\n\n  <properties>\n"
         "    <property vel_kv:name=\"Device Family\" vel_kv:value=\"Orvanta\" vel_kv:valueState=\"non-default\"/>\n"
         "  </properties>\n\n  <bindings/>\n\n  <libraries/>\n\n</project>\n";
  return path;
}

// A loaded project that saves its file through the writer.
struct Loaded : bench_support::Loaded {
  using bench_support::Loaded::Loaded;
  Hvd::Status Save(const fs::path& file) {
    Hvd::CProjectSourceXMLWriter writer(file.c_str(), project.Get());
    if (Hvd::XhlcSnapshot* kept = reader->GetSnapshot(); kept != nullptr) return writer.WriteIfChanged(*kept);
    return writer.WriteIfChanged(reader->GetDocument());
  }
};

// What a program writes to its standard error.
std::string ErrorOutput(const char* const* argv) {
  int pipe[2];
  if (::pipe(pipe) != 0) return "";
  ::fcntl(pipe[0], F_SETFD, FD_CLOEXEC);
  ::fcntl(pipe[1], F_SETFD, FD_CLOEXEC);
  std::string text;
  std::thread reader([&] {
    char buffer[256];
    for (ssize_t got; (got = ::read(pipe[0], buffer, sizeof buffer)) > 0;) text.append(buffer, std::size_t(got));
  });
  Spawn(argv, pipe[1]);
  ::close(pipe[1]);
  reader.join();
  ::close(pipe[0]);
  return text;
}

// The last number written on standard error.
long LastNumber(const std::string& text) {
  const std::size_t end = text.find_last_of("0123456789");
  if (end == std::string::npos) return 0;
  const std::size_t start = text.find_last_not_of("0123456789", end);
  return std::atol(text.c_str() + (start == std::string::npos ? 0 : start + 1));
}

// xmllint's own peak memory in kilobytes, as /usr/bin/time reports it.
long XmllintPeakKb(const fs::path& file) {
  const char* argv[] = {"/usr/bin/time", "-f", "%M", "xmllint", "--format", file.c_str(), nullptr};
  return LastNumber(ErrorOutput(argv));
}

// The peak memory of a fresh run of this program that reads the file into a project (or only
// parses it, or, for an empty name, only starts the host), from its own count of its pages.
long ReadPeakKb(const fs::path& file, bool parseOnly = false) {
  const std::string variable = "XHLC_BENCH_READ_CHILD=" + file.string();
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const char* argv[] = {"/usr/bin/env", variable.c_str(), parseOnly ? "XHLC_BENCH_PARSE_ONLY=1" : "XHLC_BENCH_X=0",
                        self.c_str(), nullptr};
  return LastNumber(ErrorOutput(argv));
}

// Started as that child: reads, says its peak, and ends before the benchmarks run.
const bool g_readChild = [] {
  const char* file = std::getenv("XHLC_BENCH_READ_CHILD");
  if (file == nullptr) return false;
  bench_support::StartHost();
  if (std::getenv("XHLC_BENCH_PARSE_ONLY") != nullptr) {
    Hvd::CXMLReader reader;
    if (!reader.ParseFile(file)) std::fprintf(stderr, "not parsed\n");
  } else if (*file != 0) {
    Loaded loaded(file);
  }
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) std::fprintf(stderr, "\n%ld\n", std::atol(line.c_str() + 6));
  }
  std::fflush(stderr);
  ::_exit(0);
}();

void BM_Read(benchmark::State& state) {
  const fs::path file = Generated(state.range(0));
  for (auto _ : state) {
    auto loaded = std::make_unique<Loaded>(file);
    state.PauseTiming();
    loaded.reset();
    state.ResumeTiming();
  }
  state.counters["files"] = static_cast<double>(state.range(0));
}

void BM_SaveUnchanged(benchmark::State& state) {
  const fs::path file = Generated(state.range(0));
  Loaded loaded(file);
  for (auto _ : state) {
    if (loaded.Save(file) != Hvd::kSuccess) state.SkipWithError("save failed");
  }
}

void BM_SaveOneChange(benchmark::State& state) {
  const fs::path file = Folder() / "proj" / ("changed" + std::to_string(state.range(0)) + ".xhlc");
  fs::copy_file(Generated(state.range(0)), file, fs::copy_options::overwrite_existing);
  Loaded loaded(file);
  Hvd::PropertyAccessor accessor(loaded.project.Get());
  int i = 0;
  for (auto _ : state) {
    state.PauseTiming();
    accessor.SetPropertyValue("PROP_DevSpeed", ++i % 2 == 0 ? "-1" : "-3");
    state.ResumeTiming();
    if (loaded.Save(file) != Hvd::kSuccess) state.SkipWithError("save failed");
  }
}

// One file moved to another library: the files section, the largest, is rebuilt in the file.
void BM_SaveFileChange(benchmark::State& state) {
  const fs::path file = Folder() / "proj" / ("moved" + std::to_string(state.range(0)) + ".xhlc");
  fs::copy_file(Generated(state.range(0)), file, fs::copy_options::overwrite_existing);
  Loaded loaded(file);
  AutoCast<Hvd::ISourceLibraryManager> libraries(loaded.project.Get());
  AutoRelease<Hvd::IHdlFileIterator> at;
  std::ignore = AutoCast<Hvd::IFileManager>(loaded.project.Get())
                    ->FindFileByPath((Folder() / "proj/src/d0/unit_0.vhd").c_str(), at.Receive());
  if (!at || at->IsDone()) {
    state.SkipWithError("no file to move");
    return;
  }
  int i = 0;
  for (auto _ : state) {
    state.PauseTiming();
    AutoRelease<Hvd::ISourceLibrary> library;
    std::ignore = libraries->CreateSourceLibrary(++i % 2 == 0 ? "moved_a" : "moved_b", library.Receive());
    if (!library) std::ignore = libraries->FindSourceLibrary(i % 2 == 0 ? "moved_a" : "moved_b", library.Receive());
    if (library) std::ignore = library->AddFileToLibrary(at->Current());
    state.ResumeTiming();
    if (loaded.Save(file) != Hvd::kSuccess) state.SkipWithError("save failed");
  }
}

// A fresh copy of the generated project in a folder of its own, with no generated file yet, as
// a project given to the suite is before its first open.
fs::path FreshCopy(std::int64_t count, int round) {
  const fs::path directory = Folder() / ("open" + std::to_string(count) + "_" + std::to_string(round));
  std::error_code ignored;
  fs::remove_all(directory, ignored);
  fs::create_directories(directory);
  const fs::path file = directory / "p.xhlc";
  fs::copy_file(Generated(count), file);
  return file;
}

// `project open` then `project save`: the project's Open and its first forced save, timed
// apart and together; xmllint of the same file runs in each round for the ratio.
void BM_OpenFirstSave(benchmark::State& state) {
  bench_support::StartHost();
  bench_support::OpenFirstSaveTimes times;
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path file = FreshCopy(state.range(0), times.rounds + 1);
    times.Round(state, file, [](Hvd::IProject*) {});
    std::error_code ignored;
    fs::remove_all(file.parent_path(), ignored);
    state.ResumeTiming();
  }
  times.Report(state, static_cast<double>(state.range(0)));
}

// A forced save of an opened project in which nothing changed since its first save; its share
// of the open is a counter.
void BM_OpenUnchangedSave(benchmark::State& state) {
  bench_support::StartHost();
  const fs::path file = FreshCopy(state.range(0), 0);
  AutoRelease<Hvd::IProject> project(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  const auto start = std::chrono::steady_clock::now();
  if (project->Open(file.c_str()) != Hvd::kSuccess) state.SkipWithError("open failed");
  const double open = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  AutoCast<Hvd::IForceSave> saver(project.Get());
  if (saver->ForceSave() != Hvd::kSuccess) state.SkipWithError("first save failed");
  const auto written = fs::last_write_time(file);
  double save = 0;
  int rounds = 0;
  for (auto _ : state) {
    const auto begun = std::chrono::steady_clock::now();
    if (saver->ForceSave() != Hvd::kSuccess) state.SkipWithError("save failed");
    save += std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
    ++rounds;
  }
  if (fs::last_write_time(file) != written) state.SkipWithError("an unchanged save wrote the project file");
  std::ignore = project->ProjectClose(false);
  state.counters["open_ms"] = 1000 * open;
  state.counters["of_open"] = open > 0 && rounds > 0 ? save / rounds / open : 0;
}

void BM_XmllintFormat(benchmark::State& state) {
  const fs::path file = Generated(state.range(0));
  for (auto _ : state) state.SetIterationTime(RunXmllint(file));
}

// Peak resident memory of a read into a project, of a run that only starts the host, of the
// reader's parse alone, and of xmllint.
void BM_ReadPeakMemory(benchmark::State& state) {
  const fs::path file = Generated(state.range(0));
  long read = 0;
  long bare = 0;
  long parsed = 0;
  long xmllint = 0;
  for (auto _ : state) {
    read = ReadPeakKb(file);
    bare = ReadPeakKb(fs::path());
    parsed = ReadPeakKb(file, true);
    xmllint = XmllintPeakKb(file);
  }
  state.counters["read_kb"] = static_cast<double>(read);
  state.counters["host_kb"] = static_cast<double>(bare);
  state.counters["parse_only_kb"] = static_cast<double>(parsed);
  state.counters["xmllint_kb"] = static_cast<double>(xmllint);
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  if (Quick()) {
    benchmark->Arg(100)->Iterations(1);
    return;
  }
  // One size, once: for a profile.
  if (const char* size = std::getenv("XHLC_BENCH_SIZE"); size != nullptr) {
    benchmark->Arg(std::atol(size))->Iterations(1);
    return;
  }
  benchmark->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(3);
}

BENCHMARK(BM_OpenFirstSave)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenUnchangedSave)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveUnchanged)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveOneChange)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveFileChange)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmllintFormat)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPeakMemory)->Arg(Quick() ? 100 : 100000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
