// The source file component: names and types, the disk check, include links, compile-order ids,
// removal and library membership. Files sit on a design double; a project, where needed, is real.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/BaseStandIn.h"
#include "Hvd/EventIds.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IState.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IAttachment.h"
#include "Prjrep/StandIns.h"
#include "Prjrep/Storage.h"
#include "core/Factory.h"
#include "core/Sets.h"
#include "files/file/CFile.h"
#include "project/project/CProject.h"
#include "support/DesignDouble.h"
#include "utils/DmUtils.h"
#include "utils/PropertyAccessor.h"

namespace {

using Hvd::kSuccess;
using Hvd::Status;
using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
constexpr Status kNo = Hvd::kNotSupported;

using testing_support::DesignDouble;
using testing_support::Recorder;
using testing_support::Root;
using Ids = std::vector<Port::XUID>;
using Files = std::vector<CitI::IInterface*>;

// A binding whose sides list nothing.
struct BindingDouble : Hvd::TComponent<BindingDouble, Hvd::ITransformBindingInstance> {
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::ITransformBindingInstance>(this), Hvd::Row<Prjrep::IRefCount>(&count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Status GetDefinition(CitI::IInterface**) override { return kNo; }
  Status GetTransformInstances(Hvd::ITransformInstanceIterator**) override { return kNo; }
  Status GetTargets(Prjrep::IIterator**) override { return kNo; }
  Status ReservedOperation5() override { return kNo; }
  Status GetSecondSideObjects(Prjrep::ISet** out) override { return *out = nullptr, kNo; }
  Status GetFirstSideObjects(Prjrep::ISet** out) override { return *out = nullptr, kNo; }
  Prjrep::TRefCountHelper<BindingDouble> count{this};
};

struct IIdSet : Prjrep::TISet<Hvd::IDefDataId*, Hvd::IDefDataIdIterator> {
  CITI_DECLARE_IID("{9d74e514-bd1e-4a1d-8b20-bb4dfbb0ba8f}")
};

// A file type whose list of design-unit types is empty.
struct BareType : Hvd::TComponent<BareType, Hvd::IFileType> {
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IFileType>(this), Hvd::Row<Prjrep::IRefCount>(&count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Status GetDesignUnitTypeIds(Hvd::IDefDataIdIterator** out) override {
    using Ids =
        Hvd::TRefdSequenceSetHelper<Hvd::IDefDataId*, IIdSet, Hvd::IDefDataIdIterator, std::vector<Hvd::IDefDataId*>>;
    return AutoRelease<IIdSet>(new Ids())->GetIterator(out);
  }
  Status GetPlugInKey(Text* key) override { return *key = Text(), kSuccess; }
  Prjrep::TRefCountHelper<BareType> count{this};
};

std::string TypeName(CitI::IInterface* file) { return Hvd::GetDefDataIdName(file).str(); }
std::string UnitTypeName(CitI::IInterface* file) { return Hvd::GetDesignUnitTypeName(file).str(); }
std::uint64_t SequenceId(CitI::IInterface* file, std::uint32_t kind) {
  std::uint64_t id = 0;
  EXPECT_EQ(AutoCast<Hvd::ICompileOrder>(file)->GetSequenceID(kind, &id), kSuccess);
  return id;
}
std::uint32_t Origin(CitI::IInterface* file) {
  std::uint32_t origin = 99;
  std::ignore = AutoCast<Hvd::IFile>(file)->GetOriginState(&origin);
  return origin;
}
// The files an iterator yields, as identities; an entry without a file gives null.
Files Drain(Hvd::IHdlFileIterator* it) {
  Files files;
  for (; it != nullptr && !it->IsDone(); std::ignore = it->Next()) files.push_back(Root(it->Current()));
  return files;
}

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_design->UseBaseServices());
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    m_dir = (std::filesystem::temp_directory_path() / ("files_" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(m_dir + "/src");
    Hvd::StandInClearHookRuns();
  }
  void TearDown() override {
    m_design->project = nullptr;
    m_project = nullptr;
    m_design = nullptr;
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    std::filesystem::remove_all(m_dir);
  }

  void Write(const std::string& name, const std::string& text) { std::ofstream(m_dir + "/" + name) << text; }
  AutoRelease<Hvd::IFileType> Type(const char* name) {
    AutoRelease<CitI::IInterface> found;
    std::ignore = m_design->store->FindDefData(name, found.Receive());
    return AutoRelease<Hvd::IFileType>(std::move(found));
  }
  // A file set up as the project sets one up, outside any project.
  AutoRelease<Hvd::IHdlFile> NewFile(const std::string& name, const char* type) {
    AutoRelease<Hvd::IHdlFile> file(CitP::Factory::CreateInstance(Hvd::ClassId::File()));
    EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(file.Get())->InitializeAfterCreate(m_design.Get(), Type(type).Get()), kSuccess);
    EXPECT_EQ(AutoCast<Prjrep::IFileNameHelper>(file.Get())->SetPathInDirectory(name.c_str(), "", m_dir.c_str()),
              kSuccess);
    return file;
  }
  // An open project on `<dir>/p.xhlc` with its "work" library.
  void OpenProject() {
    m_project = AutoRelease<Hvd::IProject>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    ASSERT_TRUE(m_project);
    Hvd::CProject::FromInterface(m_project.Get())->EnterOpenState((m_dir + "/p.xhlc").c_str(), m_design.Get(), false);
    m_design->project = m_project.Get();
    AutoRelease<Hvd::ISourceLibrary> work;
    ASSERT_EQ(AutoCast<Hvd::ISourceLibraryManager>(m_project.Get())->CreateSourceLibrary("work", work.Receive()),
              kSuccess);
  }
  AutoRelease<Hvd::IHdlFile> AddToProject(const std::string& name) {
    Write(name, "-- " + name);
    AutoRelease<Hvd::IHdlFile> file;
    const Status status =
        AutoCast<Hvd::IFileManager>(m_project.Get())->ProjectAddFile(name.c_str(), nullptr, file.Receive());
    EXPECT_EQ(status, kSuccess) << name;
    return file;
  }

  std::string m_dir;
  AutoPtr<DesignDouble> m_design{AutoRelease<DesignDouble>(new DesignDouble)};
  AutoPtr<Hvd::IProject> m_project;
};

TEST_F(FileTest, NamesTypesAndUnitsComeFromThePathAndTheDefinitionData) {
  AutoRelease<Hvd::IHdlFile> file = NewFile("src/../src/a.vhd", "FILE_VHDL");
  Text directory, name;
  ASSERT_EQ(file->GetPath(&directory, &name), kSuccess);
  EXPECT_EQ(directory.str() + name.str(), m_dir + "/src/a.vhd") << "directory and name side by side are the key";
  EXPECT_EQ(Hvd::GetObjectName(file.Get()).str(), "Module|a.vhd");
  EXPECT_EQ(UnitTypeName(file.Get()), "DESUT_VHDL_ARCHITECTURE") << "a VHDL file stands for its architecture";
  EXPECT_EQ(UnitTypeName(NewFile("src/b.v", "FILE_VERILOG").Get()), "DESUT_VERILOG_MODULE") << "the first listed";
  AutoRelease<Hvd::ICompAdmin> bare(CitP::Factory::CreateInstance(Hvd::ClassId::File()));
  EXPECT_EQ(bare->InitializeAfterCreate(nullptr, Type("FILE_VHDL").Get()), Hvd::kInvalidParameter);
  EXPECT_EQ(bare->InitializeAfterCreate(m_design.Get(), nullptr), Hvd::kInvalidParameter);
  // The teardown lets go of the names and the type, not of the place in the project.
  EXPECT_EQ(AutoCast<Hvd::IFile>(file.Get())->SetOriginState(1), kSuccess);
  EXPECT_EQ(AutoCast<Hvd::ICompileOrder>(file.Get())->SetSequenceID(3, 42), kSuccess);
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(file.Get())->Teardown(), kSuccess);
  ASSERT_EQ(file->GetPath(&directory, &name), kSuccess);
  EXPECT_TRUE(directory.empty() && name.empty() && Hvd::GetObjectName(file.Get()).empty());
  EXPECT_TRUE(Origin(file.Get()) == 1 && SequenceId(file.Get(), 3) == 42 && TypeName(file.Get()).empty());
}

// Without a design-unit type listed, the set-up says the file has none and the file answers
// none, while it keeps the file type it was given.
TEST_F(FileTest, AFileOfATypeThatListsNoUnitTypeHasNone) {
  AutoRelease<Hvd::ICompAdmin> file(CitP::Factory::CreateInstance(Hvd::ClassId::File()));
  AutoRelease<BareType> bare(new BareType);
  EXPECT_EQ(file->InitializeAfterCreate(m_design.Get(), bare.Get()), Hvd::kFailure);
  AutoRelease<Hvd::IDesignUnitType> unit;
  EXPECT_EQ(AutoCast<Hvd::IDesignUnit>(file.Get())->GetDesignUnitType(unit.Receive()), Hvd::kOwnerMissing);
  EXPECT_FALSE(unit);
  AutoRelease<Hvd::IFileType> type;
  EXPECT_TRUE(AutoCast<Hvd::IFile>(file.Get())->GetFileType(type.Receive()) == kSuccess &&
              Root(type.Get()) == Root(bare.Get()));
  // Whatever it is asked in, a file is its own design unit.
  AutoRelease<Hvd::IHdlDesignUnit> self;
  EXPECT_TRUE(AutoCast<Hvd::IHdlDesignUnit>(file.Get())->GetDesignUnit(nullptr, self.Receive()) == kSuccess &&
              Root(self.Get()) == Root(file.Get()));
}

// The file's base directory is its file-name helper's: a file and a helper given the same path
// and bases answer alike, and a base moves none of the file's own names.
TEST_F(FileTest, TheFileAnswersItsBaseDirectoryAsAFileNameHelperDoes) {
  AutoRelease<Hvd::IHdlFile> file = NewFile("src/a.vhd", "FILE_VHDL");
  AutoCast<Prjrep::IFileNameHelper> names(file.Get());
  AutoRelease<Prjrep::IFileNameHelper> plain(CitP::Factory::CreateInstance(Prjrep::ClassId::FileNameHelper()));
  ASSERT_TRUE(plain && plain->SetPathInDirectory("src/a.vhd", "", m_dir.c_str()) == kSuccess);
  const auto answers = [](Prjrep::IFileNameHelper* helper) {
    Text base, moved, directory;
    bool inside = false;
    const std::vector<Status> statuses{helper->GetBaseDirectory(&base), helper->GetPathOnDirectory("/moved", &moved),
                                       helper->GetDirectory(&directory), helper->IsInsideBase(&inside)};
    return ::testing::PrintToString(statuses) + base.str() + "|" + moved.str() + "|" + directory.str() + "|" +
           (inside ? "inside" : "outside");
  };
  Text directory, name;
  ASSERT_EQ(file->GetPath(&directory, &name), kSuccess);
  const std::string path = directory.str() + name.str();
  for (const std::string& base : {m_dir, m_dir + "/src", m_dir + "/lib"}) {
    EXPECT_EQ(names->SetBaseDirectory(base.c_str()), plain->SetBaseDirectory(base.c_str())) << base;
    EXPECT_EQ(answers(names), answers(plain)) << base;
    ASSERT_EQ(file->GetPath(&directory, &name), kSuccess);
    EXPECT_EQ(directory.str() + name.str(), path) << base;
  }
  bool inside = true;
  EXPECT_TRUE(names->IsInsideBase(&inside) == kSuccess && !inside) << "a file in src is not inside lib";
}

// A locator leaves by its text; one that is not held, or empty, removes nothing.
TEST_F(FileTest, DesignGraphLocatorsLeaveByTheirText) {
  AutoRelease<Hvd::IHdlFile> file = NewFile("src/a.vhd", "FILE_VHDL");
  AutoCast<Hvd::IDesignGraphLocatorSet> places(file.Get());
  for (const char* locator : {"/top/u1", "/top/u2"}) ASSERT_EQ(places->Add(locator), kSuccess);
  EXPECT_EQ(places->Remove(Text("/top/u1")), kSuccess);
  EXPECT_EQ(places->Remove(Text("/top/u9")), kSuccess);
  EXPECT_EQ(places->Remove(Text("")), Hvd::kBadParameters);
  bool first = true, second = false;
  EXPECT_TRUE(places->Contains("/top/u1", &first) == kSuccess && !first);
  EXPECT_TRUE(places->Contains("/top/u2", &second) == kSuccess && second);
  EXPECT_EQ(places->Size(), 1u);
}

TEST_F(FileTest, TheDiskCheckFollowsAFileThatAppearsChangesAndDisappears) {
  AutoRelease<Hvd::IHdlFile> file = NewFile("src/late.vhd", "FILE_VHDL");
  AutoCast<Hvd::IState> states(file.Get());
  EXPECT_TRUE(states->Add("Parsed"));
  EXPECT_EQ(file->SetModified(false), kSuccess);
  Recorder recorder;
  recorder.Listen(file.Get());
  // Each check after writing the text (null: leave the file, "": remove it) and what it announces.
  const std::pair<const char*, Ids> steps[] = {
      {nullptr, {}},                // the first check only takes the time
      {"entity late is end;", {}},  // a file that appears has not changed
      {nullptr, {}},
      {"entity late is end; -- longer", {Hvd::EventId::FileChangedOnDisk(), Hvd::EventId::FileModified()}},
      {"", {Hvd::EventId::HdlFileEvent()}},
      {nullptr, {Hvd::EventId::HdlFileEvent()}},  // once per check while it is missing
      {"entity late is end; -- back", {}},        // a file that comes back has not changed
      {nullptr, {}},
  };
  for (const auto& [text, heard] : steps) {
    if (text != nullptr && *text == 0) std::filesystem::remove(m_dir + "/src/late.vhd");
    if (text != nullptr && *text != 0) Write("src/late.vhd", text);
    recorder.heard.clear();
    EXPECT_EQ(file->CheckFileOnDisk(), kSuccess);
    EXPECT_EQ(recorder.Ids(), heard) << (text ? text : "unchanged");
  }
  bool modified = false;
  EXPECT_TRUE(file->IsModified(&modified) == kSuccess && modified);
  EXPECT_FALSE(states->Contains("Parsed")) << "what was known of the old text is forgotten";
}

TEST_F(FileTest, TheDiskCheckLooksAtThePathLastSetAndKeepsItWhenASetFails) {
  Write("src/a.vhd", "entity a is end;");
  Write("src/b.vhd", "entity b is end; -- a longer text");
  AutoRelease<Hvd::IHdlFile> file = NewFile("src/a.vhd", "FILE_VHDL");
  AutoCast<Prjrep::IFileNameHelper> names(file.Get());
  Recorder recorder;
  recorder.Listen(file.Get());
  auto check = [&] {
    recorder.heard.clear();
    EXPECT_EQ(file->CheckFileOnDisk(), kSuccess);
    return recorder.Ids();
  };
  EXPECT_EQ(check(), Ids{}) << "the first check only takes the time";
  EXPECT_EQ(check(), Ids{});
  // Another file of another size in its place: the check sees the new path's file.
  ASSERT_EQ(names->SetPathInDirectory("src/b.vhd", "", m_dir.c_str()), kSuccess);
  EXPECT_EQ(check(), (Ids{Hvd::EventId::FileChangedOnDisk(), Hvd::EventId::FileModified()}));
  EXPECT_EQ(check(), Ids{});
  // A refused path changes nothing: b is still the file looked at.
  EXPECT_NE(names->SetPath("", ""), kSuccess);
  std::filesystem::remove(m_dir + "/src/a.vhd");
  EXPECT_EQ(check(), Ids{});
  std::filesystem::remove(m_dir + "/src/b.vhd");
  EXPECT_EQ(check(), Ids{Hvd::EventId::HdlFileEvent()});
}

// A script rewrites a file within the second of its last check, even to the same size: that is
// a change, and the check time moves with it, which is what the parser's hand-over compares.
TEST_F(FileTest, ARewriteWithinTheSecondIsAChange) {
  Write("src/a.vhd", "entity a is end; -- one");
  AutoRelease<Hvd::IHdlFile> file = NewFile("src/a.vhd", "FILE_VHDL");
  Recorder recorder;
  recorder.Listen(file.Get());
  const auto checkTime = [&] {
    std::int64_t seconds = 0, microseconds = 0;
    EXPECT_EQ(AutoCast<Prjrep::ITimestamp>(file.Get())->GetTime(&seconds, &microseconds), kSuccess);
    return std::pair(seconds, microseconds);
  };
  ASSERT_EQ(file->CheckFileOnDisk(), kSuccess);
  const auto first = checkTime();
  // The same second, the same size, another text.
  const std::filesystem::path path = m_dir + "/src/a.vhd";
  const auto written = std::filesystem::last_write_time(path);
  Write("src/a.vhd", "entity a is end; -- two");
  std::filesystem::last_write_time(path, written + std::chrono::microseconds(1));
  recorder.heard.clear();
  EXPECT_EQ(file->CheckFileOnDisk(), kSuccess);
  EXPECT_EQ(recorder.Ids(), (Ids{Hvd::EventId::FileChangedOnDisk(), Hvd::EventId::FileModified()}));
  EXPECT_NE(checkTime(), first);
  recorder.heard.clear();
  EXPECT_EQ(file->CheckFileOnDisk(), kSuccess);
  EXPECT_EQ(recorder.Ids(), Ids{}) << "checked again, unchanged";
}

TEST_F(FileTest, AnAutomaticallyManagedFileAnswersThroughTheFirstFileThatIncludesIt) {
  AutoRelease<Hvd::IHdlFile> parent = NewFile("src/top.v", "FILE_VERILOG");
  AutoRelease<Hvd::IHdlFile> child = NewFile("src/defs.vhd", "FILE_VHDL");
  AutoCast<Hvd::IHdlFileV4> parentLinks(parent.Get()), childLinks(child.Get());
  EXPECT_EQ(AutoCast<Hvd::IFile>(child.Get())->SetOriginState(Hvd::CFile::kAutoManaged), kSuccess);
  EXPECT_EQ(TypeName(child.Get()), "FILE_VHDL") << "without a parent, its own";
  ASSERT_EQ(childLinks->AddParentFile(2, parent.Get()), kSuccess);
  EXPECT_EQ(TypeName(child.Get()), "FILE_VERILOG");
  EXPECT_EQ(UnitTypeName(child.Get()), "DESUT_VERILOG_MODULE");
  // Files that include each other answer without asking each other forever.
  EXPECT_EQ(AutoCast<Hvd::IFile>(parent.Get())->SetOriginState(Hvd::CFile::kAutoManaged), kSuccess);
  ASSERT_EQ(parentLinks->AddParentFile(0, child.Get()), kSuccess);
  EXPECT_EQ(TypeName(child.Get()) + TypeName(parent.Get()), "FILE_VHDLFILE_VERILOG");
  EXPECT_EQ(UnitTypeName(parent.Get()), "DESUT_VERILOG_MODULE");
  EXPECT_EQ(childLinks->RemoveParentFile(2, parent.Get()), kSuccess);
  EXPECT_EQ(parentLinks->RemoveParentFile(0, child.Get()), kSuccess);
}

TEST_F(FileTest, IncludedFilesAreLinkedOnBothSides) {
  OpenProject();
  AutoRelease<Hvd::IHdlFile> top = AddToProject("src/top.vhd");
  AutoRelease<Hvd::IHdlFile> package = AddToProject("src/pkg.vhd");
  Write("src/inc.vhd", "-- included");
  Write("src/inc.v", "// included");
  AutoCast<Hvd::IHdlFileV4> links(top.Get());
  Recorder recorder;
  recorder.Listen(top.Get());
  auto add = [&](std::uint32_t kind, const char* name) {
    AutoRelease<Hvd::IHdlFile> child;
    EXPECT_EQ(links->AddChildFileByName(kind, name, child.Receive()), kSuccess) << name;
    return child;
  };
  auto children = [&](Hvd::IHdlFileV4* file, bool parents = false) {
    AutoRelease<Hvd::IHdlFileIterator> it;
    EXPECT_EQ(parents ? file->GetParentFiles(1, it.Receive()) : file->GetChildFiles(1, it.Receive()), kSuccess);
    return Drain(it.Get());
  };
  // A file without links answers empty lists; an iterator taken then sees a later link.
  bool orphan = false;
  EXPECT_TRUE(links->HasNoParents(&orphan) == kSuccess && orphan);
  AutoRelease<Hvd::IHdlFileIterator> early;
  ASSERT_EQ(links->GetChildFiles(1, early.Receive()), kSuccess);
  EXPECT_TRUE(early->IsDone());
  EXPECT_TRUE(children(links, true).empty());
  AutoRelease<Hvd::IHdlFile> child = add(1, "src/inc.vhd");
  AutoCast<Hvd::IHdlFileV4> childLinks(child.Get());
  ASSERT_EQ(early->Reset(), kSuccess);
  EXPECT_EQ(Drain(early.Get()), Files{Root(child.Get())});
  early = nullptr;
  EXPECT_EQ(Origin(child.Get()), Hvd::CFile::kAutoManaged);
  EXPECT_EQ(Root(add(1, "src/inc.vhd").Get()), Root(child.Get())) << "already in the project";
  EXPECT_EQ(recorder.Ids(), Ids{Hvd::EventId::FileChanged()}) << "nothing changed the second time";
  EXPECT_EQ(children(links), Files{Root(child.Get())});
  EXPECT_EQ(children(childLinks, true), Files{Root(top.Get())});
  AutoRelease<Hvd::IHdlFileIterator> it;
  EXPECT_EQ(links->GetChildFiles(6, it.Receive()), Hvd::kBadParameters);
  // A global include stays a user source when it is included.
  ASSERT_EQ(AutoCast<Hvd::IHdlFileV3>(package.Get())->SetGlobalInclude(true), kSuccess);
  std::ignore = add(1, "src/pkg.vhd");
  EXPECT_EQ(Origin(package.Get()), Hvd::CFile::kUserSource);
  // Removing one child keeps its key without a file; removing all drops the keys.
  ASSERT_EQ(links->RemoveChildFile(1, child.Get()), kSuccess);
  EXPECT_TRUE(childLinks->HasNoParents(&orphan) == kSuccess && orphan);
  EXPECT_EQ(children(links), (Files{nullptr, Root(package.Get())})) << "in key order";
  EXPECT_EQ(childLinks->RemoveParentFile(1, top.Get()), Hvd::kFailure);
  ASSERT_EQ(links->RemoveAllChildFiles(1), kSuccess);
  EXPECT_TRUE(children(links).empty());
  EXPECT_TRUE(AutoCast<Hvd::IHdlFileV4>(package.Get())->HasNoParents(&orphan) == kSuccess && orphan);
  // A 'global include' must be read as the files that include it are read.
  AutoRelease<Hvd::IHdlFile> verilog = add(0, "src/inc.v");
  EXPECT_EQ(AutoCast<Hvd::IHdlFileV3>(verilog.Get())->SetGlobalInclude(true), Hvd::kFailure);
  child = add(0, "src/inc.vhd");
  ASSERT_EQ(links->RemoveChildFile(0, verilog.Get()), kSuccess);
  recorder.Listen(child.Get());
  recorder.heard.clear();
  EXPECT_EQ(AutoCast<Hvd::IHdlFileV3>(child.Get())->SetGlobalInclude(true), kSuccess);
  EXPECT_EQ(Origin(child.Get()), Hvd::CFile::kUserSource) << "a global include is the user's";
  EXPECT_EQ(recorder.heard, (Recorder::Heard{{Root(child.Get()), Hvd::EventId::FileChanged()}}));
  EXPECT_EQ(links->RemoveAllChildFiles(0), kSuccess);
}

// A name the project will not take (a backslash in it, or no file there) links no child and adds
// no project file; the project's refusal is the answer.
TEST_F(FileTest, AChildTheProjectRefusesIsNeitherLinkedNorAdded) {
  OpenProject();
  AutoRelease<Hvd::IHdlFile> top = AddToProject("src/top.vhd");
  Write("src/we\\ird.vhd", "-- included");
  AutoCast<Hvd::IHdlFileV4> links(top.Get());
  for (const auto& [name, refusal] :
       {std::pair{"src/we\\ird.vhd", Hvd::kInvalidParameter}, std::pair{"src/absent.vhd", Hvd::kFailure}}) {
    AutoRelease<Hvd::IHdlFile> child;
    EXPECT_EQ(links->AddChildFileByName(1, name, child.Receive()), refusal) << name;
    EXPECT_FALSE(child) << name;
  }
  AutoRelease<Hvd::IHdlFileIterator> children, files;
  ASSERT_EQ(links->GetChildFiles(1, children.Receive()), kSuccess);
  EXPECT_TRUE(children->IsDone());
  ASSERT_EQ(AutoCast<Hvd::IFileManager>(m_project.Get())->GetProjectFiles(files.Receive()), kSuccess);
  EXPECT_EQ(Drain(files.Get()), Files{Root(top.Get())});
}

// A file and the file it includes hold each other: a removed file lets go of the files it was
// linked to and a close leaves none holding another, in either order and with a save between (the
// sanitizer's leak check sees a pair left over). A managed file the user had added, whose includer
// went, is the user's again.
TEST_F(FileTest, RemovedFilesAndAClosedProjectHoldNoFilesTheyWereLinkedTo) {
  const auto linked = [](Hvd::IHdlFile* file) {
    AutoCast<Hvd::IHdlFileV4> links(file);
    AutoRelease<Hvd::IHdlFileIterator> up, down;
    EXPECT_TRUE(links->GetParentFiles(1, up.Receive()) == kSuccess &&
                links->GetChildFiles(1, down.Receive()) == kSuccess);
    Files found = Drain(up.Get()), children = Drain(down.Get());
    found.insert(found.end(), children.begin(), children.end());
    std::erase(found, nullptr);
    return found;
  };
  // The files removed, in order, and whether the project is saved before it closes.
  const std::pair<std::vector<std::string>, bool> cases[] = {{{"src/m1.v", "src/a.v"}, false},
                                                             {{"src/a.v", "src/m1.v"}, false},
                                                             {{"src/m1.v", "src/a.v"}, true},
                                                             {{"src/a.v"}, false},
                                                             {{"src/a.v"}, true}};
  for (const auto& [removed, save] : cases) {
    SCOPED_TRACE(::testing::PrintToString(removed) + (save ? ", saved" : ""));
    OpenProject();
    AutoRelease<Hvd::IHdlFile> m1 = AddToProject("src/m1.v"), a = AddToProject("src/a.v");
    ASSERT_EQ(AutoCast<Hvd::IHdlFileV4>(a.Get())->AddChildFileByName(1, "src/m1.v", nullptr), kSuccess);
    AutoCast<Hvd::IFileManager> files(m_project.Get());
    for (const std::string& name : removed) {
      ASSERT_EQ(files->RemoveFileByPath(name.c_str()), kSuccess) << name;
      EXPECT_EQ(linked((name == "src/a.v" ? a : m1).Get()), Files{}) << name;
    }
    ASSERT_TRUE(!save || m_project->Save() == kSuccess);
    if (removed.size() == 1) {
      // The user's, so the save's clean-up leaves it in the project.
      AutoRelease<Hvd::IHdlFileIterator> at;
      ASSERT_EQ(files->FindFileByPath("src/m1.v", at.Receive()), kSuccess);
      EXPECT_EQ(Root(at->Current()), Root(m1.Get()));
      EXPECT_EQ(Origin(m1.Get()), Hvd::CFile::kUserSource);
      EXPECT_EQ(linked(m1.Get()), Files{});
    }
    ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
    EXPECT_EQ(linked(m1.Get()), Files{});
    EXPECT_EQ(linked(a.Get()), Files{});
  }
}

TEST_F(FileTest, BindingSetsAnswerAsEmptyOnesUntilAskedForAndStayTheSameSetsAfter) {
  AutoRelease<Hvd::IHdlFile> fresh = NewFile("src/a.vhd", "FILE_VHDL");
  AutoRelease<Hvd::IHdlFile> asked = NewFile("src/b.vhd", "FILE_VHDL");
  AutoCast<Hvd::ITransformBindingSets> sets(asked.Get());
  // A set never asked for is stored exactly as an empty one.
  auto stored = [](CitI::IInterface* file) {
    AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
    EXPECT_EQ(AutoCast<Hvd::ITransformBindingSets>(file)->PersistSave(storage), kSuccess);
    std::vector<std::int32_t> counts;
    std::int32_t count = -1;
    std::ignore = AutoCast<Prjrep::IStorageControl>(storage.Get())->Rewind();
    while (storage->ReadInt32(&count) == kSuccess) counts.push_back(count);
    return counts;
  };
  const std::vector<std::int32_t> empty = stored(fresh.Get());
  AutoRelease<Hvd::ITransformBindingInstanceSet> first, again, second;
  ASSERT_EQ(sets->GetFirstBindingSet(first.Receive()), kSuccess);
  ASSERT_EQ(sets->GetFirstBindingSet(again.Receive()), kSuccess);
  ASSERT_EQ(AutoCast<Hvd::IDesignUnit>(asked.Get())->GetSecondBindingSet(second.Receive()), kSuccess);
  EXPECT_EQ(first.Get(), again.Get());
  EXPECT_NE(Root(first.Get()), Root(second.Get()));
  EXPECT_TRUE(first->Size() == 0 && second->Size() == 0);
  EXPECT_EQ(stored(asked.Get()), empty);
  EXPECT_EQ(sets->GetFirstBindingSet(nullptr), Hvd::kInvalidParameter);
  // What a file does with its bindings works alike on sets never made.
  for (CitI::IInterface* file : {fresh.Get(), asked.Get()}) {
    EXPECT_EQ(AutoCast<Hvd::IReconcileToDefData>(file)->RemoveObsolete(nullptr), kSuccess);
    EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(file)->RegisterForNotifications(), kSuccess);
    EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(file)->InitializeAfterLoad(m_design.Get()), kSuccess);
    EXPECT_EQ(AutoCast<Hvd::IHdlFileV3>(file)->SetGlobalInclude(true), kSuccess) << "bound to no transform";
  }
  // A binding in the set handed out is the file's: it is kept, then let go at teardown.
  ASSERT_EQ(first->Add(AutoRelease<Hvd::ITransformBindingInstance>(new BindingDouble).Get()), kSuccess);
  EXPECT_EQ(AutoCast<Hvd::IHdlFileV3>(asked.Get())->SetGlobalInclude(false), Hvd::kFailure);
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(asked.Get())->Teardown(), kSuccess);
  EXPECT_EQ(first->Size(), 0u);
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(fresh.Get())->Teardown(), kSuccess);
}

TEST_F(FileTest, TheAttachmentIsOneObjectThatNamesTheFileUntilTheFileGoes) {
  AutoRelease<Hvd::IHdlFile> file = NewFile("src/a.vhd", "FILE_VHDL");
  AutoPtr<Prjrep::IAttachedInterface> attached(AutoCast<Prjrep::IAttachedInterface>(file.Get()).Get());
  ASSERT_TRUE(attached);
  EXPECT_EQ(AutoCast<Prjrep::IAttachedInterface>(file.Get()).Get(), attached.Get()) << "asked again";
  AutoRelease<CitI::IInterface> owner;
  ASSERT_EQ(attached->GetOwner(owner.Receive()), kSuccess);
  EXPECT_EQ(Root(owner.Get()), Root(file.Get()));
  owner = nullptr;
  file = nullptr;
  EXPECT_EQ(attached->GetOwner(owner.Receive()), Hvd::kFailure) << "the file is gone";
  EXPECT_FALSE(owner);
}

TEST_F(FileTest, TheDesignUnitNameIsEmptyUntilGivenAndAgainAfterTeardown) {
  AutoRelease<Hvd::IHdlFile> file = NewFile("src/a.vhd", "FILE_VHDL");
  AutoCast<Hvd::IDesignUnit> unit(file.Get());
  auto name = [&] {
    Text got("stale");
    EXPECT_EQ(unit->GetDesignUnitName(&got), kSuccess);
    return got.str();
  };
  EXPECT_EQ(name(), "");
  EXPECT_EQ(unit->GetDesignUnitName(nullptr), Hvd::kInvalidParameter);
  EXPECT_TRUE(unit->SetDesignUnitName("top") == kSuccess && name() == "top");
  EXPECT_TRUE(unit->SetDesignUnitName("") == kSuccess && name().empty());
  EXPECT_TRUE(unit->SetDesignUnitName("core") == kSuccess && name() == "core");
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(file.Get())->Teardown(), kSuccess);
  EXPECT_EQ(name(), "");
}

TEST_F(FileTest, FilesInOneDirectoryAnswerItAndOneMovedElsewhereLeavesTheOthersWhereTheyWere) {
  AutoRelease<Hvd::IHdlFile> a = NewFile("src/a.vhd", "FILE_VHDL");
  AutoRelease<Hvd::IHdlFile> b = NewFile("src/b.vhd", "FILE_VHDL");
  auto path = [](Hvd::IHdlFile* file) {
    Text directory("stale"), name("stale");
    EXPECT_EQ(file->GetPath(&directory, &name), kSuccess);
    return directory.str() + "|" + name.str();
  };
  const std::string src = std::filesystem::path(m_dir + "/src/").lexically_normal().string();
  EXPECT_EQ(path(a.Get()), src + "|a.vhd");
  EXPECT_EQ(path(b.Get()), src + "|b.vhd");
  ASSERT_EQ(AutoCast<Prjrep::IFileNameHelper>(b.Get())->SetPathInDirectory("lib/b.vhd", "", m_dir.c_str()), kSuccess);
  EXPECT_EQ(path(b.Get()), std::filesystem::path(m_dir + "/lib/").lexically_normal().string() + "|b.vhd");
  EXPECT_EQ(path(a.Get()), src + "|a.vhd") << "the other file stays where it was";
  AutoRelease<Hvd::IHdlFile> c = NewFile("src/c.vhd", "FILE_VHDL");
  a = nullptr;
  EXPECT_EQ(path(c.Get()), src + "|c.vhd");
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(c.Get())->Teardown(), kSuccess);
  EXPECT_EQ(path(c.Get()), "|") << "a torn down file keeps no path";
}

TEST_F(FileTest, ParentsAndChildrenOfEachCategoryStayApartWhateverOrderTheirSetsAreMadeIn) {
  AutoRelease<Hvd::IHdlFile> child = NewFile("src/inc.vhd", "FILE_VHDL");
  AutoRelease<Hvd::IHdlFile> first = NewFile("src/p1.vhd", "FILE_VHDL");
  AutoRelease<Hvd::IHdlFile> second = NewFile("src/p2.vhd", "FILE_VHDL");
  AutoCast<Hvd::IHdlFileV4> links(child.Get());
  auto listed = [&](std::uint32_t category, bool parents) {
    AutoRelease<Hvd::IHdlFileIterator> it;
    EXPECT_EQ(parents ? links->GetParentFiles(category, it.Receive()) : links->GetChildFiles(category, it.Receive()),
              kSuccess);
    return Drain(it.Get());
  };
  auto orphan = [&] {
    bool none = false;
    EXPECT_EQ(links->HasNoParents(&none), kSuccess);
    return none;
  };
  EXPECT_EQ(links->RemoveAllChildFiles(5), kSuccess) << "a category never used";
  ASSERT_EQ(links->AddParentFile(4, first.Get()), kSuccess);
  ASSERT_EQ(links->AddParentFile(2, second.Get()), kSuccess);
  EXPECT_TRUE(listed(0, false).empty() && listed(2, false).empty() && listed(4, false).empty());
  for (std::uint32_t category = 0; category < 6; ++category) {
    const Files expected =
        category == 4 ? Files{Root(first.Get())} : (category == 2 ? Files{Root(second.Get())} : Files{});
    EXPECT_EQ(listed(category, true), expected) << category;
  }
  EXPECT_FALSE(orphan());
  ASSERT_EQ(links->RemoveParentFile(2, second.Get()), kSuccess);
  EXPECT_EQ(links->RemoveParentFile(2, second.Get()), Hvd::kFailure);
  EXPECT_FALSE(orphan()) << "still included in category 4";
  ASSERT_EQ(links->RemoveParentFile(4, first.Get()), kSuccess);
  EXPECT_TRUE(orphan());
}

TEST_F(FileTest, SequenceIdsKeepTheirRulesAndComeFromTheSourceOfAGeneratedFile) {
  AutoRelease<Hvd::IHdlFile> file = NewFile("src/a.vhd", "FILE_VHDL");
  AutoCast<Hvd::ICompileOrder> order(file.Get());
  // The add target changes only through 0; there is no kind 8.
  const struct {
    std::uint32_t kind;
    std::uint64_t id;
    Status expected;
  } rows[] = {{0, 5, kSuccess}, {0, 7, Hvd::kFailure}, {0, 0, kSuccess}, {0, 7, kSuccess}, {8, 1, Hvd::kFailure}};
  for (const auto& row : rows) EXPECT_EQ(order->SetSequenceID(row.kind, row.id), row.expected) << row.id;
  std::uint64_t target = 0;
  EXPECT_TRUE(file->GetFileAddTarget(&target) == kSuccess && target == 7);
  // While a transform takes the file, the transform keeps its place.
  AutoRelease<Hvd::ITransformBindingInstanceSet> inputs;
  ASSERT_EQ(AutoCast<Hvd::ITransformBindingSets>(file.Get())->GetFirstBindingSet(inputs.Receive()), kSuccess);
  ASSERT_EQ(inputs->Add(AutoRelease<Hvd::ITransformBindingInstance>(new BindingDouble).Get()), kSuccess);
  EXPECT_EQ(order->SetSequenceID(1, 3), Hvd::kFailure);
  EXPECT_EQ(AutoCast<Hvd::IHdlFileV3>(file.Get())->SetGlobalInclude(true), Hvd::kFailure);
  EXPECT_EQ(inputs->Clear(), kSuccess);
  // Bit 31 of the view classes never tests as set; classes wrap at 32.
  AutoCast<Hvd::IViewClassAssociation> classes(file.Get());
  EXPECT_TRUE(classes->SetBit(31) == kSuccess && classes->SetBit(33) == kSuccess);
  EXPECT_TRUE(!classes->TestBit(31) && classes->TestBit(1) && !classes->TestBit(0));
  // A generated file takes the ids of the core description it comes from.
  OpenProject();
  AutoRelease<Hvd::IHdlFile> core = AddToProject("src/core.mdx");
  AutoRelease<Hvd::IHdlFile> generated = AddToProject("src/core.vhd");
  AutoCast<Hvd::IFile> origin(generated.Get());
  const std::uint64_t own = SequenceId(generated.Get(), 0);
  EXPECT_NE(own, SequenceId(core.Get(), 0));
  EXPECT_EQ(origin->SetOriginState(1), kSuccess);
  EXPECT_EQ(SequenceId(generated.Get(), 0), SequenceId(core.Get(), 0));
  EXPECT_EQ(origin->SetOriginState(0), kSuccess);
  EXPECT_EQ(SequenceId(generated.Get(), 0), own);
  // With the compile order kept by hand, a new place is announced.
  Recorder recorder;
  recorder.Listen(generated.Get());
  AutoCast<Hvd::ICompileOrder> generatedOrder(generated.Get());
  EXPECT_TRUE(generatedOrder->SetSequenceID(2, 100) == kSuccess && recorder.heard.empty());
  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_AutoCompileOrderImp", "false");
  EXPECT_EQ(generatedOrder->SetSequenceID(2, 101), kSuccess);
  EXPECT_EQ(recorder.Ids(), Ids{Hvd::EventId::FileChanged()});
}

TEST_F(FileTest, EachKindKeepsItsOwnSequenceIdWhateverTheOtherKindsAreGiven) {
  AutoRelease<Hvd::IHdlFile> file = NewFile("src/a.vhd", "FILE_VHDL");
  AutoCast<Hvd::ICompileOrder> order(file.Get());
  std::uint64_t model[8] = {};
  // Runs of one value for every kind, as a project gives them, then kinds set apart, cleared
  // and joined again, also after every kind holds a value of its own.
  std::vector<std::pair<std::uint32_t, std::uint64_t>> steps;
  for (std::uint32_t kind = 0; kind < 8; ++kind) steps.emplace_back(kind, 42);
  steps.insert(steps.end(),
               {{3, 0}, {5, 0},  {3, 42}, {0, 0},  {2, 0},  {1, 0},  {4, 0}, {6, 0},  {7, 0},  {3, 0}, {5, 9},
                {5, 0}, {6, 11}, {0, 11}, {2, 11}, {7, 12}, {6, 13}, {1, 0}, {7, 12}, {0, 14}, {0, 0}});
  for (std::uint32_t kind = 0; kind < 8; ++kind) steps.emplace_back(kind, 100 + kind);
  steps.insert(steps.end(), {{4, 0}, {4, 7}, {0, 0}, {0, 3}});
  for (const auto& [kind, value] : steps) {
    const Status expected = kind == 0 && value != 0 && model[0] != 0 ? Hvd::kFailure : kSuccess;
    EXPECT_EQ(order->SetSequenceID(kind, value), expected) << kind << "=" << value;
    if (expected == kSuccess) model[kind] = value;
    for (std::uint32_t each = 0; each < 8; ++each)
      EXPECT_EQ(SequenceId(file.Get(), each), model[each]) << "kind " << each << " after " << kind << "=" << value;
  }
}

TEST_F(FileTest, RemovalLeavesTheLibraryThenTellsFileAndProjectAndRunsTheHook) {
  OpenProject();
  AutoRelease<Hvd::IHdlFile> file = AddToProject("src/a.vhd");
  AutoCast<Hvd::ISourceLibraryMember> member(file.Get());
  AutoRelease<Hvd::ISourceLibrary> work;
  ASSERT_EQ(member->GetLibrary(work.Receive()), kSuccess);
  ASSERT_TRUE(work) << "the project put the file in its library";
  CitI::IInterface* const f = Root(file.Get());
  CitI::IInterface* const p = Root(m_project.Get());
  Recorder recorder;
  for (CitI::IInterface* sender : {f, p, Root(work.Get())}) recorder.Listen(sender);
  ASSERT_EQ(AutoCast<Hvd::IFileInternal>(file.Get())->Remove(), kSuccess);
  using Hvd::EventId::FileRemoved, Hvd::EventId::HdlFileEvent;
  EXPECT_EQ(recorder.heard, (Recorder::Heard{{Root(work.Get()), Hvd::EventId::LibraryMembership()},
                                             {f, FileRemoved()},
                                             {p, FileRemoved()},
                                             {f, HdlFileEvent()},
                                             {p, HdlFileEvent()}}));
  EXPECT_EQ(Hvd::StandInHookRuns(),
            std::vector<std::string>{"::velmor::Hvd::hvd_chFileRemoveHelper " + Hvd::StandInIdentity(f)});
  EXPECT_TRUE(member->GetLibrary(work.ReleaseAndReceive()) == kSuccess && !work);
}

// A library that refuses a file (a Verilog file in a VHDL library) leaves it listed in, and
// holding, the library it had, none or another, with nothing announced.
TEST_F(FileTest, AFileARefusingLibraryWouldNotTakeKeepsTheLibraryItHad) {
  OpenProject();
  AutoRelease<Hvd::IHdlFile> file = AddToProject("src/a.v");
  AutoCast<Hvd::ISourceLibraryMember> member(file.Get());
  AutoRelease<Hvd::ISourceLibrary> vhdl;  // the plain creation makes a VHDL library
  ASSERT_EQ(AutoCast<Hvd::ISourceLibraryManager>(m_project.Get())->CreateSourceLibrary("vlib", vhdl.Receive()),
            kSuccess);
  AutoRelease<Hvd::ISourceLibrary> mixed(CitP::Factory::CreateInstance(Hvd::ClassId::SourceLibrary()));
  ASSERT_EQ(AutoCast<Hvd::ISourceLibraryInternal>(mixed.Get())->SetLibraryType(1), kSuccess);
  const auto members = [](Hvd::ISourceLibrary* library) {
    AutoRelease<Hvd::IHdlFileIterator> it;
    EXPECT_EQ(AutoCast<Hvd::IHdlFileSet>(library)->GetIterator(it.Receive()), kSuccess);
    return Drain(it.Get());
  };
  const auto held = [&member] {
    AutoRelease<Hvd::ISourceLibrary> library;
    EXPECT_EQ(member->GetLibrary(library.Receive()), kSuccess);
    return Root(library.Get());
  };
  Recorder recorder;
  recorder.Listen(Root(file.Get()));
  recorder.Listen(Root(vhdl.Get()));
  ASSERT_EQ(held(), nullptr);

  EXPECT_EQ(member->SetLibrary(vhdl.Get()), Hvd::kFailure);
  EXPECT_EQ(held(), nullptr);
  EXPECT_TRUE(members(vhdl.Get()).empty());
  EXPECT_TRUE(recorder.heard.empty());

  ASSERT_EQ(member->SetLibrary(mixed.Get()), kSuccess);
  recorder.heard.clear();
  EXPECT_EQ(member->SetLibrary(vhdl.Get()), Hvd::kFailure);
  EXPECT_EQ(held(), Root(mixed.Get()));
  EXPECT_EQ(members(mixed.Get()), Files{Root(file.Get())});
  EXPECT_TRUE(members(vhdl.Get()).empty());
  EXPECT_TRUE(recorder.heard.empty());
  EXPECT_EQ(AutoCast<Hvd::IFileInternal>(file.Get())->Remove(), kSuccess);
  EXPECT_TRUE(members(mixed.Get()).empty());
}

// A library read back gives the file its library without a word: the file answers it, leaves
// the library it had, and still leaves the new one when it goes.
TEST_F(FileTest, AFileTakesTheLibraryOfALoadQuietly) {
  AutoRelease<Hvd::ISourceLibrary> had(CitP::Factory::CreateInstance(Hvd::ClassId::SourceLibrary()));
  AutoRelease<Hvd::ISourceLibrary> loaded(CitP::Factory::CreateInstance(Hvd::ClassId::SourceLibrary()));
  for (Hvd::ISourceLibrary* library : {had.Get(), loaded.Get()})
    ASSERT_EQ(AutoCast<Hvd::ISourceLibraryInternal>(library)->SetLibraryType(1), kSuccess);
  AutoRelease<Hvd::IHdlFile> file = NewFile("src/a.vhd", "FILE_VHDL");
  AutoCast<Hvd::ISourceLibraryMember> member(file.Get());
  ASSERT_EQ(member->SetLibrary(had.Get()), kSuccess);
  Recorder recorder;
  for (CitI::IInterface* sender : {Root(file.Get()), Root(had.Get()), Root(loaded.Get())}) recorder.Listen(sender);

  ASSERT_EQ(AutoCast<Hvd::ISourceLibraryMemberInternal>(file.Get())->AdoptLibrary(loaded.Get()), kSuccess);
  EXPECT_TRUE(recorder.heard.empty());
  AutoRelease<Hvd::ISourceLibrary> held;
  ASSERT_EQ(member->GetLibrary(held.Receive()), kSuccess);
  EXPECT_EQ(held.Get(), loaded.Get());
  EXPECT_EQ(AutoCast<Hvd::IHdlFileSet>(had.Get())->Size(), 0u);
  ASSERT_EQ(loaded->AddFileToLibrary(file.Get()), kSuccess);  // listed, as the load lists it
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(file.Get())->Teardown(), kSuccess);
  EXPECT_EQ(AutoCast<Hvd::IHdlFileSet>(loaded.Get())->Size(), 0u);
}

// A library lists its members without counting them: a file must leave it before it goes.
TEST_F(FileTest, NoLibraryKeepsAFileThatIsTornDownOrGone) {
  AutoRelease<Hvd::ISourceLibrary> library(CitP::Factory::CreateInstance(Hvd::ClassId::SourceLibrary()));
  ASSERT_EQ(AutoCast<Hvd::ISourceLibraryInternal>(library.Get())->SetLibraryType(1), kSuccess);
  auto members = [&] {
    AutoRelease<Hvd::IHdlFileIterator> it;
    EXPECT_EQ(AutoCast<Hvd::IHdlFileSet>(library.Get())->GetIterator(it.Receive()), kSuccess);
    return Drain(it.Get());  // touches each member: a file that is gone shows under ASan
  };
  AutoRelease<Hvd::IHdlFile> kept = NewFile("src/a.vhd", "FILE_VHDL");
  AutoRelease<Hvd::IHdlFile> gone = NewFile("src/b.vhd", "FILE_VHDL");
  for (Hvd::IHdlFile* file : {kept.Get(), gone.Get()})
    ASSERT_EQ(AutoCast<Hvd::ISourceLibraryMember>(file)->SetLibrary(library.Get()), kSuccess);
  EXPECT_EQ(members().size(), 2u);
  EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(kept.Get())->Teardown(), kSuccess);
  EXPECT_EQ(members(), Files{Root(gone.Get())});
  gone = nullptr;
  EXPECT_TRUE(members().empty());
}

}  // namespace
