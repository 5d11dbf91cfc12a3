// Library clauses: a unit that names another library of the project follows a file of it, the
// one the order would put first and that does not need the unit's file; where every file of it
// does, the order says so. Kept across edits, the order is the one a fresh project gives.

#include <map>

#include "hdl/HdlSupport.h"

namespace {

using namespace hdl_test;
using Strings = std::vector<std::string>;
using Handles = std::vector<FileHandle>;

struct FileState {
  std::string path;
  std::int64_t order = 0;
  std::string library;
};

class LibraryClauseTest : public testing::Test {
 protected:
  void SetUp() override { project.SetReader(files.GetReader()); }
  void Add(FileHandle handle, const std::string& library, const std::string& path, std::string text,
           std::int64_t order = 0) {
    files.Set(path, std::move(text));
    in[handle] = {path, order == 0 ? static_cast<std::int64_t>(handle) : order, library};
    ASSERT_TRUE(project.AddFile(handle, path, in[handle].order, library));
  }
  void Remove(FileHandle handle) {
    in.erase(handle);
    ASSERT_TRUE(project.Remove(handle));
  }
  void Edit(FileHandle handle, std::string text) {
    files.Set(in[handle].path, std::move(text));
    ASSERT_TRUE(project.SetModified(handle));
  }
  // The cycle messages, as "line: text".
  Strings Cycles() {
    Strings texts;
    for (const Message& message : project.Messages()) {
      if (message.kind == MessageKind::kCycle || message.kind == MessageKind::kFileCycle)
        texts.push_back(std::to_string(message.line) + ": " + message.text);
    }
    return texts;
  }
  // The order of files and of units, the order for `top` and the messages.
  std::string Answers(Project& of, const std::string& top) {
    const CompileOrder order = of.GetCompileOrder();
    std::string text;
    for (FileHandle handle : order.files) text += std::to_string(handle) + " ";
    for (const std::string& label : Labels(order.units)) text += label + " ";
    for (FileHandle handle : of.GetCompileOrder(top).files) text += "/" + std::to_string(handle);
    for (const Message& message : of.Messages()) text += "\n" + message.path + ":" + message.text;
    return text;
  }
  // The project kept across the edits answers as one given the same files afresh.
  void ExpectAsFresh(const std::string& top) {
    Project fresh;
    fresh.SetReader(files.GetReader());
    for (const auto& [handle, file] : in) ASSERT_TRUE(fresh.AddFile(handle, file.path, file.order, file.library));
    EXPECT_EQ(Answers(project, top), Answers(fresh, top));
  }

  MemoryFiles files;
  Project project;
  std::map<FileHandle, FileState> in;
};

TEST(LibraryClauseScan, EachLibraryIsListedOnceAsWrittenWithTheUnitItPrecedes) {
  ScanOptions options;
  options.vhdlStandard = VhdlStandard::k2008;
  const ScanResult result =
      ScanText("library Resync, common; library RESYNC;\nlibrary work, ieee;\nentity debounce is end;\n"
               "architecture rtl of debounce is begin end;\n"
               "context ctx is library lib; use lib.p.all; end context;\n",
               Language::kVhdl, "t.vhd", options);
  Strings named;
  for (const Unit& unit : result.units) {
    std::string text = unit.name + ":";
    for (const Reference& ref : unit.references) {
      if (ref.kind == RefKind::kLibrary) text += " " + ref.library + "@" + std::to_string(ref.line);
    }
    named.push_back(text);
  }
  EXPECT_EQ(named, (Strings{"debounce: Resync@1 common@1 ieee@2", "rtl:", "ctx: lib@5"}));
}

// An architecture or body whose primary unit is elsewhere keeps its "a.b" names for the project,
// each once, but those a library of its file starts; one beside its primary keeps none.
TEST(LibraryClauseScan, ASecondaryUnitWhosePrimaryIsElsewhereKeepsItsSelectedNames) {
  const ScanResult result = ScanText(
      "library ieee;\narchitecture r of top is begin\n  x <= liba.pk.w + ieee.pk.w;\n  y <= liba.pk.v;\nend;\n"
      "entity e is end;\narchitecture a of e is begin x <= liba.pk.w; end;\n",
      Language::kVhdl, "t.vhd", ScanOptions{});
  Strings kept;
  for (const Unit& unit : result.units) {
    kept.push_back(unit.name + ":");
    for (const Reference& ref : unit.references) {
      if (ref.kind == RefKind::kSelected)
        kept.back() += " " + ref.library + "." + ref.name + "@" + std::to_string(ref.line);
    }
  }
  EXPECT_EQ(kept, (Strings{"r: liba.pk@3", "e:", "a:"}));
}

// The debounce module of `common` names `resync` and uses nothing of it: it still follows the file
// of resync that the order puts first, here its package though the entity's file is listed before
// it, and the order for it alone brings that file along. A file that needs the module is passed over.
TEST_F(LibraryClauseTest, AUnitFollowsTheFirstFileOfALibraryItNamesThatDoesNotNeedIt) {
  Add(1, "common", "util.vhd", "library unisim, common;\npackage util is end;");
  Add(2, "common", "debounce.vhd",
      "library ieee, resync;\nentity debounce is port (x : bit); end;\narchitecture rtl of debounce is begin end;");
  Add(3, "resync", "filter.vhd",
      "entity filter is end;\narchitecture r of filter is begin u : entity common.debounce port map (x); end;");
  Add(4, "resync", "sync.vhd", "use work.sync_pkg.all;\nentity sync is end;\narchitecture r of sync is begin end;");
  Add(5, "resync", "sync_pkg.vhd", "library common;\nuse common.util.all;\npackage sync_pkg is end;");
  Add(6, "top", "top.vhd",
      "library common, resync;\nentity top is end;\narchitecture r of top is begin\n"
      "  a : entity common.debounce port map (x);\n  b : entity resync.sync;\nend;");
  EXPECT_EQ(project.GetCompileOrder().files, (Handles{1, 5, 2, 3, 4, 6}));
  EXPECT_EQ(Labels(project.GetCompileOrder().units),
            (Strings{"util", "filter", "sync_pkg", "debounce", "debounce(rtl)", "filter(r)", "sync", "sync(r)", "top",
                     "top(r)"}));
  EXPECT_EQ(project.GetCompileOrder("debounce").files, (Handles{1, 5, 2}));
  EXPECT_TRUE(Cycles().empty());
  EXPECT_EQ(CountMessages(project.Messages(), MessageKind::kMissingUnit), 0);

  // Without the clause, or with one naming a library the project lacks, nothing holds it back.
  Edit(2, "library ieee, unisim;\nentity debounce is port (x : bit); end;\narchitecture rtl of debounce is begin end;");
  EXPECT_EQ(project.GetCompileOrder().files, (Handles{1, 2, 3, 5, 4, 6}));
  EXPECT_EQ(project.GetCompileOrder("debounce").files, (Handles{2}));
  EXPECT_TRUE(Cycles().empty());
}

// Where every file of the library needs the unit's file, no order can keep the clause: the order
// says so, asked for its messages alone or with the order, and keeps to the other needs. A file
// that needs it only through a component, which binds late, gives way.
TEST_F(LibraryClauseTest, ALibraryWhoseFilesAllNeedTheUnitIsReported) {
  Add(1, "common", "debounce.vhd", "library resync;\nentity debounce is port (x : bit); end;");
  Add(2, "resync", "a.vhd", "entity a is end;\narchitecture r of a is begin u : entity common.debounce port map (x); end;");
  Add(3, "resync", "b.vhd", "use work.a;\npackage b is end;");
  const Strings reported = {
      "1: units need each other: 'debounce' names library 'resync', whose every file needs its file: a.vhd -> "
      "debounce.vhd"};
  EXPECT_EQ(Cycles(), reported);
  EXPECT_EQ(project.GetCompileOrder().files, (Handles{1, 2, 3}));
  EXPECT_EQ(Cycles(), reported);
  const std::vector<Message> messages = project.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].file, 1u);
  EXPECT_EQ(messages[0].path, "debounce.vhd");

  Edit(2, "entity a is end;\narchitecture r of a is begin u : debounce port map (x); end;");
  EXPECT_EQ(project.GetCompileOrder().files, (Handles{2, 1, 3}));
  EXPECT_TRUE(Cycles().empty());

  // b.vhd needs it through m.vhd of another library, which a.vhd and m.vhd need each other through:
  // it too needs it, however the search for a file of resync that does not met them.
  Edit(2, "library mid;\nuse mid.pb.all;\npackage pa is end;\n"
          "entity a is end;\narchitecture r of a is begin u : entity common.debounce port map (x); end;");
  Add(4, "mid", "m.vhd", "package pb is end;\nlibrary resync;\nuse resync.pa.all;\npackage pb2 is end;");
  Edit(3, "library mid;\nuse mid.pb2.all;\npackage c is end;");
  EXPECT_EQ(Cycles(),
            (Strings{"1: units need each other: 'debounce' names library 'resync', whose every file needs its file: "
                     "a.vhd -> debounce.vhd",
                     "0: files need each other, though their units do not: a.vhd m.vhd"}));
}

// The clause of an entity holds for its architecture, in its file or another added before or after
// it, and a package's for its body: liba.pk.w makes pk a need though other.vhd meets the clause.
TEST_F(LibraryClauseTest, TheClauseOfAnEntityHoldsForItsArchitecture) {
  const std::string entity = "library liba;\nentity top is end;\nlibrary liba;\npackage tp is end;\n";
  const std::string architecture =
      "architecture r of top is\n  signal s : bit := liba.pk.w and cfg.mode;\nbegin end;\n"
      "package body tp is constant c : bit := LibA . pk . w; end;";
  for (const int place : {0, 1, 2}) {  // same file, entity's file first, architecture's first
    SCOPED_TRACE(place);
    if (place < 2) Add(1, "top", "top.vhd", place == 0 ? entity + architecture : entity);
    if (place > 0) Add(2, "top", "top_r.vhd", architecture);
    Add(3, "liba", "other.vhd", "package other is end;");
    EXPECT_FALSE(project.GetCompileOrder().files.empty());
    Add(4, "liba", "pk.vhd", "package pk is constant w : bit := '0'; end;", 9);
    Add(5, "cfg", "mode.vhd", "package mode is end;", 10);  // a record's field, as no clause names cfg
    if (place == 2) Add(1, "top", "top.vhd", entity);
    EXPECT_EQ(project.GetCompileOrder().files, place == 0 ? (Handles{3, 4, 1, 5}) : (Handles{3, 1, 4, 2, 5}));
    ExpectAsFresh("top");
    for (const auto& [handle, file] : std::map(in)) Remove(handle);
  }
}

// A unit defined again binds the order before the clause picks its file: of those that leave the
// unit's file free then, l3.vhd.
TEST_F(LibraryClauseTest, TheClauseIsMetAfterTheUnitsDefinedAgain) {
  Add(1, "lb", "l1.vhd", "entity d is end;");
  Add(2, "lb", "l2.vhd", "library tl;\nuse tl.tp.all;\nentity d is end;");
  Add(3, "lb", "l3.vhd", "package q is end;");
  Add(4, "tl", "t.vhd", "library lb;\npackage tp is end;");
  EXPECT_EQ(project.GetCompileOrder().files, (Handles{3, 4, 2, 1}));
}

// Files coming into the library and leaving it, moving between libraries, and the clause edited
// away and back: each time the order is the one a fresh project gives.
TEST_F(LibraryClauseTest, EditsGiveTheOrderOfAFreshProject) {
  const std::string debounce = "library resync;\nentity debounce is end;\n";
  Add(1, "common", "util.vhd", "package util is end;");
  Add(2, "common", "debounce.vhd", debounce);
  ExpectAsFresh("debounce");
  EXPECT_EQ(project.GetCompileOrder().files, (Handles{1, 2}));  // resync holds no file yet

  Add(3, "resync", "sync.vhd", "use work.sync_pkg.all;\nentity sync is end;");
  ExpectAsFresh("debounce");
  EXPECT_EQ(project.GetCompileOrder().files, (Handles{1, 3, 2}));  // sync_pkg is missing: sync needs nothing
  Add(4, "resync", "sync_pkg.vhd", "package sync_pkg is end;");
  ExpectAsFresh("debounce");
  EXPECT_EQ(project.GetCompileOrder().files, (Handles{1, 4, 2, 3}));
  Remove(4);
  ExpectAsFresh("debounce");
  EXPECT_EQ(project.GetCompileOrder().files, (Handles{1, 3, 2}));

  in[3].library = "other";
  ASSERT_TRUE(project.SetLibrary(3, "other"));
  ExpectAsFresh("debounce");
  EXPECT_EQ(project.GetCompileOrder().files, (Handles{1, 2, 3}));
  in[3].library = "RESYNC";
  ASSERT_TRUE(project.SetLibrary(3, "RESYNC"));
  ExpectAsFresh("debounce");
  EXPECT_EQ(project.GetCompileOrder().files, (Handles{1, 3, 2}));

  Edit(2, "entity debounce is end;\n");
  ExpectAsFresh("debounce");
  EXPECT_EQ(project.GetCompileOrder().files, (Handles{1, 2, 3}));
  Edit(2, debounce);
  ExpectAsFresh("debounce");
  EXPECT_EQ(project.GetCompileOrder("debounce").files, (Handles{3, 2}));
}

}  // namespace
