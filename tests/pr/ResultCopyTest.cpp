// A configuration's results copied between the static project's directory and its own, and
// the stage triggers set from its partitions' stamps.

#include <stdlib.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "HdcI/IHDProject.h"
#include "core/Factory.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "pr/PRSupport.h"
#include "pr/results/ResultCopy.h"
#include "pr/results/TriggerProperties.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/ISharedConstraintMgr.h"
#include "Prjrep/ClassIds.h"
#include "utils/PropertyAccessor.h"
#include "utils/InterpHelp.h"

namespace {

using namespace pr_testing;
namespace fs = std::filesystem;

// The helper, as far as the copies ask it: the manager of every configuration is `manager`.
class HelperDouble final : public Hvd::TComponent<HelperDouble> {
 public:
  CITI_DECLARE_CLSID("{46d13bb4-32d0-4956-ad01-ca173eb43e22}")
  static inline CitI::IInterface* manager = nullptr;

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IPRSolutionHelper>(&m_helper), Hvd::Row<Prjrep::IRefCount>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }

 private:
  struct XHelper : Hvd::TNested<HelperDouble, Hvd::IPRSolutionHelper> {
    using TNested::TNested;
    Hvd::Status RunTclCommand(const Text&, bool) override { return kNotSupported; }
    Hvd::Status GetConfigManager(CitI::IInterface*, bool, CitI::IInterface** out) override {
      return Prjrep::AutoOut<CitI::IInterface>(out).Assign(manager);
    }
    Hvd::Status CreateConfigManager(CitI::IInterface*, CitI::IInterface**) override { return kNotSupported; }
    Hvd::Status FindRepositoryObject(const Text&, const Text&, CitI::IInterface**) override { return kNotSupported; }
    Hvd::Status CreateHvdProject(CitI::IInterface*, const Text&, CitI::IInterface**) override { return kNotSupported; }
    Hvd::Status GetContextFullPath(CitI::IInterface*, Text*) override { return kNotSupported; }
    Hvd::Status GetContextProject(CitI::IInterface*, CitI::IInterface**) override { return kNotSupported; }
  } m_helper{this};
  Prjrep::TRefCountHelper<HelperDouble> m_refCount{this};
};

void Touch(const std::string& path, const std::string& text = "x") {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << text;
}

struct ResultCopyTest : ProjectsTest {
  void SetUp() override {
    ProjectsTest::SetUp();
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Cvf") && CitP::Factory::LoadLibraryFactory("libHvd_TOE"));
    testing_support::ResetTclRecords();
    for (const char* name : {"VEL_CORVANE_QLB_COPY", "VEL_CORVANE_NO_QLB_COPY", "VEL_CORVANE_NO_BCD_COPY",
                             "VEL_CORVANE_NO_PIF"})
      unsetenv(name);
  }
  void TearDown() override {
    for (auto& repository : m_repositories)
      if (AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get()); names) std::ignore = names->Unregister("HDProject");
    if (m_manager) std::ignore = AutoCast<Hvd::ICompAdmin>(m_manager.Get())->Teardown();
    m_manager = nullptr;
    HelperDouble::manager = nullptr;
    ProjectsTest::TearDown();
  }
  HdcI::IHDProject* DesignProject() {
    AutoRelease<HdcI::IHDProject> made(CitP::Factory::CreateInstance(HdcI::HDProjectClassId()));
    EXPECT_EQ(Hvd::RegisterNamedObject(m_repositories.back().Get(), "HDProject", made.Get(), true), kSuccess);
    return made.Get();  // borrowed: the repository's lookup holds it
  }
  // The static project in the test's directory and a configuration in "cfg/".
  void Build() {
    m_manager = Create<Hvd::IConfigurationManager>(Hvd::ClassId::ConfigurationMgr());
    ASSERT_EQ(AutoCast<Hvd::IProjectCompReference>(m_manager.Get())->SetProject(Project("static")), kSuccess);
    HelperDouble::manager = m_manager.Get();
    Hvd::RegisterFactoriesOf<HelperDouble>();
    fs::create_directories(m_dir + "/cfg");
    ASSERT_EQ(m_manager->CreateConfiguration(m_configuration.Receive()), kSuccess);
    ASSERT_EQ(AutoCast<Hvd::IConfigurationPrivate>(m_configuration.Get())->Initialize(Project("cfg/cfg")), kSuccess);
    ASSERT_EQ(Hvd::RegisterNamedObject(m_repositories.back().Get(), "Configuration", m_configuration.Get(), true),
              kSuccess);
    m_cfg = DesignProject();
  }

  AutoRelease<Hvd::IConfigurationManager> m_manager;
  AutoRelease<Hvd::IConfiguration> m_configuration;
  HdcI::IHDProject* m_cfg = nullptr;
};

TEST(ResultCopyNames, TheConstraintDataFollowsTheRealExtension) {
  EXPECT_EQ(Hvd::PRSync::ConfigurationConstraintData("/p/cfg1/cfg1.hlc").str(), "/p/cfg1/cfg1_qdb/cst.vbcd");
  EXPECT_EQ(Hvd::PRSync::ConfigurationConstraintData("/p/cfg1/cfg1.xhlc").str(), "/p/cfg1/cfg1_qdb/cst.vbcd");
}

TEST_F(ResultCopyTest, ComposeBringsTheStaticResultsInUnderEachSetting) {
  Build();
  const std::string s = m_dir, c = m_dir + "/cfg";
  Touch(s + "/qlb_cp/top.edf");
  Touch(s + "/_ngo/u1.ngo");
  Touch(s + "/static.vbcd", "constraints");
  // Two partitions whose files share a name, and one path no Tcl word would survive raw.
  Touch(s + "/src1/a.ngc", "one");
  Touch(s + "/src{2 [x]/a.ngc", "two");
  AutoRelease<HdcI::IPartition> root, child;
  ASSERT_EQ(m_cfg->CreatePartition("/top", root.Receive()), kSuccess);
  ASSERT_EQ(m_cfg->CreatePartition("/top/u1", child.Receive()), kSuccess);
  std::ignore = root->SetSourceFile((s + "/src1/a.ngc").c_str());
  std::ignore = child->SetSourceFile((s + "/src{2 [x]/a.ngc").c_str());

  // Without the synthesis switch, only the translate results and the constraint data.
  EXPECT_EQ(Hvd::PRSync::CopyResultsIntoConfiguration(m_configuration), kSuccess);
  EXPECT_TRUE(fs::exists(c + "/_ngo/u1.ngo") && !fs::exists(c + "/qlb") && !fs::exists(c + "/a.ngc"));
  std::ifstream data(c + "/cfg_qdb/cst.vbcd");
  std::string text;
  EXPECT_TRUE(std::getline(data, text) && text == "constraints");

  // Both switches: still no synthesis copy.
  setenv("VEL_CORVANE_QLB_COPY", "", 1);
  setenv("VEL_CORVANE_NO_QLB_COPY", "", 1);
  EXPECT_EQ(Hvd::PRSync::CopyResultsIntoConfiguration(m_configuration), kSuccess);
  EXPECT_FALSE(fs::exists(c + "/qlb"));
  unsetenv("VEL_CORVANE_NO_QLB_COPY");
  EXPECT_EQ(Hvd::PRSync::CopyResultsIntoConfiguration(m_configuration), kSuccess);
  EXPECT_TRUE(fs::exists(c + "/qlb/top.edf"));
  std::ifstream first(c + "/a.ngc"), second(c + "/top/u1/a.ngc");
  std::string one, two;
  EXPECT_TRUE(std::getline(first, one) && one == "one");
  EXPECT_TRUE(std::getline(second, two) && two == "two") << "the second file of the name is kept apart";
  EXPECT_EQ(Hvd::PRSync::CopyConfigurationResults(nullptr, false), kFailure);
}

// Composing reloads the configuration project's shared constraints once the static data is
// copied in, and has them compiled with the project's design; with the copy switched off,
// neither happens.
TEST_F(ResultCopyTest, ComposeReloadsAndCompilesTheConfigurationsConstraints) {
  Build();
  const std::string s = m_dir, c = m_dir + "/cfg";
  Touch(c + "/cfg_qdb/cst.vbcd", "old");
  fs::last_write_time(c + "/cfg_qdb/cst.vbcd", fs::file_time_type::clock::now() - std::chrono::hours(1));
  Touch(s + "/static.vbcd", "new");
  AutoRelease<Hvd::IProject> project = Hvd::GetOwningProject(m_configuration.Get());
  ASSERT_TRUE(project);
  // The manager as the project's configurations find it.
  AutoRelease<CitI::IInterface> kind(CitP::Factory::CreateInstance(Hvd::SharedConstraintMgrClassId()));
  AutoRelease<Prjrep::IAutonym> autonym =
      Hvd::MakeProjectComponentAutonym(Hvd::GetObjectFullPath(project.Get()), kind.Get());
  AutoRelease<Prjrep::IAutonymLookup> registry(CitP::Factory::CreateInstance(Prjrep::ClassId::NamedObjectRegistry()));
  AutoRelease<CitI::IInterface> found;
  ASSERT_TRUE(autonym && registry && registry->ResolveOrCreate(autonym, nullptr, found.Receive()) == kSuccess);
  AutoCast<Hvd::ISharedConstraintMgr> manager(found.Get());
  ASSERT_TRUE(manager);
  const auto held = [&] {
    Text data;
    EXPECT_EQ(manager->GetConstraintData(&data), kSuccess);
    return data.str();
  };
  const auto compiles = [] {
    Text asked;
    EXPECT_EQ(InterpHelp::RunCmd("set ::velmor::Hvd::compileAsked", nullptr, false, &asked), kSuccess);
    return asked.str();
  };
  ASSERT_EQ(held(), "old");

  setenv("VEL_CORVANE_NO_BCD_COPY", "", 1);
  EXPECT_EQ(Hvd::PRSync::CopyResultsIntoConfiguration(m_configuration), kSuccess);
  EXPECT_EQ(held(), "old");
  EXPECT_EQ(compiles(), "");
  unsetenv("VEL_CORVANE_NO_BCD_COPY");
  EXPECT_EQ(Hvd::PRSync::CopyResultsIntoConfiguration(m_configuration), kSuccess);
  EXPECT_EQ(held(), "new");
  Hvd::IDesign* design = nullptr;
  ASSERT_EQ(project->GetDesign(&design), kSuccess);
  char handle[48];
  std::snprintf(handle, sizeof handle, "IInterface@0x%" PRIxPTR, reinterpret_cast<std::uintptr_t>(Hvd::RootOf(design)));
  EXPECT_EQ(compiles(), handle) << "one compile, of the project's design";
}

TEST_F(ResultCopyTest, DecomposeSavesTheConfigurationsResultsButNoPartitionFiles) {
  Build();
  const std::string s = m_dir, c = m_dir + "/cfg";
  Touch(c + "/qlb/top.edf");
  Touch(c + "/_ngo/u1.ngo");
  Touch(c + "/cfg_qdb/cst.vbcd");
  setenv("VEL_CORVANE_NO_BCD_COPY", "", 1);
  EXPECT_EQ(Hvd::PRSync::CopyResultsOutOfConfiguration(m_configuration), kSuccess);
  EXPECT_TRUE(fs::exists(s + "/_ngo/u1.ngo") && !fs::exists(s + "/qlb_cp") && !fs::exists(s + "/static.vbcd"));
  unsetenv("VEL_CORVANE_NO_BCD_COPY");
  setenv("VEL_CORVANE_QLB_COPY", "1", 1);
  EXPECT_EQ(Hvd::PRSync::CopyResultsOutOfConfiguration(m_configuration), kSuccess);
  EXPECT_TRUE(fs::exists(s + "/qlb_cp/top.edf") && fs::exists(s + "/static.vbcd"));
  Text asked;
  ASSERT_EQ(InterpHelp::RunCmd("set ::velmor::Hvd::compileAsked", nullptr, false, &asked), kSuccess);
  EXPECT_EQ(asked.str(), "") << "no constraint manager, no compile";
}

TEST_F(ResultCopyTest, NewerPartitionStampsTriggerTheStagesAsTheExampleSays) {
  Hvd::IProject* project = Project("static");
  HdcI::IHDProject* design = DesignProject();
  AutoRelease<HdcI::IPartition> a, b;
  ASSERT_TRUE(design->CreatePartition("/top", a.Receive()) == kSuccess &&
              design->CreatePartition("/top/u1", b.Receive()) == kSuccess);
  std::ignore = a->SetStageStamp(2, 90);
  std::ignore = AutoCast<HdcI::IPartitionStage>(b.Get())->SetSecondaryStamp(3, 120);
  std::ignore = b->SetStageStamp(4, 200);
  EXPECT_EQ(Hvd::PRSync::GetStageStamp(design, 3), 120);
  Hvd::PropertyAccessor properties(project);
  properties.SetPropertyValue("PROP_PIFMapTrailing", "100");
  properties.SetPropertyValue("PROP_PIFParTrailing", "150");
  properties.SetPropertyValue("PROP_PIFTranslateTrailing", "0");
  properties.SetPropertyValue("PROP_PIFTranslate", "5");

  setenv("VEL_CORVANE_NO_PIF", "", 1);
  EXPECT_EQ(Hvd::PRSync::SetupPIFProperties(project), kFailure);
  EXPECT_EQ(properties.GetPropertyValue("PROP_PIFPar").str(), "0");
  unsetenv("VEL_CORVANE_NO_PIF");
  EXPECT_EQ(Hvd::PRSync::SetupPIFProperties(project), kSuccess);
  EXPECT_EQ(properties.GetPropertyValue("PROP_PIFMap").str(), "200");
  EXPECT_EQ(properties.GetPropertyValue("PROP_PIFPar").str(), "200");
  EXPECT_EQ(properties.GetPropertyValue("PROP_PIFTranslate").str(), "5") << "stage 0 equals its trailing 0";
  // The first Map rule alone, and an unreadable trailing value.
  EXPECT_TRUE(Hvd::PRSync::TriggerProperty(project, 120, "PROP_PIFMap", "PROP_PIFMapTrailing"));
  EXPECT_EQ(properties.GetPropertyValue("PROP_PIFMap").str(), "120");
  EXPECT_FALSE(Hvd::PRSync::TriggerProperty(project, 100, "PROP_PIFMap", "PROP_PIFMapTrailing"));
  properties.SetPropertyValue("PROP_PIFParTrailing", "15x");
  EXPECT_FALSE(Hvd::PRSync::TriggerProperty2(project, 500, "PROP_PIFMap", "PROP_PIFMapTrailing", "PROP_PIFParTrailing"));
}

}  // namespace
