// Named objects, the operation gate, owning projects, paths and Tcl projects.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Hvd/ClassIds.h"
#include "Hvd/IConfiguration.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDefDataId.h"
#include "Hvd/IFile.h"
#include "Hvd/IHdlFile.h"
#include "Port/MsgMan.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IStringSet.h"
#include "Prjrep/StandIns.h"
#include "Prjrep/Storage.h"
#include "core/Sets.h"
#include "core/StringSets.h"
#include "core/Names.h"
#include "framework/CAutonymBase.h"
#include "utils/Factory.h"
#include "support/FakeNames.h"
#include "support/DesignDouble.h"
#include "support/FakeProject.h"
#include "support/Records.h"
#include "utils/DmUtils.h"
#include "utils/FileUtils.h"

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;
using namespace testing_support;

template <class T, class V>
Hvd::Status Put(T* out, const V& value) {
  *out = value;
  return Hvd::kSuccess;
}

constexpr Hvd::Status kNo = Hvd::kNotSupported;

struct CProjectDouble : FakeProject {
  explicit CProjectDouble(std::string source) : m_source(std::move(source)) {}
  Hvd::Status GetRepositoryPath(Text* path) override {
    return Put(path, m_source.substr(0, m_source.size() - 5) + ".hlc");
  }
  Hvd::Status GetProjectFilePath(Text* path) override { return Put(path, m_source); }
  Hvd::Status Save() override { return ++saves, Hvd::kSuccess; }
  int saves = 0;
  std::string m_source;
};

// A source file of a given type and name; its type is the file itself.
struct CFileDouble : Hvd::TComponent<CFileDouble, Hvd::IHdlFile> {
  CFileDouble(std::string type, std::string name) : m_type(std::move(type)), m_name(std::move(name)) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IFile>(&m_XIFile), Hvd::Row<Hvd::IHdlFile>(this),
                      Hvd::Row<Prjrep::IFileNameHelper>(&m_XINames), Hvd::Row<Hvd::IFileType>(&m_XIFileType),
                      Hvd::Row<Hvd::IDefDataId>(&m_XIType), Hvd::Row<Hvd::IDefDataObsolete>(&m_XIObsolete),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status CheckFileOnDisk() override { return kNo; }
  Hvd::Status SetModified(bool) override { return kNo; }
  Hvd::Status ReservedOperation4(CitI::IInterface**) override { return kNo; }
  Hvd::Status SetPath(const String&, const String&) override { return kNo; }
  Hvd::Status GetPath(String*, String*) override { return kNo; }
  Hvd::Status GetDesignUnits(Hvd::IHdlParserConfig*, Hvd::IHdlDesignUnitIterator**) override { return kNo; }
  Hvd::Status ReservedOperation8(CitI::IInterface*, CitI::IInterface*, CitI::IInterface**) override { return kNo; }
  Hvd::Status ReservedOperation9(CitI::IInterface*, CitI::IInterface*, String*) override { return kNo; }
  Hvd::Status SetParserName(const String&) override { return kNo; }
  Hvd::Status GetParserName(String*) override { return kNo; }
  Hvd::Status GetFileAddTarget(std::uint64_t*) override { return kNo; }
  Hvd::Status GetSequenceId(std::uint64_t*) override { return kNo; }
  Hvd::Status SetSequenceId(std::uint64_t) override { return kNo; }
  Hvd::Status IsModified(bool*) override { return kNo; }
  struct XIFile : Hvd::TNested<CFileDouble, Hvd::IFile> {
    using TNested::TNested;
    Hvd::Status GetFileType(Hvd::IFileType** type) override {
      return Prjrep::AutoOut<Hvd::IFileType>(type).Assign(&This());
    }
    Hvd::Status GetFileFlag(bool*) override { return kNo; }
    Hvd::Status SetFileFlag(bool) override { return kNo; }
    Hvd::Status GetOriginState(std::uint32_t*) override { return kNo; }
    Hvd::Status SetOriginState(std::uint32_t) override { return kNo; }
  } m_XIFile{this};
  struct XIFileType : Hvd::TNested<CFileDouble, Hvd::IFileType> {
    using TNested::TNested;
    Hvd::Status GetDesignUnitTypeIds(Hvd::IDefDataIdIterator**) override { return kNo; }
    Hvd::Status GetPlugInKey(String*) override { return kNo; }
  } m_XIFileType{this};
  struct XIType : Hvd::TNested<CFileDouble, Hvd::IDefDataId> {
    using TNested::TNested;
    Hvd::Status GetDefDataIdName(String* name) override { return Put(name, This().m_type); }
  } m_XIType{this};
  struct XIObsolete : Hvd::TNested<CFileDouble, Hvd::IDefDataObsolete> {
    using TNested::TNested;
    Hvd::Status IsObsolete(bool* obsolete) override { return Put(obsolete, This().obsolete); }
  } m_XIObsolete{this};
  struct XINames : Hvd::TNested<CFileDouble, FakeFileNameHelperBase> {
    using TNested::TNested;
    Hvd::Status GetFullName(Text* name) override { return Put(name, This().m_name); }
  } m_XINames{this};
  bool obsolete = false;
  std::string m_type;
  std::string m_name;
  Prjrep::TRefCountHelper<CFileDouble> m_refCount{this};
};

// A configuration: named, bound to a project, and named in its repository by an autonym of its own,
// from which the repository makes it again by class id.
struct CConfigurationDouble : Hvd::TComponent<CConfigurationDouble, Hvd::IProjectCompReference> {
  CITI_DECLARE_CLSID("{3D3D3D3D-AAAA-4AAA-8AAA-AAAAAAAAAA01}")
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IConfiguration>(&m_XIConfiguration), Hvd::Row<Hvd::IProjectCompReference>(this),
                      Hvd::Row<Prjrep::IName>(&m_name), Hvd::Row<Prjrep::IAutoNaming>(&m_XINaming),
                      Hvd::Row<Prjrep::IPersist>(&m_persist), Hvd::Row<Prjrep::IRefCount>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status LoadFrom(Prjrep::IStorage* storage) {
    String name;
    const Hvd::Status status = storage->ReadString(&name);
    std::ignore = m_name.SetName(name);
    return status;
  }
  Hvd::Status SaveTo(Prjrep::IStorage* storage) { return storage->WriteString(&m_name.Name()); }
  Hvd::Status SetProject(CitI::IInterface* project) override { return m_project.Assign(project); }
  Hvd::Status GetProject(Hvd::IProject** project) override {
    return m_project ? Prjrep::AutoOut<Hvd::IProject>(project).Assign(m_project.Get()) : Hvd::kFailure;
  }
  struct XIConfiguration : Hvd::TNested<CConfigurationDouble, Hvd::IConfiguration> {
    using TNested::TNested;
    Hvd::Status GetElements(Hvd::IConfigurationElementIterator**) override { return kNo; }
    Hvd::Status GetProject(Hvd::IProject** project) override { return This().GetProject(project); }
  } m_XIConfiguration{this};
  struct XINaming : Hvd::TNested<CConfigurationDouble, Prjrep::IAutoNaming> {
    using TNested::TNested;
    Hvd::Status GetAutonym(Prjrep::IAutonym** autonym) override {
      auto* made = new Hvd::CConfigurationAutonym;
      made->SetObject(&This());
      return Prjrep::AutoOut<Prjrep::IAutonym>(autonym).Assign(AutoRelease<Prjrep::IAutonym>(made).Get());
    }
  } m_XINaming{this};
  Prjrep::CNameHelper m_name{this};
  Prjrep::TPersistHelper<CConfigurationDouble> m_persist{this};
  Prjrep::AutoPtr<Hvd::IProject> m_project;
  Prjrep::TRefCountHelper<CConfigurationDouble> m_refCount{this};
};

struct ITclProjectPart : CitI::IInterface {
  CITI_DECLARE_IID("{9BD2871F-F369-41F3-AD7A-BD114008D664}")
};

// Hands out `s_found` and remembers what it was asked; one made by the test is a Tcl project, whose Tcl
// side is a part apart from its root.
struct CPRHelperDouble : Hvd::TComponent<CPRHelperDouble, Hvd::IPRSolutionHelper> {
  static const Port::XUID& GetCLSID() { return Hvd::ClassId::PRHelper(); }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IPRSolutionHelper>(this), Hvd::Row<ITclProjectPart>(&m_XITcl),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }
  struct XITcl : Hvd::TNested<CPRHelperDouble, ITclProjectPart> {
    using TNested::TNested;
  } m_XITcl{this};
  Hvd::Status FindRepositoryObject(const String& repository, const String& name, CitI::IInterface** object) override {
    s_asked = repository.str() + "|" + name.str();
    return Prjrep::AutoOut<CitI::IInterface>(object).Assign(s_found.Get());
  }
  Hvd::Status RunTclCommand(const String&, bool) override { return kNo; }
  Hvd::Status GetConfigManager(CitI::IInterface*, bool, CitI::IInterface**) override { return kNo; }
  Hvd::Status CreateConfigManager(CitI::IInterface*, CitI::IInterface**) override { return kNo; }
  Hvd::Status CreateHvdProject(CitI::IInterface*, const String&, CitI::IInterface**) override { return kNo; }
  Hvd::Status GetContextFullPath(CitI::IInterface*, String*) override { return kNo; }
  Hvd::Status GetContextProject(CitI::IInterface*, CitI::IInterface**) override { return kNo; }
  Prjrep::TRefCountHelper<CPRHelperDouble> m_refCount{this};
  static inline Prjrep::AutoPtr<CitI::IInterface> s_found;
  static inline std::string s_asked;
};

// A project that names itself with a plain autonym of its own name.
struct CNamingProjectDouble : CProjectDouble {
  using CProjectDouble::CProjectDouble;
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (iid == Prjrep::IAutoNaming::GetIID()) return &m_XINaming;
    return CProjectDouble::QueryInterface(iid);
  }
  struct XINaming : Hvd::TNested<CNamingProjectDouble, Prjrep::IAutoNaming> {
    using TNested::TNested;
    Hvd::Status GetAutonym(Prjrep::IAutonym** autonym) override {
      AutoRelease<Prjrep::IName> made(CitP::Factory::CreateInstance(Prjrep::ClassId::SimpleAutonym()));
      if (!made) return Hvd::kFailure;
      std::ignore = made->SetName("the project");
      return Prjrep::AutoOut<Prjrep::IAutonym>(autonym).Assign(made.Get());
    }
  } m_XINaming{this};
};

// A name table that lists what it holds, autonyms and names, each to an object. Every instance
// answers from the contents registered before it was made, so that one made by class id in
// place of the registry holds what the test put there.
struct CNameTrackerDouble : Hvd::TComponent<CNameTrackerDouble> {
  static const Port::XUID& GetCLSID() { return Prjrep::ClassId::NamedObjectRegistry(); }
  CNameTrackerDouble() {
    std::ignore = m_autonyms.SetOwner(this), std::ignore = m_names.SetOwner(this);
    for (const auto& entry : s_autonyms) std::ignore = m_autonyms.Add(entry.first.Get());
    for (const auto& entry : s_objects) std::ignore = m_names.Add(String(entry.first));
  }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IAutonymSet>(&m_autonyms), Hvd::Row<Prjrep::IAutonymLookup>(&m_XIAutonyms),
                      Hvd::Row<Prjrep::IStringSet>(&m_names), Hvd::Row<Prjrep::ISimpleNamedLookup>(&m_XINames),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }
  static void Put(Prjrep::IAutonym* autonym, CitI::IInterface* object) {
    s_autonyms.emplace_back(Prjrep::AutoPtr<Prjrep::IAutonym>(autonym), Prjrep::AutoPtr<CitI::IInterface>(object));
  }
  static void Put(const std::string& name, CitI::IInterface* object) {
    s_objects[name] = Prjrep::AutoPtr<CitI::IInterface>(object);
  }
  static void Empty() { s_autonyms.clear(), s_objects.clear(); }

  struct XIAutonyms : Hvd::TNested<CNameTrackerDouble, Prjrep::IAutonymLookup> {
    using TNested::TNested;
    Hvd::Status Resolve(Prjrep::IAutonym* autonym, CitI::IInterface** object) override {
      Prjrep::AutoOut<CitI::IInterface> out(object);
      for (const auto& entry : s_autonyms)
        if (entry.first.Get() == autonym) return out.Assign(entry.second.Get());
      return Hvd::kFailure;
    }
    Hvd::Status ResolveOrCreate(Prjrep::IAutonym*, CitI::IInterface*, CitI::IInterface**) override { return kNo; }
    Hvd::Status Register(Prjrep::IAutonym*, CitI::IInterface*) override { return kNo; }
    Hvd::Status FindAutonym(CitI::IInterface*, Prjrep::IAutonym**) override { return kNo; }
    Hvd::Status Unregister(Prjrep::IAutonym*) override { return kNo; }
  } m_XIAutonyms{this};
  struct XINames : Hvd::TNested<CNameTrackerDouble, Prjrep::ISimpleNamedLookup> {
    using TNested::TNested;
    Hvd::Status Find(const String& name, CitI::IInterface** object) override {
      Prjrep::AutoOut<CitI::IInterface> out(object);
      const auto found = s_objects.find(name.str());
      return found == s_objects.end() ? Hvd::kFailure : out.Assign(found->second.Get());
    }
    Hvd::Status Add(const String&, CitI::IInterface*) override { return kNo; }
    Hvd::Status Register(const String&, CitI::IInterface*) override { return kNo; }
    Hvd::Status Unregister(const String&) override { return kNo; }
    Hvd::Status UnregisterObject(CitI::IInterface*) override { return kNo; }
  } m_XINames{this};
  Prjrep::TSequenceSetHelper<Prjrep::IAutonym*, Prjrep::IAutonymSet, Prjrep::IAutonymIterator,
                             std::vector<Prjrep::IAutonym*>>
      m_autonyms;
  Prjrep::TStringSequenceSetHelper<Prjrep::IStringSet, Prjrep::IStringIterator, std::vector<String>> m_names;
  Prjrep::TRefCountHelper<CNameTrackerDouble> m_refCount{this};
  static inline std::vector<std::pair<Prjrep::AutoPtr<Prjrep::IAutonym>, Prjrep::AutoPtr<CitI::IInterface>>>
      s_autonyms;
  static inline std::map<std::string, Prjrep::AutoPtr<CitI::IInterface>> s_objects;
};

// A plain autonym of that name.
AutoRelease<Prjrep::IAutonym> Named(const std::string& name) {
  AutoRelease<Prjrep::IName> made(CitP::Factory::CreateInstance(Prjrep::ClassId::SimpleAutonym()));
  if (made) std::ignore = made->SetName(String(name));
  return AutoRelease<Prjrep::IAutonym>(std::move(made));
}

// The names of a compound autonym's elements, in order.
std::vector<std::string> ElementsOf(CitI::IInterface* compound) {
  std::vector<std::string> names;
  AutoCast<Prjrep::IAutonymSet> set(compound);
  AutoRelease<Prjrep::IAutonymIterator> it;
  if (!set || set->GetIterator(it.Receive()) != Hvd::kSuccess) return names;
  for (; !it->IsDone(); std::ignore = it->Next()) {
    String name;
    std::ignore = it->Current()->GetName(&name);
    names.push_back(name.str());
  }
  return names;
}

// The status lines of the name-tracker dump, joined.
std::string DumpText() {
  std::string text;
  for (const auto& record : Port_MsgManData::Captured())
    if (record.severity == Port_MsgManData::Severity::Status && record.category == "ProjectMgmt") text += record.text;
  return text;
}

std::string Address(CitI::IInterface* object) {
  char text[32];
  std::snprintf(text, sizeof text, "%" PRIxPTR, reinterpret_cast<std::uintptr_t>(Hvd::RootOf(object)));
  return text;
}

class DmUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    RegisterTestFactory<CConfigurationDouble>();
    RegisterTestFactory<CPRHelperDouble>();
    std::filesystem::create_directories(m_dir);
  }
  void TearDown() override {
    CPRHelperDouble::s_found = nullptr;
    CNameTrackerDouble::Empty();
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    std::filesystem::remove_all(m_dir);
    unsetenv("VEL_CORVANE_ENABLE_HLC");
  }
  // A project whose repository (found by its path) has it as its active project.
  AutoRelease<CProjectDouble> OpenProject() {
    AutoRelease<CProjectDouble> project(new CProjectDouble(m_source));
    AutoRelease<Prjrep::IProjectRepository> repository = Hvd::FindAutonymByName(m_source.c_str(), true);
    EXPECT_NE(repository.Get(), nullptr);
    std::ignore = Hvd::RegisterNamedObject(repository, "ActiveHvdProject", project.Get(), true);
    return project;
  }
  std::string m_dir = ::testing::TempDir() + "dmutils_" + std::to_string(getpid()), m_source = m_dir + "/top.xhlc";
};

TEST_F(DmUtilsTest, NamesAreRegisteredReplacedFoundAndWithdrawn) {
  AutoRelease<CitI::IInterface> registry = Hvd::GetNamedObjectRegistryCLSID();
  AutoRelease<CProjectDouble> a(new CProjectDouble("/a.xhlc")), b(new CProjectDouble("/b.xhlc"));
  const auto found = [] {
    AutoRelease<CitI::IInterface> object;
    std::ignore = Hvd::FindNamedObject("Name", object.Receive());
    return object.Get();  // still held by the test
  };
  EXPECT_EQ(Hvd::RegisterNamedObject(registry, "Name", a.Get(), false), Hvd::kSuccess);
  EXPECT_EQ(Hvd::RegisterNamedObject(registry, "Name", b.Get(), false), Hvd::kFailure) << "taken";
  EXPECT_EQ(found(), static_cast<CitI::IInterface*>(a.Get()));
  EXPECT_EQ(Hvd::RegisterNamedObject(registry, "Name", b.Get(), true), Hvd::kSuccess);
  EXPECT_EQ(found(), static_cast<CitI::IInterface*>(b.Get()));
  EXPECT_TRUE(Hvd::ForwardToNamedObjectRegistry(b.Get()) == Hvd::kSuccess && found() == nullptr);
  // The gate: a nested guard of the same key sees the outer one, and leaves it in place.
  {
    Hvd::OperationGateGuard outer(a.Get(), "close");
    {
      Hvd::OperationGateGuard nested(a.Get(), "close"), other(a.Get(), "open");
      EXPECT_TRUE(!outer.EnteredAlready() && nested.EnteredAlready() && !other.EnteredAlready());
    }
    EXPECT_TRUE(Hvd::OperationGateGuard(a.Get(), "close").EnteredAlready()) << "the nested guard left the key";
  }
  EXPECT_FALSE(Hvd::OperationGateGuard(a.Get(), "close").EnteredAlready());
}

TEST_F(DmUtilsTest, ActiveRepositoryAndProjectFollowPathsAndPathlessObjectsAreNeverActive) {
  AutoRelease<CProjectDouble> project = OpenProject();
  AutoRelease<CProjectDouble> other(new CProjectDouble(m_dir + "/other.xhlc")), pathless(new CProjectDouble(""));
  Hvd::SetActiveRepository(pathless.Get());
  EXPECT_EQ(Hvd::GetActiveRepository().Get(), nullptr) << "no nameless repository";
  Hvd::SetActiveRepository(project.Get());
  EXPECT_TRUE(Hvd::IsActiveRepository(project.Get()) && !Hvd::IsActiveRepository(other.Get()));
  Hvd::SetActiveProject(project.Get());  // no Cvf project yet: nothing registered
  EXPECT_FALSE(Hvd::IsActiveProject(project.Get()));
  AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(project.Get(), true);
  ASSERT_NE(helper.Get(), nullptr);
  std::ignore = Hvd::RegisterNamedObject(Hvd::GetRepositoryOfObject(project.Get()), "CvfProject", helper.Get(), true);
  Hvd::SetActiveProject(project.Get());
  EXPECT_TRUE(Hvd::IsActiveProject(project.Get()) && !Hvd::IsActiveProject(other.Get()));
  std::ignore = helper->CloseProject();
}

TEST_F(DmUtilsTest, OwningProjectAndFullPathOfEachKindOfObject) {
  AutoRelease<CProjectDouble> project = OpenProject();
  setenv("VEL_CORVANE_ENABLE_HLC", "1", 1);
  EXPECT_EQ(Hvd::GetObjectFullPath(project.Get()), m_dir + "/top.hlc");
  unsetenv("VEL_CORVANE_ENABLE_HLC");
  AutoRelease<CConfigurationDouble> configuration(new CConfigurationDouble);
  std::ignore = configuration->SetProject(project.Get()), std::ignore = configuration->m_name.SetName("cfg");
  EXPECT_TRUE(Hvd::GetObjectFullPath(configuration.Get()) == m_source &&
              Hvd::GetOwningProject(configuration.Get()).Get() == project.Get());
  EXPECT_EQ(Hvd::GetObjectDisplayName(configuration.Get()) + "|" + Hvd::GetObjectDisplayName(project.Get()) + "|" +
                Hvd::GetObjectDisplayName(nullptr),
            "cfg|top.xhlc|NULL");
  // A relative file name comes back absolute and canonical.
  AutoRelease<CFileDouble> source(new CFileDouble("FILE_VHDL", "rtl/../rtl/a.vhd"));
  EXPECT_EQ(Hvd::GetObjectFullPath(source.Get()), std::filesystem::current_path().string() + "/rtl/a.vhd");
  // The directory of an object is that of its full path.
  EXPECT_EQ(Hvd::FileUtils::GetObjectDirectory(source.Get()), std::filesystem::current_path().string() + "/rtl");
  EXPECT_EQ(Hvd::FileUtils::GetObjectDirectory(project.Get()), m_dir);
  AutoRelease<CFileDouble> atRoot(new CFileDouble("FILE_VHDL", "/a.vhd"));
  EXPECT_TRUE(Hvd::FileUtils::GetObjectDirectory(atRoot.Get()) == "/" &&
              Hvd::FileUtils::GetObjectDirectory(nullptr).empty());
  // A child project's file finds the project loaded from it.
  AutoRelease<CFileDouble> child(new CFileDouble("FILE_XHLC", m_source)),
      unloaded(new CFileDouble("FILE_XHLC", m_dir + "/none.xhlc"));
  EXPECT_TRUE(Hvd::IsProjectFileType(child.Get()) && !Hvd::IsProjectFileType(source.Get()));
  EXPECT_TRUE(Hvd::GetOwningProject(child.Get()).Get() == project.Get() &&
              Hvd::GetOwningProject(unloaded.Get()).Get() == nullptr);
  EXPECT_TRUE(!Hvd::IsDefDataObsolete(source.Get()) && Hvd::IsDefDataObsolete(project.Get())) << "no data: obsolete";
  source->obsolete = true;
  EXPECT_TRUE(Hvd::IsDefDataObsolete(source.Get()));
  EXPECT_TRUE(Hvd::GetOwningProject(nullptr).Get() == nullptr && Hvd::GetObjectFullPath(nullptr).empty());
  EXPECT_TRUE(Hvd::SaveOwningProject(configuration.Get(), nullptr) == Hvd::kSuccess && project->saves == 1);
}

// Asked for by the object's canonical path, and handed out as the part that answers the Tcl
// project's id (not its root), with one reference of its own.
TEST_F(DmUtilsTest, TclProjectIsItsTclPartFoundByTheCanonicalPath) {
  AutoRelease<CProjectDouble> pathless(new CProjectDouble(""));
  EXPECT_TRUE(Hvd::GetTclProject(pathless.Get()).Get() == nullptr && CPRHelperDouble::s_asked.empty());
  AutoRelease<CProjectDouble> project(new CProjectDouble("/tcltest/a/../top.xhlc"));
  EXPECT_EQ(Hvd::GetTclProject(project.Get()).Get(), nullptr) << "nothing registered";
  EXPECT_EQ(CPRHelperDouble::s_asked, "/tcltest/top.xhlc|TclProject");
  CPRHelperDouble::s_found = project.Get();
  EXPECT_EQ(Hvd::GetTclProject(project.Get()).Get(), nullptr) << "an object without the Tcl part";
  AutoRelease<CPRHelperDouble> tcl(new CPRHelperDouble);
  CPRHelperDouble::s_found = tcl.Get();
  {
    AutoRelease<CitI::IInterface> found = Hvd::GetTclProject(project.Get());
    EXPECT_EQ(found.Get(), static_cast<CitI::IInterface*>(&tcl->m_XITcl));
    EXPECT_EQ(tcl->m_refCount.GetRefCount(), 3) << "ours, the helper's and the one handed out";
  }
  EXPECT_TRUE(tcl->m_refCount.GetRefCount() == 2 && project->count.GetRefCount() == 1) << "the lookups kept nothing";
}

// An object named by a compound autonym (its project file's path, then its own autonym),
// stored in its repository's file, is found again after every name was forgotten.
TEST_F(DmUtilsTest, AutonymsComposedPersistedAndResolvedBack) {
  AutoRelease<Prjrep::IStorage> stream(Prjrep::CreateStorage());
  {
    AutoRelease<CProjectDouble> project = OpenProject();
    AutoRelease<CConfigurationDouble> configuration(new CConfigurationDouble);
    std::ignore = configuration->SetProject(project.Get());
    std::ignore = configuration->m_name.SetName("fast");
    AutoRelease<Prjrep::ISaveAutonym> own(Hvd::GetAutonymOf(configuration.Get()));
    ASSERT_EQ(own->SaveObject(nullptr), Hvd::kSuccess);
    ASSERT_EQ(Hvd::PersistObjectAutonym(stream, configuration.Get()), Hvd::kSuccess);
    AutoRelease<Prjrep::IProjectRepository> repository = Hvd::GetRepositoryOfObject(project.Get());
    ASSERT_EQ(repository->Close(), Hvd::kSuccess);
    std::ignore = own->CloseObject(repository);
  }
  Prjrep::ResetNamedObjectRegistry();
  AutoCast<Prjrep::IStorageControl> control(stream.Get());
  std::ignore = control->Rewind();  // the stream lets go of what it wrote
  AutoRelease<CitI::IInterface> resolved;
  ASSERT_EQ(Hvd::LoadAutonymReference(stream, resolved.Receive()), Hvd::kSuccess);
  ASSERT_NE(resolved.Get(), nullptr);
  String name;
  std::ignore = AutoCast<Prjrep::IName>(resolved.Get())->GetName(name);
  EXPECT_EQ(name, "fast");
  resolved = nullptr;
  std::ignore = control->Rewind();
}

// A plain autonym is looked up in the repository of the path it is given (in the registry when
// none is given), a compound one always in the process-wide registry.
TEST_F(DmUtilsTest, AutonymsResolveInTheRepositoryOfTheirPathOrInTheRegistry) {
  AutoRelease<CProjectDouble> project = OpenProject();
  AutoRelease<CConfigurationDouble> local(new CConfigurationDouble), global(new CConfigurationDouble);
  AutoCast<Prjrep::IAutonymLookup> repository(Hvd::GetRepositoryOfObject(project.Get()).Get());
  AutoRelease<Prjrep::IAutonymLookup> registry(Hvd::GetNamedObjectRegistryCLSID());
  ASSERT_TRUE(repository && registry);
  AutoRelease<Prjrep::IAutonym> plain = Named("cfg");
  AutoRelease<Prjrep::IAutonym> compound = Hvd::ComposeAutonym("path", plain.Get());
  ASSERT_TRUE(compound);
  for (Prjrep::IAutonym* autonym : {plain.Get(), compound.Get()}) {
    ASSERT_EQ(repository->Register(autonym, local.Get()), Hvd::kSuccess);
    ASSERT_EQ(registry->Register(autonym, global.Get()), Hvd::kSuccess);
  }
  const auto resolved = [](CitI::IInterface* autonym, const std::string& path) {
    return Hvd::RootOf(Hvd::ResolveAutonym(autonym, String(path)).Get());  // still held by the test
  };
  EXPECT_EQ(resolved(plain.Get(), m_source), Hvd::RootOf(local.Get()));
  EXPECT_EQ(resolved(plain.Get(), ""), Hvd::RootOf(global.Get()));
  EXPECT_EQ(resolved(plain.Get(), m_dir + "/none.xhlc"), nullptr) << "no repository of that path";
  EXPECT_EQ(resolved(compound.Get(), m_source), Hvd::RootOf(global.Get())) << "whatever the path";
  EXPECT_EQ(resolved(compound.Get(), ""), Hvd::RootOf(global.Get()));
  EXPECT_EQ(resolved(project.Get(), m_source), nullptr) << "not an autonym";
  EXPECT_EQ(resolved(nullptr, m_source), nullptr);
}

// An object inside a project is named by its project file's path, the project, then each object
// on the way down; a second synthesis of the same object names what the first one named.
TEST_F(DmUtilsTest, ObjectAutonymsNameThePathTheProjectAndEachObjectDown) {
  AutoRelease<CNamingProjectDouble> project(new CNamingProjectDouble(m_source));
  AutoRelease<CConfigurationDouble> configuration(new CConfigurationDouble);
  std::ignore = configuration->SetProject(project.Get());
  String own;
  ASSERT_EQ(Hvd::GetAutonymOf(configuration.Get())->GetName(&own), Hvd::kSuccess);
  AutoRelease<Prjrep::IAutonym> child = Named("child");

  AutoRelease<Prjrep::IAutonym> object = Hvd::SynthesizeObjectAutonym(configuration.Get());
  EXPECT_EQ(ElementsOf(object.Get()), (std::vector<std::string>{m_source, "the project", own.str()}));
  AutoRelease<Prjrep::IAutonym> nested = Hvd::SynthesizeNestedAutonym(configuration.Get(), child.Get());
  EXPECT_EQ(ElementsOf(nested.Get()), (std::vector<std::string>{m_source, "the project", own.str(), "child"}));

  AutoRelease<Prjrep::IAutonymLookup> registry(Hvd::GetNamedObjectRegistryCLSID());
  ASSERT_EQ(registry->Register(object.Get(), configuration.Get()), Hvd::kSuccess);
  EXPECT_EQ(Hvd::RootOf(Hvd::ResolveAutonym(Hvd::SynthesizeObjectAutonym(configuration.Get()).Get(), "").Get()),
            Hvd::RootOf(configuration.Get()));

  // Without a name at any step there is no autonym at all, never a part of one.
  AutoRelease<CProjectDouble> plain(new CProjectDouble(m_source));
  EXPECT_FALSE(Hvd::SynthesizeNestedAutonym(configuration.Get(), plain.Get())) << "a child without a name";
  AutoRelease<CNamingProjectDouble> pathless(new CNamingProjectDouble(""));
  for (CitI::IInterface* owner :
       {static_cast<CitI::IInterface*>(plain.Get()), static_cast<CitI::IInterface*>(pathless.Get())}) {
    std::ignore = configuration->SetProject(owner);
    EXPECT_FALSE(Hvd::SynthesizeObjectAutonym(configuration.Get()));
    EXPECT_FALSE(Hvd::SynthesizeNestedAutonym(configuration.Get(), child.Get()));
  }
}

// Each table's autonyms and names with the objects they stand for, and below each object
// what it holds in turn; a repository shows as the active one.
TEST_F(DmUtilsTest, NameTrackerDumpListsEachTableAndWhatItsObjectsHold) {
  AutoRelease<CProjectDouble> project = OpenProject();
  AutoRelease<Prjrep::IProjectRepository> repository = Hvd::GetRepositoryOfObject(project.Get());
  AutoRelease<CConfigurationDouble> configuration(new CConfigurationDouble);
  std::ignore = configuration->m_name.SetName("fast");
  AutoRelease<CitI::IInterface> gate(CitP::Factory::CreateInstance(Prjrep::ClassId::OperationGate()));
  ASSERT_EQ(Hvd::RegisterNamedObject(gate, "inner", configuration.Get(), true), Hvd::kSuccess);
  AutoRelease<Prjrep::IAutonym> key = Named("cfg");
  CNameTrackerDouble::Put(key.Get(), configuration.Get());
  CNameTrackerDouble::Put("Gate", gate.Get());
  CNameTrackerDouble::Put("Repository", repository.Get());
  AutoRelease<CitI::IInterface> tracker(new CNameTrackerDouble);
  const std::string fast = Address(configuration.Get()) + ") (fast)\n";
  const std::string gateLine = "Gate (" + Address(gate.Get()) + ") (" + Hvd::GetObjectDisplayName(gate).str() + ")\n";

  Port_MsgManData::ClearCaptured();
  Hvd::DumpNameTracker(tracker, "> ");
  EXPECT_EQ(DumpText(), "> Autonym keys:\n"
                        ">   cfg (" + fast +
                            "> String keys:\n"
                            ">   " + gateLine +
                            ">     String keys:\n"
                            ">       inner (" + fast +
                            ">   ActiveRepository (" + Address(repository.Get()) + ") (top.xhlc)\n");

  // The registry the host supplies lists nothing of its own: the global dump says so.
  Port_MsgManData::ClearCaptured();
  Hvd::DumpGlobalNameTracker();
  EXPECT_EQ(DumpText(), "- Global Name Tracker -\n  Empty!\n");
  // One that does is dumped whole.
  CNameTrackerDouble::Empty();
  CNameTrackerDouble::Put("Gate", gate.Get());
  RegisterTestFactory<CNameTrackerDouble>();
  Port_MsgManData::ClearCaptured();
  Hvd::DumpGlobalNameTracker();
  EXPECT_EQ(DumpText(), "- Global Name Tracker -\n"
                        "  String keys:\n"
                        "    " + gateLine +
                            "      String keys:\n"
                            "        inner (" + fast);
  CNameTrackerDouble::Empty();
  Port_MsgManData::ClearCaptured();
  Hvd::DumpGlobalNameTracker();
  EXPECT_EQ(DumpText(), "- Global Name Tracker -\n  Empty!\n");
}

// A design answers with its project, and nothing else is asked even when a project is active; a
// repository answers with the project active in it. An object of no listed kind, and a
// repository without a project of its own, fall back on the active project, or have none.
TEST_F(DmUtilsTest, OwningProjectOfADesignOfARepositoryAndOfAnObjectOfNoListedKind) {
  AutoRelease<CProjectDouble> project = OpenProject();
  AutoRelease<CProjectDouble> active(new CProjectDouble(m_dir + "/active.xhlc"));
  AutoRelease<DesignDouble> design(new DesignDouble), orphan(new DesignDouble);
  design->project = project.Get();
  AutoRelease<Prjrep::IProjectRepository> repository = Hvd::FindAutonymByName(m_source.c_str(), false);
  AutoRelease<Prjrep::IProjectRepository> empty = Hvd::FindAutonymByName((m_dir + "/empty.xhlc").c_str(), true);
  AutoRelease<CPRHelperDouble> unknown(new CPRHelperDouble);
  ASSERT_TRUE(repository && empty);
  const auto owner = [](CitI::IInterface* object) { return Hvd::RootOf(Hvd::GetOwningProject(object).Get()); };

  EXPECT_EQ(owner(design.Get()), Hvd::RootOf(project.Get()));
  EXPECT_EQ(Hvd::GetObjectFullPath(design.Get()), m_source) << "a design's path is its project's";
  EXPECT_EQ(owner(repository.Get()), Hvd::RootOf(project.Get()));
  EXPECT_EQ(owner(empty.Get()), nullptr);
  EXPECT_EQ(owner(unknown.Get()), nullptr);
  EXPECT_EQ(owner(orphan.Get()), nullptr);

  ASSERT_EQ(Hvd::RegisterNamedObject(Hvd::GetNamedObjectRegistryCLSID(), "ActiveHvdProject", active.Get(), true),
            Hvd::kSuccess);
  EXPECT_EQ(owner(empty.Get()), Hvd::RootOf(active.Get()));
  EXPECT_EQ(owner(unknown.Get()), Hvd::RootOf(active.Get()));
  EXPECT_EQ(owner(repository.Get()), Hvd::RootOf(project.Get()));
  EXPECT_EQ(owner(orphan.Get()), nullptr) << "a design without a project has none";
  EXPECT_EQ(owner(design.Get()), Hvd::RootOf(project.Get()));
}

// A module of a reconfigurable design is shown by its instance path, not by its name.
TEST_F(DmUtilsTest, AModuleIsDisplayedByItsInstancePath) {
  AutoRelease<Hvd::IPRModule> module(CitP::Factory::CreateInstance(Hvd::ClassId::PRModule()));
  ASSERT_TRUE(module);
  ASSERT_EQ(AutoCast<Hvd::ISettablePRModule>(module.Get())->SetInstancePath("/top/u_pr"), Hvd::kSuccess);
  std::ignore = AutoCast<Prjrep::IName>(module.Get())->SetName("named");
  EXPECT_EQ(Hvd::GetObjectDisplayName(module.Get()), "/top/u_pr");
}

// An autonym set is never the base of a project-path autonym: refused with a line of its own,
// and nothing is made.
TEST_F(DmUtilsTest, AnAutonymSetIsRefusedAsTheBaseOfAPathAutonym) {
  AutoRelease<CNamingProjectDouble> project(new CNamingProjectDouble(m_source));
  AutoRelease<Prjrep::IAutonym> compound = Hvd::SynthesizeHlcPlusAutonym(project.Get());
  ASSERT_TRUE(compound);
  EXPECT_EQ(ElementsOf(compound.Get()), (std::vector<std::string>{m_source, "the project"}));
  Port_MsgManData::ClearCaptured();
  EXPECT_FALSE(Hvd::SynthesizeHlcPlusAutonym(compound.Get()));
  const auto captured = Port_MsgManData::Captured();
  ASSERT_EQ(captured.size(), 1U);
  EXPECT_EQ(captured[0].text,
            "ERROR: SynthesizeHlcPlusAutonym - Invalid argument - The provided component may not expose IAutonymSet.\n");
  EXPECT_EQ(ElementsOf(compound.Get()), (std::vector<std::string>{m_source, "the project"})) << "left as it was";
}

}  // namespace
