// The project object: its table, accessors, file manager, references and events.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Hvd/EventIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IFile.h"
#include "Prjrep/IFileNameHelper.h"
#include "Port/MsgMan.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "project/project/CProject.h"
#include "support/DesignDouble.h"
#include "utils/DmUtils.h"

namespace {

using testing_support::DesignDouble;
using Text = Port::StringBase<char>;
using Hvd::CProject, Hvd::kSuccess;
using Prjrep::AutoCast, Prjrep::AutoPtr, Prjrep::AutoRelease;
using Ids = std::vector<Port::XUID>;

template <class... I>
Ids IdsOf() {
  return {I::GetIID()...};
}

// Records the ids of the events it receives.
struct Listener {
  static Hvd::Status Record(Listener* self, Prjrep::IEvent* event) {
    std::ignore = event->GetEventId(self->ids.emplace_back());
    return kSuccess;
  }
  Ids ids;
  Prjrep::TBaseEventReceiverHelper<Listener> receiver{this, &Record};
};

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
  }
  void TearDown() override {
    m_project = nullptr, m_design = nullptr;
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    std::filesystem::remove_all(m_dir);
  }
  // Open on `<dir>/p.xhlc` with the design double, and a "work" library when asked; `m_events` listens from then on.
  void Open(bool withWork = true) {
    CProject::FromInterface(m_project.Get())->EnterOpenState((m_dir + "/p.xhlc").c_str(), m_design.Get(), false);
    m_design->project = m_project.Get();
    EXPECT_TRUE(!withWork ||
                Files<Hvd::ISourceLibraryManager>()->CreateSourceLibrary("work", m_work.Receive()) == kSuccess);
    Hvd::ConnectEventReceiver(m_project.Get(), &m_events.receiver);
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
    for (std::ignore = Files()->GetProjectFiles(it.Receive()); it && !it->IsDone(); std::ignore = it->Next())
      names.push_back(Hvd::GetObjectFullPath(it->Current()).str());
    return names;
  }

  std::string m_dir;
  Listener m_events;
  AutoPtr<DesignDouble> m_design{AutoRelease<DesignDouble>(new DesignDouble)};
  AutoRelease<Hvd::IProject4> m_project;
  AutoRelease<Hvd::ISourceLibrary> m_work;
};

TEST_F(ProjectTest, EveryInterfaceReachesEveryOtherAndTheLookupIsMadeOnce) {
  const Ids ids = IdsOf<Hvd::IProject, Hvd::IProject4, Hvd::IFileManager, Hvd::IFileManagerV1, Hvd::IFileManagerV2,
                        Hvd::ISourceLibraryManager, Hvd::IProjectReferenceSet, Hvd::IPropertyInstanceSet,
                        Hvd::IProjectHelperReference, Prjrep::IName, Prjrep::IPersist, Hvd::IProjectInternal,
                        Prjrep::IEventSender, Prjrep::IRefCount, Prjrep::IEventReceiver, Hvd::IPropertyContext,
                        Prjrep::IAutoNaming, Hvd::ICompositionControl, Hvd::IForceSave>();
  CitI::IInterface* root = static_cast<CitI::IInterface*>(m_project.Get());
  for (const auto& from : ids) {
    CitI::IInterface* part = m_project->QueryInterface(from);
    ASSERT_NE(part, nullptr) << from.GetAsString().str();
    for (const auto& to : ids) EXPECT_EQ(part->QueryInterface(to), m_project->QueryInterface(to));
    EXPECT_EQ(part->QueryInterface(CitI::IInterface::GetIID()), root);
  }
  CitI::IInterface* manager = m_project->QueryInterface(Hvd::ICheckpointManager::GetIID());
  ASSERT_NE(manager, nullptr);
  EXPECT_NE(manager->QueryInterface(CitI::IInterface::GetIID()), root) << "the snapshot manager is an object of its own";

  auto* names = m_project->QueryInterface(Prjrep::ISimpleNamedLookup::GetIID());
  auto* autonyms = m_project->QueryInterface(Prjrep::IAutonymLookup::GetIID());
  ASSERT_TRUE(names && autonyms && m_project->QueryInterface(Prjrep::ISimpleNamedLookup::GetIID()) == names);
  EXPECT_EQ(names->QueryInterface(CitI::IInterface::GetIID()), autonyms->QueryInterface(CitI::IInterface::GetIID()))
      << "one lookup component answers both";
}

TEST_F(ProjectTest, AccessorsOfAClosedAndOfAnOpenProject) {
  bool flag = true;
  EXPECT_TRUE(m_project->IsOpen(&flag) == kSuccess && !flag);
  EXPECT_EQ(m_project->GetDesign(nullptr), Hvd::kProjectNotOpen) << "not open is checked before the argument";
  EXPECT_EQ(m_project->IsOpen(nullptr), Hvd::kInvalidParameter) << "a null output is refused, not written";
  Text path("untouched");
  EXPECT_TRUE(m_project->GetProjectFilePath(&path) == kSuccess && path == "untouched") << "nothing stored, nothing set";
  EXPECT_EQ(AutoCast<Prjrep::IName>(m_project.Get())->SetName("p"), Hvd::kProjectNotOpen);

  Open();
  Text work, repository, generated;
  ASSERT_TRUE(m_project->GetProjectFilePath(&path) == kSuccess && m_project->GetWorkingDirectory(&work) == kSuccess &&
              m_project->GetRepositoryPath(&repository) == kSuccess &&
              m_project->GetGeneratedFilePath(&generated) == kSuccess);
  EXPECT_EQ((path + "|" + work + "|" + repository + "|" + generated).str(),
            m_dir + "/p.xhlc|" + m_dir + "|" + m_dir + "/p.hlc|" + m_dir + "/p.ghlc")
      << "with no working-directory property, the project's own directory";

  // An open project takes a name; a read-only one keeps the name it has.
  auto name = AutoCast<Prjrep::IName>(m_project.Get());
  Text named;
  EXPECT_EQ(name->SetName("renamed"), kSuccess);
  EXPECT_TRUE(name->GetName(named) == kSuccess && named == "renamed");
  CProject::FromInterface(m_project.Get())->EnterOpenState((m_dir + "/p.xhlc").c_str(), m_design.Get(), true);
  EXPECT_EQ(name->SetName("other"), Hvd::kProjectReadOnly);
  EXPECT_TRUE(name->GetName(named) == kSuccess && named == "renamed");
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
  EXPECT_EQ(Files()->GetProjectFiles(AutoRelease<Hvd::IHdlFileIterator>().Receive()), Hvd::kProjectNotOpen);
  Open();

  AutoRelease<Hvd::IHdlFile> a, again, b, notes, internal;
  EXPECT_EQ(Add(m_dir + "/src/a.vhd", &a), kSuccess);
  EXPECT_TRUE(Add("src/a.vhd", &again) == Hvd::kAlreadyInProject && again.Get() == a.Get()) << "relative, the same";
  for (const std::string& spelling : {m_dir + "/src//a.vhd", m_dir + "/./src/a.vhd", m_dir + "/src/x/../a.vhd",
                                      m_dir + "/src/./a.vhd", "/" + m_dir + "/src/a.vhd"}) {
    again = nullptr;
    EXPECT_TRUE(Add(spelling, &again) == Hvd::kAlreadyInProject && again.Get() == a.Get())
        << spelling;
    AutoRelease<Hvd::IHdlFileIterator> found;
    EXPECT_TRUE(Files()->FindFileByPath(spelling.c_str(), found.Receive()) == kSuccess && found &&
                !found->IsDone() && found->Current() == a.Get())
        << spelling;
  }
  EXPECT_EQ(Add(m_dir + "/src/../src/b.vhd", &b), kSuccess);
  EXPECT_TRUE(Names() == (std::vector<std::string>{m_dir + "/src/a.vhd", m_dir + "/src/b.vhd"}) && WorkSize() == 2u);
  std::uint64_t id = 0;
  EXPECT_TRUE(AutoCast<Hvd::ICompileOrder>(a.Get())->GetSequenceID(7, &id) == kSuccess && id == 1u);
  EXPECT_TRUE(AutoCast<Hvd::ICompileOrder>(b.Get())->GetSequenceID(0, &id) == kSuccess && id == 2u);
  AutoRelease<Prjrep::IAutonymIterator> originator;
  ASSERT_EQ(AutoCast<Hvd::IOriginatorRef>(a.Get())->FindOriginator(m_project.Get(), originator.Receive()), kSuccess);
  EXPECT_FALSE(originator->IsDone()) << "the project is the file's originator";
  EXPECT_EQ(m_events.ids, (Ids{Hvd::EventId::FileAdded(), Hvd::EventId::DesignUnitCreated(), Hvd::EventId::FileAdded(),
                               Hvd::EventId::DesignUnitCreated()}));

  EXPECT_TRUE(Add(m_dir + "/notes.xyz", &notes) == kSuccess && Hvd::GetDefDataIdName(notes.Get()) == "FILE_TEXT")
      << "an unknown extension: the text type";
  const std::string missing = m_dir + "/src/missing.vhd";
  EXPECT_EQ(Add(missing), Hvd::kFailure);
  EXPECT_EQ(Files<Hvd::IProjectInternal>()->ProjectAddFile(missing.c_str(), nullptr, internal.Receive()), kSuccess)
      << "the internal add does not ask for the file on disk";
  EXPECT_TRUE(Add(m_dir + "/p.xhlc") == Hvd::kFailure && Add("") == Hvd::kInvalidParameter) << "not itself, not empty";
  EXPECT_EQ(Names().size(), 4u);
}

// A file reached through a link to the project's folder is the project's own, by whatever link
// and spelling; a ".." steps up from where the link before it leads.
TEST_F(ProjectTest, AFileThroughALinkToTheFolderIsTheProjectsOwnAndADotDotFollowsTheLink) {
  Open();
  const std::string links = m_dir + ".links", folder = std::filesystem::path(m_dir).filename().string();
  struct Gone {
    std::string path;
    ~Gone() {
      std::error_code error;
      std::filesystem::remove_all(path, error);
    }
  } gone{links};
  std::filesystem::create_directories(links + "/a/b");
  std::filesystem::create_directory_symlink(m_dir, links + "/a/prj");
  std::filesystem::create_directory_symlink(m_dir + "/src", links + "/a/b/src");
  AutoRelease<Hvd::IHdlFile> a, again;
  ASSERT_EQ(Add(links + "/a/prj/src/a.vhd", &a), kSuccess);
  EXPECT_EQ(Names(), std::vector{m_dir + "/src/a.vhd"});
  for (const std::string& spelling : {m_dir + "/src/a.vhd", links + "/a/b/src/a.vhd", links + "/a/b/src/../src/a.vhd",
                                      links + "/a/prj/../" + folder + "/src/a.vhd"}) {
    again = nullptr;
    EXPECT_TRUE(Add(spelling, &again) == Hvd::kAlreadyInProject && again.Get() == a.Get()) << spelling;
  }
  EXPECT_EQ(Add(links + "/a/b/src/../notes.xyz"), kSuccess) << "beside src, where the link leads";
  EXPECT_EQ(Files()->RemoveFileByPath((links + "/a/prj/notes.xyz").c_str()), kSuccess);
  EXPECT_EQ(Names(), std::vector{m_dir + "/src/a.vhd"});

  // A ".." after a link that leads nowhere or to itself names no file, though its letters fold
  // to one; a link to the project's own file names the project.
  std::filesystem::create_symlink("gone", links + "/dang");
  std::filesystem::create_symlink("loop", links + "/loop");
  std::filesystem::create_symlink(m_dir + "/p.xhlc", links + "/alias.xhlc");
  for (const std::string& refused : {links + "/dang/../a/b/src/b.vhd", links + "/loop/../a/b/src/b.vhd",
                                     links + "/alias.xhlc", links + "/a/prj/../" + folder + "/p.xhlc"})
    EXPECT_EQ(Add(refused), Hvd::kFailure) << refused;
  EXPECT_EQ(Names(), std::vector{m_dir + "/src/a.vhd"});
}

TEST_F(ProjectTest, WithoutAWorkLibraryOrOnAReadOnlyProject) {
  Open(false);
  EXPECT_TRUE(Add(m_dir + "/src/a.vhd") == Hvd::kFailure && Names().size() == 1u) << "added, but no library takes it";
  AutoRelease<Hvd::IProject> other(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  CProject::FromInterface(other.Get())->EnterOpenState((m_dir + "/q.xhlc").c_str(), m_design.Get(), true);
  AutoRelease<Hvd::IHdlFile> file;
  EXPECT_EQ(
      AutoCast<Hvd::IFileManager>(other.Get())->ProjectAddFile((m_dir + "/src/a.vhd").c_str(), nullptr, file.Receive()),
      Hvd::kProjectReadOnly);
}

TEST_F(ProjectTest, FindingAndRemovingFiles) {
  Open();
  AutoRelease<Hvd::IHdlFile> a, b, found, child;
  ASSERT_TRUE(Add(m_dir + "/src/a.vhd", &a) == kSuccess && Add(m_dir + "/src/b.vhd") == kSuccess);

  AutoRelease<Hvd::IHdlFileIterator> at;
  ASSERT_EQ(Files()->FindFileByPath("src/b.vhd", at.Receive()), kSuccess) << "relative to the project";
  EXPECT_EQ(Hvd::GetObjectFullPath(at->Current()).str(), m_dir + "/src/b.vhd");
  EXPECT_TRUE(Files()->FindFileByHdlFile(a.Get(), at.ReleaseAndReceive()) == kSuccess && at->Current() == a.Get());
  Text directory, name;
  ASSERT_EQ(a->GetPath(&directory, &name), kSuccess);
  EXPECT_TRUE(Files<Hvd::IProjectInternal>()->FindFileByNameParts(directory, name, true, found.Receive()) &&
              found.Get() == a.Get());
  EXPECT_TRUE(Files()->FindFileByPath("src/none.vhd", at.ReleaseAndReceive()) == Hvd::kFailure && !at);

  // The set holds b's only reference: the removal keeps the file alive until it is done.
  EXPECT_TRUE(Files()->RemoveFileByPath((m_dir + "/src/b.vhd").c_str()) == kSuccess && WorkSize() == 1u)
      << "the removed file left its library";
  EXPECT_EQ(Files()->FindFileCompFromName((m_dir + "/src/b.vhd").c_str(), found.ReleaseAndReceive()), Hvd::kFailure);
  EXPECT_TRUE(Add(m_dir + "/src/b.vhd", &b) == kSuccess && Files()->RemoveFileByPath("src/none.vhd") == Hvd::kFailure)
      << "a removed file can come again";
  // Files that include each other hold each other; the project lets both go all the same. A file
  // removed while another still includes it is back at once as an open makes it, a file the
  // views manage, and goes when nothing includes it.
  ASSERT_EQ(AutoCast<Hvd::IHdlFileV4>(b.Get())->AddChildFileByName(1, (m_dir + "/src/a.vhd").c_str(), child.Receive()),
            kSuccess);
  ASSERT_EQ(AutoCast<Hvd::IHdlFileV4>(child.Get())->AddChildFileByName(1, (m_dir + "/src/b.vhd").c_str(), nullptr),
            kSuccess);
  EXPECT_TRUE(Files()->RemoveFileByHdlFile(a.Get()) == kSuccess &&
              Names() == (std::vector<std::string>{m_dir + "/src/b.vhd", m_dir + "/src/a.vhd"}));
  ASSERT_EQ(Files()->FindFileByPath((m_dir + "/src/a.vhd").c_str(), at.ReleaseAndReceive()), kSuccess);
  std::uint32_t origin = 0;
  EXPECT_TRUE(at->Current() != a.Get() && AutoCast<Hvd::IFile>(at->Current())->GetOriginState(&origin) == kSuccess &&
              origin == 3);
  EXPECT_TRUE(Files()->RemoveFileByHdlFile(b.Get()) == kSuccess &&
              Files()->RemoveFileByPath((m_dir + "/src/a.vhd").c_str()) == kSuccess && Names().empty());
  // Only the project's own files take a removed file back: one a caller made of the design, which
  // the project never held, does not bring it into the project again.
  AutoRelease<Hvd::IFileType> type;
  a = nullptr;
  ASSERT_TRUE(Add(m_dir + "/src/a.vhd", &a) == kSuccess &&
              AutoCast<Hvd::IFile>(a.Get())->GetFileType(type.Receive()) == kSuccess);
  AutoRelease<CitI::IInterface> outside(CitP::Factory::CreateInstance(Hvd::ClassId::File()));
  ASSERT_TRUE(AutoCast<Hvd::ICompAdmin>(outside.Get())->InitializeAfterCreate(m_design.Get(), type.Get()) == kSuccess &&
              AutoCast<Prjrep::IFileNameHelper>(outside.Get())
                      ->SetPathInDirectory((m_dir + "/src/b.vhd").c_str(), Text(), m_dir.c_str()) == kSuccess);
  ASSERT_EQ(AutoCast<Hvd::IHdlFileV4>(outside.Get())->AddChildFileByName(1, (m_dir + "/src/a.vhd").c_str(), nullptr),
            kSuccess);
  EXPECT_TRUE(Files()->RemoveFileByHdlFile(a.Get()) == kSuccess && Names().empty()) << testing::PrintToString(Names());
  EXPECT_EQ(Files()->ProjectRemoveFile(nullptr), Hvd::kInvalidParameter);
}

TEST_F(ProjectTest, ReferencesAreCheckedAddedAndGivenUpOnce) {
  AutoCast<Hvd::IProjectReferenceSet> set(m_project.Get());
  AutoRelease<Hvd::IProjectReference> reference(CitP::Factory::CreateInstance(Hvd::ClassId::ProjectReference()));
  EXPECT_TRUE(set->Add(nullptr) == Hvd::kInvalidParameter && set->Add(reference.Get()) == Hvd::kProjectNotOpen);
  Open();
  EXPECT_TRUE(set->Add(reference.Get()) == kSuccess && set->Add(reference.Get()) == kSuccess) << "no duplicate check";
  auto count = [&] { return AutoCast<Prjrep::IRefCount>(reference.Get())->GetRefCount(); };
  EXPECT_EQ(count(), 3);
  AutoRelease<Hvd::IProjectReferenceIterator> at;
  ASSERT_TRUE(set->GetIterator(at.Receive()) == kSuccess && set->Remove(at.Get()) == kSuccess);
  EXPECT_TRUE(count() == 2 && set->Size() == 1u) << "one reference given up, not two";
}

// A read-only project's references are neither added to nor taken away: each refusal is said,
// and the set and the references' counts stay as they were.
TEST_F(ProjectTest, AReadOnlyProjectsReferencesStayAsTheyAre) {
  AutoCast<Hvd::IProjectReferenceSet> set(m_project.Get());
  AutoRelease<Hvd::IProjectReference> kept(CitP::Factory::CreateInstance(Hvd::ClassId::ProjectReference()));
  AutoRelease<Hvd::IProjectReference> refused(CitP::Factory::CreateInstance(Hvd::ClassId::ProjectReference()));
  Open();
  ASSERT_EQ(set->Add(kept.Get()), kSuccess);
  CProject::FromInterface(m_project.Get())->EnterOpenState((m_dir + "/p.xhlc").c_str(), m_design.Get(), true);
  const auto count = [](Hvd::IProjectReference* reference) {
    return AutoCast<Prjrep::IRefCount>(reference)->GetRefCount();
  };
  const auto said = [](const std::string& text) {
    for (const auto& record : Port_MsgManData::Captured())
      if (record.text == text) return true;
    return false;
  };
  const std::int32_t keptCount = count(kept.Get()), refusedCount = count(refused.Get());
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(set->Add(refused.Get()), Hvd::kProjectReadOnly);
  EXPECT_TRUE(said("ERROR: Project::ProjectReferenceAdd - Project is Read Only.\n"));
  AutoRelease<Hvd::IProjectReferenceIterator> at;
  ASSERT_TRUE(set->GetIterator(at.Receive()) == kSuccess && at && !at->IsDone());
  EXPECT_EQ(set->Remove(at.Get()), Hvd::kProjectReadOnly);
  EXPECT_TRUE(said("ERROR: Project::ProjectReferenceRemove - Project is Read Only.\n"));
  EXPECT_EQ(set->Size(), 1u);
  EXPECT_EQ(at->Current(), kept.Get());
  EXPECT_EQ(count(kept.Get()), keptCount);
  EXPECT_EQ(count(refused.Get()), refusedCount);
}

TEST_F(ProjectTest, FileEventsReachingTheProjectAreSentOnAsTheProject) {
  Open();
  for (const auto& id : {Hvd::EventId::FileChangedOnDisk(), Hvd::EventId::ViewChanged(), Hvd::EventId::FileAdded()}) {
    AutoRelease<Prjrep::IEvent> event = Hvd::CreateEvent(nullptr, id, nullptr);
    EXPECT_EQ(AutoCast<Prjrep::IEventReceiver>(m_project.Get())->ReceiveEvent(event.Get()), kSuccess);
  }
  EXPECT_EQ(m_events.ids, (Ids{Hvd::EventId::FileChangedOnDisk(), Hvd::EventId::FileAdded()}));
  EXPECT_EQ(AutoCast<Hvd::ICompositionControl>(m_project.Get())->Compose(nullptr), kSuccess)
      << "no child projects: nothing to compose";
}

// The project's own autonyms name it while it lives and leave it in any order; those still held
// when it goes name nothing, and nothing they left is touched again.
TEST_F(ProjectTest, AutonymsLeaveTheProjectInAnyOrderAndOutliveIt) {
  AutoCast<Prjrep::IAutoNaming> naming(m_project.Get());
  ASSERT_TRUE(naming);
  std::vector<AutoRelease<Prjrep::IAutonym>> autonyms(40);
  for (auto& autonym : autonyms) ASSERT_EQ(naming->GetAutonym(autonym.Receive()), kSuccess);
  // Let go of from the middle, the end and the front, and made again in between.
  for (const std::size_t i : {17U, 39U, 0U, 5U, 38U, 20U, 1U}) autonyms[i] = nullptr;
  ASSERT_EQ(naming->GetAutonym(autonyms[17].Receive()), kSuccess);
  for (std::size_t i = 2; i < autonyms.size(); i += 3) autonyms[i] = nullptr;
  for (const auto& autonym : autonyms) {
    if (!autonym) continue;
    AutoRelease<CitI::IInterface> named;
    ASSERT_EQ(autonym->GetObject(named.Receive()), kSuccess);
    EXPECT_EQ(named.Get(), m_project->QueryInterface(CitI::IInterface::GetIID()));
  }
  m_project = nullptr;
  for (const auto& autonym : autonyms) {
    if (!autonym) continue;
    AutoRelease<CitI::IInterface> named;
    std::ignore = autonym->GetObject(named.Receive());
    EXPECT_EQ(named.Get(), nullptr);
  }
}

}  // namespace

#include "Hvd/IHdlProject.h"
#include "Port/FaultInjection.h"
#include "Port/MsgMan.h"

namespace {

bool SaidOnce(const std::string& text) {
  int times = 0;
  for (const auto& record : Port_MsgManData::Captured()) times += record.text == text ? 1 : 0;
  return times == 1;
}

// An iterator at its end names no file: the removal is refused with its line, and every file
// stays in the project and in its library.
TEST_F(ProjectTest, ARemovalAtTheIteratorsEndIsRefusedAndEveryFileStays) {
  Open();
  ASSERT_TRUE(Add(m_dir + "/src/a.vhd") == kSuccess && Add(m_dir + "/src/b.vhd") == kSuccess);
  AutoRelease<Hvd::IHdlFileIterator> at;
  ASSERT_EQ(Files()->GetProjectFiles(at.Receive()), kSuccess);
  while (!at->IsDone()) std::ignore = at->Next();
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(Files()->ProjectRemoveFile(at.Get()), Hvd::kInvalidParameter);
  EXPECT_TRUE(SaidOnce("ERROR: Project::ProjectRemoveFile - Invalid Parameter - Iterator is at the END.\n"));
  EXPECT_EQ(Names(), (std::vector<std::string>{m_dir + "/src/a.vhd", m_dir + "/src/b.vhd"}));
  EXPECT_EQ(WorkSize(), 2u);
}

// The parser's mirror of a project file stands for the file it mirrors: the project finds that
// file through it and removes it.
TEST_F(ProjectTest, AParserFileLeadsToTheProjectFileItMirrors) {
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Hdl"));
  Open();
  AutoRelease<Hvd::IHdlFile> a, b;
  ASSERT_TRUE(Add(m_dir + "/src/a.vhd", &a) == kSuccess && Add(m_dir + "/src/b.vhd", &b) == kSuccess);
  AutoRelease<Hvd::IHdlProject> parser(CitP::Factory::CreateInstance(Hvd::HdlProjectClassId()));
  ASSERT_TRUE(parser);
  AutoRelease<Hvd::IHdlFile> mirror;
  ASSERT_EQ(parser->CreateFile(mirror.Receive()), kSuccess);
  ASSERT_EQ(AutoCast<Hvd::IFileCompReference>(mirror.Get())->SetFileComponent(b.Get()), kSuccess);

  AutoRelease<Hvd::IHdlFileIterator> at;
  ASSERT_EQ(Files()->FindFileByHdlFile(mirror.Get(), at.Receive()), kSuccess);
  EXPECT_EQ(at->Current(), b.Get());
  EXPECT_EQ(Files()->RemoveFileByHdlFile(mirror.Get()), kSuccess);
  EXPECT_EQ(Names(), std::vector{m_dir + "/src/a.vhd"});
  EXPECT_EQ(Files()->FindFileByHdlFile(mirror.Get(), at.ReleaseAndReceive()), Hvd::kFailure) << "gone from the project";
}

// A file is looked up by name only in an open project and only by a name that is not empty.
TEST_F(ProjectTest, ALookUpByNameNeedsANameAndAnOpenProject) {
  AutoRelease<Hvd::IHdlFile> found;
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(Files()->FindFileCompFromName((m_dir + "/src/a.vhd").c_str(), found.Receive()), Hvd::kProjectNotOpen);
  EXPECT_TRUE(SaidOnce("ERROR: CProject::XIFileManager::FindFileCompFromName - Project is not opened.\n"));
  Open();
  AutoRelease<Hvd::IHdlFile> a;
  ASSERT_EQ(Add(m_dir + "/src/a.vhd", &a), kSuccess);
  EXPECT_EQ(Files()->FindFileCompFromName("", found.ReleaseAndReceive()), Hvd::kInvalidParameter);
  EXPECT_TRUE(SaidOnce("ERROR: CProject::XIFileManager::FindFileCompFromName - Invalid parameter.\n"));
  EXPECT_FALSE(found);
  EXPECT_EQ(Files()->FindFileCompFromName((m_dir + "/src/a.vhd").c_str(), found.ReleaseAndReceive()), kSuccess);
  EXPECT_EQ(found.Get(), a.Get());
}

// A working directory that cannot be made stops the move before anything changes.
TEST_F(ProjectTest, AWorkingDirectoryThatCannotBeMadeChangesNothing) {
  Open();
  const Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("mkdir", 0, "impl/run");
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->ChangeWorkingDirectory((m_dir + "/impl/run").c_str(), true, false),
            Hvd::kFailure);
  EXPECT_TRUE(SaidOnce("VerifyCreateDir - Couldn't create the Destination directory <" + m_dir + "/impl/run>.\n"));
  Text work, generated;
  ASSERT_TRUE(m_project->GetWorkingDirectory(&work) == kSuccess && m_project->GetGeneratedFilePath(&generated) == kSuccess);
  EXPECT_EQ((work + "|" + generated).str(), m_dir + "|" + m_dir + "/p.ghlc");
  EXPECT_FALSE(std::filesystem::exists(m_dir + "/impl"));
  EXPECT_FALSE(std::filesystem::exists(m_dir + "/p.ghlc")) << "no save";
}

}  // namespace
