// The project's snapshots: where they lie, how they are named, listed, renamed and removed, the
// snapshot's own project, and the restore over the live project, which either succeeds or
// leaves the project as it was.

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <future>
#include <functional>
#include <regex>
#include <string_view>
#include <utility>

#include "Hvd/ICheckpoint.h"
#include "Hvd/IProjectCopy.h"
#include "Hvd/IProjectHelper.h"
#include "Port/FaultInjection.h"
#include "Prjrep/Storage.h"
#include "XhlcProject.h"
#include "core/RefCount.h"
#include "project/snapshot/CCheckpointManager.h"
#include "project/snapshot/Restore.h"
#include "support/Records.h"
#include "utils/DirectoryLock.h"
#include "utils/DmUtils.h"
#include "utils/FileUtils.h"
#include "utils/InterpHelp.h"
#include "utils/OwnedFolder.h"
#include "utils/PropertyAccessor.h"

namespace xhlc_test {
namespace {

using Hvd::kSuccess;

// A bundle that stands for the snapshot's directory: extracting copies it over the target.
class BundleDouble final : public Hvd::TComponent<BundleDouble> {
 public:
  explicit BundleDouble(fs::path source) : m_source(std::move(source)) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IProjectBundle>(&m_face), Hvd::Row<CitI::IInterface>(&m_face),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount));
  }

 private:
  struct Face : Hvd::TNested<BundleDouble, Hvd::IProjectBundle> {
    using TNested::TNested;
    Hvd::Status Initialize(const Text&, const Text&, const Text&) override { return Hvd::kNotSupported; }
    Hvd::Status Create(bool) override { return Hvd::kNotSupported; }
    Hvd::Status Delete() override { return Hvd::kNotSupported; }
    Hvd::Status Exists(bool*) override { return Hvd::kNotSupported; }
    Hvd::Status Open(std::uint32_t) override { return Hvd::kNotSupported; }
    Hvd::Status Close(bool) override { return Hvd::kNotSupported; }
    Hvd::Status Rename(const Text&) override { return Hvd::kNotSupported; }
    Hvd::Status AddItem(const Text&, const Text&) override { return Hvd::kNotSupported; }
    Hvd::Status ReservedOperation9() override { return Hvd::kNotSupported; }
    Hvd::Status ReservedOperation10() override { return Hvd::kNotSupported; }
    Hvd::Status GetItemPath(const Text&, Text*) override { return Hvd::kNotSupported; }
    Hvd::Status ExtractTo(const Text& target, Prjrep::IStringIterator** failed) override {
      AutoRelease<Prjrep::IStringSet> failures;
      const Hvd::Status status =
          Hvd::FileUtils::CopyDirectoryTree(This().m_source.c_str(), target, 2, failures.Receive());
      if (failures && failed != nullptr) std::ignore = failures->GetIterator(failed);
      return status;
    }
    Hvd::Status ReservedOperation13() override { return Hvd::kNotSupported; }
  } m_face{this};
  Prjrep::TRefCountHelper<BundleDouble> m_refCount{this};
  fs::path m_source;
};

// The live project's helper: closes the project and opens it again, failing when told to.
class HelperDouble final : public Hvd::TComponent<HelperDouble> {
 public:
  explicit HelperDouble(Hvd::IProject* project) : m_project(project) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IProjectHelper>(&m_helper), Hvd::Row<Hvd::IProjectHelper2>(&m_opener),
                      Hvd::Row<Hvd::IProjectCompReference>(&m_reference), Hvd::Row<CitI::IInterface>(&m_helper),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount));
  }
  Hvd::Status closeAnswer = kSuccess;
  int openFailures = 0;
  int closes = 0;
  int opens = 0;
  std::function<void()> beforeClose;  // runs once, as the close is asked for
  std::function<void()> afterOpen;   // runs once the project is open again
  std::function<void()> beforeOpen;  // runs as the open is asked for, before it fails or opens

 private:
  Hvd::Status HandOut(CitI::IInterface** project) {
    Prjrep::AutoOut<CitI::IInterface> out(project);
    return out.Assign(m_project.Get());
  }
  struct Helper : Hvd::TNested<HelperDouble, Hvd::IProjectHelper> {
    using TNested::TNested;
    Hvd::Status MakeProject(const Text&) override { return Hvd::kNotSupported; }
    Hvd::Status AfterSourcesChanged(std::int32_t) override { return kSuccess; }
    Hvd::Status CloseProject() override {
      ++This().closes;
      if (This().beforeClose) std::exchange(This().beforeClose, nullptr)();
      if (This().closeAnswer != kSuccess) return This().closeAnswer;
      return This().m_project->ProjectClose(false);
    }
    Hvd::Status AfterMakeProject() override { return kSuccess; }
    Hvd::Status GetProject(CitI::IInterface** project) override { return This().HandOut(project); }
  } m_helper{this};
  struct Opener : Hvd::TNested<HelperDouble, Hvd::IProjectHelper2> {
    using TNested::TNested;
    Hvd::Status OpenProject(const Text& path) override {
      ++This().opens;
      if (This().beforeOpen) std::exchange(This().beforeOpen, nullptr)();
      if (This().openFailures > 0 && This().openFailures-- > 0) return Hvd::kFailure;
      const Hvd::Status opened = This().m_project->Open(path);
      if (This().afterOpen) This().afterOpen();
      return opened;
    }
    Hvd::Status GetProject(CitI::IInterface** project) override { return This().HandOut(project); }
  } m_opener{this};
  struct Reference : Hvd::TNested<HelperDouble, Hvd::IProjectCompReference> {
    using TNested::TNested;
    Hvd::Status SetProject(CitI::IInterface*) override { return Hvd::kNotSupported; }
    Hvd::Status GetProject(Hvd::IProject** project) override {
      Prjrep::AutoOut<Hvd::IProject> out(project);
      return out.Assign(This().m_project.Get());
    }
  } m_reference{this};
  Prjrep::TRefCountHelper<HelperDouble> m_refCount{this};
  AutoPtr<Hvd::IProject> m_project;
};

// A project that only knows its paths and records the copy it is asked for.
class CopyingProjectDouble final : public Hvd::TComponent<CopyingProjectDouble> {
 public:
  CopyingProjectDouble(fs::path file, fs::path working) : m_file(std::move(file)), m_working(std::move(working)) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IProject2>(&m_project), Hvd::Row<Hvd::IProject>(&m_project),
                      Hvd::Row<Hvd::IProjectSaveAsArchive2>(&m_copy), Hvd::Row<CitI::IInterface>(&m_project),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount));
  }
  struct Copy {
    std::string target, working, description, remote;
    std::uint32_t options = 0;
  };
  std::vector<Copy> copies;
  Hvd::Status copyAnswer = kSuccess;
  std::function<void()> duringCopy;  // what happens elsewhere while the copy is written

 private:
  struct Project : Hvd::TNested<CopyingProjectDouble, Hvd::IProject2> {
    using TNested::TNested;
    Hvd::Status GetRepositoryPath(Text*) override { return Hvd::kNotSupported; }
    Hvd::Status Open(const Text&) override { return Hvd::kNotSupported; }
    Hvd::Status ProjectClose(bool) override { return Hvd::kNotSupported; }
    Hvd::Status Save() override { return Hvd::kNotSupported; }
    Hvd::Status GetDesign(Hvd::IDesign**) override { return Hvd::kNotSupported; }
    Hvd::Status ProjectCleanUp() override { return Hvd::kNotSupported; }
    Hvd::Status GetReadOnly(bool*) override { return Hvd::kNotSupported; }
    Hvd::Status IsOpen(bool*) override { return Hvd::kNotSupported; }
    Hvd::Status GetConnectionManager(Hvd::Ipc::IConnectionManager**) override { return Hvd::kNotSupported; }
    Hvd::Status ReconcileProject() override { return Hvd::kNotSupported; }
    Hvd::Status GetProjectFilePath(Text* path) override {
      *path = This().m_file.c_str();
      return kSuccess;
    }
    Hvd::Status GetGeneratedFilePath(Text*) override { return Hvd::kNotSupported; }
    Hvd::Status GetWorkingDirectory(Text* path) override {
      *path = This().m_working.c_str();
      return kSuccess;
    }
  } m_project{this};
  struct Copier : Hvd::TNested<CopyingProjectDouble, Hvd::IProjectSaveAsArchive2> {
    using TNested::TNested;
    Hvd::Status SaveAs(const Text&) override { return Hvd::kNotSupported; }
    Hvd::Status SaveAsArchive(const Text&, Text*) override { return Hvd::kNotSupported; }
    Hvd::Status CopyProject(const Text& target, std::uint32_t options, const Text& working, const Text& description,
                            Text* remote) override {
      This().copies.push_back({target.str(), working.str(), description.str(), remote->str(), options});
      if (This().copyAnswer != kSuccess) return This().copyAnswer;
      if (This().duringCopy) std::exchange(This().duringCopy, nullptr)();
      WriteText(fs::path(target.str()).replace_extension(".xhlc"), "copy " + description.str());
      return kSuccess;
    }
  } m_copy{this};
  Prjrep::TRefCountHelper<CopyingProjectDouble> m_refCount{this};
  fs::path m_file;
  fs::path m_working;
};

bool Said(const std::string& part) {
  for (const auto& record : Port_MsgManData::Captured())
    if (record.text.find(part) != std::string::npos) return true;
  return false;
}

class SnapshotTest : public XhlcProject {
 protected:
  void OpenProject() {
    m_project = AutoRelease<Hvd::IProject>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    ASSERT_TRUE(m_project);
    ASSERT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->SetSaveDelay(0), kSuccess);
    ASSERT_EQ(m_project->Open(m_file.c_str()), kSuccess);
  }
  AutoCast<Hvd::ICheckpointManager> Manager() { return AutoCast<Hvd::ICheckpointManager>(m_project.Get()); }
  // A take of `name` through `manager`: the snapshot object, then its files.
  static Hvd::Status Take(Hvd::CCheckpointManager& manager, const char* name) {
    AutoRelease<Hvd::ICheckpoint> made;
    EXPECT_EQ(manager.Face()->CreateCheckpoint(name, "", made.Receive()), kSuccess);
    return made ? made->CreateCheckpointProject() : Hvd::kFailure;
  }
  // A snapshot as the copy leaves it: the project file and its marker in snapshots/<name>.
  fs::path PutSnapshot(const std::string& name) {
    const fs::path directory = m_dir / "snapshots" / name;
    fs::create_directories(directory);
    fs::copy_file(m_file, directory / "p.xhlc", fs::copy_options::overwrite_existing);
    fs::copy_file(m_file, directory / "p.snp", fs::copy_options::overwrite_existing);
    return directory;
  }
  static std::string NameOf(Hvd::ICheckpoint* checkpoint) {
    Text name;
    EXPECT_EQ(checkpoint->GetName(&name), kSuccess);
    return name.str();
  }
  static Strings Walk(Hvd::ICheckpointIterator* at) {
    Strings names;
    for (; at != nullptr && !at->IsDone(); std::ignore = at->Next()) names.push_back(NameOf(at->Current()));
    return names;
  }
  Strings Listed() {
    AutoRelease<Hvd::ICheckpointIterator> at;
    EXPECT_EQ(Manager()->GetCheckpoints(at.Receive()), kSuccess);
    return Walk(at.Get());
  }
  AutoRelease<Hvd::ICheckpoint> Find(const std::string& name) {
    AutoRelease<Hvd::ICheckpoint> found;
    std::ignore = Manager()->FindCheckpoint(name.c_str(), found.Receive());
    return found;
  }
};

TEST_F(SnapshotTest, ListsTheMarkedDirectoriesUnderTheProjectFromAnyCurrentDirectory) {
  OpenProject();
  ASSERT_TRUE(Manager());
  EXPECT_EQ(Listed(), Strings{});  // no "snapshots" directory yet
  PutSnapshot("b");
  PutSnapshot("a");
  fs::create_directories(m_dir / "snapshots" / "unmarked");
  WriteText(m_dir / "snapshots" / "plain", "x");
  fs::create_directory_symlink(m_dir / "snapshots" / "a", m_dir / "snapshots" / "linked");
  EXPECT_EQ(Listed(), (Strings{"a", "b"}));

  // Listed under the project's own directory, wherever the process stands.
  const fs::path before = fs::current_path();
  fs::create_directories(m_root / "elsewhere" / "snapshots" / "c");
  WriteText(m_root / "elsewhere" / "snapshots" / "c" / "p.snp", "x");
  fs::current_path(m_root / "elsewhere");
  const Strings listed = Listed();
  const bool found = Find("a").Get() != nullptr;
  const bool foreign = Find("c").Get() != nullptr;
  fs::current_path(before);
  EXPECT_EQ(listed, (Strings{"a", "b"}));
  EXPECT_TRUE(found);
  EXPECT_FALSE(foreign);

  EXPECT_EQ(Manager()->GetCheckpoints(nullptr), Hvd::kInvalidParameter);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "GetCheckpoints - invalid argument"));
}

TEST_F(SnapshotTest, SnapshotNamesAreSinglePathComponents) {
  OpenProject();
  PutSnapshot("kept");
  for (const char* name : {".", "..", "a/b", "../p", "..\\x", "x\\y", "/abs"}) {
    AutoRelease<Hvd::ICheckpoint> made;
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(Manager()->CreateCheckpoint(name, "", made.Receive()), Hvd::kInvalidParameter) << name;
    EXPECT_FALSE(made) << name;
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "Not a snapshot name")) << name;
    EXPECT_EQ(Manager()->RemoveCheckpointByName(name), Hvd::kFailure) << name;
  }
  AutoRelease<Hvd::ICheckpoint> made;
  EXPECT_EQ(Manager()->CreateCheckpoint("", "", made.Receive()), Hvd::kInvalidParameter);
  EXPECT_EQ(Manager()->CreateCheckpoint("ok", "", nullptr), Hvd::kInvalidParameter);

  // A snapshot cannot be renamed out of its place either, and keeps its name and files.
  AutoRelease<Hvd::ICheckpoint> kept = Find("kept");
  ASSERT_TRUE(kept);
  for (const char* name : {"..", ".", "", "../../escaped", "sub/dir"}) {
    EXPECT_EQ(kept->SetName(name), Hvd::kFailure) << name;
    EXPECT_EQ(NameOf(kept.Get()), "kept");
  }
  EXPECT_EQ(AutoCast<Prjrep::IName>(kept.Get())->SetName(".."), Hvd::kFailure);
  EXPECT_TRUE(fs::is_regular_file(m_dir / "snapshots" / "kept" / "p.snp"));
  EXPECT_FALSE(fs::exists(m_root / "escaped"));
  EXPECT_TRUE(fs::is_regular_file(m_file));
}

TEST_F(SnapshotTest, MadeFoundAndRemovedByExactName) {
  OpenProject();
  PutSnapshot("snap1");
  AutoRelease<Hvd::ICheckpoint> made;
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(Manager()->CreateCheckpoint("snap1", "d", made.Receive()), Hvd::kFailure);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "The checkpoint \"snap1\" already exists"));
  EXPECT_FALSE(Find("Snap1"));  // names are case-sensitive

  ASSERT_EQ(Manager()->CreateCheckpoint("fresh", "about it", made.Receive()), kSuccess);
  ASSERT_TRUE(made);
  EXPECT_EQ(NameOf(made.Get()), "fresh");
  Text description;
  EXPECT_EQ(made->GetDescription(&description), kSuccess);
  EXPECT_EQ(description.str(), "about it");
  // The two reserved operations do nothing and hand nothing out.
  CitI::IInterface* out = made.Get();
  EXPECT_EQ(made->UnsupportedQuery(&out), Hvd::kNotSupported);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(made->UnsupportedQuery(nullptr), Hvd::kNotSupported);
  EXPECT_EQ(made->UnsupportedOperation(), Hvd::kNotSupported);
  // Nothing is on disk for it yet: the listing does not hold it and the name is free again.
  EXPECT_EQ(Listed(), Strings{"snap1"});
  AutoRelease<Hvd::ICheckpoint> again;
  EXPECT_EQ(Manager()->CreateCheckpoint("fresh", "", again.Receive()), kSuccess);

  EXPECT_EQ(Manager()->RemoveCheckpointByName("unknown"), Hvd::kFailure);
  EXPECT_EQ(Manager()->RemoveCheckpointByName(""), Hvd::kInvalidParameter);
  EXPECT_EQ(Manager()->RemoveCheckpoint(nullptr), Hvd::kInvalidParameter);
  EXPECT_EQ(Manager()->RemoveCheckpointByName("snap1"), kSuccess);
  EXPECT_FALSE(fs::exists(m_dir / "snapshots" / "snap1"));
  EXPECT_TRUE(fs::is_regular_file(m_file));
  EXPECT_EQ(Listed(), Strings{});
}

TEST_F(SnapshotTest, AListingStaysWhatItWasWhileItsIteratorLives) {
  OpenProject();
  PutSnapshot("a");
  PutSnapshot("b");
  AutoRelease<Hvd::ICheckpointIterator> first;
  ASSERT_EQ(Manager()->GetCheckpoints(first.Receive()), kSuccess);
  EXPECT_EQ(NameOf(first->Current()), "a");
  // Later listings, look-ups and makes leave the first listing alone.
  PutSnapshot("c");
  EXPECT_EQ(Listed(), (Strings{"a", "b", "c"}));
  EXPECT_TRUE(Find("b"));
  AutoRelease<Hvd::ICheckpoint> made;
  EXPECT_EQ(Manager()->CreateCheckpoint("d", "", made.Receive()), kSuccess);
  ASSERT_FALSE(first->IsDone());
  EXPECT_EQ(NameOf(first->Current()), "a");

  // Removed through the first listing's iterator: the files go, and that listing moves on.
  EXPECT_EQ(Manager()->RemoveCheckpoint(first.Get()), kSuccess);
  EXPECT_FALSE(fs::exists(m_dir / "snapshots" / "a"));
  EXPECT_EQ(Walk(first.Get()), Strings{"b"});
  std::ignore = first->Reset();
  EXPECT_EQ(Walk(first.Get()), Strings{"b"});
  EXPECT_EQ(Listed(), (Strings{"b", "c"}));
}

// The manager holds its project without a count, and so do its snapshots: a project let go
// after a listing goes, and a snapshot kept beyond it no longer reaches it.
TEST_F(SnapshotTest, ProjectGoesWhileItsSnapshotsAreHeld) {
  OpenProject();
  PutSnapshot("a");
  AutoRelease<Hvd::ICheckpointIterator> listing;
  ASSERT_EQ(Manager()->GetCheckpoints(listing.Receive()), kSuccess);
  AutoRelease<Hvd::ICheckpoint> kept = Find("a");
  ASSERT_TRUE(kept);
  // The snapshot and the listing hold no count on it: closed and let go, the project is gone.
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  m_project = nullptr;
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(kept->DeleteCheckpointFiles(), Hvd::kFailure);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "ERROR: ICheckpoint - The project is not set."));
  EXPECT_TRUE(fs::is_regular_file(m_dir / "snapshots" / "a" / "p.snp"));
  EXPECT_EQ(Walk(listing.Get()), Strings{"a"});
}

TEST_F(SnapshotTest, RenameMovesTheDirectoryOnlyToAFreeName) {
  OpenProject();
  PutSnapshot("a");
  PutSnapshot("b");
  AutoRelease<Hvd::ICheckpoint> a = Find("a");
  ASSERT_TRUE(a);
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(a->SetName("b"), Hvd::kFailure);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "A snapshot already exists with this name: \"b\""));
  EXPECT_EQ(NameOf(a.Get()), "a");
  EXPECT_EQ(a->SetName("c"), kSuccess);
  EXPECT_TRUE(fs::is_regular_file(m_dir / "snapshots" / "c" / "p.snp"));
  EXPECT_FALSE(fs::exists(m_dir / "snapshots" / "a"));
  // A rename that fails on disk keeps the name that still matches the files.
  {
    Port::FaultInjection::Scope faults;
    Port::FaultInjection::Fail("rename");
    EXPECT_EQ(a->SetName("d"), Hvd::kFailure);
  }
  EXPECT_EQ(NameOf(a.Get()), "c");
  EXPECT_TRUE(fs::is_directory(m_dir / "snapshots" / "c"));
  // Without files of its own a snapshot just takes the name.
  AutoRelease<Hvd::ICheckpoint> made;
  ASSERT_EQ(Manager()->CreateCheckpoint("e", "", made.Receive()), kSuccess);
  EXPECT_EQ(made->SetName("f"), kSuccess);
  EXPECT_EQ(NameOf(made.Get()), "f");
}

// Removal takes a link away as a link and never reaches through one out of the project.
TEST_F(SnapshotTest, RemovalNeverFollowsLinks) {
  OpenProject();
  const fs::path outside = m_root / "outside";
  WriteText(outside / "p.snp", "keep");
  fs::create_directories(m_dir / "snapshots");
  fs::create_directory_symlink(outside, m_dir / "snapshots" / "link");
  AutoRelease<Hvd::ICheckpoint> link;
  ASSERT_EQ(Manager()->CreateCheckpoint("link", "", link.Receive()), kSuccess);
  EXPECT_EQ(link->DeleteCheckpointFiles(), kSuccess);
  EXPECT_FALSE(fs::exists(fs::symlink_status(m_dir / "snapshots" / "link")));
  EXPECT_EQ(ReadText(outside / "p.snp"), "keep");

  // A "snapshots" that leads elsewhere is neither listed, nor renamed in, nor removed from.
  fs::remove_all(m_dir / "snapshots");
  fs::create_directories(outside / "s");
  WriteText(outside / "s" / "p.snp", "keep");
  fs::create_directory_symlink(outside, m_dir / "snapshots");
  AutoRelease<Hvd::ICheckpoint> through;
  ASSERT_EQ(Manager()->CreateCheckpoint("s", "", through.Receive()), kSuccess);
  EXPECT_FALSE(Find("s"));
  EXPECT_EQ(through->SetName("t"), Hvd::kFailure);
  EXPECT_EQ(through->DeleteCheckpointFiles(), Hvd::kFailure);
  EXPECT_EQ(Manager()->RemoveCheckpointByName("s"), Hvd::kFailure);
  EXPECT_EQ(ReadText(outside / "s" / "p.snp"), "keep");
  EXPECT_FALSE(fs::exists(outside / "t"));
}

TEST_F(SnapshotTest, TheSnapshotsOwnProjectIsOpenedOnceAndDescribed) {
  OpenProject();
  const fs::path directory = PutSnapshot("s");
  AutoRelease<Hvd::ICheckpoint> s = Find("s");
  ASSERT_TRUE(s);
  AutoRelease<Hvd::IProject> first;
  AutoRelease<Hvd::IProject> second;
  ASSERT_EQ(s->OpenCheckpointProject(first.Receive()), kSuccess);
  ASSERT_EQ(s->OpenCheckpointProject(second.Receive()), kSuccess);
  EXPECT_EQ(first.Get(), second.Get());
  Text path;
  EXPECT_EQ(AutoCast<Hvd::IProject2>(first.Get())->GetProjectFilePath(&path), kSuccess);
  EXPECT_EQ(fs::path(path.str()), directory / "p.xhlc");
  EXPECT_EQ(s->CloseCheckpointProject(), kSuccess);
  bool open = true;
  EXPECT_EQ(first->IsOpen(&open), kSuccess);
  EXPECT_FALSE(open);
  EXPECT_EQ(s->CloseCheckpointProject(), kSuccess);  // nothing open

  EXPECT_EQ(s->SetDescription("the first try"), kSuccess);
  EXPECT_NE(ReadText(directory / "p.xhlc").find("the first try"), std::string::npos);
  Text description;
  EXPECT_EQ(s->GetDescription(&description), kSuccess);
  EXPECT_EQ(description.str(), "the first try");

  AutoRelease<Hvd::ICheckpoint> unwritten;
  ASSERT_EQ(Manager()->CreateCheckpoint("unwritten", "", unwritten.Receive()), kSuccess);
  EXPECT_EQ(unwritten->OpenCheckpointProject(nullptr), Hvd::kFailure);
  EXPECT_EQ(unwritten->SetDescription("kept in memory"), kSuccess);
}

// The snapshot's own project, closed by whoever it was handed to, is opened afresh by the next
// call; one whose file does not read is closed again and not kept.
TEST_F(SnapshotTest, TheSnapshotsProjectIsOpenedAgainOnceClosedAndNotKeptWhenItDoesNotOpen) {
  OpenProject();
  const fs::path directory = PutSnapshot("s");
  AutoRelease<Hvd::ICheckpoint> s = Find("s");
  ASSERT_TRUE(s);
  AutoRelease<Hvd::IProject> first;
  ASSERT_EQ(s->OpenCheckpointProject(first.Receive()), kSuccess);
  ASSERT_EQ(first->ProjectClose(false), kSuccess);
  AutoRelease<Hvd::IProject> second;
  ASSERT_EQ(s->OpenCheckpointProject(second.Receive()), kSuccess);
  ASSERT_TRUE(second);
  EXPECT_NE(second.Get(), first.Get());
  bool open = false;
  EXPECT_TRUE(second->IsOpen(&open) == kSuccess && open);
  EXPECT_TRUE(first->IsOpen(&open) == kSuccess && !open);
  EXPECT_EQ(s->CloseCheckpointProject(), kSuccess);
  EXPECT_TRUE(second->IsOpen(&open) == kSuccess && !open);

  const fs::path broken = m_dir / "snapshots" / "broken";
  WriteText(broken / "p.xhlc", "<project>broken");
  WriteText(broken / "p.snp", "<project>broken");
  AutoRelease<Hvd::ICheckpoint> b = Find("broken");
  ASSERT_TRUE(b);
  AutoRelease<Hvd::IProject> none;
  EXPECT_EQ(b->OpenCheckpointProject(none.Receive()), Hvd::kFailure);
  EXPECT_FALSE(none);
  EXPECT_FALSE(Hvd::GetActiveProjectOfRepository((broken / "p.xhlc").c_str())) << "closed again";
  EXPECT_EQ(b->CloseCheckpointProject(), kSuccess) << "nothing kept to close";
  EXPECT_EQ(ReadText(broken / "p.xhlc"), "<project>broken");
  // Mended, it opens.
  fs::copy_file(m_file, broken / "p.xhlc", fs::copy_options::overwrite_existing);
  EXPECT_EQ(b->OpenCheckpointProject(none.Receive()), kSuccess);
  EXPECT_TRUE(none && none->IsOpen(&open) == kSuccess && open);
  EXPECT_EQ(b->CloseCheckpointProject(), kSuccess);
}

// A project the host holds open on a snapshot's project file, registered as "HvdProject" in the
// repository named by that file or by the older generation's name of it (the file's base name
// with ".hlc", in the working folder the file names: relative to the file's folder, or absolute),
// is handed out as it is; it is not the snapshot's to keep or close.
TEST_F(SnapshotTest, AProjectTheHostHoldsOpenIsHandedOutAndLeftToTheHost) {
  OpenProject();
  ASSERT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->ChangeWorkingDirectory((m_dir / "work").c_str(), true, false),
            kSuccess);
  const fs::path directory = PutSnapshot("s");
  AutoRelease<Hvd::ICheckpoint> s = Find("s");
  ASSERT_TRUE(s);
  AutoRelease<Hvd::IProject> host(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  ASSERT_TRUE(host);
  ASSERT_EQ(host->Open((directory / "p.xhlc").c_str()), kSuccess);
  const auto handedOut = [&](const fs::path& repositoryName) {
    AutoRelease<Prjrep::IProjectRepository> repository = Hvd::FindAutonymByName(repositoryName.c_str(), true);
    EXPECT_EQ(Hvd::RegisterNamedObject(repository.Get(), "HvdProject", host.Get(), true), kSuccess);
    AutoRelease<Hvd::IProject> out;
    const Hvd::Status status = s->OpenCheckpointProject(out.Receive());
    if (AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get()); names)
      std::ignore = names->UnregisterObject(host.Get());
    return status == kSuccess && out.Get() == host.Get();
  };
  EXPECT_TRUE(handedOut(directory / "p.xhlc"));
  EXPECT_EQ(s->CloseCheckpointProject(), kSuccess);
  bool open = false;
  EXPECT_TRUE(host->IsOpen(&open) == kSuccess && open) << "the host's, not closed by the snapshot";
  EXPECT_TRUE(handedOut(directory / "work" / "p.hlc"));
  // Read as written, without being made absolute first, the value is taken in the file's folder.
  ::setenv("VEL_CORVANE_ENABLE_ABSOLUTE_WDIR", "1", 1);
  const bool asWritten = handedOut(directory / "work" / "p.hlc");
  ::unsetenv("VEL_CORVANE_ENABLE_ABSOLUTE_WDIR");
  EXPECT_TRUE(asWritten);
  EXPECT_TRUE(host->IsOpen(&open) == kSuccess && open);
  EXPECT_EQ(host->ProjectClose(false), kSuccess);

  // A working folder the snapshot's file names by its absolute path.
  std::string text = ReadText(directory / "p.xhlc");
  const std::string relative = "vel_kv:value=\"work\"";
  const auto at = text.find(relative);
  ASSERT_NE(at, std::string::npos) << text;
  const fs::path absolute = m_root / "elsewhere";
  fs::create_directories(absolute);
  text.replace(at, relative.size(), "vel_kv:value=\"" + absolute.string() + "\"");
  WriteText(directory / "p.xhlc", text);
  ASSERT_EQ(host->Open((directory / "p.xhlc").c_str()), kSuccess);
  EXPECT_TRUE(handedOut(absolute / "p.hlc"));
  EXPECT_FALSE(handedOut(directory / "work" / "p.hlc")) << "the snapshot's project is opened instead";
  EXPECT_EQ(s->CloseCheckpointProject(), kSuccess);
  EXPECT_TRUE(host->IsOpen(&open) == kSuccess && open);
  EXPECT_EQ(host->ProjectClose(false), kSuccess);
}

// A description the snapshot's project cannot save is not set: the snapshot keeps the one it
// had, and its project stays open with it, until a description can be saved.
TEST_F(SnapshotTest, ADescriptionThatCannotBeSavedIsNotSet) {
  OpenProject();
  const fs::path directory = PutSnapshot("s");
  AutoRelease<Hvd::ICheckpoint> s = Find("s");
  ASSERT_TRUE(s);
  ASSERT_EQ(s->SetDescription("saved"), kSuccess);
  const auto description = [&s] {
    Text text;
    EXPECT_EQ(s->GetDescription(&text), kSuccess);
    return text.str();
  };
  AutoRelease<Hvd::IProject> refused;
  {
    Port::FaultInjection::Scope faults;
    Port::FaultInjection::Fail("canwrite", 0, "snapshots/s/p.xhlc");
    EXPECT_EQ(s->SetDescription("refused"), Hvd::kProjectReadOnly);
    EXPECT_EQ(description(), "saved");
    ASSERT_EQ(s->OpenCheckpointProject(refused.Receive()), kSuccess);
    EXPECT_EQ(Hvd::PropertyAccessor(refused.Get()).GetPropertyValue("PROP_ProjectDescription").str(), "saved");
    EXPECT_EQ(s->SetDescription("refused again"), Hvd::kProjectReadOnly);
    AutoRelease<Hvd::IProject> again;
    ASSERT_EQ(s->OpenCheckpointProject(again.Receive()), kSuccess);
    EXPECT_EQ(again.Get(), refused.Get()) << "the open project stays cached";
  }
  EXPECT_EQ(ReadText(directory / "p.xhlc").find("refused"), std::string::npos);

  EXPECT_EQ(s->SetDescription("later"), kSuccess);
  EXPECT_EQ(description(), "later");
  EXPECT_NE(ReadText(directory / "p.xhlc").find("later"), std::string::npos);
  EXPECT_EQ(ReadText(directory / "p.xhlc").find("refused"), std::string::npos);
  bool open = true;
  EXPECT_TRUE(refused->IsOpen(&open) == kSuccess && !open);
}

TEST_F(SnapshotTest, RestoreRefusesBeforeTouchingAnything) {
  OpenProject();
  PutSnapshot("s");
  AutoRelease<Hvd::ICheckpoint> s = Find("s");
  ASSERT_TRUE(s);
  const std::string before = ReadText(m_file);
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(s->RestoreCheckpointProject(nullptr, 0, nullptr), Hvd::kInvalidParameter);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "RestoreCheckpointProject - Bad Project Parameter"));
  AutoRelease<Hvd::IProject> restored;
  {
    Port::FaultInjection::Scope faults;
    Port::FaultInjection::Fail("canwrite_dir", 0, m_dir.filename().string());
    EXPECT_EQ(s->RestoreCheckpointProject(restored.Receive(), 0, nullptr), Hvd::kDirectoryWriteFailed);
  }
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "Cannot write into the Project directory"));
  AutoRelease<Hvd::ICheckpoint> unwritten;
  ASSERT_EQ(Manager()->CreateCheckpoint("unwritten", "", unwritten.Receive()), kSuccess);
  EXPECT_EQ(unwritten->RestoreCheckpointProject(restored.Receive(), 0, nullptr), Hvd::kFailure);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "The snapshot project does not exist"));
  EXPECT_FALSE(restored);
  EXPECT_EQ(ReadText(m_file), before);
  bool open = false;
  EXPECT_EQ(m_project->IsOpen(&open), kSuccess);
  EXPECT_TRUE(open);
}

// A snapshot's description is written into its project file, and its name heads the paths of
// its files: what no project file can hold is refused, named with its controls escaped, and no
// snapshot is made, renamed or described.
TEST_F(SnapshotTest, NamesAndDescriptionsNoProjectFileCanHoldAreRefused) {
  OpenProject();
  const fs::path kept = PutSnapshot("kept");
  AutoRelease<Hvd::ICheckpoint> s = Find("kept");
  ASSERT_TRUE(s);
  ASSERT_EQ(s->SetDescription("as it was"), kSuccess);
  const std::string before = ReadText(kept / "p.xhlc");
  for (const auto& [bad, shown] : {std::pair{"a\x01", "\"a\\x01\""}, std::pair{"a\x1b", "\"a\\x1b\""}}) {
    Port_MsgManData::ClearCaptured();
    AutoRelease<Hvd::ICheckpoint> made;
    EXPECT_EQ(Manager()->CreateCheckpoint(bad, "", made.ReleaseAndReceive()), Hvd::kInvalidParameter) << shown;
    EXPECT_EQ(Manager()->CreateCheckpoint("fine", bad, made.ReleaseAndReceive()), Hvd::kInvalidParameter) << shown;
    EXPECT_FALSE(made);
    EXPECT_EQ(s->SetName(bad), Hvd::kInvalidParameter) << shown;
    EXPECT_EQ(s->SetDescription(bad), Hvd::kInvalidParameter) << shown;
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, std::string("The snapshot name ") + shown)) << shown;
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, std::string("The snapshot description ") + shown)) << shown;
  }
  EXPECT_EQ(Listed(), Strings{"kept"});
  Text description;
  EXPECT_TRUE(s->GetDescription(&description) == kSuccess && description.str() == "as it was");
  EXPECT_EQ(ReadText(kept / "p.xhlc"), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir / "snapshots"), fs::directory_iterator()), 1);
}

// A snapshot's project file that another program wrote with what no project file can hold is
// refused before the live project is touched, with the parser's error naming the snapshot's file.
TEST_F(SnapshotTest, ARestoreNamesTheSnapshotsProjectFileThatCannotBeRead) {
  OpenProject();
  const fs::path directory = PutSnapshot("s");
  std::string text = ReadText(directory / "p.xhlc");
  const std::size_t at = text.find("vel_kv:name=\"");
  ASSERT_NE(at, std::string::npos);
  WriteText(directory / "p.xhlc", text.insert(at + 14, "\x1b"));
  const std::string before = ReadText(m_file);
  AutoRelease<Hvd::ICheckpoint> s = Find("s");
  ASSERT_TRUE(s);
  Port_MsgManData::ClearCaptured();
  AutoRelease<Hvd::IProject> restored;
  EXPECT_EQ(s->RestoreCheckpointProject(restored.Receive(), 0, nullptr), Hvd::kFailure);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "while parsing file " + (directory / "p.xhlc").string()));
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "invalid character 0x1B"));
  EXPECT_FALSE(restored);
  EXPECT_EQ(ReadText(m_file), before);
  bool open = false;
  EXPECT_TRUE(m_project->IsOpen(&open) == kSuccess && open);
}

// Snapshots of the older stored form are read and dropped; a snapshot is never stored itself.
TEST_F(SnapshotTest, OlderStoredRecordsAreReadAndStopAtTheFirstFailure) {
  OpenProject();
  AutoRelease<Hvd::ICheckpoint> made;
  ASSERT_EQ(Manager()->CreateCheckpoint("s", "", made.Receive()), kSuccess);
  AutoCast<Prjrep::IPersist> persist(made.Get());
  ASSERT_TRUE(persist);
  Port::XUID id;
  EXPECT_EQ(persist->GetClassId(id), kSuccess);
  EXPECT_EQ(id, Port::XUID("{29071B8C-9AC0-4dc1-9E41-AC6D3E0D244E}"));
  // A fresh stream holding `values`, read from its start.
  const auto stream = [](const std::function<void(Prjrep::IStorage*)>& values) {
    AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
    values(storage.Get());
    std::ignore = AutoCast<Prjrep::IStorageControl>(storage.Get())->Rewind();
    return storage;
  };
  const Text text("x");
  const Port::XUID written = Port::XUID::New();
  const auto record = [&](std::int32_t count, int pairs) {
    return stream([&](Prjrep::IStorage* storage) {
      for (int i = 0; i < 3; ++i) std::ignore = storage->WriteString(&text);
      std::ignore = storage->WriteXuid(&written);
      std::ignore = storage->WriteInt32(count);
      for (int i = 0; i < 2 * pairs; ++i) std::ignore = storage->WriteString(&text);
    });
  };
  EXPECT_EQ(persist->PersistSave(record(0, 0).Get()), Hvd::kNotSupported);
  EXPECT_EQ(persist->PersistLoad(nullptr), Hvd::kInvalidParameter);
  EXPECT_EQ(persist->PersistLoad(record(0, 0).Get()), kSuccess);
  EXPECT_EQ(persist->PersistLoad(record(2, 2).Get()), kSuccess);
  Port_MsgManData::ClearCaptured();
  EXPECT_NE(persist->PersistLoad(record(1, 0).Get()), kSuccess);  // the pair is missing
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "ERROR: PersistLoad Failed."));
  EXPECT_NE(persist->PersistLoad(record(0x7fffffff, 0).Get()), kSuccess);  // a count no record has
  EXPECT_EQ(NameOf(made.Get()), "s");

  AutoCast<Prjrep::IPersist> managerPersist(Manager().Get());
  ASSERT_TRUE(managerPersist);
  EXPECT_EQ(managerPersist->GetClassId(id), kSuccess);
  EXPECT_EQ(id, Port::XUID("{F4E308C5-122E-4cad-98BD-B57F8432E35A}"));
  EXPECT_EQ(managerPersist->PersistSave(record(0, 0).Get()), Hvd::kNotSupported);
  EXPECT_EQ(managerPersist->PersistLoad(nullptr), Hvd::kInvalidParameter);
  EXPECT_EQ(managerPersist->PersistLoad(stream([](Prjrep::IStorage* s) { std::ignore = s->WriteInt32(0); }).Get()),
            kSuccess);
  Port_MsgManData::ClearCaptured();
  EXPECT_NE(managerPersist->PersistLoad(stream([](Prjrep::IStorage* s) { std::ignore = s->WriteInt32(-1); }).Get()),
            kSuccess);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "ERROR: CCheckpointManager::Load Failed."));
  EXPECT_NE(managerPersist->PersistLoad(stream([](Prjrep::IStorage* s) { std::ignore = s->WriteInt32(3); }).Get()),
            kSuccess);
  // A stored object of a class this build cannot make fails the load with the read's status
  // and adds nothing to the listing the manager adds to.
  AutoRelease<Hvd::ICheckpointIterator> listed;
  ASSERT_EQ(Manager()->GetCheckpoints(listed.Receive()), kSuccess);
  {
    AutoRelease<Prjrep::IStorage> unknown = stream([&](Prjrep::IStorage* s) {
      AutoRelease<testing_support::IRecord> record(testing_support::CRecord::Make(7));
      std::ignore = s->WriteInt32(1);
      std::ignore = s->WriteString(&text);
      ASSERT_EQ(s->WriteObject(AutoCast<Prjrep::IPersist>(record.Get())), kSuccess);
    });
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(managerPersist->PersistLoad(unknown.Get()), Hvd::kFailure);
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "ERROR: CCheckpointManager::Load Failed."));
  }
  EXPECT_EQ(testing_support::CRecord::s_alive, 0);
  std::ignore = listed->Reset();
  EXPECT_EQ(Walk(listed.Get()), Strings{});
}

// The restore over the live project, step by step, with each step made to fail: the project is
// either the snapshot's and open, or what it was and open.
class RestoreTest : public SnapshotTest {
 protected:
  void SetUp() override {
    SnapshotTest::SetUp();
    WriteText(m_dir / "src" / "a.vhd", "old");
    OpenProject();
    m_snapshot = PutSnapshot("s");
    WriteText(m_snapshot / "src" / "a.vhd", "new");
    WriteText(m_snapshot / "src" / "b.vhd", "added");
    m_bundle = AutoRelease<Hvd::IProjectBundle>(new BundleDouble(m_snapshot));
    m_helperObject = new HelperDouble(m_project.Get());
    m_helper = AutoRelease<Hvd::IProjectHelper>(m_helperObject);
    m_before = ReadText(m_file);
  }
  void TearDown() override {
    m_helper = nullptr;
    m_bundle = nullptr;
    SnapshotTest::TearDown();
  }
  Hvd::Status Restore() {
    return Hvd::Snapshots::RestoreOver(m_bundle.Get(), m_helper.Get(), m_dir.c_str(), m_file.c_str(), nullptr);
  }
  bool ProjectOpen() {
    bool open = false;
    return m_project->IsOpen(&open) == kSuccess && open;
  }
  void ExpectAsItWas(const char* step) {
    EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd"), "old") << step;
    EXPECT_EQ(ReadText(m_file), m_before) << step;
    EXPECT_FALSE(fs::exists(m_dir / "p.snp")) << step;
    EXPECT_TRUE(ProjectOpen()) << step;
    EXPECT_TRUE(fs::is_regular_file(m_snapshot / "p.snp")) << step;
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_dir / ".p.restore"))) << step;
  }

  fs::path m_snapshot;
  AutoRelease<Hvd::IProjectBundle> m_bundle;
  HelperDouble* m_helperObject = nullptr;
  AutoRelease<Hvd::IProjectHelper> m_helper;
  std::string m_before;
};

TEST_F(RestoreTest, SucceedsWithTheSnapshotsFilesAndTheProjectOpenAgain) {
  EXPECT_EQ(Restore(), kSuccess);
  EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd"), "new");
  EXPECT_EQ(ReadText(m_dir / "src" / "b.vhd"), "added");
  EXPECT_FALSE(fs::exists(m_dir / "p.snp"));
  EXPECT_TRUE(fs::is_regular_file(m_snapshot / "p.snp"));  // the snapshot stays
  EXPECT_TRUE(ProjectOpen());
  EXPECT_EQ(m_helperObject->closes, 1);
  EXPECT_EQ(m_helperObject->opens, 1);
}

TEST_F(RestoreTest, AFailedStagingStopsBeforeTheProjectIsClosed) {
  Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("copy_p", 1, "src/a.vhd");
  Port_MsgManData::ClearCaptured();
  AutoRelease<Prjrep::IStringIterator> failed;
  EXPECT_NE(
      Hvd::Snapshots::RestoreOver(m_bundle.Get(), m_helper.Get(), m_dir.c_str(), m_file.c_str(), failed.Receive()),
      kSuccess);
  ASSERT_TRUE(failed);
  EXPECT_NE(failed->Current().str().find("a.vhd"), std::string::npos);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "Cannot stage the snapshot in the Project directory"));
  EXPECT_EQ(m_helperObject->closes, 0);
  ExpectAsItWas("staging");
  Port::FaultInjection::Clear();
  Port::FaultInjection::Fail("mkdir", 0, ".p.restore");
  EXPECT_EQ(Restore(), Hvd::kDirectoryWriteFailed);
  EXPECT_EQ(m_helperObject->closes, 0);
  ExpectAsItWas("folder");
  // A folder that cannot be taken away then is named; the answer stays the staging's.
  Port::FaultInjection::Clear();
  Port::FaultInjection::Fail("copy_p", 1, "src/a.vhd");
  Port::FaultInjection::Fail("rmdir", 0, ".p.restore");
  Port_MsgManData::ClearCaptured();
  const Hvd::Status staged = Restore();
  EXPECT_NE(staged, kSuccess);
  EXPECT_NE(staged, Hvd::kCleanupFailed);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "failed before it replaced any of the project's files, and "
                                                         "its folder \"" + (m_dir / ".p.restore").string() + "\""));
  EXPECT_TRUE(fs::exists(m_dir / ".p.restore"));
  EXPECT_EQ(m_helperObject->closes, 0);
}

TEST_F(RestoreTest, AFailedCloseLeavesEverything) {
  m_helperObject->closeAnswer = Hvd::kOwnerMissing;
  EXPECT_EQ(Restore(), Hvd::kOwnerMissing);
  EXPECT_EQ(m_helperObject->opens, 0);
  ExpectAsItWas("close");
}

TEST_F(RestoreTest, AFailedSwitchIsRolledBack) {
  Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("rename", 1, "new/src/a.vhd");
  EXPECT_EQ(Restore(), Hvd::kDirectoryWriteFailed);
  ExpectAsItWas("switch");
  EXPECT_EQ(m_helperObject->opens, 1);
}

TEST_F(RestoreTest, AFailedReopenIsRolledBack) {
  m_helperObject->openFailures = 1;
  EXPECT_EQ(Restore(), Hvd::kFailure);
  EXPECT_EQ(m_helperObject->opens, 2);
  ExpectAsItWas("reopen");
}

// The snapshot's copy holds the description it was taken with; the project keeps its own.
class DescribedRestoreTest : public RestoreTest {
 protected:
  void SetUp() override {
    RestoreTest::SetUp();
    Describe("when taken");
    m_snapshot = PutSnapshot("s");
    WriteText(m_snapshot / "src" / "a.vhd", "new");
    Describe("our own");
    m_before = ReadText(m_file);
  }
  void Describe(const char* description) {
    Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_ProjectDescription", description);
    ASSERT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(), kSuccess);
  }
  std::string Description() {
    return Hvd::PropertyAccessor(m_project.Get()).GetPropertyValue("PROP_ProjectDescription").str();
  }
};

TEST_F(DescribedRestoreTest, TheProjectKeepsItsOwnDescriptionAndTheSnapshotItsCopy) {
  ASSERT_EQ(Restore(), kSuccess);
  EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd"), "new");
  EXPECT_EQ(Description(), "our own");
  EXPECT_NE(ReadText(m_file).find("our own"), std::string::npos) << "saved";
  EXPECT_EQ(ReadText(m_file).find("when taken"), std::string::npos);
  EXPECT_NE(ReadText(m_snapshot / "p.xhlc").find("when taken"), std::string::npos) << "the snapshot stays";
  EXPECT_FALSE(fs::exists(fs::symlink_status(m_dir / ".p.restore")));
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  ASSERT_EQ(m_project->Open(m_file.c_str()), kSuccess);
  EXPECT_EQ(Description(), "our own") << "read back";
}

TEST_F(DescribedRestoreTest, ADescriptionThatCannotBeSavedRollsTheRestoreBack) {
  Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("write", 0, (m_dir / "p.xhlc").string());
  EXPECT_NE(Restore(), kSuccess);
  Port::FaultInjection::Clear();
  EXPECT_EQ(m_helperObject->opens, 2);
  ExpectAsItWas("saving the description");
  EXPECT_EQ(Description(), "our own");
  EXPECT_NE(ReadText(m_snapshot / "p.xhlc").find("when taken"), std::string::npos);
}

// When even the way back fails, the live entries are kept and named, never removed: the
// project is not opened over a half-restored folder, the user is told where its own files
// wait, and the next open puts them back.
TEST_F(RestoreTest, EntriesThatCannotBePutBackAreKeptUntilTheNextOpen) {
  m_helperObject->openFailures = 1;
  {
    Port::FaultInjection::Scope faults;
    Port::FaultInjection::Fail("rename", 0, "old/src/a.vhd");
    Port_MsgManData::ClearCaptured();
    EXPECT_NE(Restore(), kSuccess);
  }
  std::string kept;
  for (const auto& record : Port_MsgManData::Captured()) {
    std::smatch match;
    if (std::regex_search(record.text, match, std::regex("backup is kept at: \"([^\"]+)\""))) kept = match[1];
  }
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(ReadText(fs::path(kept) / "old" / "src" / "a.vhd"), "old");
  EXPECT_FALSE(ProjectOpen());
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "The interrupted snapshot restore of \"" + m_file.string() +
                                                             "\" could not be undone"));
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "are kept in \"" + kept + "\""));
  ASSERT_EQ(m_project->Open(m_file.c_str()), kSuccess);
  EXPECT_EQ(Listed(), Strings{"s"});
  EXPECT_FALSE(fs::exists(kept));
  ExpectAsItWas("put back later");
}

// A link in the live project is replaced by the snapshot's entry; what it leads to, outside
// the project, keeps someone else's change.
TEST_F(RestoreTest, LinksInTheProjectAreReplacedNotWrittenThrough) {
  WriteText(m_root / "shared" / "core.v", "changed elsewhere");
  WriteText(m_root / "outside.vhd", "outside");
  fs::create_symlink("../shared", m_dir / "ip");
  fs::create_symlink("../../outside.vhd", m_dir / "src" / "c.vhd");
  WriteText(m_snapshot / "ip" / "core.v", "as taken");
  WriteText(m_snapshot / "src" / "c.vhd", "as taken");
  ASSERT_EQ(Restore(), kSuccess);
  EXPECT_EQ(ReadText(m_root / "shared" / "core.v"), "changed elsewhere");
  EXPECT_EQ(ReadText(m_root / "outside.vhd"), "outside");
  EXPECT_EQ(fs::symlink_status(m_dir / "ip").type(), fs::file_type::directory);
  EXPECT_EQ(ReadText(m_dir / "ip" / "core.v"), "as taken");
  EXPECT_EQ(fs::symlink_status(m_dir / "src" / "c.vhd").type(), fs::file_type::regular);
  EXPECT_EQ(ReadText(m_dir / "src" / "c.vhd"), "as taken");
  EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd"), "new");
  EXPECT_FALSE(fs::exists(fs::symlink_status(m_dir / ".p.restore")));
}

// A folder where the snapshot has a file is the user's, never the project's to remove: the
// restore names it and stops, before the project closes, or, when the folder came as it closed,
// with nothing switched in and the project open again.
TEST_F(RestoreTest, AFolderWhereTheSnapshotHasAFileStopsIt) {
  const fs::path folder = m_dir / "src" / "a.vhd";
  for (const bool asItCloses : {false, true}) {
    m_helperObject->beforeClose = [folder] {
      fs::remove(folder);
      WriteText(folder / "notes.txt", "the user's");
    };
    if (!asItCloses) std::exchange(m_helperObject->beforeClose, nullptr)();
    EXPECT_EQ(Restore(), Hvd::kFailure);
    EXPECT_TRUE(Said("\"" + folder.string() + "\" is a folder where the snapshot has a file")) << asItCloses;
    EXPECT_EQ(ReadText(folder / "notes.txt"), "the user's") << asItCloses;
    EXPECT_EQ(m_helperObject->closes, asItCloses ? 1 : 0);
    EXPECT_EQ(m_helperObject->opens, m_helperObject->closes);
    EXPECT_TRUE(ProjectOpen() && !fs::exists(m_dir / "src" / "b.vhd") && ReadText(m_file) == m_before) << asItCloses;
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_dir / ".p.restore"))) << asItCloses;
    fs::remove_all(folder);
    WriteText(folder, "old");
  }
}

// The project directory as a map of each entry to what it holds, the snapshots left out.
using Tree = std::map<std::string, std::string>;
Tree TreeOf(const fs::path& root) {
  Tree tree;
  for (auto at = fs::recursive_directory_iterator(root); at != fs::recursive_directory_iterator(); ++at) {
    const std::string name = fs::relative(at->path(), root).generic_string();
    if (name == "snapshots") {
      at.disable_recursion_pending();
      continue;
    }
    const fs::file_type type = at->symlink_status().type();
    tree[name] = type == fs::file_type::directory ? "dir"
                 : type == fs::file_type::symlink ? "link " + fs::read_symlink(at->path()).string()
                                                  : "file " + ReadText(at->path());
  }
  return tree;
}
void PutTree(const fs::path& root, const Tree& tree) {
  for (const fs::directory_entry& entry : fs::directory_iterator(root))
    if (entry.path().filename() != "snapshots") fs::remove_all(entry.path());
  for (const auto& [name, what] : tree) {
    if (what == "dir") fs::create_directories(root / name);
    else if (what.rfind("link ", 0) == 0) fs::create_symlink(what.substr(5), root / name);
    else WriteText(root / name, what.substr(5));
  }
}

// Runs the restore in a child process killed at the nth call of `operation`; answers whether
// the kill struck before the restore was over.
bool KilledAt(const std::function<Hvd::Status()>& restore, const char* operation, int nth,
              std::string_view pathPart = {}) {
  const pid_t child = ::fork();
  if (child == 0) {
    Port::FaultInjection::Exit(operation, nth, pathPart);
    ::_exit(restore() == kSuccess ? 0 : 1);
  }
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  const int code = WEXITSTATUS(status);
  EXPECT_TRUE(code == 0 || code == Port::FaultInjection::kExitStatus) << operation << " " << nth << ": " << code;
  return code == Port::FaultInjection::kExitStatus;
}

// Proves `folder` a restore's, as the restore does right after making it.
void ProveARestores(const fs::path& folder) {
  ASSERT_TRUE(Hvd::OwnedFolder::MarkSealed(folder.string(), "made", "made.seal")) << folder;
}

// Killed at every step that touches the disk, the restore leaves the project as it was or
// as restored once the next snapshot operation has run, and nothing of its own behind.
TEST_F(RestoreTest, AKilledRestoreIsUndoneByTheNextOperation) {
  fs::create_symlink("../shared", m_dir / "ip");
  WriteText(m_snapshot / "ip" / "core.v", "as taken");
  WriteText(m_dir / "keep.txt", "live only");
  // The project's partitions go with it when the snapshot has none.
  WriteText(m_dir / "p.hdp", "live partitions");
  const Tree before = TreeOf(m_dir);
  ASSERT_TRUE(!KilledAt([this] { return Restore(); }, "rename", 1000000));
  const Tree after = TreeOf(m_dir);
  ASSERT_NE(before, after);
  EXPECT_EQ(after.at("src/a.vhd"), "file new");
  EXPECT_EQ(after.at("keep.txt"), "file live only");
  EXPECT_EQ(after.count("p.hdp"), 0u);
  for (const char* operation : {"mkdir", "copy_p", "rename", "remove_f", "rmdir"}) {
    int undone = 0;
    int kills = 0;
    for (int nth = 1; nth < 200; ++nth) {
      PutTree(m_dir, before);
      const bool killed = KilledAt([this] { return Restore(); }, operation, nth);
      EXPECT_EQ(Listed(), Strings{"s"});
      const Tree left = TreeOf(m_dir);
      EXPECT_TRUE(left == before || left == after) << operation << " " << nth;
      EXPECT_FALSE(fs::exists(fs::symlink_status(m_dir / ".p.restore"))) << operation << " " << nth;
      if (left == before && killed) ++undone;
      if (!killed) break;
      ++kills;
    }
    // A restore removes its folders only once it is over, with nothing left to undo.
    if (std::string_view(operation) == "rmdir") EXPECT_GT(kills, 0) << operation;
    else EXPECT_GT(undone, 0) << operation;
  }
}

// Killed while it replaces the project's entries, the restore is undone by the next open.
TEST_F(RestoreTest, AKilledRestoreIsUndoneByTheNextOpen) {
  const Tree before = TreeOf(m_dir);
  // The third rename within the project: the first entries are in place, the rest not yet.
  ASSERT_TRUE(KilledAt([this] { return Restore(); }, "rename", 3));
  ASSERT_TRUE(fs::exists(m_dir / ".p.restore" / "journal"));
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  m_project = nullptr;
  OpenProject();
  EXPECT_TRUE(ProjectOpen());
  EXPECT_EQ(TreeOf(m_dir), before);
  EXPECT_FALSE(fs::exists(fs::symlink_status(m_dir / ".p.restore")));
}

// A restore's folder that cannot go is named, with the system's reason where it was emptied (its
// last rmdir fails, as under a read-only parent). At the end of a restore, done or put back as its
// reopen failed, that is an error. At the open after a killed restore, whether it had written its
// journal (and is undone first) or not, it is a warning and the project, whole, opens; only a
// folder that keeps its journal stops the open. The next open takes the folder away.
TEST_F(RestoreTest, ARestoresFolderThatCannotGoIsNamed) {
  const fs::path folder = m_dir / ".p.restore";
  const std::string over = "\"" + folder.string() + "\" of a snapshot restore that is over ";
  const std::string its = ", but its folder \"" + folder.string() + "\" ";
  const std::string emptied = std::string("was emptied and could not itself be removed: ") + std::strerror(EIO);
  enum How { kKilled, kKilledJournaled, kReopenFails, kDone, kEmptied /* killed, its folder emptied already */ };
  // How the restore went; the removal that fails, the folder's own ("rmdir") or a file's in it; what is said.
  const std::tuple<How, const char*, std::string> cases[] = {
      {kKilledJournaled, "rmdir", over + emptied},
      {kKilled, "rmdir", over + emptied},
      {kKilled, ".p.restore/new/src/a.vhd", over + "cannot be removed"},
      {kKilledJournaled, ".p.restore/journal", "was undone, the project is as it was before it" + its},
      {kReopenFails, "rmdir", "put the project's files back" + its + emptied},
      {kDone, "rmdir", "put the snapshot's files in place" + its + emptied},
      {kEmptied, ".p.restore", over + emptied}};
  for (const auto& [how, fails, said] : cases) {
    const bool killed = how == kKilled || how == kKilledJournaled || how == kEmptied;
    const bool opens = killed && std::string_view(fails) != ".p.restore/journal";
    SCOPED_TRACE(std::to_string(how) + " " + fails);
    if (killed) {
      ASSERT_TRUE(how == kEmptied           ? fs::create_directories(folder)
                  : how == kKilledJournaled ? KilledAt([this] { return Restore(); }, "rename", 3)
                                            : KilledAt([this] { return Restore(); }, "rename", 1, "journal.part"));
      ASSERT_EQ(fs::exists(folder / "journal"), how == kKilledJournaled);
      ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
      m_project = AutoRelease<Hvd::IProject>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    }
    {
      Port::FaultInjection::Scope faults;
      if (std::string_view(fails) == "rmdir") {
        Port::FaultInjection::Act("remove_f", 1, ".p.restore/made.seal",
                                  [] { Port::FaultInjection::Fail("rmdir", 1, ".p.restore"); });
      } else {
        Port::FaultInjection::Fail(how == kEmptied ? "rmdir" : "remove_f", 1, fails);
      }
      m_helperObject->openFailures = how == kReopenFails ? 1 : 0;
      Port_MsgManData::ClearCaptured();
      EXPECT_EQ((killed ? m_project->Open(m_file.c_str()) : Restore()) == kSuccess, opens);
    }
    EXPECT_TRUE(Captured(opens ? Port_MsgManData::Severity::Warning : Port_MsgManData::Severity::Error, said));
    EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd"), how == kDone ? "new" : "old");
    if (opens || !killed) {
      ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
    }
    m_project = nullptr;
    OpenProject();
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder)));
    WriteText(m_dir / "src" / "a.vhd", "old");
    m_helper = AutoRelease<Hvd::IProjectHelper>(m_helperObject = new HelperDouble(m_project.Get()));
  }
}

// A restore killed on the way whose staged copies were then removed: the next open takes away
// no entry it cannot show the restore switched in. Either every entry shows how far it went
// and is put back, or nothing moves, the folder is kept and the open fails, naming the journal.
TEST_F(RestoreTest, AJournalWithoutItsStagedCopiesTakesAwayNothingOfTheProject) {
  for (int i = 0; i < 4; ++i) {
    WriteText(m_dir / "src" / ("s" + std::to_string(i) + ".vhd"), "live");
    WriteText(m_snapshot / "src" / ("s" + std::to_string(i) + ".vhd"), "taken");
  }
  const Tree before = TreeOf(m_dir);
  const fs::path journal = m_dir / ".p.restore" / "journal";
  int refused = 0;
  for (int nth = 2; nth < 20; ++nth) {
    m_helperObject = new HelperDouble(m_project.Get());
    m_helper = AutoRelease<Hvd::IProjectHelper>(m_helperObject);
    if (!KilledAt([this] { return Restore(); }, "rename", nth)) break;
    ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
    m_project = nullptr;
    if (fs::exists(journal)) {
      fs::remove_all(m_dir / ".p.restore" / "new");
      const Tree left = TreeOf(m_dir);
      Port_MsgManData::ClearCaptured();
      AutoRelease<Hvd::IProject> again(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
      if (again->Open(m_file.c_str()) == kSuccess) {
        EXPECT_EQ(TreeOf(m_dir), before) << nth;
        std::ignore = again->ProjectClose(false);
      } else {
        ++refused;
        EXPECT_EQ(TreeOf(m_dir), left) << nth;
        EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, journal.string())) << nth;
      }
    }
    fs::remove_all(m_dir / ".p.restore");
    PutTree(m_dir, before);
    OpenProject();
  }
  EXPECT_GT(refused, 0);
}

// A journal that names live entries the restore never staged is no ground to move them: the
// snapshot operation that finds it fails with an error naming it, and changes nothing.
TEST_F(RestoreTest, AJournalThatDoesNotMatchTheProjectIsKeptAndMovesNothing) {
  fs::create_directories(m_dir / ".p.restore" / "new");
  ProveARestores(m_dir / ".p.restore");
  fs::create_directories(m_dir / ".p.restore" / "old");
  WriteText(m_dir / ".p.restore" / "old" / "p.xhlc", "planted");
  std::string text = "snapshot restore journal 1\n";
  for (const char* entry : {"p.xhlc", "src"}) text.append(entry).push_back('\0');
  const fs::path journal = m_dir / ".p.restore" / "journal";
  WriteText(journal, text);
  const Tree before = TreeOf(m_dir);
  Port_MsgManData::ClearCaptured();
  AutoRelease<Hvd::ICheckpointIterator> at;
  EXPECT_NE(Manager()->GetCheckpoints(at.Receive()), kSuccess);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, journal.string()));
  EXPECT_EQ(TreeOf(m_dir), before);
  EXPECT_NE(Restore(), kSuccess);
  EXPECT_EQ(m_helperObject->closes, 0);
  EXPECT_EQ(TreeOf(m_dir), before);
}

// What the user writes over entries that a killed restore had switched in is the user's: the
// undo puts the project's own entries back and keeps the user's beside them, named in a warning,
// also when the undo itself is killed on the way.
TEST_F(RestoreTest, WhatTheUserWroteSinceAKilledRestoreIsKeptBesideWhatIsPutBack) {
  const Tree before = TreeOf(m_dir);
  Tree kept = before;
  kept["src/a.vhd.kept"] = "file mine";
  kept["src/b.vhd.kept"] = "file mine too, in place";
  // Killed with every entry in place, as it lets go of its journal; then one file is written
  // anew and the other over in place.
  const auto killedThenWritten = [&] {
    ASSERT_TRUE(KilledAt([this] { return Restore(); }, "remove_f", 1, "journal"));
    fs::remove(m_dir / "src" / "a.vhd");
    WriteText(m_dir / "src" / "a.vhd", "mine");
    std::ofstream(m_dir / "src" / "b.vhd", std::ios::binary | std::ios::trunc) << "mine too, in place";
  };
  killedThenWritten();
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  OpenProject();
  EXPECT_EQ(TreeOf(m_dir), kept);
  for (const char* name : {"a.vhd.kept", "b.vhd.kept"})
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, (m_dir / "src" / name).string())) << name;
  int killed = 0;
  for (int nth = 1; nth < 20; ++nth) {
    ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
    PutTree(m_dir, before);
    OpenProject();
    m_helper = AutoRelease<Hvd::IProjectHelper>(m_helperObject = new HelperDouble(m_project.Get()));
    killedThenWritten();
    const bool struck =
        KilledAt([this] { return Hvd::Snapshots::FinishInterruptedRestore(m_file.c_str()); }, "rename", nth);
    EXPECT_EQ(Hvd::Snapshots::FinishInterruptedRestore(m_file.c_str()), kSuccess) << nth;
    EXPECT_EQ(TreeOf(m_dir), kept) << "undo killed at rename " << nth;
    if (!struck) break;
    ++killed;
  }
  EXPECT_GT(killed, 2);
}

// What lies at the restore folder's name and records no restore's folder is none of a restore's:
// a file, or a folder without a journal, stays through the open with a warning naming it, and a
// restore fails until it is gone.
TEST_F(RestoreTest, WhatLiesAtTheRestoreFoldersNameWithoutItsRecordStays) {
  const fs::path folder = m_dir / ".p.restore";
  for (const bool asFolder : {true, false}) {
    ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
    if (asFolder) {
      WriteText(folder / "notes.txt", "the user's");
      WriteText(folder / "made", "1 2\n");
    } else {
      WriteText(folder, "the user's");
    }
    Port_MsgManData::ClearCaptured();
    OpenProject();
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, "\"" + folder.string() + "\" is left as it is"));
    EXPECT_EQ(ReadText(asFolder ? folder / "notes.txt" : folder), "the user's");
    EXPECT_NE(Restore(), kSuccess);
    EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd"), "old");
    fs::remove_all(folder);
  }
  EXPECT_EQ(Restore(), kSuccess);
  EXPECT_FALSE(fs::exists(fs::symlink_status(folder)));
}

// A folder the restore brought in whole, into which the user put a file after the restore was
// killed, is theirs now: the undo keeps it beside, with the file, instead of taking it away.
TEST_F(RestoreTest, AFolderTheUserWroteInSinceAKilledRestoreIsKept) {
  WriteText(m_snapshot / "lib" / "c.vhd", "from the snapshot");
  ASSERT_TRUE(KilledAt([this] { return Restore(); }, "remove_f", 1, "journal"));
  ASSERT_EQ(ReadText(m_dir / "lib" / "c.vhd"), "from the snapshot");
  WriteText(m_dir / "lib" / "mine.txt", "the user's");
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  OpenProject();
  EXPECT_EQ(ReadText(m_dir / "lib.kept" / "mine.txt"), "the user's");
  EXPECT_FALSE(fs::exists(m_dir / "lib"));
  EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd"), "old");
}

// A restore folder taken away by hand after a killed restore and put back as a copy, record
// and all, may have the freed inode: it is the user's copy, never a folder the restore made.
TEST_F(RestoreTest, ACopyOfAKilledRestoresFolderAtItsNameStays) {
  const fs::path folder = m_dir / ".p.restore";
  ASSERT_TRUE(KilledAt([this] { return Restore(); }, "mkdir", 1, ".p.restore/new"));
  ASSERT_FALSE(fs::exists(folder / "journal"));
  const std::string record = ReadText(folder / "made");
  ASSERT_FALSE(record.empty());
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  std::ignore = RemadeWithItsInode(folder);
  WriteText(folder / "made", record);
  Port_MsgManData::ClearCaptured();
  OpenProject();
  EXPECT_EQ(ReadText(folder / "notes.txt"), "the user's");
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, "\"" + folder.string() + "\" is left as it is"));
}

// Where the file system gives no birth time, a killed restore's folder copied aside, taken away
// and copied back, proof and all, with the user's note, may have the freed inode: the copy is
// the user's, and stays, named in a warning.
TEST_F(RestoreTest, ACopyOfAKilledRestoresFolderStaysWithoutBirthTime) {
  const Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("statx");
  const fs::path folder = m_dir / ".p.restore";
  ASSERT_TRUE(KilledAt([this] { return Restore(); }, "mkdir", 1, ".p.restore/new"));
  ASSERT_TRUE(fs::exists(folder / "made"));
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  fs::copy(folder, m_root / "aside", fs::copy_options::recursive);
  std::ignore = RemadeWithItsInode(folder);
  fs::copy(m_root / "aside", folder, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  Port_MsgManData::ClearCaptured();
  OpenProject();
  EXPECT_TRUE(ProjectOpen());
  EXPECT_EQ(ReadText(folder / "notes.txt"), "the user's");
  EXPECT_TRUE(fs::exists(folder / "made"));
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, "\"" + folder.string() + "\" is left as it is"));
}

// A folder with a restore's journal that does not prove itself a restore's (one the previous build
// left, whose record names the folder and holds no token, or one whose proof was taken away) is
// never followed nor taken away with the user's file in it: it stays whole, and the open fails
// with an error naming it, since the project may be as the killed restore left it.
TEST_F(RestoreTest, AJournaledFolderWithoutItsProofStaysWithWhatItHolds) {
  const fs::path folder = m_dir / ".p.restore";
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  const Tree origin = TreeOf(m_dir);
  for (const bool previousBuild : {true, false}) {
    OpenProject();
    m_helper = AutoRelease<Hvd::IProjectHelper>(m_helperObject = new HelperDouble(m_project.Get()));
    ASSERT_TRUE(KilledAt([this] { return Restore(); }, "rename", 3));
    ASSERT_TRUE(fs::exists(folder / "journal"));
    ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
    fs::remove(folder / "made.seal");
    if (previousBuild) {
      struct stat info {};
      ASSERT_EQ(::stat(folder.c_str(), &info), 0);
      WriteText(folder / "made", std::to_string(info.st_dev) + " " + std::to_string(info.st_ino) + "\n");
    }
    WriteText(folder / "notes.txt", "the user's");
    const Tree held = TreeOf(folder);
    Port_MsgManData::ClearCaptured();
    m_project = AutoRelease<Hvd::IProject>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    EXPECT_NE(m_project->Open(m_file.c_str()), kSuccess) << previousBuild;
    EXPECT_FALSE(ProjectOpen()) << previousBuild;
    EXPECT_EQ(TreeOf(folder), held) << previousBuild;
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error,
                         "\"" + folder.string() + "\" holds the journal of a snapshot restore of"))
        << previousBuild;
    fs::remove_all(folder);
    PutTree(m_dir, origin);
  }
  OpenProject();
}

// A restore killed on the way, whose disk then came back under another device number (mounted
// again from another loop device), nothing touched: its folder's record and journal took the
// old number. The next open undoes it as any other, none of what it switched in, a folder among
// it, kept aside as the user's.
TEST_F(RestoreTest, AKilledRestoreIsUndoneWhateverNumberItsDiskComesBackUnder) {
  WriteText(m_snapshot / "lib" / "c.vhd", "from the snapshot");
  const Tree before = TreeOf(m_dir);
  ASSERT_TRUE(KilledAt([this] { return Restore(); }, "remove_f", 1, "journal"));
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  struct stat disk {};
  ASSERT_EQ(::stat(m_dir.c_str(), &disk), 0);
  const unsigned high = ::major(disk.st_dev), low = ::minor(disk.st_dev);
  const auto renumber = [](const fs::path& file, const std::string& from, const std::string& to) {
    const fs::file_time_type written = fs::last_write_time(file);
    std::string text = ReadText(file);
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
      text.replace(at, from.size(), to);
    WriteText(file, text);
    fs::last_write_time(file, written);
  };
  renumber(m_dir / ".p.restore" / "journal", std::string(1, '\0') + std::to_string(disk.st_dev) + ":",
           std::string(1, '\0') + std::to_string(::makedev(high + 1, low)) + ":");
  renumber(m_dir / ".p.restore" / "made.seal", " " + std::to_string(high) + ":" + std::to_string(low) + " ",
           " " + std::to_string(high + 1) + ":" + std::to_string(low) + " ");
  OpenProject();
  EXPECT_EQ(TreeOf(m_dir), before);
}

// A killed restore's folder that no longer proves itself after what users and their tools do,
// or that an earlier version made, is never followed: the open fails with an error saying where
// the project's replaced files are and how to put them back, and doing so gives the project back
// whole, for a copy of the project as for the project itself.
TEST_F(RestoreTest, AFolderThatNoLongerProvesItselfTellsHowToGetTheProjectBack) {
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  const Tree origin = TreeOf(m_dir);
  ::setenv("P", m_dir.c_str(), 1);
  ::setenv("C", (m_root / "copy").c_str(), 1);
  const std::pair<const char*, bool> acts[] = {
      {"chmod -R go-rwx \"$P\"", false},
      {"touch \"$P/.p.restore/made\"", false},
      {"ln \"$P/.p.restore/made\" \"$P/made.bak\" && rm \"$P/made.bak\"", false},
      {"cp -a \"$P\" \"$C\"", true},
      {"mkdir \"$C\" && tar -C \"$P\" -cf - . | tar -C \"$C\" -xpf -", true},
      {"if command -v rsync; then rsync -a \"$P/\" \"$C/\"; else cp -a \"$P\" \"$C\"; fi", true},
      // As an earlier version left it: a record of the folder's device and inode, no seal.
      {"cd \"$P/.p.restore\" && rm made.seal && stat -c '%d %i' . >m && mv m made", false}};
  for (const auto& [act, copied] : acts) {
    OpenProject();
    m_helper = AutoRelease<Hvd::IProjectHelper>(m_helperObject = new HelperDouble(m_project.Get()));
    ASSERT_TRUE(KilledAt([this] { return Restore(); }, "remove_f", 1, "journal"));
    ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
    ASSERT_EQ(std::system(act), 0) << act;
    const fs::path live = copied ? m_root / "copy" : m_dir, held = live / ".p.restore";
    const Tree left = TreeOf(live);
    Port_MsgManData::ClearCaptured();
    EXPECT_NE(AutoRelease<Hvd::IProject>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()))
                  ->Open((live / "p.xhlc").c_str()),
              kSuccess) << act;
    EXPECT_EQ(TreeOf(live), left) << act;
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error,
                         "replaced are kept in \"" + (held / "old").string() + "\": to get the project back, move each "
                         "of them back to its place in \"" + live.string() + "\", in place of what is there, take "
                         "away from there each entry that \"" + (held / "added").string() + "\" names, and then "
                         "remove \"" + held.string() + "\"")) << act;
    for (const auto& [from, back] : {std::pair{held / "old", true}, std::pair{held / "added", false}})
      for (const fs::directory_entry& entry : fs::recursive_directory_iterator(from))
        if (!entry.is_directory() && back) fs::rename(entry.path(), live / fs::relative(entry.path(), from));
        else if (!entry.is_directory()) fs::remove(live / fs::relative(entry.path(), from));
    fs::remove_all(held);
    EXPECT_EQ(TreeOf(live), origin) << act;
    fs::remove_all(m_root / "copy");
  }
  OpenProject();
  EXPECT_EQ(TreeOf(m_dir), origin);
}

// An undo that cannot finish (a user who cannot write the project's folder, every name to keep
// the user's file under taken) fails the open with an error naming the interrupted restore and
// the folder that keeps the project's own files, and moves nothing; an open that can finish it
// later does.
TEST_F(RestoreTest, AnUndoThatCannotFinishFailsTheOpenAndMovesNothing) {
  const fs::path folder = m_dir / ".p.restore";
  const auto refused = [&](uid_t uid) {
    const pid_t child = ::fork();
    if (child == 0) {
      if (uid != 0 && ::setuid(uid) != 0) ::_exit(2);
      Port_MsgManData::ClearCaptured();
      AutoRelease<Hvd::IProject> again(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
      const bool told =
          again->Open(m_file.c_str()) != kSuccess &&
          Captured(Port_MsgManData::Severity::Error,
                   "The interrupted snapshot restore of \"" + m_file.string() + "\" could not be undone") &&
          Captured(Port_MsgManData::Severity::Error, "are kept in \"" + folder.string() + "\"");
      ::_exit(told ? 0 : 1);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  };
  // Every entry switched in, killed as it lets go of its journal; the user then writes a file.
  ASSERT_TRUE(KilledAt([this] { return Restore(); }, "remove_f", 1, "journal"));
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  fs::remove(m_dir / "src" / "a.vhd");
  WriteText(m_dir / "src" / "a.vhd", "mine");
  if (::getuid() == 0) {
    // The project's own user, with its folders made read-only.
    constexpr uid_t kUser = 65534;
    // Not the restore folder's proof: a chown changes its mark's change time, which it rests on.
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(m_dir)) {
      if (entry.path() == folder / "made" || entry.path() == folder / "made.seal") continue;
      ASSERT_EQ(::lchown(entry.path().c_str(), kUser, kUser), 0);
    }
    ASSERT_EQ(::lchown(m_dir.c_str(), kUser, kUser), 0);
    for (const fs::path& folder : {m_dir, m_dir / "src"}) fs::permissions(folder, fs::perms(0555));
    const Tree left = TreeOf(m_dir);
    EXPECT_TRUE(refused(kUser)) << "a user who cannot write the project's folder";
    EXPECT_EQ(TreeOf(m_dir), left);
    for (const fs::path& folder : {m_dir, m_dir / "src"}) fs::permissions(folder, fs::perms(0755));
  }
  for (int n = 0; n < 1000; ++n)
    WriteText(m_dir / "src" / (n == 0 ? std::string("a.vhd.kept") : "a.vhd.kept" + std::to_string(n)), "taken");
  const Tree left = TreeOf(m_dir);
  EXPECT_TRUE(refused(0)) << "every name to keep the user's file under taken";
  EXPECT_EQ(TreeOf(m_dir), left);
  fs::remove(m_dir / "src" / "a.vhd.kept7");
  OpenProject();
  EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd"), "old");
  EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd.kept7"), "mine");
  EXPECT_FALSE(fs::exists(folder));
}

// A file the user edits in place after a killed restore, to the same size and with its
// modification time put back, is still the user's: what it holds tells it from the staged copy.
TEST_F(RestoreTest, ASameSizeEditWithItsTimePutBackIsKept) {
  ASSERT_TRUE(KilledAt([this] { return Restore(); }, "remove_f", 1, "journal"));
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  const fs::path file = m_dir / "src" / "a.vhd";
  ASSERT_EQ(ReadText(file), "new");
  struct stat before {};
  ASSERT_EQ(::lstat(file.c_str(), &before), 0);
  std::ofstream(file, std::ios::binary | std::ios::in | std::ios::out) << "NEW";
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
  OpenProject();
  EXPECT_EQ(ReadText(file), "old");
  EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd.kept"), "NEW");
}

// What the restore's own reopen wrote (the parser's log, the generated-project file) is the
// library's: a restore killed after it is undone without keeping those aside as the user's.
TEST_F(RestoreTest, WhatTheRestoresReopenWroteIsNoUsersEdit) {
  for (const char* name : {"hdlparser.log", "p.ghlc"}) WriteText(m_snapshot / name, "as taken");
  ASSERT_TRUE(KilledAt(
      [this] {
        const Hvd::Status restored = Restore();
        return restored;
      },
      "remove_f", 1, "journal"));
  // As the reopen leaves them, written again.
  for (const char* name : {"hdlparser.log", "p.ghlc"}) {
    fs::remove(m_dir / name);
    WriteText(m_dir / name, "written by the reopen");
  }
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  Port_MsgManData::ClearCaptured();
  OpenProject();
  for (const char* name : {"hdlparser.log", "p.ghlc"}) {
    EXPECT_FALSE(fs::exists(m_dir / (std::string(name) + ".kept"))) << name;
    EXPECT_FALSE(Captured(Port_MsgManData::Severity::Warning, (m_dir / name).string())) << name;
  }
  EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd"), "old");
}

// A take copies the project's folder whole, with the restore folders standing there: a killed
// restore's of this project, other projects' and that of a project in a folder below. Restored,
// none of them is put in place: this project's never takes the place of the restore's own proof
// and journal, so the restore leaves no folder behind, and each project opens again and keeps
// what its own holds. A folder named so that belongs to no project is the user's and comes back
// with the rest.
TEST_F(RestoreTest, NoRestoreFolderTheSnapshotHoldsIsPutInPlace) {
  fs::copy_file(m_file, m_snapshot / "q.xhlc");
  for (const char* name : {".p.restore", ".q.restore"}) {
    fs::create_directories(m_snapshot / name / "old");
    ProveARestores(m_snapshot / name);
    WriteText(m_snapshot / name / "journal", "snapshot restore journal 3\n");
  }
  WriteText(m_snapshot / ".r.restore" / "notes", "the user's");
  for (const fs::path& root : {m_dir, m_snapshot}) WriteText(root / "sub" / "c.xhlc", "");
  WriteText(m_dir / "sub" / ".c.restore" / "old" / "c.vhd", "c's own");
  WriteText(m_snapshot / "sub" / ".c.restore" / "old" / "c.vhd", "a copy");
  // In a folder the project lacks, which comes in whole, at any depth.
  for (const char* name : {"fresh/n.hlc", "fresh/.n.restore/journal", "fresh/er/m.xhlc", "fresh/er/.m.restore/old/m"})
    WriteText(m_snapshot / name, "");
  EXPECT_EQ(Restore(), kSuccess);
  EXPECT_TRUE(fs::exists(m_dir / "fresh/er/m.xhlc"));
  for (const char* name : {".p.restore", ".q.restore", "fresh/.n.restore", "fresh/er/.m.restore"})
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_dir / name))) << name;
  EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd"), "new");
  EXPECT_EQ(ReadText(m_dir / ".r.restore" / "notes"), "the user's");
  EXPECT_EQ(ReadText(m_dir / "sub" / ".c.restore" / "old" / "c.vhd"), "c's own");
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  OpenProject();
  EXPECT_TRUE(ProjectOpen());
  AutoRelease<Hvd::IProject> other(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  ASSERT_TRUE(other);
  EXPECT_EQ(other->Open((m_dir / "q.xhlc").c_str()), kSuccess);
  EXPECT_EQ(other->ProjectClose(false), kSuccess);
}

// A restore whose folder no longer proves itself its own once it is done (its mark replaced
// meanwhile) takes nothing of it away, says so, and does not answer success. Its old/ keeps the
// project's only copies of the files it replaced: the error says so, and how to get the project
// back, never to remove the folder before they are moved out. Where its reopen failed and it put
// the project back, it says that, not that the undo did not finish.
TEST_F(RestoreTest, AFolderThatNoLongerProvesItselfAtTheEndFailsTheRestore) {
  const fs::path folder = m_dir / ".p.restore";
  const auto replaceMark = [&folder] {
    fs::copy_file(folder / "made", folder / "made.copy");
    fs::rename(folder / "made.copy", folder / "made");
  };
  m_helperObject->afterOpen = replaceMark;
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(Restore(), Hvd::kCleanupFailed);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error,
                       "its folder \"" + folder.string() + "\" no longer proves itself the one it made"));
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error,
                       "files that it replaced are kept in \"" + (folder / "old").string() +
                           "\", and the project is not opened again while the folder is there. To get the project "
                           "back as it was, move each of them back to its place in \"" + m_dir.string() + "\""));
  EXPECT_FALSE(Captured(Port_MsgManData::Severity::Error, "look through it and remove it"));
  EXPECT_TRUE(fs::exists(folder / "journal"));
  EXPECT_TRUE(fs::exists(folder / "old" / "src" / "a.vhd"));

  // One that still proves itself but keeps its journal is undone by the next open, as the error
  // says: the project comes back as it was.
  m_helperObject->afterOpen = nullptr;
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  fs::remove_all(folder);
  WriteText(m_dir / "src" / "a.vhd", "old");
  OpenProject();
  {
    Port::FaultInjection::Scope faults;
    Port::FaultInjection::Fail("remove_f", 1, ".p.restore/journal");
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(Restore(), Hvd::kCleanupFailed);
  }
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "\"" + folder.string() + "\" cannot be removed"));
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "the project's next open undoes the restore"));
  EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd"), "new");
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  OpenProject();
  EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd"), "old");
  EXPECT_FALSE(fs::exists(fs::symlink_status(folder)));

  // A restore whose reopen fails puts the project back; the folder that then stays is told as
  // such, not as an undo that did not finish.
  m_helperObject->openFailures = 1;
  m_helperObject->beforeOpen = replaceMark;
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(Restore(), Hvd::kFailure);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "failed and put the project's files back, but its folder \"" +
                                                             folder.string() + "\" no longer proves itself"));
  EXPECT_FALSE(Captured(Port_MsgManData::Severity::Error, "could not be undone"));
}

// A journal that no restore could have written, or that leaves out what its folder holds, is
// kept with the folder: nothing moves, and the open fails with an error naming it. Each open
// runs in a child process, whose alarm turns a hang into a failure.
TEST_F(RestoreTest, AJournalNoRestoreWroteIsKeptAndTheOpenFailsNamingIt) {
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  const fs::path folder = m_dir / ".p.restore", journal = folder / "journal", own = m_dir / "src" / "a.vhd";
  const struct {
    std::string text;     // after the header
    std::uintmax_t size;  // made that long, sparse, when given
    const char* holds;    // where in the folder the project's own src/a.vhd is moved
  } cases[] = {{"", std::uintmax_t{1} << 40, ""},
               {std::string("/a\0", 3), 0, ""},
               {std::string("/\0", 2), 0, ""},
               {std::string("src/../../a\0", 12), 0, ""},
               {std::string("./src/a.vhd\0", 12), 0, ""},
               {std::string("src//a.vhd\0", 11), 0, ""},
               {std::string("src/a.vhd/\0", 11), 0, ""},
               {"", 0, "old/src/a.vhd"},
               {"", 0, "added/src/a.vhd"}};
  for (const auto& each : cases) {
    fs::create_directories(folder / "new" / "src");
    ProveARestores(folder);
    if (*each.holds != 0) {
      fs::create_directories((folder / each.holds).parent_path());
      fs::rename(own, folder / each.holds);
    }
    const Tree before = TreeOf(m_dir);
    WriteText(journal, "snapshot restore journal 1\n" + each.text);
    if (each.size != 0) fs::resize_file(journal, each.size);
    const std::uintmax_t size = fs::file_size(journal);
    const pid_t child = ::fork();
    if (child == 0) {
      ::alarm(120);
      AutoRelease<Hvd::IProject> again(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
      const bool refused =
          again->Open(m_file.c_str()) != kSuccess && Captured(Port_MsgManData::Severity::Error, journal.string());
      ::_exit(refused ? 0 : 1);
    }
    int status = 0;
    EXPECT_TRUE(::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << each.text.c_str() << each.holds;
    ASSERT_EQ(fs::file_size(journal), size) << each.text.c_str() << each.holds;
    fs::remove(journal);
    EXPECT_EQ(TreeOf(m_dir), before) << each.text.c_str() << each.holds;
    if (*each.holds != 0) fs::rename(folder / each.holds, own);
    fs::remove_all(folder);
  }
  OpenProject();
}

// A project folder that cannot take the snapshots folder (no permission, a read-only file
// system) is named with the system's reason, not as a folder that is no project's.
TEST_F(SnapshotTest, ASnapshotsFolderThatCannotBeMadeIsNamedWithTheReason) {
  auto* project = new CopyingProjectDouble(m_dir / "p.xhlc", m_dir);
  AutoRelease<Hvd::IProject2> held(project);
  Hvd::CCheckpointManager manager(held.Get());
  AutoRelease<Hvd::ICheckpoint> made;
  ASSERT_EQ(manager.Face()->CreateCheckpoint("s", "", made.Receive()), kSuccess);
  Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("mkdir", 0, "snapshots");
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(made->CreateCheckpointProject(), Hvd::kFailure);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug,
                       "Cannot make the snapshots folder \"" + (m_dir / "snapshots").string() + "\": " +
                           std::strerror(EIO)));
  EXPECT_FALSE(fs::exists(m_dir / "snapshots"));
  EXPECT_TRUE(project->copies.empty());
}

// A take whose copy is refused takes back the "snapshots" folder it made, and no other: one the
// user made stays, empty as it is.
TEST_F(SnapshotTest, ARefusedTakeTakesBackOnlyTheSnapshotsFolderItMade) {
  auto* project = new CopyingProjectDouble(m_dir / "p.xhlc", m_dir);
  AutoRelease<Hvd::IProject2> held(project);
  Hvd::CCheckpointManager manager(held.Get());
  project->copyAnswer = Hvd::kDirectoryWriteFailed;
  EXPECT_EQ(Take(manager, "s"), Hvd::kDirectoryWriteFailed);
  EXPECT_FALSE(fs::exists(m_dir / "snapshots"));
  fs::create_directory(m_dir / "snapshots");
  EXPECT_EQ(Take(manager, "s"), Hvd::kDirectoryWriteFailed);
  EXPECT_TRUE(fs::is_directory(m_dir / "snapshots"));
  EXPECT_TRUE(fs::is_empty(m_dir / "snapshots"));
  EXPECT_EQ(project->copies.size(), 2u);
}

// A snapshot keeps the project's working directory where it is relative to the project.
TEST_F(SnapshotTest, TheCopyIsAskedForWithTheProjectsWorkingDirectory) {
  auto* project = new CopyingProjectDouble(m_dir / "p.xhlc", m_dir / "impl" / "run");
  AutoRelease<Hvd::IProject2> held(project);
  Hvd::CCheckpointManager manager(held.Get());
  AutoRelease<Hvd::ICheckpoint> made;
  ASSERT_EQ(manager.Face()->CreateCheckpoint("s", "about", made.Receive()), kSuccess);
  EXPECT_EQ(made->CreateCheckpointProject(), kSuccess);
  ASSERT_EQ(project->copies.size(), 1u);
  EXPECT_EQ(project->copies[0].target, (m_dir / "snapshots" / "s" / "p.snp").string());
  EXPECT_EQ(project->copies[0].options, 0x15Eu);
  EXPECT_EQ(project->copies[0].working, "impl/run");
  EXPECT_EQ(project->copies[0].description, "about");
  EXPECT_EQ(project->copies[0].remote, "remote_sources");
  EXPECT_EQ(ReadText(m_dir / "snapshots" / "s" / "p.snp"), "copy about");
  // Once written, it is not written again.
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(made->CreateCheckpointProject(), Hvd::kFailure);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "The snapshot project already exists"));
  EXPECT_EQ(project->copies.size(), 1u);

  // A failed copy leaves no marker: the manager never lists a half-made snapshot.
  project->copyAnswer = Hvd::kDirectoryWriteFailed;
  AutoRelease<Hvd::ICheckpoint> failed;
  ASSERT_EQ(manager.Face()->CreateCheckpoint("t", "", failed.Receive()), kSuccess);
  EXPECT_EQ(failed->CreateCheckpointProject(), Hvd::kDirectoryWriteFailed);
  EXPECT_FALSE(fs::exists(m_dir / "snapshots" / "t" / "p.snp"));

  // The project directory itself, and a working directory outside the project.
  for (const auto& [working, asked] :
       {std::pair{m_dir, std::string()}, {m_root / "work", (m_root / "work").string()}}) {
    auto* other = new CopyingProjectDouble(m_dir / "p.xhlc", working);
    AutoRelease<Hvd::IProject2> otherHeld(other);
    Hvd::CCheckpointManager otherManager(otherHeld.Get());
    AutoRelease<Hvd::ICheckpoint> u;
    fs::remove_all(m_dir / "snapshots" / "u");
    ASSERT_EQ(otherManager.Face()->CreateCheckpoint("u", "", u.Receive()), kSuccess);
    EXPECT_EQ(u->CreateCheckpointProject(), kSuccess);
    ASSERT_EQ(other->copies.size(), 1u);
    EXPECT_EQ(other->copies[0].working, asked);
  }
}

// A take of `name` killed while its copy is written, in a child process, leaving a file in
// the directory it claimed.
void KillTakeDuringCopy(CopyingProjectDouble& project, Hvd::CCheckpointManager& manager, const fs::path& snapshots,
                        const std::string& name) {
  project.duringCopy = [&] {
    WriteText(snapshots / name / "partial.vhd", "from a killed take");
    ::_exit(Port::FaultInjection::kExitStatus);
  };
  const pid_t child = ::fork();
  if (child == 0) {
    AutoRelease<Hvd::ICheckpoint> made;
    const bool taken = manager.Face()->CreateCheckpoint(name.c_str(), "", made.Receive()) == kSuccess &&
                       made->CreateCheckpointProject() == kSuccess;
    ::_exit(taken ? 0 : 1);
  }
  project.duringCopy = nullptr;
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == Port::FaultInjection::kExitStatus);
  ASSERT_TRUE(fs::exists(snapshots / name / "partial.vhd"));
}

// A name is taken by one take only: a second take of it while the first is being written
// fails and writes nothing; a directory that a killed take left without its marker is taken
// again.
TEST_F(SnapshotTest, TwoTakesOfOneNameCannotBothSucceed) {
  auto* first = new CopyingProjectDouble(m_dir / "p.xhlc", m_dir);
  auto* second = new CopyingProjectDouble(m_dir / "p.xhlc", m_dir);
  AutoRelease<Hvd::IProject2> firstHeld(first);
  AutoRelease<Hvd::IProject2> secondHeld(second);
  Hvd::CCheckpointManager firstManager(firstHeld.Get());
  Hvd::CCheckpointManager secondManager(secondHeld.Get());
  Hvd::Status secondTake = kSuccess;
  first->duringCopy = [&] {
    AutoRelease<Hvd::ICheckpoint> made;
    ASSERT_EQ(secondManager.Face()->CreateCheckpoint("s", "second", made.Receive()), kSuccess);
    secondTake = made->CreateCheckpointProject();
  };
  AutoRelease<Hvd::ICheckpoint> made;
  ASSERT_EQ(firstManager.Face()->CreateCheckpoint("s", "first", made.Receive()), kSuccess);
  EXPECT_EQ(made->CreateCheckpointProject(), kSuccess);
  EXPECT_EQ(secondTake, Hvd::kFailure);
  EXPECT_TRUE(second->copies.empty());
  EXPECT_EQ(ReadText(m_dir / "snapshots" / "s" / "p.snp"), "copy first");

  KillTakeDuringCopy(*second, secondManager, m_dir / "snapshots", "left");
  AutoRelease<Hvd::ICheckpoint> again;
  ASSERT_EQ(secondManager.Face()->CreateCheckpoint("left", "again", again.Receive()), kSuccess);
  EXPECT_EQ(again->CreateCheckpointProject(), kSuccess);
  EXPECT_EQ(ReadText(m_dir / "snapshots" / "left" / "p.snp"), "copy again");
  EXPECT_FALSE(fs::exists(m_dir / "snapshots" / "left" / "partial.vhd"));
}

// Anyone who can read "snapshots" can hold its lock, a stopped shell among them: a take waits
// for it only so long, then fails naming the folder, and takes the name once it is free.
TEST_F(SnapshotTest, ATakeWaitsForAHeldSnapshotsFolderOnlySoLong) {
  auto* project = new CopyingProjectDouble(m_dir / "p.xhlc", m_dir);
  AutoRelease<Hvd::IProject2> held(project);
  Hvd::CCheckpointManager manager(held.Get());
  AutoRelease<Hvd::ICheckpoint> made;
  ASSERT_EQ(manager.Face()->CreateCheckpoint("s", "", made.Receive()), kSuccess);
  fs::create_directories(m_dir / "snapshots");
  Hvd::DirectoryLock other;
  ASSERT_TRUE(other.Take((m_dir / "snapshots").string(), false));
  Port_MsgManData::ClearCaptured();
  auto take = std::async(std::launch::async, [&] { return made->CreateCheckpointProject(); });
  const bool ended = take.wait_for(Hvd::DirectoryLock::kWaitBound + std::chrono::seconds(20)) ==
                     std::future_status::ready;
  other.Release();  // lets a take that waits without end finish
  EXPECT_TRUE(ended) << "the take waited for the lock without end";
  EXPECT_EQ(take.get(), Hvd::kFailure);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error,
                       "The snapshots folder \"" + (m_dir / "snapshots").string() + "\" is busy"));
  EXPECT_TRUE(project->copies.empty());
  EXPECT_FALSE(fs::exists(m_dir / "snapshots" / "s"));

  EXPECT_EQ(made->CreateCheckpointProject(), kSuccess);
  EXPECT_EQ(ReadText(m_dir / "snapshots" / "s" / "p.snp"), "copy ");
}

// What a killed take left under any name, unmarked and no longer locked, is taken away by the
// next take; a take under way, a snapshot and one of another project in the folder stay.
TEST_F(SnapshotTest, ATakeTakesAwayWhatKilledTakesLeft) {
  auto* project = new CopyingProjectDouble(m_dir / "p.xhlc", m_dir);
  AutoRelease<Hvd::IProject2> held(project);
  Hvd::CCheckpointManager manager(held.Get());
  const auto take = [&](const char* name) { return Take(manager, name); };
  project->duringCopy = [this] {
    WriteText(m_dir / "snapshots" / "killed" / "partial.vhd", "from a killed take");
    ::_exit(Port::FaultInjection::kExitStatus);
  };
  const pid_t child = ::fork();
  if (child == 0) ::_exit(take("killed") == kSuccess ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == Port::FaultInjection::kExitStatus);
  project->duringCopy = nullptr;
  ASSERT_TRUE(fs::exists(m_dir / "snapshots" / "killed" / "partial.vhd"));

  EXPECT_TRUE(fs::exists(m_dir / "snapshots" / ".killed.take"));
  // A folder someone put there, with no take's claim, is none of the take's.
  WriteText(m_dir / "snapshots" / "mine" / "notes.txt", "the user's");
  WriteText(m_dir / "snapshots" / "kept" / "p.snp", "a snapshot");
  WriteText(m_dir / "snapshots" / "theirs" / "q.snp", "another project's");
  WriteText(m_dir / "snapshots" / "underway" / "partial.vhd", "being written");
  WriteText(m_dir / "snapshots" / ".underway.take", "");
  Hvd::DirectoryLock writing;
  ASSERT_TRUE(writing.Take((m_dir / "snapshots" / "underway").string(), false));
  EXPECT_EQ(take("next"), kSuccess);
  EXPECT_FALSE(fs::exists(m_dir / "snapshots" / "killed"));
  EXPECT_FALSE(fs::exists(m_dir / "snapshots" / ".killed.take"));
  EXPECT_TRUE(fs::exists(m_dir / "snapshots" / "mine" / "notes.txt"));
  EXPECT_FALSE(fs::exists(m_dir / "snapshots" / ".next.take"));
  EXPECT_TRUE(fs::exists(m_dir / "snapshots" / "kept" / "p.snp"));
  EXPECT_TRUE(fs::exists(m_dir / "snapshots" / "theirs" / "q.snp"));
  EXPECT_TRUE(fs::exists(m_dir / "snapshots" / "underway" / "partial.vhd"));
  EXPECT_TRUE(fs::exists(m_dir / "snapshots" / "next" / "p.snp"));
}

// A take refused because a folder the user made holds its name leaves no claim behind, so no
// later take takes that folder for a killed take's.
TEST_F(SnapshotTest, ARefusedTakeLeavesNoClaimAndTheFolderStays) {
  auto* project = new CopyingProjectDouble(m_dir / "p.xhlc", m_dir);
  AutoRelease<Hvd::IProject2> held(project);
  Hvd::CCheckpointManager manager(held.Get());
  const auto take = [&](const char* name) { return Take(manager, name); };
  const fs::path snapshots = m_dir / "snapshots";
  WriteText(snapshots / "mine" / "notes.txt", "the user's");
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(take("mine"), Hvd::kFailure);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "The snapshot project already exists"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(snapshots / ".mine.take")));
  EXPECT_EQ(take("next"), kSuccess);
  EXPECT_EQ(ReadText(snapshots / "mine" / "notes.txt"), "the user's");

  // The claim of a take under way of the same name is that take's: the refused take leaves it.
  WriteText(snapshots / "underway" / "partial.vhd", "being written");
  WriteText(snapshots / ".underway.take", "");
  Hvd::DirectoryLock writing;
  ASSERT_TRUE(writing.Take((snapshots / "underway").string(), false));
  EXPECT_EQ(take("underway"), Hvd::kFailure);
  EXPECT_TRUE(fs::exists(snapshots / ".underway.take"));
  EXPECT_EQ(ReadText(snapshots / "underway" / "partial.vhd"), "being written");
}

// A claim proves nothing by being there: one that does not record its folder as the one its
// take made (empty, garbage, too long, another folder's, or made again since the take) is left
// as it is, as is its folder, with a warning naming both; a take of that name then fails.
TEST_F(SnapshotTest, AClaimThatDoesNotRecordItsFolderLeavesTheFolderAlone) {
  auto* project = new CopyingProjectDouble(m_dir / "p.xhlc", m_dir);
  AutoRelease<Hvd::IProject2> held(project);
  Hvd::CCheckpointManager manager(held.Get());
  const fs::path snapshots = m_dir / "snapshots";
  // A folder a killed take made, moved away by the user, and one of theirs made in its place.
  KillTakeDuringCopy(*project, manager, snapshots, "swapped");
  fs::rename(snapshots / "swapped", m_root / "moved");
  struct stat elsewhere {};
  ASSERT_EQ(::stat((m_root / "moved").c_str(), &elsewhere), 0);
  const std::map<std::string, std::string> planted = {
      {"empty", ""},
      {"garbage", "not a claim"},
      {"long", std::string(100, '1')},
      {"another", std::to_string(elsewhere.st_dev) + " " + std::to_string(elsewhere.st_ino) + "\n"},
  };
  for (const auto& [name, claim] : planted) WriteText(snapshots / ("." + name + ".take"), claim);
  Strings names{"swapped"};
  for (const auto& entry : planted) names.push_back(entry.first);
  for (const std::string& name : names) WriteText(snapshots / name / "notes.txt", "the user's");

  Port_MsgManData::ClearCaptured();
  AutoRelease<Hvd::ICheckpoint> made;
  ASSERT_EQ(manager.Face()->CreateCheckpoint("next", "", made.Receive()), kSuccess);
  EXPECT_EQ(made->CreateCheckpointProject(), kSuccess);
  for (const std::string& name : names) {
    EXPECT_EQ(ReadText(snapshots / name / "notes.txt"), "the user's") << name;
    EXPECT_TRUE(fs::exists(snapshots / ("." + name + ".take"))) << name;
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning,
                         "The folder \"" + (snapshots / name).string() + "\" is left as it is"))
        << name;
  }
  EXPECT_TRUE(fs::exists(m_root / "moved" / "partial.vhd"));
  AutoRelease<Hvd::ICheckpoint> again;
  ASSERT_EQ(manager.Face()->CreateCheckpoint("empty", "", again.Receive()), kSuccess);
  EXPECT_EQ(again->CreateCheckpointProject(), Hvd::kFailure);
  EXPECT_EQ(ReadText(snapshots / "empty" / "notes.txt"), "the user's");
}

// A claim and a mark that hold the same token of another form than a take writes (too short, too
// long, of other letters) prove nothing: the folder stays with what it holds, named, and so does
// its claim.
TEST_F(SnapshotTest, AClaimAndMarkOfAnotherFormThanATakesProveNothing) {
  auto* project = new CopyingProjectDouble(m_dir / "p.xhlc", m_dir);
  AutoRelease<Hvd::IProject2> held(project);
  Hvd::CCheckpointManager manager(held.Get());
  const fs::path snapshots = m_dir / "snapshots";
  const std::map<std::string, std::string> planted = {
      {"short", "a"},
      {"long", "0123456789abcdef0123456789abcdef0123"},
      {"cut", "0123456789abcdef0123456789abcde"},
      {"capitals", "0123456789ABCDEF0123456789ABCDEF"},
  };
  for (const auto& [name, token] : planted) {
    WriteText(snapshots / ("." + name + ".take"), token + "\n");
    WriteText(snapshots / name / ".made_by_take", token + "\n");
    WriteText(snapshots / name / "notes.txt", "the user's");
  }
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(Take(manager, "next"), kSuccess);
  for (const auto& entry : planted) {
    const std::string& name = entry.first;
    EXPECT_EQ(ReadText(snapshots / name / "notes.txt"), "the user's") << name;
    EXPECT_TRUE(fs::exists(snapshots / ("." + name + ".take"))) << name;
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning,
                         "The folder \"" + (snapshots / name).string() + "\" is left as it is"))
        << name;
  }
}

// A claim is read only under a snapshot's name and only as a file of one name: one named for
// ".." that records the project's folder, or a second name of a file elsewhere (in the form
// a take writes, or the older one), takes nothing away, and the take goes on.
TEST_F(SnapshotTest, AClaimNamedForNoSnapshotOrLinkedElsewhereTakesNothingAway) {
  auto* project = new CopyingProjectDouble(m_dir / "p.xhlc", m_dir);
  AutoRelease<Hvd::IProject2> held(project);
  Hvd::CCheckpointManager manager(held.Get());
  const fs::path snapshots = m_dir / "snapshots";
  WriteText(m_dir / "src" / "a.vhd", "the user's");
  const auto record = [](const fs::path& folder) {
    struct stat info {};
    EXPECT_EQ(::stat(folder.c_str(), &info), 0);
    return std::to_string(info.st_dev) + " " + std::to_string(info.st_ino) + "\n";
  };
  WriteText(snapshots / "....take", record(m_dir));
  KillTakeDuringCopy(*project, manager, snapshots, "linked");
  const fs::path linked = snapshots / ".linked.take";
  WriteText(m_root / "elsewhere.txt", ReadText(linked));
  fs::remove(linked);
  fs::create_hard_link(m_root / "elsewhere.txt", linked);
  WriteText(snapshots / "older" / "notes.txt", "the user's");
  WriteText(m_root / "elsewhere-older.txt", record(snapshots / "older"));
  fs::create_hard_link(m_root / "elsewhere-older.txt", snapshots / ".older.take");
  const std::string token = ReadText(linked);

  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(Take(manager, "next"), kSuccess);
  EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd"), "the user's");
  EXPECT_EQ(ReadText(snapshots / "next" / "p.snp"), "copy ");
  EXPECT_EQ(ReadText(snapshots / "linked" / "partial.vhd"), "from a killed take");
  EXPECT_EQ(ReadText(snapshots / "older" / "notes.txt"), "the user's");
  EXPECT_EQ(ReadText(m_root / "elsewhere.txt"), token);
  for (const char* name : {"linked", "older"})
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning,
                         "The folder \"" + (snapshots / name).string() + "\" is left as it is"))
        << name;
  EXPECT_TRUE(fs::exists(snapshots / "....take"));
}

// A folder the user makes at a killed take's name, after taking the take's away by hand, is the
// user's, even where the file system gives it the freed inode: the next take leaves it, named.
TEST_F(SnapshotTest, AFolderMadeAgainAtAKilledTakesNameStaysWhateverItsInode) {
  auto* project = new CopyingProjectDouble(m_dir / "p.xhlc", m_dir);
  AutoRelease<Hvd::IProject2> held(project);
  Hvd::CCheckpointManager manager(held.Get());
  const fs::path snapshots = m_dir / "snapshots";
  KillTakeDuringCopy(*project, manager, snapshots, "killed");
  std::ignore = RemadeWithItsInode(snapshots / "killed");
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(Take(manager, "next"), kSuccess);
  EXPECT_EQ(ReadText(snapshots / "killed" / "notes.txt"), "the user's");
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning,
                       "The folder \"" + (snapshots / "killed").string() + "\" is left as it is"));
}

// What a take killed before its token or its mark was written leaves holds nothing: a claim
// beside no folder or an empty one, or beside a folder with only an empty mark. It goes at the
// next take, and a take of that name then succeeds; a snapshot's own leftover mark goes too.
TEST_F(SnapshotTest, WhatAKilledTakeLeftHoldingNothingGoesAndFreesItsName) {
  auto* project = new CopyingProjectDouble(m_dir / "p.xhlc", m_dir);
  AutoRelease<Hvd::IProject2> held(project);
  Hvd::CCheckpointManager manager(held.Get());
  const fs::path snapshots = m_dir / "snapshots";
  const std::string token = "0123456789abcdef0123456789abcdef\n";
  WriteText(snapshots / ".bare.take", "");
  WriteText(snapshots / ".empty.take", "");
  fs::create_directories(snapshots / "empty");
  WriteText(snapshots / ".token.take", token);
  fs::create_directories(snapshots / "token");
  WriteText(snapshots / ".cut.take", token);
  WriteText(snapshots / "cut" / ".made_by_take", "");
  // A take killed once marked, before it let go, and one killed as it makes its folder.
  ASSERT_TRUE(KilledAt([&] { return Take(manager, "done"); }, "remove_f", 1, "done/.made_by_take"));
  ASSERT_TRUE(fs::exists(snapshots / "done" / ".made_by_take"));
  ASSERT_TRUE(KilledAt([&] { return Take(manager, "killed"); }, "mkdir", 1, "snapshots/killed"));
  ASSERT_TRUE(fs::exists(snapshots / ".killed.take"));

  for (const char* name : {"bare", "empty", "token", "cut", "killed"}) {
    EXPECT_EQ(Take(manager, name), kSuccess) << name;
    EXPECT_EQ(ReadText(snapshots / name / "p.snp"), "copy ") << name;
    EXPECT_FALSE(fs::exists(snapshots / ("." + std::string(name) + ".take"))) << name;
  }
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(snapshots))
    EXPECT_NE(entry.path().filename(), ".made_by_take") << entry.path();
  EXPECT_EQ(ReadText(snapshots / "done" / "p.snp"), "copy ");
  EXPECT_FALSE(fs::exists(snapshots / ".done.take"));
}

// The whole road with the project's own copy and bundle: taken, changed, restored.
TEST_F(SnapshotTest, TakenAndRestoredThroughTheProjectsCopy) {
  WriteText(m_dir / "src" / "a.vhd", "old");
  OpenProject();
  if (!AutoCast<Hvd::IProjectSaveAsArchive2>(m_project.Get())) GTEST_SKIP() << "the project does not copy itself yet";
  AutoRelease<Hvd::ICheckpoint> made;
  ASSERT_EQ(Manager()->CreateCheckpoint("s", "first", made.Receive()), kSuccess);
  ASSERT_EQ(made->CreateCheckpointProject(), kSuccess);
  EXPECT_TRUE(fs::is_regular_file(m_dir / "snapshots" / "s" / "p.snp"));
  EXPECT_EQ(Listed(), Strings{"s"});
  WriteText(m_dir / "src" / "a.vhd", "changed");

  AutoRelease<Hvd::IProjectHelper> helper(new HelperDouble(m_project.Get()));
  AutoRelease<Prjrep::IProjectRepository> repository = Hvd::GetRepositoryOfObject(m_project.Get());
  ASSERT_TRUE(repository);
  ASSERT_EQ(Hvd::RegisterNamedObject(repository.Get(), "CvfProject", helper.Get(), true), kSuccess);
  AutoRelease<Hvd::IProject> restored;
  ASSERT_EQ(made->RestoreCheckpointProject(restored.Receive(), 0, nullptr), kSuccess);
  EXPECT_EQ(restored.Get(), m_project.Get());
  EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd"), "old");
  EXPECT_FALSE(fs::exists(m_dir / "p.snp"));
  EXPECT_EQ(Manager()->RemoveCheckpointByName("s"), kSuccess);
  EXPECT_EQ(m_project->ProjectClose(false), kSuccess);
}

// With a working directory outside the project, absolute or reached through "..", the
// snapshot's copy shares it with the project. The take writes nothing there that the project's
// next save takes for another program's change: the save, and the saving close, ask nothing and
// write what changed since.
TEST_F(SnapshotTest, ATakeWithAnOutsideWorkingDirectoryIsNoChangeOnDisk) {
  WriteText(m_dir / "src" / "a.vhd", "entity a is end;\n");
  WriteText(m_dir / "src" / "b.vhd", "entity b is end;\n");
  const auto asked = [] {
    Text text;
    std::ignore = InterpHelp::RunCmd("set ::velmor::Hvd::asked", nullptr, false, &text);
    std::ignore = InterpHelp::RunCmd("::velmor::Hvd::hvd_ResetDialogs", nullptr, false, nullptr);
    return text.str();
  };
  for (const std::string& working : {(m_root / "absolute").string(), std::string("../relative")}) {
    const fs::path outside = (m_dir / working).lexically_normal();
    fs::remove_all(m_dir / "snapshots");
    fs::create_directories(outside);
    OpenProject();
    Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_WorkingDirectory", working.c_str());
    ASSERT_EQ(m_project->ProjectClose(true), kSuccess);
    OpenProject();
    Text generated;
    ASSERT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->GetGeneratedFilePath(&generated), kSuccess);
    ASSERT_EQ(fs::path(generated.str()), outside / "p.ghlc") << working;
    asked();
    AutoRelease<Hvd::ICheckpoint> made;
    ASSERT_EQ(Manager()->CreateCheckpoint("s", "", made.Receive()), kSuccess);
    ASSERT_EQ(made->CreateCheckpointProject(), kSuccess) << working;

    AutoRelease<Hvd::IHdlFile> file;
    ASSERT_EQ(AutoCast<Hvd::IFileManager>(m_project.Get())
                  ->ProjectAddFile((m_dir / "src" / "b.vhd").c_str(), nullptr, file.Receive()),
              kSuccess);
    EXPECT_EQ(m_project->Save(), kSuccess) << working;
    EXPECT_EQ(asked(), "") << working;
    EXPECT_NE(ReadText(m_file).find("b.vhd"), std::string::npos) << working;
    ASSERT_EQ(AutoCast<Hvd::IFileManager>(m_project.Get())->RemoveFileByHdlFile(file.Get()), kSuccess);
    file = nullptr;
    EXPECT_EQ(m_project->ProjectClose(true), kSuccess) << working;
    EXPECT_EQ(asked(), "") << working;
    EXPECT_EQ(ReadText(m_file).find("b.vhd"), std::string::npos) << working;
  }
}

// A snapshot holds the project's links as links, wherever they lead and whether they lead
// anywhere; a FIFO has nothing to hold and stays out with a warning. The rest is taken.
TEST_F(SnapshotTest, TakenWithLinksAsLinksAndWithoutFifos) {
  WriteText(m_dir / "src" / "a.vhd", "old");
  WriteText(m_root / "shared" / "s.vhd", "shared");
  fs::create_directory_symlink("../shared", m_dir / "ip");
  fs::create_symlink("nowhere", m_dir / "dangling");
  fs::create_symlink("loop2", m_dir / "loop1");
  fs::create_symlink("loop1", m_dir / "loop2");
  fs::create_directory_symlink("..", m_dir / "src" / "up");
  ASSERT_EQ(::mkfifo((m_dir / "pipe").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((m_dir / "src" / "pipe").c_str(), 0600), 0);
  OpenProject();
  AutoRelease<Hvd::ICheckpoint> made;
  ASSERT_EQ(Manager()->CreateCheckpoint("s", "", made.Receive()), kSuccess);
  ASSERT_EQ(made->CreateCheckpointProject(), kSuccess);
  const fs::path taken = m_dir / "snapshots" / "s";
  for (const auto& [link, target] : {std::pair{"ip", "../shared"}, {"dangling", "nowhere"}, {"loop1", "loop2"},
                                     {"loop2", "loop1"}, {"src/up", ".."}}) {
    EXPECT_TRUE(fs::is_symlink(taken / link)) << link;
    EXPECT_EQ(fs::read_symlink(taken / link), target) << link;
  }
  EXPECT_EQ(ReadText(taken / "src" / "a.vhd"), "old");
  EXPECT_FALSE(fs::exists(fs::symlink_status(taken / "pipe")) || fs::exists(fs::symlink_status(taken / "src/pipe")));
  EXPECT_TRUE(Said("/pipe> is not a regular file and is left out of the copy."));
  EXPECT_EQ(Listed(), Strings{"s"});
  EXPECT_EQ(m_project->ProjectClose(false), kSuccess);
}

// The folders in which restores of the projects whose files (or links to them) stand in the
// project's folder work are none of its content, this project's or another's, and are not taken;
// a folder named so beside no project file, or a link to a folder, is the user's and is.
TEST_F(SnapshotTest, ATakeLeavesOutTheRestoreFoldersOfTheProjectsThere) {
  WriteText(m_dir / "q.xhlc", "");
  WriteText(m_dir / ".q.restore" / "journal", "q's");
  WriteText(m_dir / ".p.restore" / "new" / "a.vhd", "p's");
  WriteText(m_dir / ".r.restore" / "notes", "the user's");
  // Beside a source of the project, and in a folder that holds none, at any depth.
  for (const char* name : {"sub/c.hlc", "sub/.c.restore/journal", "deep/er/d.xhlc", "deep/er/.d.restore/journal",
                           "sub/.l.restore/journal", "sub/.f.restore/notes"})
    WriteText(m_dir / name, "");
  fs::create_symlink("../q.xhlc", m_dir / "sub" / "l.xhlc");
  fs::create_directory_symlink("../deep", m_dir / "sub" / "f.xhlc");
  WriteText(m_dir / "sub" / "a.vhd", "entity a is end;\n");
  OpenProject();
  AutoRelease<Hvd::IHdlFile> source;
  ASSERT_EQ(Files()->ProjectAddFile((m_dir / "sub" / "a.vhd").c_str(), nullptr, source.Receive()), kSuccess);
  AutoRelease<Hvd::ICheckpoint> made;
  ASSERT_EQ(Manager()->CreateCheckpoint("s", "", made.Receive()), kSuccess);
  ASSERT_EQ(made->CreateCheckpointProject(), kSuccess);
  const fs::path taken = m_dir / "snapshots" / "s";
  for (const char* name : {".q.restore", ".p.restore", "sub/.c.restore", "deep/er/.d.restore", "sub/.l.restore"})
    EXPECT_FALSE(fs::exists(fs::symlink_status(taken / name))) << name;
  EXPECT_TRUE(fs::exists(taken / "sub/c.hlc") && fs::exists(taken / "deep/er/d.xhlc"));
  EXPECT_TRUE(fs::is_symlink(taken / "sub/l.xhlc") && fs::exists(taken / "sub/.f.restore/notes"));
  EXPECT_EQ(ReadText(taken / ".r.restore" / "notes"), "the user's");
  EXPECT_EQ(m_project->ProjectClose(false), kSuccess);
}

// A "snapshots" directory that is a link leads out of the project: nothing is taken, listed,
// restored or deleted through it.
TEST_F(SnapshotTest, ASnapshotsDirectoryThatIsALinkIsRefusedByEveryOperation) {
  const fs::path outside = m_root / "outside";
  fs::create_directories(outside);
  fs::create_directory_symlink(outside, m_dir / "snapshots");
  OpenProject();
  AutoRelease<Hvd::ICheckpoint> made;
  ASSERT_EQ(Manager()->CreateCheckpoint("s", "", made.Receive()), kSuccess);
  EXPECT_NE(made->CreateCheckpointProject(), kSuccess);
  EXPECT_TRUE(fs::is_empty(outside));

  WriteText(outside / "old" / "p.snp", "keep");
  fs::copy_file(m_file, outside / "old" / "p.xhlc");
  AutoRelease<Hvd::ICheckpointIterator> at;
  EXPECT_EQ(Manager()->GetCheckpoints(at.Receive()), Hvd::kFailure);
  EXPECT_FALSE(at);
  EXPECT_TRUE(Said("The snapshots directory is a link"));
  EXPECT_FALSE(Find("old"));
  EXPECT_EQ(Manager()->RemoveCheckpointByName("old"), Hvd::kFailure);
  AutoRelease<Hvd::ICheckpoint> old;
  ASSERT_EQ(Manager()->CreateCheckpoint("old", "", old.Receive()), kSuccess);
  AutoRelease<Hvd::IProject> restored;
  EXPECT_NE(old->RestoreCheckpointProject(restored.Receive(), 0, nullptr), kSuccess);
  EXPECT_EQ(old->DeleteCheckpointFiles(), Hvd::kFailure);
  EXPECT_EQ(ReadText(outside / "old" / "p.snp"), "keep");
  EXPECT_EQ(m_project->ProjectClose(false), kSuccess);
}

// The same road with the host's Cvf project helper, registered as the suite registers it: it
// closes the project it is bound to and opens that project again on the restored files.
TEST_F(SnapshotTest, RestoredThroughTheCvfProjectHelper) {
  WriteText(m_dir / "src" / "a.vhd", "old");
  OpenProject();
  if (!AutoCast<Hvd::IProjectSaveAsArchive2>(m_project.Get())) GTEST_SKIP() << "the project does not copy itself yet";
  AutoRelease<Hvd::ICheckpoint> made;
  ASSERT_EQ(Manager()->CreateCheckpoint("s", "", made.Receive()), kSuccess);
  ASSERT_EQ(made->CreateCheckpointProject(), kSuccess);
  WriteText(m_dir / "src" / "a.vhd", "changed");

  AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(m_project.Get(), true);
  ASSERT_TRUE(helper);
  AutoRelease<Prjrep::IProjectRepository> repository = Hvd::GetRepositoryOfObject(m_project.Get());
  ASSERT_EQ(Hvd::RegisterNamedObject(repository.Get(), "CvfProject", helper.Get(), true), kSuccess);
  AutoRelease<Hvd::IProject> restored;
  ASSERT_EQ(made->RestoreCheckpointProject(restored.Receive(), 0, nullptr), kSuccess);
  EXPECT_EQ(restored.Get(), m_project.Get());
  bool open = false;
  EXPECT_TRUE(m_project->IsOpen(&open) == kSuccess && open);
  EXPECT_EQ(ReadText(m_dir / "src" / "a.vhd"), "old");

  // Closed by the helper: let go; opened through it: bound again. Nothing open, nothing bound.
  AutoCast<Hvd::IProjectHelper2> opener(helper.Get());
  ASSERT_TRUE(opener);
  AutoRelease<Hvd::IProjectHelper> other = Hvd::GetCvfProject(nullptr, true);
  EXPECT_EQ(AutoCast<Hvd::IProjectHelper2>(other.Get())->OpenProject(m_file.c_str()), kSuccess);
  AutoRelease<CitI::IInterface> bound;
  EXPECT_EQ(other->GetProject(bound.Receive()), kSuccess) << "bound to the project open there";
  bound = nullptr;
  EXPECT_EQ(helper->CloseProject(), kSuccess);
  EXPECT_TRUE(m_project->IsOpen(&open) == kSuccess && !open);
  EXPECT_EQ(helper->GetProject(bound.Receive()), Hvd::kFailure);
  EXPECT_EQ(opener->OpenProject(m_file.c_str()), kSuccess);
  EXPECT_TRUE(m_project->IsOpen(&open) == kSuccess && open);
  ASSERT_EQ(opener->GetProject(bound.Receive()), kSuccess);
  EXPECT_EQ(bound.Get(), static_cast<CitI::IInterface*>(m_project.Get()));
  bound = nullptr;

  if (AutoRelease<Prjrep::IProjectRepository> now = Hvd::GetRepositoryOfObject(m_project.Get()); now) {
    if (AutoCast<Prjrep::ISimpleNamedLookup> names(now.Get()); names) std::ignore = names->UnregisterObject(helper.Get());
  }
  EXPECT_EQ(other->CloseProject(), kSuccess);
  EXPECT_TRUE(m_project->IsOpen(&open) == kSuccess && !open);
}

}  // namespace
}  // namespace xhlc_test
