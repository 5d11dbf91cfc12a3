// Files that are missing, unreadable, binary, cut short or pathological: a message, the units found
// before the damage, and never a crash, a hang or a read out of bounds.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "hdl/HdlSupport.h"
#include "hostkit/TempDir.h"

namespace {

using namespace hdl_test;
using namespace std::string_literals;
namespace fs = std::filesystem;

TEST(BadInput, FilesThatCannotBeReadGiveMessages) {
  TempDir dir;
  TempDir::Write(dir / "mixed.vhd", "entity a is end;\n\0\x01\x02 entity b is end;"s);
  TempDir::Write(dir / "binary.v",
                 "\0\0\x7f"
                 "ELF module m; endmodule"s);
  fs::create_directory(dir / "folder.vhd");
  const std::tuple<std::string, MessageKind, std::size_t> cases[] = {{"absent.vhd", MessageKind::kMissingFile, 0},
                                                                     {"folder.vhd", MessageKind::kUnreadable, 0},
                                                                     {"binary.v", MessageKind::kBinary, 0},
                                                                     {"mixed.vhd", MessageKind::kBinary, 1}};
  for (const auto& [name, kind, units] : cases) {
    SCOPED_TRACE(name);
    const ScanResult result = ScanFile(dir / name, Language::kAuto, ScanOptions{});
    EXPECT_EQ(result.units.size(), units);
    EXPECT_EQ(Kinds(result.messages), std::vector<MessageKind>{kind});
    EXPECT_EQ(result.messages.at(0).severity, Severity::kError);
  }
}

// Text in which no unit is found is named, unless it is nothing but comments and, in Verilog,
// directives (a header of macros), or a message already says what is wrong with it.
TEST(BadInput, TextWithoutADesignUnitIsNamed) {
  const std::tuple<std::string, Language, bool> cases[] = {
      {"this is garbage $$$ 123\n", Language::kVhdl, true},
      {"library ieee;\nuse ieee.std_logic_1164.all;\n", Language::kVhdl, true},
      {"garbage here\n", Language::kVerilog, true},
      {"-- only a comment\n/* and a block */\n", Language::kVhdl, false},
      {"", Language::kVhdl, false},
      {"`ifndef X_VH\n`define X_VH\n`define W \\\n  8\n`endif // X_VH\n", Language::kVerilog, false},
      {"// nothing\n", Language::kVerilog, false},
      {"entity cut is\n  port (a : in bit;\n", Language::kVhdl, false},  // told it ends inside 'cut'
  };
  for (const auto& [text, language, named] : cases) {
    SCOPED_TRACE(text);
    const ScanResult result = ScanText(text, language, "f", ScanOptions{});
    const auto kinds = Kinds(result.messages);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), MessageKind::kNoUnit), named ? 1 : 0);
  }
}

// Every prefix of every test design keeps the units of the whole file that it holds: all of them
// whole but the last, which may be cut in its name.
TEST(BadInput, ACutFileKeepsTheUnitsBeforeTheCut) {
  ScanOptions options;
  options.vhdlStandard = VhdlStandard::k2008;
  options.reader = [](const std::string&, std::string*) { return ReadStatus::kMissing; };
  for (const auto& entry : fs::recursive_directory_iterator(HDL_TEST_DATA)) {
    const Language language = LanguageOfPath(entry.path().string());
    if (!entry.is_regular_file() || language == Language::kUnknown) continue;
    std::ifstream in(entry.path());
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const ScanResult whole = ScanText(text, language, "f", options);
    for (std::size_t cut = 0; cut < text.size(); cut += 3) {
      SCOPED_TRACE(entry.path().string() + " cut at " + std::to_string(cut));
      const ScanResult part = ScanText(std::string_view(text).substr(0, cut), language, "f", options);
      ASSERT_LE(part.units.size(), whole.units.size());
      for (std::size_t i = 0; i < part.units.size(); ++i) {
        const Unit& unit = part.units[i];
        if (i + 1 == part.units.size()) {
          EXPECT_EQ(whole.units[i].name.compare(0, unit.name.size(), unit.name), 0);
        } else {
          EXPECT_TRUE(unit.name == whole.units[i].name && unit.complete);
        }
      }
    }
  }
}

TEST(BadInput, PathologicalTextEnds) {
  std::string manyEnds(100000, ' ');
  for (int i = 0; i < 50000; ++i) manyEnds += "end; ";
  const std::tuple<std::string, Language, const char*> cases[] = {
      {"module m (input a); " + std::string(4 << 20, 'x') + " endmodule", Language::kVerilog, "m"},
      {"entity e is port (" + std::string(1 << 20, '(') + "); end; entity f is end;", Language::kVhdl, "f"},
      {manyEnds + "entity g is end;", Language::kVhdl, "g"},
      {"'\"\\`(*\n" + std::string(1000, '\'') + "\nentity h is end;", Language::kVhdl, "h"}};
  for (const auto& [text, language, lastUnit] : cases) {
    const ScanResult result = ScanText(text, language, "p", ScanOptions{});
    ASSERT_FALSE(result.units.empty());
    EXPECT_EQ(result.units.back().name, lastUnit);
  }
}

// Runs `scan` on a thread of its own. A scan that still waits in the open of a FIFO after a
// generous while is let go by writers that come and go, so that the test fails, not hangs.
template <class Scan>
bool FinishesWithoutAWriter(const std::vector<std::string>& fifos, Scan scan) {
  std::future<void> done = std::async(std::launch::async, std::move(scan));
  if (done.wait_for(std::chrono::seconds(20)) == std::future_status::ready) return done.get(), true;
  while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
    for (const std::string& fifo : fifos) {
      if (const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); writer >= 0) ::close(writer);
    }
  }
  done.get();
  return false;
}

// A FIFO as a source or as an included file is refused at once, with no writer ever coming.
TEST(BadInput, AFifoIsRefusedWithoutWaitingForAWriter) {
  TempDir dir;
  const std::vector<std::string> fifos = {dir / "pipe.vhd", dir / "pipe.vh"};
  for (const std::string& fifo : fifos) ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TempDir::Write(dir / "top.v", "`include \"pipe.vh\"\nmodule top; endmodule\n");
  TempDir::Write(dir / "plain.vhd", "entity plain is end;\n");

  ScanResult source;
  EXPECT_TRUE(FinishesWithoutAWriter(fifos, [&] { source = ScanFile(dir / "pipe.vhd", Language::kAuto, {}); }));
  EXPECT_EQ(Kinds(source.messages), std::vector<MessageKind>{MessageKind::kUnreadable});

  ScanResult includer;
  EXPECT_TRUE(FinishesWithoutAWriter(fifos, [&] { includer = ScanFile(dir / "top.v", Language::kAuto, {}); }));
  EXPECT_EQ(Summary(includer), "module top");
  EXPECT_TRUE(includer.includes.empty());

  // A project of both goes on to its other files.
  Project project;
  project.AddFile(1, dir / "pipe.vhd", 1);
  project.AddFile(2, dir / "top.v", 2);
  project.AddFile(3, dir / "plain.vhd", 3);
  std::vector<UnitInfo> units;
  EXPECT_TRUE(FinishesWithoutAWriter(fifos, [&] { units = project.Units(); }));
  EXPECT_EQ(units.size(), 2u);
}

}  // namespace
