// Many libraries that share unit names: one VHDL core of 53 files (5 packages, 45 entities in a
// hierarchy of four levels, two spare variants and a testbench) copied K times, each copy into a library of its own, added one file
// at a time to a new project, each file then moved into its copy's library, the way
// `velfile add FILE -library libK` does it.
//
// Goal: the adds of the last copy cost at 40 copies (2,120 files) at most 2.5 times what they
// cost at 10 copies (530 files), and under 1 ms an add.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "LoadedProject.h"
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

bool Quick() { return std::getenv("LIBRARIES_BENCH_QUICK") != nullptr; }

fs::path Folder() { return bench_support::ScratchFolder("libraries_bench"); }

void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

// One copy of the core in `directory`: its files in the order a script adds them (packages,
// leaves, blocks, subsystems, the top, two spare variants, the testbench), as
// bench/velsh/libraries.tcl writes them.
std::vector<std::string> Core(const fs::path& directory) {
  fs::create_directories(directory);
  std::vector<std::string> files;
  const auto add = [&](const std::string& name, const std::string& text) {
    Write(directory / name, text);
    files.push_back((directory / name).string());
  };
  for (const std::string p : {"types", "consts", "util", "regs", "bus"}) {
    add("pkg_" + p + ".vhd", "library ieee;\nuse ieee.std_logic_1164.all;\n\npackage pkg_" + p +
                                 " is\n  constant WIDTH_" + p + " : natural := 8;\n  function inc_" + p +
                                 " (v : natural) return natural;\nend package;\n\npackage body pkg_" + p +
                                 " is\n  function inc_" + p +
                                 " (v : natural) return natural is\n  begin\n    return v + 1;\n  end "
                                 "function;\nend package body;\n");
  }
  const std::string port = "  port (clk : in std_logic; d : in std_logic; q : out std_logic);";
  const std::string head = "library ieee;\nuse ieee.std_logic_1164.all;\nuse work.pkg_types.all;\n";
  const std::string map = "port map (clk => clk, d => d, q => open);\n";
  const auto entity = [&](const std::string& name, const std::string& uses, const std::string& declarations,
                          const std::string& body) {
    add(name + ".vhd", head + uses + "\nentity " + name + " is\n" + port + "\nend entity;\n\narchitecture rtl of " +
                           name + " is\n" + declarations + "begin\n" + body + "  q <= d;\nend architecture;\n");
  };
  const auto instance = [&](const std::string& label, const std::string& target) {
    return "  " + label + " : " + target + " " + map;
  };
  for (int i = 0; i < 28; ++i) entity("leaf_" + std::to_string(i), "", "", "");
  for (int b = 0; b < 12; ++b) {
    std::string body;
    for (int m = 0; m < 5; ++m)
      body += instance("u" + std::to_string(m), "entity work.leaf_" + std::to_string((b * 5 + m) % 28));
    entity("block_" + std::to_string(b), "use work.pkg_util.all;\n", "", body);
  }
  for (int s = 0; s < 4; ++s) {
    std::string body = instance("l0", "entity work.leaf_" + std::to_string(s * 7));
    std::string declarations;
    for (int m = 0; m < 3; ++m) {
      const std::string block = "block_" + std::to_string(s * 3 + m);
      declarations += "  component " + block + " is\n" + port + "\n  end component;\n";
      body += instance("u" + std::to_string(m), block);
    }
    entity("sub_" + std::to_string(s), "use work.pkg_regs.all;\n", declarations, body);
  }
  std::string body;
  for (int s = 0; s < 4; ++s) body += instance("u" + std::to_string(s), "entity work.sub_" + std::to_string(s));
  entity("core_top", "use work.pkg_bus.all;\nuse work.pkg_consts.all;\n", "", body);
  for (int a = 0; a < 2; ++a) {
    entity("alt_" + std::to_string(a), "", "",
           instance("u0", "entity work.leaf_" + std::to_string(a)) +
               instance("u1", "entity work.leaf_" + std::to_string(a + 2)));
  }
  add("tb_core.vhd", head +
                         "\nentity tb_core is\nend entity;\n\narchitecture sim of tb_core is\n  signal clk, d, q : "
                         "std_logic := '0';\nbegin\n  dut : entity work.core_top port map (clk => clk, d => d, q => "
                         "q);\n  clk <= not clk after 5 ns;\nend architecture;\n");
  return files;
}

// `velfile add FILE -library NAME`: added for every view, then moved into its library.
bool AddInto(Hvd::IProject* project, const std::string& path, const std::string& name) {
  AutoCast<Hvd::IFileManager> manager(project);
  AutoRelease<Hvd::IHdlFile> added;
  if (manager->ProjectAddFile(path.c_str(), nullptr, added.Receive()) != Hvd::kSuccess || !added) return false;
  if (AutoCast<Hvd::IViewClassAssociation> classes(added.Get()); classes) {
    std::ignore = classes->SetBit(0);
    std::ignore = classes->SetBit(1);
  }
  AutoCast<Hvd::ISourceLibraryManager> libraries(project);
  AutoRelease<Hvd::ISourceLibrary> library;
  if (libraries->FindSourceLibrary(name.c_str(), library.Receive()) == Hvd::kSuccess && !library)
    std::ignore = libraries->CreateSourceLibrary(name.c_str(), library.Receive());
  AutoCast<Hvd::ISourceLibraryMember> member(added.Get());
  return library && member && member->SetLibrary(library) == Hvd::kSuccess;
}

// The synthesis view's top after the adds, so that a run that chose none shows it.
bool HasTop(Hvd::IProject* project) {
  Hvd::IDesign* design = nullptr;  // borrowed: the project keeps its design
  if (project->GetDesign(&design) != Hvd::kSuccess || design == nullptr) return false;
  AutoCast<Hvd::IViewManager> views(design);
  AutoRelease<Hvd::IViewIterator> at;
  if (!views || views->FindViewByHint("AbstractSynthesis", at.Receive()) != Hvd::kSuccess || !at || at->IsDone())
    return false;
  Port::StringBase<char> top;
  return at->Current()->GetTopName(&top) == Hvd::kSuccess && !top.empty();
}

// The adds of the last of `state.range(0)` copies; the copies before it are added untimed.
void BM_LastCopyAdds(benchmark::State& state) {
  const std::int64_t copies = state.range(0);
  std::vector<std::vector<std::string>> cores;
  for (std::int64_t k = 1; k <= copies; ++k) cores.push_back(Core(Folder() / ("copy" + std::to_string(k))));
  const fs::path file = Folder() / "libraries.xhlc";
  for (auto _ : state) {
    fs::remove(file);
    bench_support::StartHost();
    AutoRelease<Hvd::IProject> project(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    if (!project || project->Open(file.c_str()) != Hvd::kSuccess) {
      state.SkipWithError("open failed");
      break;
    }
    bool added = true;
    auto start = std::chrono::steady_clock::now();
    for (std::int64_t k = 1; k <= copies && added; ++k) {
      start = std::chrono::steady_clock::now();
      for (const std::string& path : cores[k - 1]) {
        added = added && AddInto(project.Get(), path, "lib" + std::to_string(k));
      }
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!added) state.SkipWithError("add failed");
    if (added && !HasTop(project.Get())) state.SkipWithError("no top after the adds");
    std::ignore = project->ProjectClose(false);
  }
  state.counters["files"] = static_cast<double>(copies * 53);
  state.counters["per_add"] = benchmark::Counter(53.0, benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}

BENCHMARK(BM_LastCopyAdds)
    ->Apply([](benchmark::internal::Benchmark* benchmark) {
      if (Quick()) {
        benchmark->Arg(2)->Iterations(1);
      } else {
        benchmark->Arg(10)->Arg(40)->Iterations(1);
      }
    })
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
