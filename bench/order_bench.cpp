// A project of generated Verilog files through its views, with the real project, design, views,
// transform engine, base services and HDL parser: the files added to the project; then placed in
// the views, with the synthesis view's automatic compile order and top. Beside the time of the
// second, each size reports the scanner's own full scan, order and top of the same files, on its
// default threads (scan_ms) and on one (scan1_ms), and the share of everything else against each
// (own_per_scan = (time - scan) / scan, own_per_scan1 = (time - scan) / scan1).
// ORDER_BENCH_QUICK=1 shrinks every size for the test command's quick pass.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "HdlScan/Project.h"
#include "Hvd/ClassIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "design/design/Placement.h"
#include "project/project/CProject.h"
#include "utils/DmUtils.h"

namespace {

using namespace Hvd;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool Quick() { return std::getenv("ORDER_BENCH_QUICK") != nullptr; }

// A binary tree of modules, m_0 at the top, one file each; every module drives its children.
struct Design {
  fs::path dir;
  std::vector<fs::path> files;
};

void WriteDesign(int count, Design& d) {
  d.dir = fs::temp_directory_path() / ("order_bench_" + std::to_string(getpid()) + "_" + std::to_string(count));
  fs::create_directories(d.dir);
  for (int i = 0; i < count; ++i) {
    std::string t = "// Generated module " + std::to_string(i) + "\nmodule m_" + std::to_string(i) +
                    " (input clk, input [7:0] d, output reg [7:0] q);\n  wire [7:0] l, r;\n";
    for (int c : {2 * i + 1, 2 * i + 2}) {
      if (c < count) t += "  m_" + std::to_string(c) + " u_" + std::to_string(c) + " (.clk(clk), .d(d), .q(l));\n";
    }
    t += "  always @(posedge clk) q <= d ^ l ^ r;\nendmodule\n";
    d.files.push_back(d.dir / ("m_" + std::to_string(i) + ".v"));
    std::ofstream(d.files.back()) << t;
  }
}

// The scanner alone on the same files: scan, order and top, on `threads` threads (0: its default).
double ScanMilliseconds(const Design& d, std::size_t threads = 0) {
  const auto start = Clock::now();
  Hdl::scan::Project project;
  if (threads != 0) project.SetScanThreads(threads);
  for (std::size_t i = 0; i < d.files.size(); ++i) project.AddFile(i + 1, d.files[i].string(), std::int64_t(i));
  project.Update();
  benchmark::DoNotOptimize(project.GetCompileOrder());
  benchmark::DoNotOptimize(project.TopCandidates());
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The components loaded as the host loads them, and the designs written so far; both go at exit.
struct World {
  World() {
    if (!CitP::Factory::LoadLibraryFactory("libHvd_Base") || !CitP::Factory::LoadLibraryFactory("libHvd_TOE") ||
        !CitP::Factory::LoadLibraryFactory("libHvd_Hdl"))
      std::abort();
    InstFactoryEntry();
    Prjrep::RegisterComponents();
  }
  ~World() {
    for (const auto& [count, design] : designs) fs::remove_all(design.dir);
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
  }
  const Design& DesignOf(int count) {
    Design& d = designs[count];
    if (d.files.empty()) WriteDesign(count, d);
    return d;
  }
  std::map<int, Design> designs;
};

// A new project with the design's files added, and the design and project taken down again.
class Run {
 public:
  explicit Run(const Design& d) : m_design(d) {
    m_project = AutoRelease<IProject>(CitP::Factory::CreateInstance(ClassId::Project()));
    m_hvdDesign = AutoRelease<IDesign>(CitP::Factory::CreateInstance(ClassId::Design()));
    CProject::FromInterface(m_project.Get())->EnterOpenState((d.dir / "p.xhlc").c_str(), m_hvdDesign.Get(), false);
    std::ignore = AutoCast<ICompAdmin>(m_hvdDesign.Get())->InitializeAfterCreate(m_project.Get(), nullptr);
    AutoRelease<IDesignPlatform> platform;
    std::ignore = m_hvdDesign->GetDesignPlatform(platform.Receive());
    std::ignore = platform->NotifyChanges();
    AutoRelease<ISourceLibrary> work;
    std::ignore = AutoCast<ISourceLibraryManager>(m_project.Get())->CreateSourceLibrary("work", work.Receive());
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;
  ~Run() { std::ignore = AutoCast<ICompAdmin>(m_hvdDesign.Get())->Teardown(); }

  void Add() {
    AutoCast<IFileManager> files(m_project.Get());
    for (const fs::path& path : m_design.files) {
      AutoRelease<IHdlFile> file;
      std::ignore = files->ProjectAddFile(path.c_str(), nullptr, file.Receive());
      if (AutoCast<IViewClassAssociation> classes(file.Get()); classes) std::ignore = classes->SetBit(0);
    }
  }
  // Places the files in the views, then asks the synthesis view for its order and top; the count
  // of files in the order.
  std::size_t PlaceOrderAndTop() {
    FileTypeViewCache(m_project.Get()).UpdateAllFileViews();
    std::size_t ordered = 0;
    AutoRelease<IViewIterator> views;
    std::ignore = AutoCast<IViewManager>(m_hvdDesign.Get())->GetViews(views.Receive());
    for (; views && !views->IsDone(); std::ignore = views->Next()) {
      if (!(GetDefDataIdName(views->Current()) == "VIEW_AbstractSynthesis")) continue;
      AutoRelease<IHdlFileIterator> order;
      std::ignore = views->Current()->GetCompileOrder(nullptr, 0, order.Receive());
      for (; order && !order->IsDone(); std::ignore = order->Next()) ++ordered;
      Port::StringBase<char> top;
      std::ignore = views->Current()->GetTopName(&top);
      if (!(top == "m_0")) std::abort();
    }
    return ordered;
  }

 private:
  const Design& m_design;
  AutoRelease<IProject> m_project;
  AutoRelease<IDesign> m_hvdDesign;
};

World& TheWorld() {
  static World s_world;
  return s_world;
}

// Adding the files to a new project.
void BM_AddFiles(benchmark::State& state) {
  const Design& d = TheWorld().DesignOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    auto run = std::make_unique<Run>(d);
    state.ResumeTiming();
    run->Add();
    state.PauseTiming();
    run.reset();
    state.ResumeTiming();
  }
  state.SetComplexityN(state.range(0));
}

// What the views add to the parser: placing, mirroring into the parser, numbering and choosing
// the top, against the scanner's own scan, order and top of the same files.
void BM_PlaceOrderAndTop(benchmark::State& state) {
  const Design& d = TheWorld().DesignOf(static_cast<int>(state.range(0)));
  double total = 0;
  double scan = 0;
  double serialScan = 0;  // the same work on one thread
  for (auto _ : state) {
    state.PauseTiming();
    auto run = std::make_unique<Run>(d);
    run->Add();
    state.ResumeTiming();
    const auto start = Clock::now();
    const std::size_t ordered = run->PlaceOrderAndTop();
    total += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    state.PauseTiming();
    if (ordered != d.files.size()) state.SkipWithError("not every file was ordered");
    run.reset();
    scan += ScanMilliseconds(d);
    serialScan += ScanMilliseconds(d, 1);
    state.ResumeTiming();
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["scan_ms"] = scan / runs;
  state.counters["own_per_scan"] = (total - scan) / scan;
  state.counters["scan1_ms"] = serialScan / runs;
  state.counters["own_per_scan1"] = (total - scan) / serialScan;
  state.SetComplexityN(state.range(0));
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int n : Quick() ? std::vector<int>{20, 60} : std::vector<int>{200, 2000, 20000}) b->Arg(n);
}

BENCHMARK(BM_AddFiles)->Apply(Sizes)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(BM_PlaceOrderAndTop)->Apply(Sizes)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace
