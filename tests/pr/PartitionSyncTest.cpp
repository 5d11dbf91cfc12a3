// Partitions pulled into a configuration's design project and pushed back out, and the
// copies they are built on.

#include <filesystem>
#include <fstream>
#include <sstream>

#include "HdcI/IHDProject.h"
#include "Hvd/ICompAdmin.h"
#include "pr/PRSupport.h"
#include "pr/partitions/PartitionSync.h"

namespace {

using namespace pr_testing;
using HdcI::IHDProject;
using HdcI::IPartition;
namespace PRSync = Hvd::PRSync;

// A partition's readable values, compared as a whole.
std::string Describe(IPartition* partition) {
  std::ostringstream out;
  Text name, source;
  bool top = false;
  std::int64_t single = 0;
  std::ignore = partition->GetName(&name);
  std::ignore = partition->IsTop(&top);
  std::ignore = partition->GetSingleValue(&single);
  std::ignore = partition->GetSourceFile(&source);
  out << name.str() << " top=" << top << " single=" << single << " source=" << source.str();
  AutoCast<HdcI::IPartitionStage> stages(partition);
  for (std::int32_t stage = 0; stage < 5; ++stage) {
    std::int64_t a = 0, b = 0, c = 0;
    std::ignore = partition->GetStageStamp(stage, &a);
    std::ignore = stages->GetPrimaryStamp(stage, &b);
    std::ignore = stages->GetSecondaryStamp(stage, &c);
    out << " s" << stage << "=" << a << "/" << b << "/" << c;
  }
  AutoCast<HdcI::IPartitionText> texts(partition);
  for (std::int32_t index = 0; index < 6; ++index) {
    Text text;
    std::ignore = texts->GetText(index, &text);
    out << " t" << index << "=" << text.str();
  }
  AutoRelease<Prjrep::IStringIterator> entries;
  std::ignore = partition->GetListEntries(entries.Receive());
  for (; entries && !entries->IsDone(); std::ignore = entries->Next()) out << " e=" << entries->Current().str();
  return out.str();
}

std::vector<std::string> Names(IHDProject* project) {
  std::vector<std::string> names;
  AutoRelease<HdcI::IPartitionIterator> it;
  for (std::ignore = project->GetPartitions(it.Receive()); it && !it->IsDone(); std::ignore = it->Next())
    names.push_back(PRSync::PartitionName(it->Current()).str());
  return names;
}

struct PartitionSyncTest : ProjectsTest {
  void SetUp() override {
    ProjectsTest::SetUp();
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Cvf"));
    m_manager = Create<Hvd::IConfigurationManager>(Hvd::ClassId::ConfigurationMgr());
  }
  void TearDown() override {
    for (auto& repository : m_repositories)
      if (AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get()); names) std::ignore = names->Unregister("HDProject");
    if (m_manager) std::ignore = AutoCast<Hvd::ICompAdmin>(m_manager.Get())->Teardown();
    m_manager = nullptr;
    ProjectsTest::TearDown();
  }
  // A design project for the project last made, written to "<name>.hd".
  IHDProject* DesignProject(const std::string& name) {
    AutoRelease<IHDProject> made(CitP::Factory::CreateInstance(HdcI::HDProjectClassId()));
    EXPECT_TRUE(made);
    std::ignore = AutoCast<HdcI::IHDProjectSetup>(made.Get())->Bind((m_dir + "/" + name + ".hd").c_str(), nullptr);
    EXPECT_EQ(Hvd::RegisterNamedObject(m_repositories.back().Get(), "HDProject", made.Get(), true), kSuccess);
    return made.Get();  // borrowed: the repository's lookup holds it
  }
  static AutoRelease<IPartition> Make(IHDProject* project, const char* name, std::int64_t stamp, bool top = false) {
    AutoRelease<IPartition> partition;
    EXPECT_EQ(project->CreatePartition(name, partition.Receive()), kSuccess);
    std::ignore = partition->SetTop(top);
    std::ignore = partition->SetStageStamp(2, stamp);
    std::ignore = partition->SetSingleValue(stamp * 10);
    std::ignore = partition->SetSourceFile((std::string("/src") + name + ".ngc").c_str());
    std::ignore = AutoCast<HdcI::IPartitionStage>(partition.Get())->SetSecondaryStamp(4, stamp + 1);
    std::ignore = AutoCast<HdcI::IPartitionText>(partition.Get())->SetText(5, name);
    std::ignore = partition->AddListEntry("entry");
    return partition;
  }
  static AutoRelease<IPartition> Find(IHDProject* project, const char* name) {
    AutoRelease<IPartition> partition;
    std::ignore = project->FindPartition(name, partition.Receive());
    return partition;
  }
  // A static project, a flavor "fast" of module /top/u1 and a configuration "cfg" choosing it.
  void BuildConfiguration() {
    Hvd::IProject* staticProject = Project("static", true);
    ASSERT_EQ(AutoCast<Hvd::IProjectCompReference>(m_manager.Get())->SetProject(staticProject), kSuccess);
    m_static = DesignProject("static");
    std::ignore = Make(m_static, "/top", 1, true);
    std::ignore = Make(m_static, "/top/s", 2);
    std::ignore = Make(m_static, "/top/u1", 3);
    m_flavor = Create<Hvd::IFlavor>(Hvd::ClassId::Flavor());
    ASSERT_EQ(AutoCast<Prjrep::IName>(m_flavor.Get())->SetName("fast"), kSuccess);
    ASSERT_EQ(AutoCast<Hvd::ISettableFlavor>(m_flavor.Get())->SetProject(Project("fast")), kSuccess);
    ASSERT_EQ(Hvd::RegisterNamedObject(m_repositories.back().Get(), "Flavor", m_flavor.Get(), true), kSuccess);
    m_fast = DesignProject("fast");
    std::ignore = Make(m_fast, "/top", 10, true);
    std::ignore = Make(m_fast, "/top/a", 11);
    std::ignore = Make(m_fast, "/top/a/b", 12);
    ASSERT_EQ(AutoCast<Hvd::IPRModuleManager>(m_manager.Get())->CreatePRModule("/top/u1", m_module.Receive()), kSuccess);
    ASSERT_EQ(AutoCast<Hvd::ISettablePRModule>(m_module.Get())->AddFlavor(m_flavor), kSuccess);
    ASSERT_EQ(m_manager->CreateConfiguration(m_configuration.Receive()), kSuccess);
    ASSERT_EQ(AutoCast<Prjrep::IName>(m_configuration.Get())->SetName("cfg"), kSuccess);
    ASSERT_EQ(AutoCast<Hvd::IConfigurationPrivate>(m_configuration.Get())->Initialize(Project("cfg")), kSuccess);
    ASSERT_EQ(Hvd::RegisterNamedObject(m_repositories.back().Get(), "Configuration", m_configuration.Get(), true),
              kSuccess);
    m_cfg = DesignProject("cfg");
  }

  AutoRelease<Hvd::IConfigurationManager> m_manager;
  AutoRelease<Hvd::IFlavor> m_flavor;
  AutoRelease<Hvd::IPRModule> m_module;
  AutoRelease<Hvd::IConfiguration> m_configuration;
  IHDProject* m_static = nullptr;
  IHDProject* m_fast = nullptr;
  IHDProject* m_cfg = nullptr;
};

TEST(PartitionNames, MapBothWaysAsTheTableSays) {
  struct Row {
    const char* name;
    bool isStatic;
    const char* prefix;
    const char* mapped;
  };
  for (const Row& row : std::vector<Row>{{"/top", false, "/top/u1", "/top/u1"},
                                         {"/top/a/b", false, "/top/u1", "/top/u1/a/b"},
                                         {"/f", false, "/top/u2", "/top/u2"},
                                         {"/top/a", true, "/top/u1", "/top/a"},
                                         {"/top", true, "", "/top"}})
    EXPECT_EQ(PRSync::MapPartitionName(row.name, row.isStatic, row.prefix).str(), row.mapped) << row.name;
  struct Back {
    const char* name;
    const char* source;
    const char* destination;
    const char* mapped;
  };
  for (const Back& row : std::vector<Back>{{"/top/u1", "/top/u1", "/top", "/top"},
                                           {"/top/u1/a/b", "/top/u1", "/top", "/top/a/b"},
                                           {"/top/u1x", "/top/u1", "/top", ""},
                                           {"/top/s", "/top/u1", "/top", ""},
                                           {"/top/s", "", "/top", "/top/s"}})
    EXPECT_EQ(PRSync::ReverseMapPartitionName(row.name, row.source, row.destination).str(), row.mapped) << row.name;
}

TEST_F(PartitionSyncTest, CopyInfoReRootsByLengthAndReportsTooShortNames) {
  Project("one");
  IHDProject* source = DesignProject("one");
  Project("two");
  IHDProject* destination = DesignProject("two");
  auto a = Make(source, "/top/u1/a", 5), module = Make(source, "/top/u1", 6), root = Make(source, "/top", 7, true);
  auto xyz = Make(source, "/top/u1xyz", 8);
  DebugLines();
  auto copied = PRSync::CopyPartitionInfo(source, a, destination, "/top/u1", "/top");
  ASSERT_TRUE(copied);
  bool top = true;
  EXPECT_TRUE(PRSync::PartitionName(copied).str() == "/top/a" && copied->IsTop(&top) == kSuccess && !top);
  copied = PRSync::CopyPartitionInfo(source, module, destination, "/top/u1", "/top");
  EXPECT_TRUE(PRSync::PartitionName(copied).str() == "/top" && copied->IsTop(&top) == kSuccess && top);
  EXPECT_EQ(PRSync::PartitionName(PRSync::CopyPartitionInfo(source, xyz, destination, "/top/u1", "/top")).str(),
            "/topxyz");
  EXPECT_FALSE(PRSync::CopyPartitionInfo(source, root, destination, "/top/u1", "/top"));
  EXPECT_EQ(DebugLines(), std::vector<std::string>{"CopyPartitionInfo -- Source partition name too samll"});
  // The copy carries everything but the new name.
  std::string expected = Describe(a);
  expected.replace(0, std::string("/top/u1/a").size(), "/top/a");
  EXPECT_EQ(Describe(Find(destination, "/top/a")), expected);

  // An empty list removes everything; a relative path setting becomes absolute.
  PRSync::RemoveNonMatchingPartitions(destination, {});
  EXPECT_TRUE(Names(destination).empty());
  std::ignore = source->SetPathSetting(1, "synth/../synth/a.ngc");
  std::ignore = source->SetTextSetting(3, "text");
  PRSync::CopyProjectPartitionSettings(m_projects[0], m_projects[1]);
  Text path, text;
  std::ignore = destination->GetPathSetting(1, &path);
  std::ignore = destination->GetTextSetting(3, &text);
  EXPECT_EQ(path.str(), m_dir + "/synth/a.ngc");
  EXPECT_EQ(text.str(), "text");
}

TEST_F(PartitionSyncTest, ComposePullsReRootedPartitionsAndDecomposeRestoresTheFlavor) {
  BuildConfiguration();
  std::ignore = Make(m_cfg, "/stale", 99);
  std::map<std::string, std::string> before;
  for (const auto& name : Names(m_fast)) before[name] = Describe(Find(m_fast, name.c_str()));

  ASSERT_EQ(PRSync::SyncPartitionsIntoConfiguration(m_configuration), kSuccess);
  EXPECT_EQ(Names(m_cfg), (std::vector<std::string>{"/top", "/top/s", "/top/u1", "/top/u1/a", "/top/u1/a/b"}));
  // The module's partition takes the flavor root's settings, not its top flag.
  bool top = true;
  auto module = Find(m_cfg, "/top/u1");
  EXPECT_TRUE(module->IsTop(&top) == kSuccess && !top);
  std::int64_t stamp = 0;
  EXPECT_TRUE(module->GetStageStamp(2, &stamp) == kSuccess && stamp == 10);
  EXPECT_TRUE(Find(m_cfg, "/top/u1/a/b")->GetStageStamp(2, &stamp) == kSuccess && stamp == 12);
  EXPECT_TRUE(std::filesystem::exists(m_dir + "/cfg.hd")) << "the configuration's design project was written";

  // Changed in the configuration, the change goes back to the flavor; the rest is as it was.
  std::ignore = Find(m_cfg, "/top/u1/a")->SetStageStamp(0, 77);
  ASSERT_EQ(PRSync::SyncPartitionsOutOfConfiguration(m_configuration), kSuccess);
  EXPECT_EQ(Names(m_fast), (std::vector<std::string>{"/top", "/top/a", "/top/a/b"}));
  before["/top/a"].replace(before["/top/a"].find("s0=0"), 4, "s0=77");
  for (const auto& [name, description] : before) EXPECT_EQ(Describe(Find(m_fast, name.c_str())), description);
  // The static project keeps its own partitions and the module's place, without its subtree.
  EXPECT_EQ(Names(m_static), (std::vector<std::string>{"/top", "/top/s", "/top/u1"}));
}

TEST_F(PartitionSyncTest, APushWithoutTheModulesPartitionLeavesTheFlavorIntact) {
  BuildConfiguration();
  std::vector<std::string> flavorBefore;
  for (const auto& name : Names(m_fast)) flavorBefore.push_back(Describe(Find(m_fast, name.c_str())));
  // The configuration never got the module's partitions.
  std::ignore = Make(m_cfg, "/top", 1, true);
  DebugLines();
  ASSERT_EQ(PRSync::SyncPartitionsOutOfConfiguration(m_configuration), kSuccess);
  std::vector<std::string> flavorAfter;
  for (const auto& name : Names(m_fast)) flavorAfter.push_back(Describe(Find(m_fast, name.c_str())));
  EXPECT_EQ(flavorAfter, flavorBefore);
  EXPECT_FALSE(std::filesystem::exists(m_dir + "/fast.hd")) << "nothing was written for the flavor";
  EXPECT_EQ(DebugLines().front(), "No partition to push at /top/u1\n");

  // Something that is no configuration.
  EXPECT_EQ(PRSync::SyncPartitionsIntoConfiguration(m_flavor), kFailure);
  EXPECT_EQ(PRSync::SyncPartitionsOutOfConfiguration(nullptr), kFailure);
  EXPECT_EQ(DebugLines(), (std::vector<std::string>{"Bad input config ptr\n", "Bad input config ptr\n"}));
}

TEST_F(PartitionSyncTest, ANewModuleGetsItsPartitionInTheStaticDesignProject) {
  Hvd::IProject* staticProject = Project("static", true);
  ASSERT_EQ(AutoCast<Hvd::IProjectCompReference>(m_manager.Get())->SetProject(staticProject), kSuccess);
  IHDProject* design = DesignProject("static");
  auto kept = Make(design, "/top/u2", 4);
  AutoRelease<Hvd::IPRModule> u1, u2;
  auto* modules = AutoCast<Hvd::IPRModuleManager>(m_manager.Get()).Get();
  ASSERT_TRUE(modules->CreatePRModule("/top/u1", u1.Receive()) == kSuccess &&
              modules->CreatePRModule("/top/u2", u2.Receive()) == kSuccess);
  EXPECT_EQ(Names(design), (std::vector<std::string>{"/top/u2", "/top/u1"}));
  EXPECT_EQ(Describe(Find(design, "/top/u2")), Describe(kept)) << "an existing partition is kept";
}

}  // namespace
