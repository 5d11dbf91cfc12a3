// The project object: its table, accessors, file manager, references and events.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Hvd/EventIds.h"
#include "Hvd/IFile.h"
#include "Port/MsgMan.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "project/project/CProject.h"
#include "support/DesignDouble.h"
#include "utils/DmUtils.h"

namespace {

using testing_support::DesignDouble;
using Text = Port::StringBase<char>;
using Hvd::CProject;
using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;

// Records the ids of the events it receives.
struct Listener {
  static Hvd::Status Record(Listener* self, Prjrep::IEvent* event) {
    Port::XUID id;
    std::ignore = event->GetEventId(id);
    self->ids.push_back(id);
    return Hvd::kSuccess;
  }
  std::vector<Port::XUID> ids;
  Prjrep::TBaseEventReceiverHelper<Listener> receiver{this, &Record};
};

bool Logged(const std::string& text) {
  for (const auto& record : Port_MsgManData::Captured()) {
    if (record.text == text) return true;
  }
  return false;
}

class ProjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_design->UseBaseServices());
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    m_dir = (std::filesystem::temp_directory_path() / ("project_" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(m_dir + "/src");
    for (const char* name : {"src/a.vhd", "src/b.vhd", "notes.xyz", "p.xhlc"}) std::ofstream(m_dir + "/" + name) << "x";
    m_project = AutoRelease<Hvd::IProject4>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    ASSERT_TRUE(m_project);
    Port_MsgManData::ClearCaptured();
  }
  void TearDown() override {
    m_project = nullptr;
    m_design = nullptr;
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    std::filesystem::remove_all(m_dir);
  }
  // Open on `<dir>/p.xhlc` with the design double, and a "work" library when asked.
  void Open(bool withWork = true, bool readOnly = false) {
    CProject::FromInterface(m_project.Get())->EnterOpenState((m_dir + "/p.xhlc").c_str(), m_design.Get(), readOnly);
    m_design->project = m_project.Get();
    if (withWork) {
      ASSERT_EQ(Files<Hvd::ISourceLibraryManager>()->CreateSourceLibrary("work", m_work.Receive()), Hvd::kSuccess);
    }
  }
  std::size_t WorkSize() { return AutoCast<Hvd::IHdlFileSet>(m_work.Get())->Size(); }
  template <class I = Hvd::IFileManager>
  AutoCast<I> Files() {
    return AutoCast<I>(m_project.Get());
  }
  Hvd::Status Add(const std::string& path, AutoRelease<Hvd::IHdlFile>* file = nullptr) {
    AutoRelease<Hvd::IHdlFile> ignored;
    return Files()->ProjectAddFile(path.c_str(), nullptr, (file ? file : &ignored)->Receive());
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    AutoRelease<Hvd::IHdlFileIterator> it;
    if (Files()->GetProjectFiles(it.Receive()) != Hvd::kSuccess) return names;
    for (; !it->IsDone(); std::ignore = it->Next()) names.push_back(Hvd::GetObjectFullPath(it->Current()).str());
    return names;
  }

  std::string m_dir;
  AutoPtr<DesignDouble> m_design{AutoRelease<DesignDouble>(new DesignDouble)};
  AutoRelease<Hvd::IProject4> m_project;
  AutoRelease<Hvd::ISourceLibrary> m_work;
};

TEST_F(ProjectTest, EveryInterfaceReachesEveryOtherAndTheLookupIsMadeOnce) {
  const std::vector<Port::XUID> ids = {Hvd::IProject::GetIID(),
                                       Hvd::IProject4::GetIID(),
                                       Hvd::IFileManager::GetIID(),
                                       Hvd::IFileManagerV1::GetIID(),
                                       Hvd::IFileManagerV2::GetIID(),
                                       Hvd::ISourceLibraryManager::GetIID(),
                                       Hvd::IProjectReferenceSet::GetIID(),
                                       Hvd::IPropertyInstanceSet::GetIID(),
                                       Hvd::IProjectHelperReference::GetIID(),
                                       Prjrep::IName::GetIID(),
                                       Prjrep::IPersist::GetIID(),
                                       Hvd::IProjectInternal::GetIID(),
                                       Prjrep::IEventSender::GetIID(),
                                       Prjrep::IRefCount::GetIID(),
                                       Prjrep::IEventReceiver::GetIID(),
                                       Hvd::IPropertyContext::GetIID(),
                                       Prjrep::IAutoNaming::GetIID(),
                                       Hvd::ICompositionControl::GetIID(),
                                       Hvd::IForceSave::GetIID()};
  CitI::IInterface* root = m_project->QueryInterface(CitI::IInterface::GetIID());
  EXPECT_EQ(root, static_cast<CitI::IInterface*>(m_project.Get()));
  for (const auto& from : ids) {
    CitI::IInterface* part = m_project->QueryInterface(from);
    ASSERT_NE(part, nullptr) << from.GetAsString().str();
    for (const auto& to : ids) EXPECT_EQ(part->QueryInterface(to), m_project->QueryInterface(to));
    EXPECT_EQ(part->QueryInterface(CitI::IInterface::GetIID()), root);
  }
  EXPECT_EQ(m_project->QueryInterface(Hvd::ICheckpointManager::GetIID()), nullptr) << "no snapshot manager yet";

  auto* names = m_project->QueryInterface(Prjrep::ISimpleNamedLookup::GetIID());
  auto* autonyms = m_project->QueryInterface(Prjrep::IAutonymLookup::GetIID());
  ASSERT_TRUE(names && autonyms);
  EXPECT_EQ(names->QueryInterface(CitI::IInterface::GetIID()), autonyms->QueryInterface(CitI::IInterface::GetIID()))
      << "one lookup component answers both";
  EXPECT_EQ(m_project->QueryInterface(Prjrep::ISimpleNamedLookup::GetIID()), names);
}

TEST_F(ProjectTest, AccessorsOfAClosedAndOfAnOpenProject) {
  bool flag = true;
  EXPECT_EQ(m_project->IsOpen(&flag), Hvd::kSuccess);
  EXPECT_FALSE(flag);
  EXPECT_EQ(m_project->GetReadOnly(&flag), Hvd::kProjectNotOpen);
  EXPECT_EQ(m_project->GetDesign(nullptr), Hvd::kProjectNotOpen) << "not open is checked before the argument";
  EXPECT_EQ(m_project->GetReadOnly(nullptr), Hvd::kProjectNotOpen);
  EXPECT_EQ(m_project->IsOpen(nullptr), Hvd::kInvalidParameter) << "a null output is refused, not written";
  Port::StringBase<char> path("untouched");
  EXPECT_EQ(m_project->GetProjectFilePath(&path), Hvd::kSuccess);
  EXPECT_EQ(path.str(), "untouched") << "an empty stored path leaves the output as it was";
  EXPECT_EQ(m_project->GetRepositoryPath(nullptr), Hvd::kInvalidParameter);
  EXPECT_EQ(AutoCast<Prjrep::IName>(m_project.Get())->SetName("p"), Hvd::kProjectNotOpen);

  Open();
  Hvd::IDesign* design = nullptr;
  EXPECT_EQ(m_project->GetDesign(&design), Hvd::kSuccess);
  EXPECT_NE(design, nullptr);
  EXPECT_EQ(m_project->GetProjectFilePath(&path), Hvd::kSuccess);
  EXPECT_EQ(path.str(), m_dir + "/p.xhlc");
  EXPECT_EQ(m_project->GetWorkingDirectory(&path), Hvd::kSuccess);
  EXPECT_EQ(path.str(), m_dir) << "no working-directory property: the project's own directory";
  EXPECT_EQ(m_project->GetRepositoryPath(&path), Hvd::kSuccess);
  EXPECT_EQ(path.str(), m_dir + "/p.hlc");
  EXPECT_EQ(m_project->GetGeneratedFilePath(&path), Hvd::kSuccess);
  EXPECT_EQ(path.str(), m_dir + "/p.ghlc");
  EXPECT_EQ(AutoCast<Prjrep::IName>(m_project.Get())->SetName("p"), Hvd::kSuccess);
  EXPECT_EQ(m_project->Open(""), Hvd::kNotSupported) << "opening comes with the project files";
}

TEST_F(ProjectTest, TheSaveDelayIsReadWithItsBase) {
  for (auto [text, expected] :
       std::vector<std::pair<const char*, std::int64_t>>{{"0x10", 16}, {"-1", -1}, {"010", 8}}) {
    setenv("VEL_CORVANE_SAVE_DELAY", text, 1);
    AutoRelease<Hvd::IProject> project(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    EXPECT_EQ(CProject::FromInterface(project.Get())->SaveDelay(), expected) << text;
  }
  unsetenv("VEL_CORVANE_SAVE_DELAY");
}

TEST_F(ProjectTest, AddingFilesNumbersThemOnceAndHandsThemToWork) {
  AutoRelease<Hvd::IHdlFileIterator> none;
  EXPECT_EQ(Files()->GetProjectFiles(none.Receive()), Hvd::kProjectNotOpen);
  Open();
  Listener listener;
  Hvd::ConnectEventReceiver(m_project.Get(), &listener.receiver);
  const std::vector<Port::XUID>& events = listener.ids;

  AutoRelease<Hvd::IHdlFile> a, again, b;
  EXPECT_EQ(Add(m_dir + "/src/a.vhd", &a), Hvd::kSuccess);
  EXPECT_EQ(Add("src/a.vhd", &again), Hvd::kAlreadyInProject) << "a relative path names the same file";
  EXPECT_EQ(again.Get(), a.Get());
  EXPECT_EQ(Add(m_dir + "/src/../src/b.vhd", &b), Hvd::kSuccess);
  EXPECT_EQ(Names(), (std::vector<std::string>{m_dir + "/src/a.vhd", m_dir + "/src/b.vhd"}));
  EXPECT_EQ(WorkSize(), 2u);
  std::uint64_t id = 0;
  EXPECT_TRUE(AutoCast<Hvd::ICompileOrder>(a.Get())->GetSequenceID(7, &id) == Hvd::kSuccess && id == 1u);
  EXPECT_TRUE(AutoCast<Hvd::ICompileOrder>(b.Get())->GetSequenceID(0, &id) == Hvd::kSuccess && id == 2u);
  AutoRelease<Prjrep::IAutonymIterator> originator;
  ASSERT_EQ(AutoCast<Hvd::IOriginatorRef>(a.Get())->FindOriginator(m_project.Get(), originator.Receive()),
            Hvd::kSuccess);
  EXPECT_FALSE(originator->IsDone()) << "the project is the file's originator";
  EXPECT_EQ(events, (std::vector<Port::XUID>{Hvd::EventId::FileAdded(), Hvd::EventId::DesignUnitCreated(),
                                             Hvd::EventId::FileAdded(), Hvd::EventId::DesignUnitCreated()}));

  // A type from the extension, else the text type.
  AutoRelease<Hvd::IHdlFile> notes;
  EXPECT_EQ(Add(m_dir + "/notes.xyz", &notes), Hvd::kSuccess);
  EXPECT_EQ(Hvd::GetDefDataIdName(notes.Get()).str(), "FILE_TEXT");

  EXPECT_EQ(Add(m_dir + "/src/missing.vhd"), Hvd::kFailure);
  EXPECT_TRUE(Logged("ERROR: Project::ProjectAddFile - file " + m_dir + "/src/missing.vhd not found.\n"));
  AutoRelease<Hvd::IHdlFile> internal;
  EXPECT_EQ(
      Files<Hvd::IProjectInternal>()->ProjectAddFile((m_dir + "/src/missing.vhd").c_str(), nullptr, internal.Receive()),
      Hvd::kSuccess)
      << "the internal add does not ask for the file on disk";
  EXPECT_EQ(Add(m_dir + "/p.xhlc"), Hvd::kFailure);
  EXPECT_TRUE(Logged("ERROR: Project::ProjectAddFile - Cannot add a project to itself.\n"));
  EXPECT_EQ(Add(""), Hvd::kInvalidParameter);
  EXPECT_EQ(Names().size(), 4u);
}

TEST_F(ProjectTest, WithoutAWorkLibraryOrOnAReadOnlyProject) {
  Open(false);
  EXPECT_EQ(Add(m_dir + "/src/a.vhd"), Hvd::kFailure) << "added, but there is no library to take it";
  EXPECT_EQ(Names().size(), 1u);
  AutoRelease<Hvd::IProject> other(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  CProject::FromInterface(other.Get())->EnterOpenState((m_dir + "/q.xhlc").c_str(), m_design.Get(), true);
  AutoRelease<Hvd::IHdlFile> file;
  EXPECT_EQ(
      AutoCast<Hvd::IFileManager>(other.Get())->ProjectAddFile((m_dir + "/src/a.vhd").c_str(), nullptr, file.Receive()),
      Hvd::kProjectReadOnly);
}

TEST_F(ProjectTest, FindingAndRemovingFiles) {
  Open();
  AutoRelease<Hvd::IHdlFile> a;
  ASSERT_EQ(Add(m_dir + "/src/a.vhd", &a), Hvd::kSuccess);
  ASSERT_EQ(Add(m_dir + "/src/b.vhd"), Hvd::kSuccess);

  AutoRelease<Hvd::IHdlFileIterator> at;
  EXPECT_EQ(Files()->FindFileByPath("src/b.vhd", at.Receive()), Hvd::kSuccess) << "relative to the project";
  EXPECT_EQ(Hvd::GetObjectFullPath(at->Current()).str(), m_dir + "/src/b.vhd");
  EXPECT_EQ(Files()->FindFileByHdlFile(a.Get(), at.ReleaseAndReceive()), Hvd::kSuccess);
  EXPECT_EQ(at->Current(), a.Get());
  AutoRelease<Hvd::IHdlFile> found;
  EXPECT_EQ(Files()->FindFileCompFromName((m_dir + "/src/a.vhd").c_str(), found.Receive()), Hvd::kSuccess);
  EXPECT_EQ(found.Get(), a.Get());
  Port::StringBase<char> directory, name;
  ASSERT_EQ(a->GetPath(&directory, &name), Hvd::kSuccess);
  EXPECT_TRUE(Files<Hvd::IProjectInternal>()->FindFileByNameParts(directory, name, true, found.ReleaseAndReceive()));
  EXPECT_EQ(Files()->FindFileByPath("src/none.vhd", at.ReleaseAndReceive()), Hvd::kFailure);
  EXPECT_EQ(at.Get(), nullptr);

  // The set holds b's only reference: the removal keeps the file alive until it is done.
  EXPECT_EQ(Files()->RemoveFileByPath((m_dir + "/src/b.vhd").c_str()), Hvd::kSuccess);
  EXPECT_EQ(WorkSize(), 1u) << "the removed file left its library";
  EXPECT_EQ(Files()->FindFileCompFromName((m_dir + "/src/b.vhd").c_str(), found.ReleaseAndReceive()), Hvd::kFailure);
  AutoRelease<Hvd::IHdlFile> b;
  EXPECT_EQ(Add(m_dir + "/src/b.vhd", &b), Hvd::kSuccess) << "a removed file can come again";
  EXPECT_EQ(Files()->RemoveFileByPath("src/none.vhd"), Hvd::kFailure);
  // Files that include each other hold each other; the project lets both go all the same.
  AutoRelease<Hvd::IHdlFile> child;
  ASSERT_EQ(AutoCast<Hvd::IHdlFileV4>(b.Get())->AddChildFileByName(1, (m_dir + "/src/a.vhd").c_str(), child.Receive()),
            Hvd::kSuccess);
  ASSERT_EQ(AutoCast<Hvd::IHdlFileV4>(child.Get())->AddChildFileByName(1, (m_dir + "/src/b.vhd").c_str(), nullptr),
            Hvd::kSuccess);
  EXPECT_EQ(Files()->RemoveFileByHdlFile(a.Get()), Hvd::kSuccess);
  EXPECT_EQ(Names(), std::vector<std::string>{m_dir + "/src/b.vhd"});
  EXPECT_EQ(Files()->ProjectRemoveFile(nullptr), Hvd::kInvalidParameter);
}

// A reference whose count the test can read.
struct Reference : Hvd::TComponent<Reference, Hvd::IProjectReference> {
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IProjectReference>(this), Hvd::Row<Prjrep::IRefCount>(&count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status GetProjectFileName(Text*) override { return Hvd::kSuccess; }
  Hvd::Status SetProjectFileName(const Text&) override { return Hvd::kSuccess; }
  Prjrep::TRefCountHelper<Reference> count{this};
};

TEST_F(ProjectTest, ReferencesAreCheckedAddedAndGivenUpOnce) {
  AutoCast<Hvd::IProjectReferenceSet> set(m_project.Get());
  AutoRelease<Hvd::IProjectReference> reference(new Reference);
  EXPECT_EQ(set->Add(nullptr), Hvd::kInvalidParameter);
  EXPECT_EQ(set->Add(reference.Get()), Hvd::kProjectNotOpen);
  Open();
  EXPECT_EQ(set->Add(reference.Get()), Hvd::kSuccess);
  EXPECT_EQ(set->Add(reference.Get()), Hvd::kSuccess) << "no duplicate check";
  auto count = [&] { return AutoCast<Prjrep::IRefCount>(reference.Get())->GetRefCount(); };
  EXPECT_EQ(count(), 3);
  AutoRelease<Hvd::IProjectReferenceIterator> at;
  ASSERT_EQ(set->GetIterator(at.Receive()), Hvd::kSuccess);
  EXPECT_EQ(set->Remove(at.Get()), Hvd::kSuccess);
  EXPECT_EQ(count(), 2) << "one reference given up, not two";
  EXPECT_EQ(set->Size(), 1u);
}

TEST_F(ProjectTest, FileEventsReachingTheProjectAreSentOnAsTheProject) {
  Open();
  Listener listener;
  Hvd::ConnectEventReceiver(m_project.Get(), &listener.receiver);
  const std::vector<Port::XUID>& events = listener.ids;
  AutoCast<Prjrep::IEventReceiver> receiver(m_project.Get());
  for (const auto& id : {Hvd::EventId::FileChangedOnDisk(), Hvd::EventId::ViewChanged(), Hvd::EventId::FileAdded()}) {
    AutoRelease<Prjrep::IEvent> event = Hvd::CreateEvent(nullptr, id, nullptr);
    EXPECT_EQ(receiver->ReceiveEvent(event.Get()), Hvd::kSuccess);
  }
  EXPECT_EQ(events, (std::vector<Port::XUID>{Hvd::EventId::FileChangedOnDisk(), Hvd::EventId::FileAdded()}));
  EXPECT_EQ(AutoCast<Hvd::ICompositionControl>(m_project.Get())->Compose(nullptr), Hvd::kSuccess)
      << "no child projects: nothing to compose";
}

}  // namespace
