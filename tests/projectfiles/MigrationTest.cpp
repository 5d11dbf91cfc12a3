// Projects of the older repository: the miner's reading, matching and lists, and the
// project's open that converts an .hlc into an .xhlc with its files, libraries, view
// classes, properties and synthesis top, after a backup.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "Hvd/IBatchDelay.h"
#include "Hvd/IHdlNetlist.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Port/FaultInjection.h"
#include "Port/FileName.h"
#include "Port/Process.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/OldRepositoryWriter.h"
#include "Prjrep/Storage.h"
#include "XhlcProject.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "projectfiles/RepoMine.h"
#include "support/OldProject.h"
#include "utils/DmUtils.h"
#include "utils/InterpHelp.h"
#include "utils/KeyedProperty.h"

namespace xhlc_test {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

const Pairs kProperties = {{"PROP_Simulator", "Ovra (VHDL/Verilog)"},
                           {"PROP_SynthTop", "top"},
                           {"PROP_DevSpeed", "-5"},
                           {"PROP_DevPackage", "ft256"},
                           {"PROP_DevDevice", "OV250"},
                           {"PROP_DevFamily", "Orvanta"}};

class MigrationTest : public XhlcProject {
 protected:
  void SetUp() override {
    XhlcProject::SetUp();
    m_old = m_dir / "old.hlc";
    WriteText(m_dir / "top.vhd", "entity top is end;\narchitecture r of top is begin end;\n");
    WriteText(m_dir / "pkg.vhd", "package pkg is end package;\n");
    WriteText(m_dir / "tb.vhd", "entity tb is end;\narchitecture r of tb is begin end;\n");
    WriteText(m_dir / "imp.v", "module imp; endmodule\n");
    WriteText(m_dir / "gen.vhd", "entity gen is end;\n");
    m_files = {{(m_dir / "top.vhd").string(), "work", 0, 0x01 | 0x08},
               {(m_dir / "pkg.vhd").string(), "mylib", 0, 0x01},
               {(m_dir / "tb.vhd").string(), "", 0, 0x08},
               {(m_dir / "imp.v").string(), "", 2, 0x40},
               {(m_dir / "gen.vhd").string(), "work", 1, 0x01}};
  }
  void TearDown() override {
    std::ignore = InterpHelp::RunCmd("set ::velmor::Hvd::migrateAnswer false", nullptr, false, nullptr);
    if (m_project) std::ignore = m_project->ProjectClose(false);
    XhlcProject::TearDown();
  }
  bool WriteOld(const Pairs& properties = kProperties, std::vector<oldproject::Snapshot> snapshots = {}) {
    return oldproject::WriteProject(m_old.string(), m_files, properties, snapshots);
  }
  Hvd::Status OpenProject(const fs::path& path) {
    m_project = AutoRelease<Hvd::IProject>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    EXPECT_TRUE(m_project);
    std::ignore = AutoCast<Hvd::IForceSave>(m_project.Get())->SetSaveDelay(0);
    return m_project->Open(path.c_str());
  }
  void CloseProject() {
    if (m_project) {
      EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
    }
    m_project = nullptr;
  }
  Strings FileNames() {
    Strings names;
    AutoRelease<Hvd::IHdlFileIterator> files;
    if (Files()->GetProjectFiles(files.Receive()) != Hvd::kSuccess) return names;
    for (; files && !files->IsDone(); std::ignore = files->Next()) {
      Text name;
      std::ignore = AutoCast<Prjrep::IFileNameHelper>(files->Current())->GetFullName(&name);
      names.push_back(name.str());
    }
    return names;
  }
  Hvd::IHdlFile* File(const fs::path& path) {
    AutoRelease<Hvd::IHdlFileIterator> at;
    if (Files()->FindFileByPath(path.c_str(), at.Receive()) != Hvd::kSuccess || !at || at->IsDone()) return nullptr;
    return at->Current();
  }
  std::string LibraryOf(const fs::path& path) {
    Hvd::IHdlFile* file = File(path);
    AutoRelease<Hvd::ISourceLibrary> library;
    if (file == nullptr || AutoCast<Hvd::ISourceLibraryMember>(file)->GetLibrary(library.Receive()) != Hvd::kSuccess ||
        !library)
      return "";
    Text name;
    std::ignore = AutoCast<Prjrep::IName>(library.Get())->GetName(name);
    return name.str();
  }
  // The file's view classes 0 to 5 as a mask.
  unsigned ClassesOf(const fs::path& path) {
    AutoCast<Hvd::IViewClassAssociation> classes(File(path));
    unsigned mask = 0;
    for (unsigned bit = 0; classes && bit < 6; ++bit) mask |= classes->TestBit(bit) ? 1u << bit : 0u;
    return mask;
  }
  std::uint32_t OriginOf(const fs::path& path) {
    std::uint32_t state = 99;
    if (AutoCast<Hvd::IFile> file(File(path)); file) std::ignore = file->GetOriginState(&state);
    return state;
  }
  std::string SynthesisTop() {
    Hvd::IDesign* design = nullptr;
    std::ignore = m_project->GetDesign(&design);
    AutoRelease<Hvd::IViewIterator> at;
    if (design == nullptr || AutoCast<Hvd::IViewManager>(design)->FindViewByHint("SynthesisOnly", at.Receive()) != Hvd::kSuccess ||
        !at || at->IsDone())
      return "?";
    return Hvd::GetKeyedPropertyValue(at->Current(), "TOPDESIGNUNIT").str() + "/" +
           Hvd::GetKeyedPropertyValue(at->Current(), "AUTOTOP").str();
  }
  std::string Tcl(const std::string& command) {
    Text result;
    EXPECT_EQ(InterpHelp::RunCmd(command.c_str(), nullptr, false, &result), Hvd::kSuccess) << command;
    return result.str();
  }
  // The backups of the old project in its folder.
  Strings Backups() {
    Strings found;
    for (const auto& entry : fs::directory_iterator(m_dir)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("old.", 0) == 0 && name.find(".pre_") != std::string::npos) found.push_back(entry.path().string());
    }
    return found;
  }
  static bool Debugged(const std::string& part) { return Captured(Port_MsgManData::Severity::Debug, part); }

  fs::path m_old;
  std::vector<oldproject::File> m_files;
};

TEST_F(MigrationTest, AnOldProjectOpensAsAnXhlcWithItsFilesLibrariesClassesPropertiesAndTopAfterABackup) {
  ASSERT_TRUE(WriteOld({}, {{"s1", "first words", "old.hlc"}}));
  fs::create_directories(m_dir / "snapshots" / "s1");
  fs::create_directories(m_dir / "old_qdb" / "tmp" / "hlc" / "deep");
  WriteText(m_dir / "old_qdb" / "tmp" / "hlc.lock", "");
  // Properties with the device last in the old table: the device is set first all the same.
  oldproject::WriteProject(m_old.string(), m_files, kProperties, {{"s1", "first words", "old.hlc"}});
  const std::string before = ReadText(m_old);

  ASSERT_EQ(OpenProject(m_old), Hvd::kSuccess);
  EXPECT_EQ(SynthesisTop(), "top/false");
  EXPECT_TRUE(fs::exists(m_dir / "old.xhlc"));
  EXPECT_EQ(FileNames(), (Strings{(m_dir / "top.vhd").string(), (m_dir / "pkg.vhd").string(),
                                  (m_dir / "tb.vhd").string(), (m_dir / "imp.v").string()}));
  EXPECT_EQ(LibraryOf(m_dir / "pkg.vhd"), "mylib");
  EXPECT_NE(LibraryOf(m_dir / "top.vhd"), "mylib");
  EXPECT_EQ(ClassesOf(m_dir / "top.vhd"), 0x3u);      // "all"
  EXPECT_EQ(ClassesOf(m_dir / "pkg.vhd"), 0x1u);      // "implementation"
  EXPECT_EQ(ClassesOf(m_dir / "tb.vhd"), 0x3Au);      // "simulation": 1, 3, 4, 5 and not 2
  EXPECT_EQ(ClassesOf(m_dir / "imp.v"), 0x3u);        // bits above 5 only: recorded as "all"
  EXPECT_EQ(OriginOf(m_dir / "imp.v"), 2u);
  EXPECT_EQ(OriginOf(m_dir / "top.vhd"), 0u);
  EXPECT_EQ(Property("PROP_DevFamily"), "Orvanta");
  EXPECT_EQ(Property("PROP_DevDevice"), "OV250");
  EXPECT_EQ(Property("PROP_DevPackage"), "ft256");
  EXPECT_EQ(Property("PROP_DevSpeed"), "-5");

  ASSERT_EQ(Backups().size(), 1u);
  EXPECT_EQ(Backups()[0], m_old.string() + ".pre_" + Tcl("lindex $::velmor::Hvd::migrateAsked 0 1") + "_migration");
  EXPECT_EQ(ReadText(Backups()[0]), before);
  EXPECT_FALSE(fs::exists(m_dir / "old_qdb" / "tmp" / "hlc"));
  EXPECT_FALSE(fs::exists(m_dir / "old_qdb" / "tmp" / "hlc.lock"));
  EXPECT_EQ(Prjrep::old::CountAreaContents(m_old.string(), "Corvane"), 0);
  EXPECT_EQ(Prjrep::old::CountAreaContents(m_old.string(), "Cs"), 0);
  const std::string saved = Prjrep::old::ReadKey(m_old.string(), "/Corvane11", "HLC_VERSION_LAST_SAVED_WITH");
  EXPECT_TRUE(!saved.empty() && saved != "old") << saved;
  EXPECT_EQ(ReadText(m_dir / "snapshots" / "s1" / "old_description.txt"), "first words");
  EXPECT_EQ(Tcl("llength $::velmor::Hvd::migrateAsked"), "1");
  CloseProject();

  // Run again: the project is the converted one, with nothing twice; the xhlc kept it all.
  ASSERT_EQ(OpenProject(m_old), Hvd::kSuccess);
  EXPECT_EQ(FileNames().size(), 4u);
  EXPECT_EQ(LibraryOf(m_dir / "pkg.vhd"), "mylib");
  EXPECT_EQ(Property("PROP_DevFamily"), "Orvanta");
  EXPECT_EQ(Property("PROP_SynthTop"), "top");
}

// A migration ended at any call the host can be asked to fail (each file test, each step of
// each atomic write, the backup's copy, the old repository's opening and rewriting) leaves the
// old project to be migrated whole by the next open.
TEST_F(MigrationTest, AMigrationKilledAtAnyPointIsDoneAgainWholeByTheNextOpen) {
  ASSERT_TRUE(WriteOld());
  const std::string before = ReadText(m_old);
  bool finished = false;
  int killed = 0;
  for (int point = 1; point < 2000 && !finished; point += 1 + point / 6) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      Port::FaultInjection::Exit("*", point);
      ::_exit(OpenProject(m_old) == Hvd::kSuccess ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << point;
    finished = WEXITSTATUS(status) != Port::FaultInjection::kExitStatus;
    if (finished) {
      ASSERT_EQ(WEXITSTATUS(status), 0) << point;
    } else {
      ++killed;
    }
    ASSERT_EQ(OpenProject(m_old), Hvd::kSuccess) << "killed at " << point;
    EXPECT_EQ(FileNames().size(), 4u) << "killed at " << point;
    EXPECT_EQ(Property("PROP_DevFamily"), "Orvanta") << "killed at " << point;
    EXPECT_EQ(LibraryOf(m_dir / "pkg.vhd"), "mylib") << "killed at " << point;
    CloseProject();
    if (::testing::Test::HasFailure()) break;
    for (const fs::path& made : {m_dir / "old.xhlc", m_dir / "old.ghlc"}) fs::remove(made);
    for (const std::string& backup : Backups()) fs::remove(backup);
    WriteText(m_old, before);
  }
  EXPECT_TRUE(finished);
  EXPECT_GT(killed, 10);
}

TEST_F(MigrationTest, AMigratedProjectThatCannotBeWrittenLeavesTheOldProjectAsItWas) {
  ASSERT_TRUE(WriteOld());
  const std::int64_t objects = Prjrep::old::CountObjects(m_old.string(), "Corvane");
  {
    Port::FaultInjection::Scope faults;
    Port::FaultInjection::Fail("rename", 0, "old.xhlc");
    EXPECT_EQ(OpenProject(m_old), Hvd::kOpenOlderProjectFailed);
    EXPECT_TRUE(Debugged("could not be written"));
    bool open = true;
    EXPECT_TRUE(m_project->IsOpen(&open) == Hvd::kSuccess && !open);
    CloseProject();
  }
  EXPECT_FALSE(fs::exists(m_dir / "old.xhlc"));
  EXPECT_EQ(Prjrep::old::CountObjects(m_old.string(), "Corvane"), objects);
  ASSERT_EQ(OpenProject(m_old), Hvd::kSuccess);
  EXPECT_EQ(FileNames().size(), 4u);
}

// An old repository of no version that can be migrated is refused quietly: the open says nothing
// of its own, and nothing is written.
TEST_F(MigrationTest, AnOldProjectThatCannotBeMigratedIsRefusedWithoutAMessageOfTheOpen) {
  Prjrep::old::RepositoryWriter writer;
  writer.SetProjectVersion(14);
  ASSERT_TRUE(writer.Save(m_old.string()));
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(OpenProject(m_old), Hvd::kFailure);
  for (const auto& record : Port_MsgManData::Captured())
    EXPECT_EQ(record.text.find("Project::Open"), std::string::npos) << record.text;
  EXPECT_TRUE(Backups().empty());
  EXPECT_FALSE(fs::exists(m_dir / "old.xhlc"));
}

TEST_F(MigrationTest, TheProjectIsFoundHoweverThePathIsSpelled) {
  ASSERT_TRUE(WriteOld());
  const fs::path cwd = fs::current_path();
  fs::current_path(m_root);
  const Hvd::Status opened = OpenProject("./proj/../proj//old.hlc");
  fs::current_path(cwd);
  ASSERT_EQ(opened, Hvd::kSuccess);
  EXPECT_EQ(FileNames().size(), 4u);
  EXPECT_EQ(Property("PROP_DevFamily"), "Orvanta");
}

TEST_F(MigrationTest, AFailedBackupLeavesTheOldProjectReadableAndAFailedReadClearsNothing) {
  ASSERT_TRUE(WriteOld());
  const std::string before = ReadText(m_old);
  const std::int64_t objects = Prjrep::old::CountObjects(m_old.string(), "Corvane");
  {
    Port::FaultInjection::Scope faults;
    Port::FaultInjection::Fail("copy_p", 0, ".pre_");
    EXPECT_EQ(OpenProject(m_old), Hvd::kOpenOlderProjectFailed);
    EXPECT_TRUE(Debugged("could not be backed up"));
    EXPECT_TRUE(Backups().empty());
    CloseProject();
    Port::FaultInjection::Clear();
    Port::FaultInjection::Fail("ObjectTableIterator", 0);
    EXPECT_EQ(OpenProject(m_old), Hvd::kOpenOlderProjectFailed);
    CloseProject();
  }
  EXPECT_EQ(ReadText(m_old), before);
  EXPECT_FALSE(fs::exists(m_dir / "old.xhlc"));
  RepoMine miner(m_old.c_str());
  EXPECT_TRUE(miner.IsMigratable());
  EXPECT_TRUE(objects > 0 && Prjrep::old::CountObjects(m_old.string(), "Corvane") == objects);
  // Once the backup can be made, the conversion goes through.
  ASSERT_EQ(OpenProject(m_old), Hvd::kSuccess);
  EXPECT_EQ(FileNames().size(), 4u);
}

TEST_F(MigrationTest, TheMigrationProcedureAnswersTrueCancelOrAnythingElse) {
  // The procedure, answering true, writes the .xhlc beside the old file, as the suite's would:
  // here a copy of a project made beforehand, made as the procedure records its call.
  ASSERT_EQ(OpenProject(m_root / "made" / "made.xhlc"), Hvd::kSuccess);
  CloseProject();
  Tcl("proc ::convert {args} {\n"
      "  if {$::velmor::Hvd::migrateAnswer eq {true}} {\n"
      "    file copy -force " + Hvd::TclWord((m_root / "made" / "made.xhlc").c_str()).str() +
      " [file rootname [lindex $::velmor::Hvd::migrateAsked end 0]].xhlc\n  }\n}");
  Tcl("set ::velmor::Hvd::migrateAsked {}; trace add variable ::velmor::Hvd::migrateAsked write ::convert");
  const fs::path rwk = m_dir / "old.rwk";
  WriteText(rwk, "oldest kind");
  Tcl("set ::velmor::Hvd::migrateAnswer true");
  EXPECT_EQ(OpenProject(rwk), Hvd::kSuccess);
  EXPECT_TRUE(Backups().empty());
  EXPECT_EQ(Tcl("llength $::velmor::Hvd::migrateAsked"), "1");
  EXPECT_EQ(Tcl("lindex $::velmor::Hvd::migrateAsked 0 0"), rwk.string());
  EXPECT_TRUE(fs::exists(m_dir / "old.xhlc"));
  CloseProject();
  fs::remove(m_dir / "old.xhlc");
  Tcl("set ::velmor::Hvd::migrateAnswer cancel");
  EXPECT_EQ(OpenProject(rwk), Hvd::kOpenOlderProjectFailed);
  CloseProject();
  // Any other answer leaves it to the miner, which finds no repository in the file.
  Tcl("set ::velmor::Hvd::migrateAnswer {true }");
  EXPECT_EQ(OpenProject(rwk), Hvd::kFailure);
  CloseProject();
  EXPECT_FALSE(fs::exists(m_dir / "old.xhlc"));
  EXPECT_TRUE(Backups().empty());
  // A file name that Tcl would read as code reaches the procedure as one word.
  const fs::path odd = m_dir / "x} [set ::hacked 1] {.rwk";
  WriteText(odd, "");
  Tcl("set ::velmor::Hvd::migrateAsked {}; set ::velmor::Hvd::migrateAnswer false");
  EXPECT_EQ(OpenProject(odd), Hvd::kFailure);
  CloseProject();
  EXPECT_EQ(Tcl("lindex $::velmor::Hvd::migrateAsked 0 0"), odd.string());
  EXPECT_EQ(Tcl("info exists ::hacked"), "0");
  Tcl("trace remove variable ::velmor::Hvd::migrateAsked write ::convert");
}

TEST_F(MigrationTest, OnlyRepositoriesOfVersionsOneToThirteenAreMigratable) {
  auto version = [&](std::int32_t v) {
    Prjrep::old::RepositoryWriter writer;
    writer.SetProjectVersion(v);
    EXPECT_TRUE(writer.Save(m_old.string()));
    return RepoMine(m_old.c_str()).IsMigratable();
  };
  EXPECT_TRUE(version(12));
  EXPECT_TRUE(version(13));
  EXPECT_TRUE(version(-1));
  EXPECT_FALSE(version(14));
  EXPECT_FALSE(version(0));
  {
    Prjrep::old::RepositoryWriter writer;  // an area with content but no version stream
    writer.AddArea("Corvane");
    ASSERT_TRUE(writer.Save(m_old.string()));
    EXPECT_TRUE(RepoMine(m_old.c_str()).IsMigratable());
  }
  {
    Prjrep::old::RepositoryWriter writer;  // an empty area
    writer.AddArea("Corvane", false);
    ASSERT_TRUE(writer.Save(m_old.string()));
    EXPECT_FALSE(RepoMine(m_old.c_str()).IsMigratable());
  }
  {
    // A version stream that holds no number counts as no version recorded.
    AutoRelease<Prjrep::IStorage> root(Prjrep::CreateStorage()), area, main, stream;
    ASSERT_EQ(root->OpenStorage("Corvane/hvd_project_main", Prjrep::kCreate, main.Receive()), Hvd::kSuccess);
    ASSERT_EQ(main->OpenItem("hvd_project_main", Prjrep::kCreate, stream.Receive()), Hvd::kSuccess);
    const Text text("fourteen");
    ASSERT_EQ(stream->WriteString(&text), Hvd::kSuccess);
    ASSERT_EQ(AutoCast<Prjrep::IStorageControl>(root.Get())->SaveToFile(m_old.c_str()), Hvd::kSuccess);
    ASSERT_EQ(root->OpenStorage("Corvane", Prjrep::kOpenExisting, area.Receive()), Hvd::kSuccess);
    EXPECT_EQ(RepoMine::ReadProjectVersion(area.Get()), 13);
    EXPECT_EQ(RepoMine::ReadProjectVersion(nullptr), 0);
  }
  EXPECT_FALSE(RepoMine((m_dir / "none.hlc").c_str()).IsMigratable());
  Port::FaultInjection::Scope faults;
  ASSERT_TRUE(WriteOld());
  Port::FaultInjection::Fail("RepositoryOpen", 1);
  EXPECT_FALSE(RepoMine(m_old.c_str()).IsMigratable());
}

TEST_F(MigrationTest, TheTclListsQuoteOldDataAsListElementsAndASecondOpenStartsAfresh) {
  m_files = {{"a.vhd", "work", 0, 1}, {"x} [set ::hacked 1] {", "l {b}", 1, 0}, {"c d.v", "", 2, 0x40}};
  ASSERT_TRUE(WriteOld({{"PROP_Simulator", "abc"}, {"odd name", "v} [set ::hacked 2] {"}}));
  AutoRelease<Hvd::IRepoMineTclStrings> strings(CitP::Factory::CreateInstance(Hvd::ClassId::RepoMine()));
  ASSERT_TRUE(strings);
  Text files, properties;
  ASSERT_TRUE(strings->GetFileList(&files) == Hvd::kSuccess && files == "list ");
  ASSERT_EQ(strings->Open(m_old.c_str()), Hvd::kSuccess);
  ASSERT_EQ(strings->Open(m_old.c_str()), Hvd::kSuccess);
  ASSERT_EQ(strings->GetFileList(&files), Hvd::kSuccess);
  ASSERT_EQ(strings->GetPropertyList(&properties), Hvd::kSuccess);
  EXPECT_EQ(files.str().rfind("list [ list {a.vhd} {work} {user} {implementation} ] [ list ", 0), 0u) << files.str();
  EXPECT_EQ(properties.str().rfind("list [list PROP_Simulator {abc} ] ", 0), 0u) << properties.str();
  EXPECT_EQ(Tcl("llength [" + files.str() + "]"), "3");
  EXPECT_EQ(Tcl("lindex [" + files.str() + "] 1 0"), "x} [set ::hacked 1] {");
  EXPECT_EQ(Tcl("lindex [" + files.str() + "] 1 1"), "l {b}");
  EXPECT_EQ(Tcl("lindex [" + files.str() + "] 2"), "{c d.v} {} imported {}");
  EXPECT_EQ(Tcl("lindex [" + properties.str() + "] 1 0"), "odd name");
  EXPECT_EQ(Tcl("lindex [" + properties.str() + "] 1 1"), "v} [set ::hacked 2] {");
  EXPECT_EQ(Tcl("info exists ::hacked"), "0");
  EXPECT_EQ(strings->GetFileList(nullptr), Hvd::kInvalidParameter);
  // A file that is no repository: the failure is answered and nothing is left from before.
  EXPECT_NE(strings->Open((m_dir / "none.hlc").c_str()), Hvd::kSuccess);
  ASSERT_TRUE(strings->GetFileList(&files) == Hvd::kSuccess && files == "list ");
}

TEST_F(MigrationTest, BelowVersionThirteenFilesAreMatchedThroughTheirHdlObjectsAndBrokenLinksAreReported) {
  using namespace oldproject;
  Prjrep::old::RepositoryWriter writer;
  writer.SetProjectVersion(12);
  const XUID lib(1, 1), ddm(2, 1), hdl(3, 1), holder(4, 1), element(5, 1), assoc(6, 1), map(7, 1);
  SourceLibrary(writer.AddObject(lib, cls::SourceLibrary), "mylib");
  DdmFile(writer.AddObject(ddm, cls::DdmFile), 12, lib, 0, "", XUID(), hdl);
  HdlFile(writer.AddObject(hdl, cls::HdlFile), 10, XUID(), "/p/a.vhd", ddm);
  DbObject(writer.AddObject(holder, cls::ParserConfigHolder), 5, hdl);
  HdlElement(writer.AddObject(element, cls::Entity), 12, holder, XUID());
  ViewAssoc(writer.AddObject(assoc, cls::ViewAssoc), 0x1);
  ViewAssoc(writer.AddObject(XUID(6, 2), cls::ViewAssoc), 0x8);
  ViewAssoc(writer.AddObject(XUID(6, 3), cls::ViewAssoc), 0);
  KeyMap(writer.AddObject(map, cls::KeyMap), {{oldproject::kViewAssocKey, XUID(6, 2)}});
  DesignUnit(writer.AddObject(XUID(8, 1), cls::DesignUnit), 4, element, assoc);
  DesignUnit(writer.AddObject(XUID(8, 2), cls::DesignUnit), 3, element, XUID(), map);
  DesignUnit(writer.AddObject(XUID(8, 3), cls::DesignUnit), 4, element, XUID(6, 3));  // bits 0: skipped quietly
  DesignUnit(writer.AddObject(XUID(8, 4), cls::DesignUnit), 4, XUID(9, 1), assoc);    // no element
  DdmFile(writer.AddObject(XUID(2, 2), cls::DdmFile), 12, XUID(), 0);
  HdlFile(writer.AddObject(XUID(3, 2), cls::HdlFile), 9, XUID(), "/p/lost.vhd", XUID(9, 2));  // no ddm file
  // Chains broken further on: at the holder, at the HDL file, at the DDM file.
  HdlElement(writer.AddObject(XUID(5, 2), cls::Entity), 12, XUID(9, 3), XUID(8, 5));
  DbObject(writer.AddObject(XUID(4, 2), cls::ParserConfigHolder), 5, XUID(9, 4));
  HdlElement(writer.AddObject(XUID(5, 3), cls::Entity), 12, XUID(4, 2), XUID(8, 6));
  DbObject(writer.AddObject(XUID(4, 3), cls::ParserConfigHolder), 5, XUID(3, 2));
  HdlElement(writer.AddObject(XUID(5, 4), cls::Entity), 12, XUID(4, 3), XUID(8, 7));
  for (std::uint64_t n : {5, 6, 7}) DesignUnit(writer.AddObject(XUID(8, n), cls::DesignUnit), 4, XUID(5, n - 3), assoc);
  writer.AddObject(XUID(9, 9), XUID(1, 2));  // a class outside the table
  IStorage* damaged = writer.AddObject(XUID(9, 8), cls::ViewAssoc);
  std::ignore = Prjrep::old::WriteString(damaged, "no version");
  ASSERT_TRUE(writer.Save(m_old.string()));

  RepoMine miner(m_old.c_str());
  ASSERT_EQ(miner.OpenRepository(), Hvd::kSuccess);
  EXPECT_EQ(miner.State().Version, 12);
  const auto* file = dynamic_cast<const DdmFileLoader*>(miner.State().Others[1].get());
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->FileName == "/p/a.vhd" && file->LibraryName == "mylib" && file->AssociationBits == 0x9u);
  EXPECT_TRUE(Debugged("Could not find fused HdlElement with instance id, \"" + XUID(9, 1).GetAsString().str() + "\""));
  EXPECT_TRUE(Debugged("Could not find the fused ddm file with instance id, \"" + XUID(9, 2).GetAsString().str()));
  const auto warned = [](const std::string& what, const XUID& id) {
    return Debugged("WARNING: RepoMine::CorrelateFileData - Could not find " + what + " with instance id, \"" +
                    id.GetAsString().str() + "\".\n");
  };
  EXPECT_TRUE(warned("ParserConfigHolder", XUID(9, 3)));
  EXPECT_TRUE(warned("HdlFile", XUID(9, 4)));
  EXPECT_TRUE(warned("fused DdmFile", XUID(9, 2)));
  EXPECT_TRUE(Debugged("Skipped the damaged record"));
  EXPECT_EQ(miner.FileList().str(), "list [ list {/p/a.vhd} {mylib} {user} {all} ] [ list {} {} {user} {none} ] ");

  // The dump lists the old objects kind by kind, each with its links.
  miner.DumpRepository();
  const std::string dump = ReadText(m_dir / "old_comps.xml");
  const auto line = [](const std::string& name, const Pairs& attributes) {
    std::string text = "<" + name + " ";
    for (const auto& [key, value] : attributes) text += "\n  " + key + "=\"" + value + "\"";
    return text + "/>\n";
  };
  const auto id = [](const XUID& value) { return value.GetAsString().str(); };
  const std::string expected[] = {
      line("hdl_element", {{"id", id(XUID(5, 2))}, {"ddm_du", id(XUID(8, 5))}, {"parent", id(XUID(9, 3))}}),
      line("parser_config_holder", {{"id", id(XUID(4, 2))}, {"parent", id(XUID(9, 4))}}),
      line("hdl_file", {{"id", id(hdl)}, {"filename", "/p/a.vhd"}, {"ddm_file", id(ddm)}}),
      line("ddm_du", {{"id", id(XUID(8, 2))},
                      {"xuid_key_map", id(map)},
                      {"view_association", id(XUID())},
                      {"hdl_du", id(element)}}),
      line("xuid_key_map", {{"id", id(map)}, {"view_association", id(XUID(6, 2))}}),
  };
  std::size_t last = 0;
  for (const std::string& text : expected) {
    const std::size_t at = dump.find(text);
    EXPECT_TRUE(at != std::string::npos && at > last) << text << dump;
    if (at != std::string::npos) last = at;
  }
}

TEST_F(MigrationTest, SnapshotDescriptionsStayInsideTheSnapshotsFolderAndDumpsBesideTheProject) {
  fs::create_directories(m_dir / "snapshots" / "s1");
  fs::create_directories(m_dir / "snapshots" / "s2");
  WriteText(m_root / "evil_description.txt", "kept");
  ASSERT_TRUE(WriteOld({{"PROP_A", "1"}}, {{"s1", "one", "dir.v2/old.hlc"},
                                           {"../..", "evil", "evil.hlc"},
                                           {"s2", "two", "noext"},
                                           {"s1", "later wins", "old.hlc"}}));
  RepoMine miner(m_old.c_str());
  ASSERT_EQ(miner.OpenRepository(), Hvd::kSuccess);
  EXPECT_EQ(ReadText(m_dir / "snapshots" / "s1" / "old_description.txt"), "later wins");
  EXPECT_EQ(ReadText(m_dir / "snapshots" / "s2" / "noext_description.txt"), "two");
  EXPECT_EQ(ReadText(m_root / "evil_description.txt"), "kept");

  miner.DumpRepository();
  miner.DumpProjectSummary();
  const std::string dump = ReadText(m_dir / "old_comps.xml");
  EXPECT_NE(dump.find("<corvane_project \n  file=\"" + m_old.string() + "\"/>"), std::string::npos) << dump;
  EXPECT_NE(dump.find("source_library_name=\"mylib\""), std::string::npos);
  EXPECT_NE(dump.find("name=\"../..\""), std::string::npos);
  EXPECT_FALSE(fs::exists(m_root / "projold_comps.xml"));
  const std::string summary = ReadText(m_old.string() + ".xml");
  EXPECT_NE(summary.find("association=\"64\""), std::string::npos) << summary;
  EXPECT_NE(summary.find("<property \n  name=\"PROP_A\"\n  value=\"1\"/>"), std::string::npos) << summary;
}

TEST_F(MigrationTest, TheBuilderBuildsOnlyIntoAnOpenProjectAndNeverOpensOne) {
  ASSERT_TRUE(WriteOld());
  AutoRelease<Hvd::IProjectBuilder> builder(CitP::Factory::CreateInstance(Hvd::ClassId::RepoMine()));
  ASSERT_TRUE(builder);
  EXPECT_EQ(builder->BuildProject(), Hvd::kSuccess);  // nothing added: nothing to do
  ASSERT_EQ(builder->SetProjectFile(m_old.c_str()), Hvd::kSuccess);
  ASSERT_EQ(builder->AddFileWithAssociation((m_dir / "tb.vhd").c_str(), "work", "user", ""), Hvd::kSuccess);
  EXPECT_EQ(builder->BuildProject(), Hvd::kProjectNotOpen);
  EXPECT_FALSE(fs::exists(m_dir / "old.xhlc"));
  EXPECT_TRUE(RepoMine(m_old.c_str()).IsMigratable());

  // Into the project active for its file: records in order, libraries made when missing.
  ASSERT_EQ(OpenProject(m_dir / "new.xhlc"), Hvd::kSuccess);
  ASSERT_EQ(builder->SetProjectFile((m_dir / "new.xhlc").c_str()), Hvd::kSuccess);
  ASSERT_EQ(builder->AddFile((m_dir / "top.vhd").c_str(), "newlib", "imported"), Hvd::kSuccess);
  ASSERT_EQ(builder->AddFileWithAssociation((m_dir / "pkg.vhd").c_str(), "", "generated", "none"), Hvd::kSuccess);
  ASSERT_EQ(builder->AddFileWithAssociation((m_dir / "missing.vhd").c_str(), "", "user", "all"), Hvd::kSuccess);
  ASSERT_EQ(builder->AddProperty("PROP_SynthTop", "top"), Hvd::kSuccess);
  ASSERT_EQ(builder->BuildProject(), Hvd::kSuccess);
  EXPECT_EQ(FileNames(), (Strings{(m_dir / "tb.vhd").string(), (m_dir / "top.vhd").string(), (m_dir / "pkg.vhd").string()}));
  EXPECT_EQ(ClassesOf(m_dir / "tb.vhd"), 0x3u);
  EXPECT_EQ(ClassesOf(m_dir / "pkg.vhd"), 0x0u);
  EXPECT_EQ(LibraryOf(m_dir / "top.vhd"), "newlib");
  EXPECT_EQ(OriginOf(m_dir / "top.vhd"), 2u);
  EXPECT_EQ(OriginOf(m_dir / "pkg.vhd"), 1u);
  EXPECT_EQ(SynthesisTop(), "top/false");
}

// An old family name is put right through the device store, by its PM name, before the device
// properties are set: the family's device is then taken as well.
TEST_F(MigrationTest, AnOldFamilyNameIsPutRightByItsPMNameBeforeTheDeviceIsSet) {
  ASSERT_TRUE(
      WriteOld({{"PROP_DevDevice", "PC128"}, {"PROP_DevFamilyPMName", "pelliscpld"}, {"PROP_DevFamily", "Pellis"}}));
  ASSERT_EQ(OpenProject(m_old), Hvd::kSuccess);
  EXPECT_EQ(Property("PROP_DevFamily"), "Pellis CPLD");
  EXPECT_EQ(Property("PROP_DevDevice"), "PC128");
}

// A build that leaves the synthesis view without a top while the view holds a DSP-tool model
// warns that such a model is no top. No view takes a model by its type: a view holds one only as
// a file it manages, handed to it after its first parse, until its hierarchy changes.
TEST_F(MigrationTest, ABuildThatLeavesADspModelWithoutATopWarnsOfIt) {
  WriteText(m_dir / "filter.mdl", "model\n");
  ASSERT_EQ(OpenProject(m_dir / "new.xhlc"), Hvd::kSuccess);
  AutoRelease<Hvd::IProjectBuilder> builder(CitP::Factory::CreateInstance(Hvd::ClassId::RepoMine()));
  ASSERT_TRUE(builder);
  ASSERT_EQ(builder->SetProjectFile((m_dir / "new.xhlc").c_str()), Hvd::kSuccess);
  ASSERT_EQ(builder->AddFileWithAssociation((m_dir / "filter.mdl").c_str(), "", "user", "all"), Hvd::kSuccess);
  const std::string warning =
      "Corvane does not support .TVP Tarvis modules as implementable Top modules in this release.  In order to "
      "implement a design with a .TVP module you must instantiate it in an upper level source that is implementable, "
      "such as an HDL or Schematic.\n";
  const auto warnings = [&] {
    const auto& captured = Port_MsgManData::Captured();
    return std::count_if(captured.begin(), captured.end(), [&](const Port_MsgManData::Record& record) {
      return record.severity == Port_MsgManData::Severity::Warning && record.text == warning;
    });
  };
  ASSERT_EQ(builder->BuildProject(), Hvd::kSuccess);
  EXPECT_EQ(warnings(), 0) << "the model is in no view";

  Hvd::IDesign* design = nullptr;  // the project's
  ASSERT_EQ(m_project->GetDesign(&design), Hvd::kSuccess);
  AutoRelease<Hvd::IViewIterator> synthesis;
  ASSERT_EQ(AutoCast<Hvd::IViewManager>(design)->FindViewByHint("SynthesisOnly", synthesis.Receive()), Hvd::kSuccess);
  AutoRelease<Hvd::IHdlElaborationData> data;
  AutoRelease<Hvd::IHdlNetListNode> graph;
  ASSERT_EQ(synthesis->Current()->GetElaborationData(data.Receive()), Hvd::kSuccess);
  std::ignore = data->GetDesignGraph(graph.Receive());
  Hvd::IHdlFile* model = File(m_dir / "filter.mdl");
  ASSERT_EQ(AutoCast<Hvd::IFile>(model)->SetOriginState(3), Hvd::kSuccess);
  ASSERT_EQ(AutoCast<Hvd::IHdlDesignUnitSet>(synthesis->Current())->Add(AutoCast<Hvd::IHdlDesignUnit>(model)),
            Hvd::kSuccess);
  ASSERT_EQ(builder->BuildProject(), Hvd::kSuccess);
  EXPECT_EQ(warnings(), 1);
}

}  // namespace
}  // namespace xhlc_test

namespace xhlc_test {
namespace {

TEST_F(MigrationTest, TheOldRepositorysNamedObjectsAreKeptAsideAndPutBackWithoutTheMissingOne) {
  ASSERT_TRUE(WriteOld());
  const std::string path = Port::FileName(Text(m_old.c_str())).MakeCanonical().GetPath().str();
  AutoRelease<Prjrep::IProjectRepository> repository = Hvd::FindAutonymByName(path.c_str(), true);
  ASSERT_TRUE(repository);
  std::map<std::string, AutoRelease<CitI::IInterface>> objects;
  for (const char* name : {"CvfProject", "HdProject", "HvdProject"}) {
    objects[name] = AutoRelease<CitI::IInterface>(CitP::Factory::CreateInstance(Prjrep::ClassId::NameObject()));
    ASSERT_EQ(Hvd::RegisterNamedObject(repository, name, objects[name], true), Hvd::kSuccess);
  }
  ASSERT_EQ(OpenProject(m_old), Hvd::kSuccess);
  for (const char* name : {"CvfProject", "HdProject", "HvdProject", "TclProject"}) {
    AutoRelease<CitI::IInterface> found;
    std::ignore = Hvd::FindNamedObjectIn(repository, name, found.Receive());
    const auto kept = objects.find(name);
    EXPECT_EQ(found.Get(), kept == objects.end() ? nullptr : kept->second.Get()) << name;
  }
}

TEST_F(MigrationTest, AnXhlcOfAnOlderMajorVersionOpensOnlyWhenTheProcedureConvertsIt) {
  const fs::path older = m_dir / "older.xhlc";
  WriteText(older,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<project xmlns=\"http://www.velmor.com/XMLSchema\" "
            "xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n  <version vel_kv:schema_version=\"2\" "
            "vel_kv:hlc_version=\"13.1\"/>\n</project>\n");
  Tcl("set ::velmor::Hvd::migrateAnswer cancel; set ::velmor::Hvd::migrateAsked {}");
  EXPECT_EQ(OpenProject(older), Hvd::kOpenOlderProjectFailed);
  CloseProject();
  Tcl("set ::velmor::Hvd::migrateAnswer true");
  EXPECT_EQ(OpenProject(older), Hvd::kSuccess);
  EXPECT_EQ(Tcl("llength $::velmor::Hvd::migrateAsked"), "2");
  EXPECT_EQ(Tcl("lindex $::velmor::Hvd::migrateAsked 1 0"), older.string());
}

// A procedure that converts the file in place: the project is read from the converted file,
// not from what the open read of it before the conversion.
TEST_F(MigrationTest, AnXhlcConvertedInPlaceIsReadAsConverted) {
  const fs::path older = m_dir / "inplace.xhlc";
  const fs::path converted = m_dir / "converted.txt";
  WriteText(older,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<project xmlns=\"http://www.velmor.com/XMLSchema\" "
            "xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n  <version vel_kv:schema_version=\"2\" "
            "vel_kv:hlc_version=\"13.1\"/>\n  <files/>\n</project>\n");
  WriteText(converted,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<project xmlns=\"http://www.velmor.com/XMLSchema\" "
            "xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n  <version vel_kv:schema_version=\"2\" "
            "vel_kv:hlc_version=\"14.1\"/>\n  <files>\n    <file vel_kv:name=\"src/kept.vhd\" "
            "vel_kv:type=\"FILE_VHDL\"/>\n  </files>\n</project>\n");
  Tcl("proc ::inplace {args} {\n  file copy -force " + Hvd::TclWord(converted.c_str()).str() + " " +
      Hvd::TclWord(older.c_str()).str() + "\n}");
  Tcl("set ::velmor::Hvd::migrateAsked {}; trace add variable ::velmor::Hvd::migrateAsked write ::inplace");
  Tcl("set ::velmor::Hvd::migrateAnswer true");
  EXPECT_EQ(OpenProject(older), Hvd::kSuccess);
  Tcl("trace remove variable ::velmor::Hvd::migrateAsked write ::inplace");
  EXPECT_EQ(Tcl("llength $::velmor::Hvd::migrateAsked"), "1");
  EXPECT_EQ(FileNames(), Strings{(m_dir / "src/kept.vhd").string()});
}

// The procedure is the one of the installation's migration script, sourced for each migration,
// whatever the interpreter held before; without the script nothing is migrated.
TEST_F(MigrationTest, TheMigrationScriptIsSourcedAndAMissingOneFailsTheMigration) {
  const fs::path older = m_dir / "older.xhlc";
  WriteText(older,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<project xmlns=\"http://www.velmor.com/XMLSchema\" "
            "xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n  <version vel_kv:schema_version=\"2\" "
            "vel_kv:hlc_version=\"13.1\"/>\n</project>\n");
  Tcl("namespace eval ::velmor::Hvd {}; proc ::velmor::Hvd::migrateProject {args} {return cancel}");
  Tcl("set ::velmor::Hvd::migrateAnswer true; set ::velmor::Hvd::migrateAsked {}");
  ASSERT_EQ(OpenProject(older), Hvd::kSuccess);
  CloseProject();
  const std::string script = Port_Env::GetDataFileName("corvane/scripts/hvd_migrateTasks.tcl", true).str();
  ASSERT_FALSE(script.empty());
  const std::string version = Tcl("lindex $::velmor::Hvd::migrateAsked 0 1");
  EXPECT_EQ(Tcl("lindex $::velmor::Hvd::migrateAsked 0"),
            Tcl("list " + Hvd::TclWord(older.c_str()).str() + " " + version + " {}"));
  EXPECT_TRUE(Debugged("Migrating project using this tcl command source \"" + script +
                       "\"; ::velmor::Hvd::migrateProject {" + older.string() + "} {" + version + "} {}\n"));

  Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("GetDataFileName", 0, "hvd_migrateTasks.tcl");
  EXPECT_EQ(OpenProject(older), Hvd::kOpenOlderProjectFailed);
  EXPECT_TRUE(Debugged("ERROR: migrateProject - The migration script could not be found.  Migration failed.\n"));
  EXPECT_EQ(Tcl("llength $::velmor::Hvd::migrateAsked"), "1");
}

// A migration procedure that fails is named with the interpreter's error: an older .xhlc is then
// refused as it is, while an older repository is still converted by the miner.
TEST_F(MigrationTest, AMigrationProcedureThatFailsIsNamedWithItsError) {
  const fs::path older = m_dir / "older.xhlc";
  WriteText(older,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<project xmlns=\"http://www.velmor.com/XMLSchema\" "
            "xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n  <version vel_kv:schema_version=\"2\" "
            "vel_kv:hlc_version=\"13.1\"/>\n</project>\n");
  const std::string before = ReadText(older);
  ASSERT_TRUE(WriteOld());
  const std::string script = Port_Env::GetDataFileName("corvane/scripts/hvd_migrateTasks.tcl", true).str();
  ASSERT_FALSE(script.empty());
  // The procedure fails where it records its call, as whatever it runs might.
  Tcl("proc ::refuse {args} {error {no conversion here}}");
  Tcl("set ::velmor::Hvd::migrateAnswer true; set ::velmor::Hvd::migrateAsked {}");
  Tcl("trace add variable ::velmor::Hvd::migrateAsked write ::refuse");
  const std::string failed = "ERROR: migrateProject - ITclInterp::ExecuteCmd failed running script '" + script +
                             "' with result:\n'can't set \"migrateAsked\": no conversion here'.\n";
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(OpenProject(older), Hvd::kOpenOlderProjectFailed);
  EXPECT_TRUE(Debugged(failed));
  EXPECT_EQ(ReadText(older), before);
  CloseProject();

  Port_MsgManData::ClearCaptured();
  const bool converted = OpenProject(m_old) == Hvd::kSuccess;
  Tcl("trace remove variable ::velmor::Hvd::migrateAsked write ::refuse");
  EXPECT_TRUE(converted);
  EXPECT_TRUE(Debugged(failed));
  EXPECT_EQ(FileNames().size(), 4u);
  EXPECT_EQ(Backups().size(), 1u);
}

TEST_F(MigrationTest, MissingFilesAndAMissingRepositoryComponentAreReported) {
  EXPECT_EQ(RepoMine::TruncateCorvaneClientArea((m_dir / "none.hlc").c_str()), Hvd::kOwnerMissing);
  EXPECT_TRUE(Debugged("ERROR: RepoMine::TruncateCorvaneClientArea - Project file <" + (m_dir / "none.hlc").string() +
                       "> does not exist"));
  ASSERT_TRUE(WriteOld());
  const std::int64_t objects = Prjrep::old::CountObjects(m_old.string(), "Corvane");
  {
    Port::FaultInjection::Scope faults;
    Port::FaultInjection::Fail("IObjTableAccess", 1);
    RepoMine noTable(m_old.c_str());
    EXPECT_EQ(noTable.OpenRepository(), Hvd::kMissingInterface);
    EXPECT_TRUE(noTable.State().Others.empty() && noTable.State().Version == 0);
  }
  CitP::Factory::Shutdown();
  EXPECT_EQ(RepoMine::TruncateCorvaneClientArea(m_old.c_str()), Hvd::kComponentNotCreated);
  RepoMine miner(m_old.c_str());
  EXPECT_FALSE(miner.IsMigratable());
  EXPECT_EQ(miner.OpenRepository(), Hvd::kComponentNotCreated);
  EXPECT_EQ(miner.FileList(), "list ");
  EXPECT_EQ(Prjrep::old::CountObjects(m_old.string(), "Corvane"), objects);
}

// A project's helper as the migration finds it, recording the batches begun and ended on it;
// it answers batches only when the helper it stands for does.
class BatchRecordingHelper final : public CitI::IInterface {
 public:
  explicit BatchRecordingHelper(Hvd::IProjectHelper* helper) : m_helper(helper), m_delay(helper) {}
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (CitI::IInterface* counted = m_refCount.QueryTable().Answer(iid)) return counted;
    if (iid == CitI::IInterface::GetIID()) return this;
    if (iid == Hvd::IProjectHelper::GetIID()) return &m_projectHelper;
    if (iid == Hvd::ISourceViewAssoc::GetIID()) return &m_association;
    if (iid == Hvd::IBatchDelay::GetIID()) return m_delay ? &m_batch : nullptr;
    return nullptr;
  }
  Strings batches;

 private:
  struct ProjectHelper : Hvd::TNested<BatchRecordingHelper, Hvd::IProjectHelper> {
    using TNested::TNested;
    Hvd::Status MakeProject(const Text& path) override { return This().m_helper->MakeProject(path); }
    Hvd::Status AfterSourcesChanged(std::int32_t flag) override {
      This().batches.push_back("sources changed");
      return This().m_helper->AfterSourcesChanged(flag);
    }
    Hvd::Status CloseProject() override { return This().m_helper->CloseProject(); }
    Hvd::Status AfterMakeProject() override { return This().m_helper->AfterMakeProject(); }
    Hvd::Status GetProject(CitI::IInterface** project) override { return This().m_helper->GetProject(project); }
  } m_projectHelper{this};
  struct Association : Hvd::TNested<BatchRecordingHelper, Hvd::ISourceViewAssoc> {
    using TNested::TNested;
    Hvd::Status AddSourceWithViewAssociation(const Text& source, std::int32_t kind) override {
      return AutoCast<Hvd::ISourceViewAssoc>(This().m_helper.Get())->AddSourceWithViewAssociation(source, kind);
    }
    Hvd::Status GetSourceViewAssociation(CitI::IInterface* unit, std::int32_t* value) override {
      return AutoCast<Hvd::ISourceViewAssoc>(This().m_helper.Get())->GetSourceViewAssociation(unit, value);
    }
  } m_association{this};
  struct Batch : Hvd::TNested<BatchRecordingHelper, Hvd::IBatchDelay> {
    using TNested::TNested;
    Hvd::Status BeginBatch() override { return This().batches.push_back("begin"), This().m_delay->BeginBatch(); }
    Hvd::Status EndBatch() override { return This().batches.push_back("end"), This().m_delay->EndBatch(); }
  } m_batch{this};
  Prjrep::TRefCountHelper<BatchRecordingHelper> m_refCount{this};
  AutoPtr<Hvd::IProjectHelper> m_helper;
  AutoCast<Hvd::IBatchDelay> m_delay;
};

// The migration records the old files and sets the synthesis top inside one batch of the
// project's helper, ended before the helper is told the sources changed.
TEST_F(MigrationTest, TheImportOfTheOldFilesRunsInOneBatchOfTheProjectsHelper) {
  ASSERT_TRUE(WriteOld());
  ASSERT_EQ(OpenProject(m_dir / "new.xhlc"), Hvd::kSuccess);
  AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(m_project.Get(), true);
  ASSERT_TRUE(helper);
  // An end without a begin is refused.
  AutoCast<Hvd::IBatchDelay> delay(helper.Get());
  ASSERT_TRUE(delay);
  EXPECT_EQ(delay->EndBatch(), Hvd::kFailure);
  AutoRelease<BatchRecordingHelper> recording(new BatchRecordingHelper(helper.Get()));
  AutoRelease<Prjrep::IProjectRepository> repository =
      Hvd::FindAutonymByName(Hvd::GetObjectFullPath(m_project.Get()).c_str(), false);
  ASSERT_TRUE(repository);
  ASSERT_EQ(Hvd::RegisterNamedObject(repository.Get(), "CvfProject", recording.Get(), true), Hvd::kSuccess);

  RepoMine mine(m_old.c_str());
  ASSERT_EQ(mine.OpenRepository(), Hvd::kSuccess);
  mine.SetProject(m_project.Get());
  EXPECT_EQ(mine.ImportSourceViewAssociations(), Hvd::kSuccess);
  EXPECT_EQ(recording->batches, (Strings{"begin", "end", "sources changed"}));
  EXPECT_EQ(mine.Records()->Files.size(), 4u);
  EXPECT_EQ(SynthesisTop(), "top/false");
  EXPECT_EQ(delay->EndBatch(), Hvd::kFailure) << "the batch was ended";
  ASSERT_EQ(Hvd::RegisterNamedObject(repository.Get(), "CvfProject", helper.Get(), true), Hvd::kSuccess);
}

}  // namespace
}  // namespace xhlc_test
