// The project over the scanner: what it scans when, how settings and removals reach the model,
// ties in the order, libraries, and the hierarchy's guards.

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <thread>

#include "hdl/HdlSupport.h"

// Given by the sanitizers' runtime where one is linked in.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

using namespace hdl_test;
using Strings = std::vector<std::string>;

// The bytes the process holds allocated: the sanitizers' count where one runs, else the heap's.
std::size_t AllocatedBytes() {
  if (&__sanitizer_get_current_allocated_bytes != nullptr) return __sanitizer_get_current_allocated_bytes();
  const struct mallinfo2 heap = mallinfo2();
  return heap.uordblks + heap.hblkhd;
}

class ProjectTest : public testing::Test {
 protected:
  void SetUp() override { project.SetReader(files.GetReader()); }
  void Add(FileHandle handle, const std::string& path, std::string text, std::int64_t order = 0) {
    files.Set(path, std::move(text));
    ASSERT_TRUE(project.AddFile(handle, path, order == 0 ? static_cast<std::int64_t>(handle) : order));
  }
  Strings Tops() {
    Strings names;
    for (const TopCandidate& top : project.TopCandidates()) names.emplace_back(top.unit.name);
    return names;
  }
  Strings Order(const std::string& top = "") {
    return Labels(top.empty() ? project.GetCompileOrder().units : project.GetCompileOrder(top).units);
  }
  int Count(MessageKind kind) { return CountMessages(project.Messages(), kind); }
  Strings Said(MessageKind kind, bool atLine = false) {  // "path: text" of each message of the kind
    Strings texts;
    for (const Message& message : project.Messages()) {
      if (message.kind == kind)
        texts.push_back(message.path + (atLine ? ":" + std::to_string(message.line) : "") + ": " + message.text);
    }
    return texts;
  }
  MemoryFiles files;
  Project project;
};

TEST_F(ProjectTest, ScansOnlyWhatChangedAndOnlyWhenAsked) {
  Add(1, "a.vhd", "entity a is port (x : bit); end;");
  Add(2, "b.vhd", "entity b is end; architecture r of b is begin u : entity work.a port map (x); end;");
  EXPECT_TRUE(project.IsModified(1) && files.Reads("a.vhd") == 0);  // nothing before a query
  EXPECT_EQ(project.Units().size(), 3u);
  project.GetCompileOrder();
  project.TopCandidates();
  EXPECT_TRUE(!project.IsModified(1) && files.Reads("a.vhd") == 1);

  files.Set("a.vhd", "entity a2 is port (x : bit); end;");
  EXPECT_TRUE(project.SetModified(1) && !project.IsModified(2));
  EXPECT_EQ(project.Update(), 1u);
  EXPECT_EQ(files.Reads("a.vhd") * 10 + files.Reads("b.vhd"), 21);
  EXPECT_EQ(Labels(project.UnitsOf(1)), Strings{"a2"});
  EXPECT_EQ(Count(MessageKind::kMissingUnit), 1);
  EXPECT_FALSE(project.SetModified(99));
}

TEST_F(ProjectTest, AChangedIncludeRescansTheFilesThatIncludeIt) {
  Add(1, "/d/defs.vh", "`define CELL fast");
  Add(2, "/d/top.v",
      "`include \"defs.vh\"\n`include \"/x/outside.vh\"\nmodule top; `CELL u (x); `SLOW s (x); endmodule");
  Add(3, "/d/other.v", "module fast; endmodule");
  files.Set("/x/outside.vh", "`define SLOW slow");
  project.Update();
  files.Set("/d/defs.vh", "`define CELL slow");
  project.SetModified(1);
  EXPECT_TRUE(project.IsModified(2) && !project.IsModified(3));
  EXPECT_EQ(project.Update(), 2u);
  project.SetPathModified("/x/outside.vh");
  EXPECT_TRUE(project.IsModified(2) && !project.IsModified(1));
  EXPECT_EQ(project.Update(), 1u);
  EXPECT_EQ(Tops(), (Strings{"top", "fast"}));
}

// An include missing where it was looked for is found once a file appears in one of those places:
// told of as a file outside the project, added as a project file, or moved there. The kept project
// then answers as a fresh one given the same files, and scans only the files that looked there.
TEST_F(ProjectTest, AnIncludeFoundLaterRescansTheFilesThatMissedIt) {
  project.SetIncludeDirs({"/inc"});
  std::map<FileHandle, std::string> in;
  const auto add = [&](FileHandle handle, const std::string& path, std::string text) {
    in[handle] = path;
    Add(handle, path, std::move(text));
  };
  const auto answers = [&](Project& asked) {
    std::string text;
    for (const auto& [handle, path] : in) {
      for (const UnitInfo& unit : asked.UnitsOf(handle)) text += path + ": " + unit.Label() + "\n";
    }
    for (const TopCandidate& top : asked.TopCandidates()) text += "top " + std::string(top.unit.name) + "\n";
    for (const Message& message : asked.Messages()) text += message.text + "\n";
    return text;
  };
  const auto asFresh = [&](const std::string& step) {
    SCOPED_TRACE(step);
    Project fresh;
    fresh.SetReader(files.GetReader());
    fresh.SetIncludeDirs({"/inc"});
    for (const auto& [handle, path] : in) ASSERT_TRUE(fresh.AddFile(handle, path, static_cast<std::int64_t>(handle)));
    EXPECT_EQ(answers(project), answers(fresh));
  };
  add(1, "/d/top.v", "`include \"defs.vh\"\nmodule top; `CELL u (x); endmodule");
  add(2, "/d/cells.v", "module fast; endmodule module slow; endmodule");
  add(3, "/d/user.v", "`include \"more.vh\"\nmodule user; endmodule");
  EXPECT_EQ(Count(MessageKind::kIncludeNotFound), 2);

  files.Set("/inc/defs.vh", "`define CELL fast\nmodule shared; endmodule");
  project.SetPathModified("/inc/defs.vh");
  EXPECT_TRUE(project.IsModified(1) && !project.IsModified(2) && !project.IsModified(3));
  asFresh("outside the project in an include directory");
  EXPECT_EQ(project.IncludesOf(1), std::vector<std::string_view>{"/inc/defs.vh"});  // only what was read

  add(4, "/d/defs.vh", "`define CELL slow\nmodule own; endmodule");  // looked for first, beside top.v
  EXPECT_TRUE(project.IsModified(1) && !project.IsModified(3));
  asFresh("a project file beside the includer");

  add(5, "/d/old/more.vh", "module more; endmodule");
  asFresh("a project file elsewhere");
  files.Set("/d/more.vh", "module more; endmodule");
  ASSERT_TRUE(project.SetPath(5, "/d/more.vh"));
  in[5] = "/d/more.vh";
  EXPECT_TRUE(project.IsModified(3));
  asFresh("moved where it was looked for");

  add(6, "/d/late.v", "`include \"late.vh\"\nmodule late; `LATE u (x); endmodule");
  EXPECT_EQ(Count(MessageKind::kIncludeNotFound), 1);
  files.Set("/inc/late.vh", "`define LATE slow");
  EXPECT_EQ(project.Update(), 1u);
  asFresh("written where it was looked for, announced by nobody");
}

TEST_F(ProjectTest, SettingsRescanTheFilesTheyAffect) {
  project.SetVhdlStandard(VhdlStandard::k93);  // reads a slash and a star as operators
  Add(1, "top.v", "module top; `ifdef FAST fast u (x); `else slow u (x); `endif endmodule");
  Add(2, "cells.v", "module fast; endmodule module slow; endmodule");
  Add(3, "e.vhd", "/* entity hidden is end; */ entity shown is end;");
  EXPECT_EQ(Tops(), (Strings{"top", "shown", "hidden", "fast"}));  // all testbenches
  project.SetMacros({"FAST"});
  EXPECT_TRUE(project.IsModified(1) && !project.IsModified(3));
  EXPECT_EQ(project.Update(), 2u);
  EXPECT_EQ(Tops(), (Strings{"top", "shown", "hidden", "slow"}));
  project.SetMacros({"FAST"});
  EXPECT_EQ(project.Update(), 0u);
  EXPECT_TRUE(!project.SetVhdlStandard("2009") && project.SetVhdlStandard("2008"));
  EXPECT_EQ(project.Update(), 1u);
  EXPECT_EQ(Tops(), (Strings{"top", "shown", "slow"}));
  project.SetIncludeDirs({"inc"});
  EXPECT_EQ(project.Update(), 2u);
}

// With no standard set, a context comes after the packages it names and before the units that
// name it, and a block comment hides its entity; an explicit 93 keeps reading them as 93 does.
TEST_F(ProjectTest, AnUnsetStandardOrdersAContextBetweenItsPackagesAndItsUsers) {
  files.Set("user.vhd", "library mylib;\ncontext mylib.ctx;\nentity user is end;");
  files.Set("ctx.vhd", "context ctx is\n  library mylib;\n  use mylib.p.all;\nend context;");
  files.Set("p.vhd", "package p is end;");
  files.Set("e.vhd", "/* entity hidden is end; */ entity shown is end;");
  ASSERT_TRUE(project.AddFile(1, "user.vhd", 1) && project.AddFile(2, "ctx.vhd", 2, "mylib") &&
              project.AddFile(3, "p.vhd", 3, "mylib") && project.AddFile(4, "e.vhd", 4));
  const Strings unset = Order();
  EXPECT_EQ(unset, (Strings{"p", "ctx", "user", "shown"}));
  EXPECT_EQ(Count(MessageKind::kMissingUnit), 0);
  project.SetVhdlStandard(VhdlStandard::k93);
  // "context" names nothing; user still names library mylib, so it follows a file of it.
  EXPECT_EQ(Order(), (Strings{"p", "user", "hidden", "shown"}));
  project.SetVhdlStandard(std::nullopt);
  EXPECT_EQ(Order(), unset);
}

// A Verilog file sees the macros the files before it in file order leave, and follows them.
TEST_F(ProjectTest, MacrosCarryOnInFileOrderAndFollowChangesToEarlierFiles) {
  Add(1, "defs.v", "`define CELL fast\n", 10);
  Add(2, "top.v", "module top; `CELL u (x); endmodule", 20);
  Add(3, "cells.v", "module fast; endmodule module slow; endmodule", 30);
  auto cell = [&] {
    const std::optional<HierarchyNode> tree = project.Hierarchy("top");
    return tree && !tree->children.empty() ? tree->children[0].unitName : "";
  };
  EXPECT_EQ(cell(), "fast");
  EXPECT_EQ(project.GetCompileOrder("top").files, (std::vector<FileHandle>{1, 3, 2}));  // with defs.v, unitless

  files.Set("defs.v", "`define CELL slow\n");
  project.SetModified(1);
  EXPECT_EQ(project.Update(), 2u);  // top.v found the old CELL
  EXPECT_FALSE(project.IsModified(2));
  EXPECT_EQ(cell(), "slow");
  project.SetOrder(1, 40);  // now after top.v
  EXPECT_EQ(cell(), "");
  project.SetOrder(1, 10);
  Add(4, "clear.v", "`undefineall\n", 15);
  EXPECT_EQ(cell(), "");
  project.Remove(4);
  EXPECT_EQ(cell(), "slow");
  project.Remove(1);
  EXPECT_EQ(cell(), "");
  EXPECT_EQ(project.GetCompileOrder().files, (std::vector<FileHandle>{2, 3}));
}

// A file that uses a macro only a file after it defines, in file order or in the compile order, is
// named in the messages, and so is a use or a test that a compile following the order reads
// defined, the scan undefined: at the line of the use.
TEST_F(ProjectTest, AMacroUsedBeforeTheFileThatDefinesItIsNamed) {
  Add(1, "use.v", "module top; wire [`W-1:0] x; endmodule");
  Add(2, "defs.v", "`define W 4\n");
  EXPECT_EQ(Said(MessageKind::kMacroOrder), Strings{"use.v: macro 'W' is used before defs.v defines it"});
  ASSERT_TRUE(project.SetOrder(2, 0));
  EXPECT_EQ(Said(MessageKind::kMacroOrder), Strings{});
  for (FileHandle handle : {1, 2}) ASSERT_TRUE(project.Remove(handle));
  // The unit defined again is compiled before the one used, whose file defines the macro it uses.
  Add(1, "a_real.v", "`define CELL leaf\nmodule e (input x); endmodule");
  Add(2, "b_dummy.v", "module e (input x); `CELL u (x); endmodule");
  Add(3, "leaf.v", "module leaf (input x); endmodule");
  EXPECT_EQ(Said(MessageKind::kMacroOrder), Strings{"b_dummy.v: macro 'CELL' is used before a_real.v defines it"});
  for (FileHandle handle : {1, 2, 3}) ASSERT_TRUE(project.Remove(handle));

  // The package's file, after the use in file order, is compiled before it.
  Add(1, "use.sv", "module top;\n  import p::*;\n  wire [`W-1:0] x;\n`ifdef FAST\n  fast u (x);\n`endif\nendmodule");
  Add(2, "defs.sv", "`define W 4\n`define FAST\npackage p; endpackage\nmodule fast; endmodule");
  const std::string readUndefined = " is read undefined in file order, though defs.sv, compiled before it, defines it";
  EXPECT_EQ(Said(MessageKind::kMacroOrder, true),
            (Strings{"use.sv:3: macro 'W'" + readUndefined, "use.sv:4: macro 'FAST'" + readUndefined}));
  ASSERT_TRUE(project.SetOrder(2, 0));
  EXPECT_EQ(Said(MessageKind::kMacroOrder), Strings{});
}

// Files that include one guarded header follow the first file that included it, unless an
// instance or an imported package orders them the other way; a macro a file sets in its own text
// still orders the files that find it before an instance does (the macros_files design).
TEST_F(ProjectTest, InstancesAndPackagesOutrankTheOrderOfASharedGuardedHeader) {
  files.Set("h.vh", "`ifndef H_VH\n`define H_VH\n`define W 4\n`endif\n");
  Add(1, "a.v", "`include \"h.vh\"\nmodule a; m u (); endmodule");
  Add(2, "b.v", "`include \"h.vh\"\nmodule m; wire [`W-1:0] x; endmodule");
  Add(3, "c.v", "`include \"h.vh\"\nmodule c; endmodule");  // only the header orders it
  Add(4, "d.v", "module d; endmodule");
  EXPECT_EQ(project.GetCompileOrder().files, (std::vector<FileHandle>{4, 2, 1, 3}));
  EXPECT_EQ(Order(), (Strings{"d", "m", "a", "c"}));
  EXPECT_EQ(project.GetCompileOrder("a").files, (std::vector<FileHandle>{2, 1}));

  for (FileHandle handle : {1, 2, 3, 4}) project.Remove(handle);
  Add(1, "i.sv", "`include \"h.vh\"\nmodule i; import pk::*; endmodule");
  Add(2, "p.sv", "`include \"h.vh\"\npackage pk; endpackage");
  Add(3, "j.sv", "`include \"h.vh\"\nmodule j; i u (); endmodule");
  EXPECT_EQ(project.GetCompileOrder().files, (std::vector<FileHandle>{2, 1, 3}));
  EXPECT_EQ(Count(MessageKind::kFileCycle) + Count(MessageKind::kCycle), 0);
}

// Two files that instantiate each other's modules: the cycle is broken between them, and a file
// that only uses them still follows both, whatever order they were added in.
TEST_F(ProjectTest, ACycleOfFilesIsBrokenAmongItsMembersOnly) {
  const std::map<std::string, std::string> texts = {
      {"board.v", "module board; soc u (); endmodule"},
      {"cpu.v", "module cpu; regfile r (); endmodule"},
      {"soc.v", "module soc; cpu c (); endmodule\nmodule regfile; endmodule"}};
  Strings names = {"board.v", "cpu.v", "soc.v"};
  do {
    SCOPED_TRACE(names[0] + " " + names[1] + " " + names[2]);
    for (FileHandle handle = 1; handle <= 3; ++handle) Add(handle, names[handle - 1], texts.at(names[handle - 1]));
    Strings order;
    for (FileHandle handle : project.GetCompileOrder().files) order.emplace_back(project.PathOf(handle).value_or(""));
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order.back(), "board.v");
    EXPECT_EQ(Order(), (Strings{"regfile", "cpu", "soc", "board"}));
    EXPECT_EQ(Count(MessageKind::kFileCycle) + Count(MessageKind::kCycle), 0);
    for (FileHandle handle : {1, 2, 3}) project.Remove(handle);
  } while (std::next_permutation(names.begin(), names.end()));

  // A cycle no order can keep is reported with its members only; the file that instantiates one
  // of them, though only softly held back, still comes after it.
  Add(1, "board.v", "module board; e u (); endmodule");
  Add(2, "a.vhd", "package pa is end; use work.pb.all; entity e is end;");
  Add(3, "b.vhd", "package pb is end; use work.pa.all; entity f is end;");
  EXPECT_EQ(project.GetCompileOrder().files, (std::vector<FileHandle>{2, 3, 1}));
  std::vector<std::string> cycles;
  for (const Message& message : project.Messages()) {
    if (message.kind == MessageKind::kFileCycle) cycles.push_back(message.text);
  }
  EXPECT_EQ(cycles, (std::vector<std::string>{"files need each other, though their units do not: a.vhd b.vhd"}));
}

// The messages, asked for before any order, report every cycle an order would: among files, and
// among units; and the order asked for after them is the one asked for alone.
TEST_F(ProjectTest, MessagesAskedBeforeAnyOrderReportItsCycles) {
  const auto cycleTexts = [&] {
    std::vector<std::string> texts;
    for (const Message& message : project.Messages()) {
      if (message.kind == MessageKind::kFileCycle || message.kind == MessageKind::kCycle) texts.push_back(message.text);
    }
    return texts;
  };
  Add(1, "board.v", "module board; e u (); endmodule");
  Add(2, "a.vhd", "package pa is end; use work.pb.all; entity e is end;");
  Add(3, "b.vhd", "package pb is end; use work.pa.all; entity f is end;");
  EXPECT_EQ(cycleTexts(), (std::vector<std::string>{"files need each other, though their units do not: a.vhd b.vhd"}));
  EXPECT_EQ(project.GetCompileOrder().files, (std::vector<FileHandle>{2, 3, 1}));
  for (FileHandle handle : {1, 2, 3}) project.Remove(handle);

  Add(1, "a.vhd", "use work.pb.all; package pa is end;");
  Add(2, "b.vhd", "use work.pa.all; package pb is end;");
  const std::vector<std::string> reported = cycleTexts();
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(project.GetCompileOrder().files.size(), 2u);
  EXPECT_EQ(cycleTexts(), reported);
  project.Remove(2);
  EXPECT_TRUE(cycleTexts().empty());
}

TEST_F(ProjectTest, RemovingAFileTakesItsUnitsAway) {
  Add(1, "leaf.vhd", "entity leaf is port (a : bit); end;");
  Add(2, "top.vhd", "entity top is end; architecture r of top is begin u : entity work.leaf port map (a); end;");
  EXPECT_EQ(Tops(), Strings{"top"});
  EXPECT_FALSE(project.AddFile(1, "again.vhd", 5));
  EXPECT_TRUE(project.Remove(1) && !project.Remove(1));
  EXPECT_TRUE(!project.Contains(1) && project.FileCount() == 1u);
  EXPECT_EQ(Order(), (Strings{"top", "top(r)"}));
  EXPECT_EQ(Count(MessageKind::kMissingUnit), 1);
  // The handle may come back with another file.
  Add(1, "leaf2.vhd", "entity leaf is port (a : bit); end;");
  EXPECT_EQ(Count(MessageKind::kMissingUnit), 0);
  EXPECT_EQ(project.PathOf(1), "leaf2.vhd");
}

TEST_F(ProjectTest, TiesGoByTheProjectOrderThenByAdditionAndConfigurationsComeLastUnlessNeeded) {
  Add(1, "x.v", "module x; endmodule", 20);
  Add(2, "y.v", "module y; endmodule", 10);
  Add(3, "z.v", "module z; endmodule", 10);
  EXPECT_EQ(Order(), (Strings{"y", "z", "x"}));
  EXPECT_EQ(project.GetCompileOrder().files, (std::vector<FileHandle>{2, 3, 1}));
  project.SetOrder(1, 5);
  EXPECT_EQ(Order(), (Strings{"x", "y", "z"}));

  for (FileHandle handle : {1, 2, 3}) project.Remove(handle);
  Add(1, "cfg.vhd", "configuration c1 of e is for a end for; end;");
  Add(2, "e.vhd", "entity e is end; architecture a of e is begin end;");
  Add(3, "u.vhd", "entity u is end; architecture a of u is begin i : configuration work.c2; end;");
  Add(4, "c2.vhd", "configuration c2 of e is for a end for; end;");
  EXPECT_EQ(Order(), (Strings{"e", "e(a)", "u", "c2", "u(a)", "c1"}));
  EXPECT_EQ(project.GetCompileOrder().files, (std::vector<FileHandle>{2, 4, 3, 1}));
}

TEST_F(ProjectTest, LibrariesScopeWhatNamesBindTo) {
  Add(1, "p.vhd", "package p is end;");
  Add(2, "u.vhd", "library lib2; use lib2.p.all; use outside.q.all; entity u is end;");
  EXPECT_EQ(Count(MessageKind::kMissingUnit), 0);  // no project file in lib2
  project.SetLibrary(1, "other");
  project.AddFile(3, "lib2.vhd", 3, "LIB2");
  files.Set("lib2.vhd", "entity filler is end;");
  EXPECT_EQ(Count(MessageKind::kMissingUnit), 1);
  project.SetLibrary(1, "lib2");
  EXPECT_EQ(Count(MessageKind::kMissingUnit), 0);
  EXPECT_EQ(project.UnitsOf(1)[0].library, "lib2");
  EXPECT_EQ(Order("u"), (Strings{"p", "u"}));
}

TEST_F(ProjectTest, DuplicatesUnknownTopsAndMissingFilesGiveMessages) {
  project.AddFile(1, "gone.vhd", 1);  // never written
  project.AddFile(2, "notes.txt", 2);
  project.AddFile(5, "pins.ucf", 5);
  project.SetLanguage(5, Language::kNone);  // kept, never read, no message
  Add(3, "a.v", "module dup (input a); endmodule");
  Add(4, "b.v", "module dup; endmodule module Dup; endmodule");
  EXPECT_TRUE(Order("nothing").empty());
  EXPECT_FALSE(project.Hierarchy("nothing").has_value());
  const std::vector<Message> messages = project.Messages();
  for (MessageKind kind : {MessageKind::kMissingFile, MessageKind::kUnknownLanguage, MessageKind::kUnknownTop,
                           MessageKind::kDuplicateUnit}) {
    EXPECT_EQ(CountMessages(messages, kind), 1);  // an unknown top asked twice is said once
  }
  EXPECT_TRUE(messages[0].file == 1u && messages[0].severity == Severity::kError);
  for (const Message& message : messages)
    EXPECT_TRUE(message.kind != MessageKind::kDuplicateUnit || message.file == 4u);
  const std::optional<HierarchyNode> tree = project.Hierarchy("dup");  // the first is used
  ASSERT_TRUE(tree.has_value());
  EXPECT_TRUE(tree->unit->hasPorts && tree->unit->file == 3u);
}

// A unit defined in two files: the first in file order is used, so a compile that follows the
// order must end with it. The other's file comes first, its architecture being its own entity's;
// where that file needs the used one's, no order can, and the messages say so.
TEST_F(ProjectTest, AUnitDefinedAgainIsCompiledBeforeTheOneUsed) {
  const auto cycles = [&] {
    Strings texts;
    for (const Message& message : project.Messages()) {
      if (message.kind == MessageKind::kCycle || message.kind == MessageKind::kFileCycle) texts.push_back(message.text);
    }
    return texts;
  };
  const auto set = [&](const std::string& real, const std::string& dummy) {
    files.Set("a_real.vhd", real);
    files.Set("b_dummy.vhd", dummy);
    project.SetModified(1);
    project.SetModified(2);
  };
  // The file of the unit e that `top` instantiates, and of its architecture, live and made whole.
  const auto used = [&] {
    const HierarchyNode live = project.HierarchyRoot("top")->Children().at(0).Node();
    const HierarchyNode whole = project.Hierarchy("top")->children.at(0);
    return Strings{std::to_string(live.unit->file) + std::to_string(live.architecture->file),
                   std::to_string(whole.unit->file) + std::to_string(whole.architecture->file)};
  };
  Add(1, "a_real.vhd", "entity e is port (x : in bit); end;\narchitecture rtl of e is begin end;");
  Add(2, "b_dummy.vhd", "entity e is port (y : in bit); end;\narchitecture rtl of e is begin end;");
  Add(3, "top.vhd", "entity top is end;\narchitecture r of top is signal s : bit; begin u : entity work.e port map (x => s); end;");
  EXPECT_EQ(project.GetCompileOrder().files, (std::vector<FileHandle>{2, 1, 3}));
  EXPECT_EQ(project.GetCompileOrder("top").files, (std::vector<FileHandle>{2, 1, 3}));
  EXPECT_EQ(Count(MessageKind::kDuplicateUnit), 2);  // the entity and its architecture
  EXPECT_TRUE(cycles().empty());
  // The other e is no unit of the design, so no top of its own: the one used is instantiated.
  EXPECT_EQ(Tops(), Strings{"top"});
  EXPECT_EQ(used(), (Strings{"11", "11"}));

  // The other file also holds a unit that needs a unit of the used one's: no order can.
  set("package p is end;\nentity e is port (x : in bit); end;",
      "entity e is port (y : in bit); end;\nuse work.p.all;\nentity f is end;");
  EXPECT_EQ(project.GetCompileOrder().files, (std::vector<FileHandle>{1, 2, 3}));
  EXPECT_EQ(cycles(), Strings{"'e' is defined again in b_dummy.vhd, which needs a_real.vhd: no compile order ends "
                              "with the one in a_real.vhd, which is used"});
  // And a unit that the used one's file needs: that order can be kept.
  set("use work.p.all;\nentity e is port (x : in bit); end;", "entity e is port (y : in bit); end;\npackage p is end;");
  EXPECT_EQ(project.GetCompileOrder().files, (std::vector<FileHandle>{2, 1, 3}));
  EXPECT_TRUE(cycles().empty());

  // An architecture defined again, its entity in a file of its own: the first is used.
  set("architecture rtl of e is begin end;", "architecture rtl of e is begin end;");
  Add(4, "e.vhd", "entity e is port (x : in bit); end;");
  EXPECT_EQ(project.GetCompileOrder().files, (std::vector<FileHandle>{4, 2, 1, 3}));
  EXPECT_EQ(used(), (Strings{"41", "41"}));
}

// A project file that another includes is compiled as part of it: none of its units is the one
// used, and it is so again once nothing includes it.
TEST_F(ProjectTest, NoUnitOfAFileAnotherIncludesIsTheOneUsed) {
  const auto tops = [&] {
    Strings names;
    for (const TopCandidate& top : project.TopCandidates())
      names.push_back(std::string(top.unit.name) + "@" + std::to_string(top.unit.file));
    return names;
  };
  const char* const includer = "`include \"p.sv\"\nmodule top; import pk::*; endmodule";
  Add(1, "p.sv", "package pk; endpackage\nmodule helper; endmodule");
  Add(2, "s.sv", includer);
  EXPECT_EQ(tops(), (Strings{"top@2", "helper@2"}));
  files.Set("s.sv", "module top; import pk::*; endmodule");
  project.SetModified(2);
  EXPECT_EQ(tops(), (Strings{"top@2", "helper@1"}));
  files.Set("s.sv", includer);
  project.SetModified(2);
  EXPECT_EQ(tops(), (Strings{"top@2", "helper@2"}));
}

// Only what a compiler's library keeps instantiates: not an architecture whose entity is not in the
// project, nor a unit defined again but the one used, which in one VHDL file is the last.
TEST_F(ProjectTest, OnlyTheUnitsACompilersLibraryKeepsInstantiate) {
  Add(2, "top_r.vhd", "architecture r of top is begin u : entity work.leaf; end;");
  Add(3, "leaf.vhd", "entity leaf is end;\narchitecture r of leaf is begin end;");
  EXPECT_EQ(Tops(), Strings{"leaf"});
  Add(1, "top.vhd", "entity top is end;");
  EXPECT_EQ(Tops(), Strings{"top"});
  ASSERT_TRUE(project.Remove(1));
  EXPECT_EQ(Tops(), Strings{"leaf"});
  // Where a hierarchy comes round, the whole model answers, not the live roots.
  Add(4, "r.v", "module r; s u (); endmodule module s; r u (); endmodule module rr; r u (); endmodule");
  EXPECT_EQ(Tops(), (Strings{"rr", "leaf"}));
  for (FileHandle handle : {2, 3, 4}) ASSERT_TRUE(project.Remove(handle));

  Add(1, "a.v", "module m (input x); endmodule");
  Add(2, "b.v", "module m (input x); sub u (x); endmodule");
  Add(3, "sub.v", "module sub (input x); endmodule");
  Add(4, "tb.v", "module tb; m u (x); endmodule");
  EXPECT_EQ(Tops(), (Strings{"sub", "tb"}));
  ASSERT_TRUE(project.SetOrder(2, 0));
  EXPECT_EQ(Tops(), Strings{"tb"});
  for (FileHandle handle : {1, 2, 3, 4}) ASSERT_TRUE(project.Remove(handle));

  Add(1, "e.vhd",
      "entity e is port (x : in bit); end;\narchitecture rtl of e is begin u : entity work.one; end;\n"
      "entity e is port (y : in bit); end;\narchitecture rtl of e is begin u : entity work.two; end;");
  Add(2, "top.vhd", "entity one is port (a : bit); end; entity two is port (a : bit); end; entity top is end;\n"
                   "architecture r of top is begin u : entity work.e port map (y => open); end;");
  EXPECT_EQ(Tops(), (Strings{"one", "top"}));
  EXPECT_EQ(project.InterfaceOf("e")->ports.at(0).name, "y");
  EXPECT_EQ(project.Hierarchy("top")->children.at(0).architecture->line, 4u);
  EXPECT_EQ(project.HierarchyRoot("top")->Children().at(0).Node().architecture->line, 4u);
  EXPECT_EQ(Said(MessageKind::kDuplicateUnit),
            (Strings{"e.vhd: 'e' is defined again; the one in e.vhd at line 3 is used",
                     "e.vhd: 'e(rtl)' is defined again; the one in e.vhd at line 4 is used"}));
}

// What a compile that follows the order analyses last decides: the default architecture is the
// later of two in one file; an architecture analysed with a definition of its entity that a later
// one replaces instantiates nothing; an instance, or a binding, that names an architecture in
// another file may come before it.
TEST_F(ProjectTest, WhatIsAnalysedLastDecidesArchitectures) {
  const char* const x = "entity x is end;\narchitecture r of x is begin end;";
  const char* const top = "entity top is end;\narchitecture r of top is begin u : entity work.e; end;";
  // Paths and texts added in turn; the tops, top's first child with its architecture, the file order.
  const std::pair<Strings, std::string> designs[] = {
      {{"e.vhd", "entity e is end;\narchitecture a1 of e is begin u : entity work.x; end;\n"
                 "architecture a2 of e is begin end;",
        "x.vhd", x, "top.vhd", top},
       "top e(a2) x.vhd e.vhd top.vhd"},
      {{"e_rtl.vhd", "architecture rtl of e is begin end;", "top.vhd",
        "entity e is end;\nentity top is end;\narchitecture r of top is begin u : entity work.e(rtl); end;"},
       "top e(rtl) top.vhd e_rtl.vhd"},
      {{"e_rtl.vhd", "architecture rtl of e is begin end;", "top.vhd",
        "entity e is end;\nentity top is end;\narchitecture r of top is\n  component c is end component;\n"
        "  for u : c use entity work.e(rtl);\nbegin u : c; end;"},
       "top c() top.vhd e_rtl.vhd"},
      {{"leaf.vhd", "entity y is end;\nentity x is end;\narchitecture r of x is begin u : entity work.y; end;",
        "top.vhd", "entity top is end;\narchitecture r of top is begin u : entity work.x; end;\nentity top is end;"},
       "x top - leaf.vhd top.vhd"},
      {{"a.vhd", "entity e is end;", "b.vhd", "entity e is end;\narchitecture r of e is begin u : entity work.x; end;",
        "x.vhd", x, "top.vhd", top},
       "top x e() x.vhd b.vhd a.vhd top.vhd"},
  };
  for (const auto& [added, expected] : designs) {
    SCOPED_TRACE(added.at(0));
    Project design;
    design.SetReader(files.GetReader());
    for (FileHandle handle = 1; 2 * handle <= added.size(); ++handle) {
      files.Set(added.at(2 * handle - 2), added.at(2 * handle - 1));
      ASSERT_TRUE(design.AddFile(handle, added.at(2 * handle - 2), handle));
    }
    for (const bool whole : {false, true}) {  // the hierarchy node by node, then made whole
      std::string text;
      for (const TopCandidate& candidate : design.TopCandidates()) text += std::string(candidate.unit.name) + " ";
      std::vector<HierarchyNode> children;
      if (whole)
        children = design.Hierarchy("top")->children;
      else
        for (const HierarchyCursor& child : design.HierarchyRoot("top")->Children()) children.push_back(child.Node());
      const std::optional<UnitInfo> arch = children.empty() ? std::nullopt : children.at(0).architecture;
      text += children.empty() ? "-" : children.at(0).unitName + "(" + std::string(arch ? arch->name : "") + ")";
      for (FileHandle handle : design.GetCompileOrder().files) text += " " + added.at(2 * handle - 2);
      EXPECT_EQ(text, expected) << whole;
    }
  }
}

// A module a SystemVerilog bind puts into another is instantiated there, though the hierarchy does
// not show it: it is no top, wherever the bind stands.
TEST_F(ProjectTest, AModuleABindInstantiatesIsNoTop) {
  Add(1, "top.sv", "module top; dut u (.a(a)); endmodule");
  Add(2, "dut.sv", "module dut (input a); endmodule");
  Add(3, "chk.sv", "module chk (input a); endmodule\nbind dut chk u_chk (.a(a));");
  Add(4, "tb.sv", "module tb; top t (); bind top.u mon u_mon (.a(a)); endmodule");
  Add(5, "mon.sv", "module mon (input a); endmodule");
  EXPECT_EQ(Tops(), Strings{"tb"});
  files.Set("chk.sv", "module chk (input a); endmodule");
  project.SetModified(3);
  EXPECT_EQ(Tops(), (Strings{"chk", "tb"}));
}

// An entity and a Verilog module of one name in one library are one unit defined twice: the first
// in file order is used, the other's file is compiled before it, and the other instantiates nothing.
// A VHDL extended name and a Verilog escaped one of the same characters are one name; a VHDL name
// binds among modules that differ only in case to the one spelt as VHDL reads it.
TEST_F(ProjectTest, NamesMeetAcrossTheLanguagesAsEachReadsThem) {
  // The unit `top`'s first instance binds to, live and made whole.
  const auto bound = [&](const std::string& top) {
    const HierarchyNode live = project.HierarchyRoot(top)->Children().at(0).Node();
    const HierarchyNode whole = project.Hierarchy(top)->children.at(0);
    return Strings{live.unit ? std::string(live.unit->name) + "@" + std::to_string(live.unit->file) : "-",
                   whole.unit ? std::string(whole.unit->name) + "@" + std::to_string(whole.unit->file) : "-"};
  };
  Add(1, "uart.v", "module uart (input rx); endmodule");
  Add(2, "uart_sim.vhd", "entity uart is port (rx : in bit); end;\n"
                         "architecture sim of uart is begin u : entity work.leaf; end;");
  Add(3, "cpu.vhd", "entity cpu is end;\n"
                    "architecture r of cpu is signal s : bit; begin u : uart port map (rx => s); end;");
  Add(4, "leaf.vhd", "entity leaf is end;");
  EXPECT_EQ(Tops(), (Strings{"cpu", "leaf"}));
  EXPECT_EQ(bound("cpu"), (Strings{"uart@1", "uart@1"}));
  EXPECT_EQ(project.GetCompileOrder().files, (std::vector<FileHandle>{4, 2, 1, 3}));
  EXPECT_EQ(Said(MessageKind::kDuplicateUnit),
            Strings{"uart_sim.vhd: 'uart' is defined again; the one in uart.v is used"});
  ASSERT_TRUE(project.SetOrder(1, 4));  // the module after the entity: the entity is used
  EXPECT_EQ(bound("cpu"), (Strings{"uart@2", "uart@2"}));

  Add(5, "m.v", "module \\m$1 (input a); endmodule\nmodule Foo (input a); endmodule");
  Add(6, "e.vhd", "entity \\E$x\\ is port (a : in bit); end;");
  Add(7, "top.vhd", "entity top is end;\narchitecture r of top is signal s : bit; begin\n"
                    "u : FOO port map (a => s); u1 : \\m$1\\ port map (a => s); end;");
  Add(8, "t.v", "module t; \\E$x  u (a); endmodule");
  Add(9, "foo.v", "module foo (input a); endmodule");
  EXPECT_EQ(Count(MessageKind::kMissingUnit), 0);
  EXPECT_EQ(bound("t"), (Strings{"\\E$x\\@6", "\\E$x\\@6"}));
  for (const std::int64_t order : {99, 0}) {  // whatever the file order
    ASSERT_TRUE(project.SetOrder(9, order));
    EXPECT_EQ(bound("top"), (Strings{"foo@9", "foo@9"})) << order;
  }
}

TEST_F(ProjectTest, HierarchyStopsAtRecursionAndAtItsBound) {
  Add(1, "r.v", "module r (input a); r u_self (a); leaf u_leaf (a); endmodule module leaf (input a); endmodule");
  Add(2, "t.v", "module t; r u0 (x); r u1 (x); endmodule");
  std::optional<HierarchyNode> tree = project.Hierarchy("t");
  ASSERT_TRUE(tree.has_value() && tree->children.size() == 2u);
  const HierarchyNode& u0 = tree->children[0];
  ASSERT_EQ(u0.children.size(), 2u);
  EXPECT_EQ(u0.children[0].path + " " + u0.children[1].path, "t/u0/u_self t/u0/u_leaf");
  EXPECT_TRUE(u0.children[0].recursive && u0.children[0].children.empty());
  EXPECT_EQ(Tops(), Strings{"t"});  // r instantiates itself but t does too
  project.SetMaxHierarchyNodes(3);
  tree = project.Hierarchy("t");
  EXPECT_TRUE(tree.has_value() && tree->children.size() == 1u);
  EXPECT_EQ(Count(MessageKind::kHierarchyLimit), 1);
}

// Each unit instantiates the one before it and one halfway back: below the last of 150 lie over
// three million instances, though the units share what is below them. The top, the order and the
// hierarchy are answered without making every instance path: the hierarchy, cut at the node bound
// as the message says, is made as it is walked, and holding it holds little.
TEST_F(ProjectTest, AHierarchyOfFarMoreInstancesThanUnitsIsNotMadeWhole) {
  constexpr int kUnits = 150;
  for (int i = 0; i < kUnits; ++i) {
    const std::string name = "unit_" + std::to_string(i);
    std::string text = "entity " + name + " is port (clk : in bit); end;\narchitecture rtl of " + name + " is begin\n";
    if (i > 0) {
      text += "ua : entity work.unit_" + std::to_string(i - 1) + " port map (clk => clk);\n";
      text += "ub : entity work.unit_" + std::to_string(i / 2) + " port map (clk => clk);\n";
    }
    Add(static_cast<FileHandle>(i + 1), name + ".vhd", text + "end;");
  }
  const std::size_t before = AllocatedBytes();
  EXPECT_EQ(Tops(), Strings{"unit_149"});
  const CompileOrder order = project.GetCompileOrder("unit_149");
  ASSERT_EQ(order.files.size(), 150u);
  EXPECT_EQ(order.files.front() * 1000 + order.files.back(), 1150u);
  const std::optional<HierarchyCursor> root = project.HierarchyRoot("unit_149");
  ASSERT_TRUE(root.has_value());
  EXPECT_EQ(Count(MessageKind::kHierarchyLimit), 1);
  std::vector<HierarchyCursor> children = root->Children();
  EXPECT_EQ(children.size(), 1u);  // ub comes after the million nodes below ua
  std::string deepest;
  for (; !children.empty(); children = children.front().Children()) deepest = children.front().Node().path;
  EXPECT_EQ(deepest.size(), std::string("unit_149").size() + 149 * std::string("/ua").size());
  const std::size_t after = AllocatedBytes();
  EXPECT_LT(after > before ? after - before : 0, std::size_t{64} << 20);
}

// An entity reached through both its architectures, and instances that come round, double the
// hierarchy at every unit too: past the node bound they are read from the units, not every path.
TEST_F(ProjectTest, AHierarchyOfEveryShapePastTheBoundIsNotMadeWhole) {
  constexpr int kUnits = 60;
  std::string ring;
  for (int i = 0; i < kUnits; ++i) {
    const std::string name = "c_" + std::to_string(i), before = "entity work.c_" + std::to_string(i - 1);
    const std::string body = " of " + name + " is begin\n" +
                             (i == 0 ? "" : "ua : " + before + "(rtl);\nub : " + before + "(beh);\n") + "end;";
    Add(static_cast<FileHandle>(2 * i + 1), name + ".vhd", "entity " + name + " is end;\narchitecture rtl" + body);
    Add(static_cast<FileHandle>(2 * i + 2), name + "_beh.vhd", "architecture beh" + body);
    const std::string module = "m_" + std::to_string(i == 0 ? kUnits - 1 : i - 1);
    ring += "module m_" + std::to_string(i) + "; " + module + " ua (); " + module + " ub (); endmodule\n";
  }
  Add(1000, "ring.v", ring + "module ring_top; m_" + std::to_string(kUnits - 1) + " u (); endmodule\n");
  const std::size_t before = AllocatedBytes();
  std::vector<HierarchyCursor> roots;  // held while the memory is counted
  for (const std::string& top : {"c_" + std::to_string(kUnits - 1), std::string("ring_top")}) {
    const int cuts = Count(MessageKind::kHierarchyLimit);
    roots.push_back(project.HierarchyRoot(top).value());
    EXPECT_EQ(Count(MessageKind::kHierarchyLimit), cuts + 1) << top;
    EXPECT_EQ(roots.back().Children().size(), 1u) << top;  // ub comes after the million nodes below ua
  }
  const std::size_t after = AllocatedBytes();
  EXPECT_LT(after > before ? after - before : 0, std::size_t{64} << 20);
}

// HierarchyRoot answers a name with the first of its units: a later unit of the name that is a top
// keeps a version only while that answer holds, also where the first one's hierarchy comes round
// and changes below it.
TEST_F(ProjectTest, ACandidateWhoseNameFindsAnotherUnitKeepsNoStaleVersion) {
  Add(1, "a.v", "module top; mid m (); endmodule");
  Add(2, "mid.v", "module mid; top t (); endmodule");  // binds the first top
  Add(3, "b.v", "module top (input x); endmodule");
  ASSERT_TRUE(project.SetLibrary(3, "other"));  // in its own library: no unit defined again, so a top
  const std::function<std::string(const HierarchyCursor&)> walk = [&](const HierarchyCursor& at) {
    std::string text = at.Node().path + (at.Node().recursive ? " again" : "") + "\n";
    for (const HierarchyCursor& child : at.Children()) text += walk(child);
    return text;
  };
  // What a caller shows for the candidate, drawn again only when the version is new.
  std::pair<std::uint64_t, std::string> drawn;
  const auto check = [&](const std::string& step) {
    SCOPED_TRACE(step);
    const std::vector<TopCandidate> tops = project.TopCandidates();
    ASSERT_TRUE(tops.size() == 1u && tops[0].unit.file == 3u);
    const std::string now = walk(*project.HierarchyRoot(tops[0].unit.name));
    if (tops[0].version == 0 || drawn.first != tops[0].version) drawn = {tops[0].version, now};
    EXPECT_EQ(drawn.second, now);
  };
  check("first");
  files.Set("mid.v", "module mid; top t (); leaf l (); endmodule module leaf; endmodule");
  ASSERT_TRUE(project.SetModified(2));
  check("a leaf below mid");
}

TEST_F(ProjectTest, AConfigurationTopUsesItsArchitecture) {
  Add(1, "e.vhd",
      "entity e is end; architecture a1 of e is begin u : entity work.x; end;"
      "architecture a2 of e is begin v : entity work.y; end;");
  Add(2, "xy.vhd", "entity x is end; entity y is end;");
  Add(3, "c.vhd", "configuration c of e is for a1 end for; end;");
  EXPECT_EQ(project.Hierarchy("e")->architecture->Label(), "e(a2)");  // the last one compiled
  const std::optional<HierarchyNode> tree = project.Hierarchy("c");
  ASSERT_TRUE(tree.has_value() && tree->children.size() == 1u);
  EXPECT_EQ(tree->unit->kind, UnitKind::kVhdlConfiguration);
  EXPECT_EQ(tree->architecture->Label() + " " + tree->children[0].path, "e(a1) c/u");
  EXPECT_EQ(Order("c"), (Strings{"e", "x", "e(a1)", "y", "e(a2)", "c"}));
}

TEST_F(ProjectTest, RelativePathsAreReadAgainstTheBaseDirectory) {
  files.Set("/proj/src/a.v", "`include \"defs.vh\"\nmodule a; `CELL u (x); endmodule");
  files.Set("/proj/inc/defs.vh", "`define CELL b");
  project.SetBaseDirectory("/proj");
  project.SetIncludeDirs({"inc"});
  project.AddFile(1, "src/a.v", 1);
  EXPECT_EQ(Labels(project.UnitsOf(1)), Strings{"a"});
  EXPECT_EQ(project.UnitsOf(1).at(0).path, "src/a.v");
  EXPECT_EQ(Kinds(project.Messages()), std::vector<MessageKind>{MessageKind::kMissingUnit});  // module b
  EXPECT_EQ(files.Reads("/proj/inc/defs.vh"), 1);
}

// Every answer of a project, one line each, for comparing projects that scanned alike.
std::string Everything(Project& project) {
  std::string text;
  for (const UnitInfo& unit : project.Units()) text += "unit " + unit.Label() + " " + std::string(unit.path) + "\n";
  const CompileOrder order = project.GetCompileOrder();
  for (const UnitInfo& unit : order.units) text += "order " + unit.Label() + "\n";
  for (FileHandle file : order.files) text += "file " + std::to_string(file) + "\n";
  for (const TopCandidate& top : project.TopCandidates()) {
    text += "top " + std::string(top.unit.name) + "\n";
    std::vector<const HierarchyNode*> work;
    const std::optional<HierarchyNode> tree = project.Hierarchy(top.unit.name);
    if (tree) work.push_back(&*tree);
    while (!work.empty()) {
      const HierarchyNode* node = work.back();
      work.pop_back();
      text += "node " + node->path + " " + node->unitName + "\n";
      for (const HierarchyNode& child : node->children) work.push_back(&child);
    }
  }
  for (const Message& message : project.Messages()) {
    text += "message " + message.path + ":" + std::to_string(message.line) + " " + message.text + "\n";
  }
  return text;
}

// A chain of Verilog files in which each file's macro depends on the one before it, so that
// scans started before the earlier files are taken guess wrong; VHDL beside them, and messages.
TEST(ScanThreads, ResultsMessagesAndOrdersDoNotDependOnTheThreadCount) {
  MemoryFiles files;
  files.Set("common.vh", "`ifndef COMMON_VH\n`define COMMON_VH\n`define WIDTH 8\n`endif\n");
  files.Set("f0.v", "`define M0 cell_a\nmodule cell_a (input x); endmodule\nmodule cell_b (input x); endmodule\n");
  for (int k = 1; k < 40; ++k) {
    const std::string n = std::to_string(k), before = std::to_string(k - 1);
    std::string text = "`ifdef M" + before + "\n`define M" + n + " cell_a\n`else\n`define M" + n +
                       " cell_b\n`endif\n`include \"common.vh\"\n";
    text += "module m" + n + " (input [`WIDTH-1:0] x);\n  `M" + n + " u (.x(x));\n";
    if (k > 1) text += "  m" + before + " below (.x(x));\n";
    text += k % 7 == 0 ? "`include \"missing.vh\"\n" : "endmodule\n";
    files.Set("f" + n + ".v", std::move(text));
  }
  for (int k = 40; k < 60; ++k) {
    const std::string n = std::to_string(k);
    files.Set("f" + n + ".vhd", "use work.p.all; entity v" + n + " is port (x : bit); end;\narchitecture a of v" + n +
                                    " is begin u : entity work.m" + std::to_string(k - 20) +
                                    " port map (x); w : entity work.v" + std::to_string(k - 1) + "; end;");
  }
  files.Set("p.vhd", "package p is end; package body p is end;");
  // Enough plain files after them that the caller takes results past several wake-ups of the
  // helpers that wait to free theirs.
  constexpr int kPlain = 150;
  for (int k = 0; k < kPlain; ++k) {
    const std::string n = std::to_string(k);
    files.Set("g" + n + ".vhd", "entity g" + n + " is end;\narchitecture a of g" + n + " is begin end;");
  }
  auto build = [&](std::size_t threads, std::size_t* scanned) {
    auto project = std::make_unique<Project>();
    project->SetScanThreads(threads);
    project->SetReader(files.GetReader());
    for (int k = 0; k < 60; ++k) {
      project->AddFile(static_cast<FileHandle>(k + 1), "f" + std::to_string(k) + (k < 40 ? ".v" : ".vhd"), k);
    }
    project->AddFile(100, "p.vhd", 100);
    for (int k = 0; k < kPlain; ++k)
      project->AddFile(static_cast<FileHandle>(200 + k), "g" + std::to_string(k) + ".vhd", 200 + k);
    *scanned = project->Update();
    return project;
  };
  std::size_t scanned = 0;
  const std::unique_ptr<Project> one = build(1, &scanned);
  EXPECT_EQ(scanned, 61u + kPlain);
  const std::string expected = Everything(*one);
  EXPECT_NE(expected.find("node v59/u/u cell_a\n"), std::string::npos) << "m39 finds every macro of the chain";
  EXPECT_NE(expected.find("message f7.v"), std::string::npos);
  for (int run = 0; run < 5; ++run) {
    const std::unique_ptr<Project> eight = build(8, &scanned);
    EXPECT_EQ(scanned, 61u + kPlain);
    EXPECT_EQ(Everything(*eight), expected);
  }
}

// Edits that leave no file other macros check only the files they scan; those that do, and
// removals of files that left macros, reach the files after them. After each edit the project
// answers as one given the same files afresh, the files each top needs among its answers.
TEST(MacroEdits, AProjectKeptAcrossEditsOfMacroFilesAnswersAsAFreshOne) {
  MemoryFiles files;
  files.Set("h.vh", "`ifndef H_VH\n`define H_VH\n`define W 4\n`endif\n");
  files.Set("defs.v", "`define CELL fast\n");
  files.Set("plain.v", "module plain; endmodule\n");
  files.Set("top.v", "`include \"h.vh\"\nmodule top; `CELL u (x); wire [`W-1:0] w; endmodule\n");
  files.Set("next.v", "`include \"h.vh\"\n`ifdef CELL\nmodule next; `CELL u (x); endmodule\n`endif\n");
  files.Set("cells.v", "module fast; endmodule module slow; endmodule\n");
  std::map<FileHandle, std::pair<std::string, std::int64_t>> in{
      {1, {"defs.v", 10}}, {2, {"plain.v", 20}}, {3, {"top.v", 30}}, {4, {"next.v", 40}}, {5, {"cells.v", 50}}};
  Project project;
  project.SetReader(files.GetReader());
  for (const auto& [handle, file] : in) project.AddFile(handle, file.first, file.second);
  auto answers = [&](Project& p) {
    std::string text = Everything(p);
    for (const char* top : {"top", "next"}) {
      for (FileHandle file : p.GetCompileOrder(top).files) text += std::string(top) + " needs " + std::to_string(file) + "\n";
    }
    return text;
  };
  auto check = [&](const std::string& step) {
    SCOPED_TRACE(step);
    Project fresh;
    fresh.SetReader(files.GetReader());
    for (const auto& [handle, file] : in) fresh.AddFile(handle, file.first, file.second);
    EXPECT_EQ(answers(project), answers(fresh));
  };
  check("start");
  EXPECT_NE(answers(project).find("node top/u fast"), std::string::npos);

  project.Remove(2);  // left no macros: nobody starts otherwise
  in.erase(2);
  EXPECT_EQ(project.Update(), 0u);
  check("a plain file removed");
  files.Set("plain.v", "module plain; endmodule\n");
  project.AddFile(2, "plain.v", 20);  // between defs.v and top.v, leaving nothing
  in[2] = {"plain.v", 20};
  EXPECT_EQ(project.Update(), 1u);
  check("a plain file added between");
  files.Set("plain.v", "`define CELL slow\nmodule plain; endmodule\n");
  project.SetModified(2);
  EXPECT_EQ(project.Update(), 3u);  // top.v and next.v found the old CELL
  check("the plain file defines a macro");
  EXPECT_NE(answers(project).find("node top/u slow"), std::string::npos);
  files.Set("plain.v", "`define CELL slow\nmodule plain; wire x; endmodule\n");
  project.SetModified(2);
  EXPECT_EQ(project.Update(), 1u);  // leaves the same
  check("the plain file changes, leaving the same");
  project.Remove(2);  // left CELL: the files after it start otherwise
  in.erase(2);
  EXPECT_EQ(project.Update(), 2u);
  check("the file that defined a macro removed");
  EXPECT_NE(answers(project).find("node top/u fast"), std::string::npos);
  project.Remove(3);  // the first to include the header: next.v sets its guard now
  in.erase(3);
  EXPECT_EQ(project.Update(), 1u);
  check("the first file to include the header removed");
  project.Remove(1);
  in.erase(1);
  EXPECT_EQ(project.Update(), 1u);
  check("the definitions removed");
}

// A few files to scan are scanned on the caller's thread: an edit starts no threads. The reader
// waits a little on the first file for a read elsewhere, which a started helper would make.
TEST(ScanThreads, AFewFilesAreScannedOnTheCallersThread) {
  std::mutex lock;
  std::condition_variable elsewhere;
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<std::thread::id> readers;
  Project project;
  project.SetReader([&](const std::string& path, std::string* text) {
    std::unique_lock<std::mutex> hold(lock);
    readers.push_back(std::this_thread::get_id());
    elsewhere.notify_all();
    if (path == "f0.vhd") {
      elsewhere.wait_for(hold, std::chrono::milliseconds(300), [&] {
        return std::any_of(readers.begin(), readers.end(), [&](std::thread::id id) { return id != caller; });
      });
    }
    *text = "entity " + path.substr(0, path.size() - 4) + " is end;";
    return ReadStatus::kOk;
  });
  for (int k = 0; k < 4; ++k) project.AddFile(static_cast<FileHandle>(k + 1), "f" + std::to_string(k) + ".vhd", k);
  EXPECT_EQ(project.Update(), 4u);
  EXPECT_EQ(readers.size(), 4u);
  EXPECT_EQ(std::count(readers.begin(), readers.end(), caller), 4);
}

// The definition data names the design-unit types the scanner gives its units.
TEST(UnitTypeNames, MatchTheDefinitionData) {
  std::ifstream in(HVD_DEFINITIONS_FILE);
  const std::string data((std::istreambuf_iterator<char>(in)), {});
  ASSERT_FALSE(data.empty());
  for (UnitKind kind : {UnitKind::kVhdlEntity, UnitKind::kVhdlArchitecture, UnitKind::kVhdlPackage,
                        UnitKind::kVhdlPackageBody, UnitKind::kVerilogModule}) {
    EXPECT_NE(data.find(std::string("designUnitType name=\"") + UnitTypeName(kind) + "\""), std::string::npos)
        << UnitTypeName(kind);
  }
}

// A view's VHDL standard allows the spellings the scanner reads, and none other, so that a
// value the scanner would ignore is refused when it is set. Empty: no standard set.
TEST(VhdlStandardNames, MatchTheViewSettingsAllowedValues) {
  std::ifstream in(HVD_DEFINITIONS_FILE);
  const std::string data((std::istreambuf_iterator<char>(in)), {});
  const std::size_t at = data.find("\"PROP_VHDLSOURCEANALYSISSTANDARD\"");
  ASSERT_NE(at, std::string::npos);
  const std::string property = data.substr(at, data.find("</property>", at) - at);
  const std::regex value("<allowed>([^<]*)</allowed>");
  std::set<std::string> allowed;
  for (std::sregex_iterator it(property.begin(), property.end(), value), end; it != end; ++it) allowed.insert((*it)[1]);
  std::set<std::string> read{""};
  VhdlStandard standard;
  for (int n = 0; n < 10000; ++n) {
    char padded[8];
    std::snprintf(padded, sizeof padded, "%02d", n);
    for (const std::string& text : {std::to_string(n), std::string(padded)})
      if (ParseVhdlStandard(text, &standard)) read.insert(text);
  }
  EXPECT_EQ(allowed, read);
}

// Handles are any values, the files' own addresses in the library: through growth and removals
// that move the others' entries, every handle still finds its own file and no other.
TEST(ProjectHandlesTest, EveryHandleFindsItsFileThroughGrowthAndRemovals) {
  Project project;
  std::mt19937_64 random(7);
  std::map<FileHandle, std::string> model;
  std::vector<FileHandle> handles{0, 1, 2, ~FileHandle{0}};
  for (int i = 0; i < 3000; ++i) handles.push_back(0x7f0000001000 + 1040 * static_cast<FileHandle>(i));
  for (int step = 0; step < 20000; ++step) {
    const FileHandle handle = handles[random() % handles.size()];
    // Mostly additions at first, mostly removals later: the project fills, then empties.
    if (static_cast<int>(random() % 20000) >= step) {
      const std::string path = "f" + std::to_string(step) + ".vhd";
      ASSERT_EQ(project.AddFile(handle, path, step), model.emplace(handle, path).second);
    } else {
      ASSERT_EQ(project.Remove(handle), model.erase(handle) == 1);
    }
    if (step % 997 == 0 || step == 19999) {
      ASSERT_EQ(project.FileCount(), model.size());
      for (FileHandle each : handles) {
        const auto known = model.find(each);
        ASSERT_EQ(project.Contains(each), known != model.end());
        if (known != model.end()) {
          ASSERT_EQ(project.PathOf(each), known->second);
        }
      }
    }
  }
}

}  // namespace
