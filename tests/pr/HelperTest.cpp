// The partial-reconfiguration helper on open projects: configurations from flavor lists and
// parallel lists with their projects on disk, flavors for instance paths, and the checks of
// names that become project directories.

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

#include "HdcI/IHDProject.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDesign.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/ITclInterp.h"
#include "Port/FaultInjection.h"
#include "pr/PRSupport.h"
#include "pr/PRShared.h"
#include "pr/helper/Shared.h"
#include "project/ProjectRoutines.h"
#include "utils/DumperComp.h"
#include "utils/FileUtils.h"
#include <map>

namespace {

using namespace pr_testing;

struct PRHelperTest : ProjectsTest {
  void SetUp() override {
    ProjectsTest::SetUp();
    // The projects of configurations and flavors make their own designs.
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_TOE") && CitP::Factory::LoadLibraryFactory("libHvd_Hdl"));
    m_helper = Create<CitI::IInterface>(Hvd::ClassId::PRHelper());
    ASSERT_TRUE(m_helper);
    m_top = Project("top", true);
    ASSERT_EQ(m_top->Save(), kSuccess);  // on disk, as the configurations' projects take it in
    // As the suite's hierarchical-design code does when a project opens.
    AutoRelease<HdcI::IHDProjectSetup> design(CitP::Factory::CreateInstance(HdcI::HDProjectClassId()));
    ASSERT_TRUE(design && design->Publish(m_top, Hvd::GetCvfProject(m_top, false).Get()) == kSuccess);
    AutoRelease<CitI::IInterface> manager;
    ASSERT_EQ(Solution()->GetConfigManager(m_top, true, manager.Receive()), kSuccess);
    m_manager = AutoCast<Hvd::IConfigurationManager>(manager.Get()).Get();
    ASSERT_TRUE(m_manager);
  }
  void TearDown() override {
    // The projects made for configurations and flavors close, which lets their repositories go.
    // What they registered in their own lookups holds them in turn.
    for (Hvd::IProject* project : MadeProjects()) {
      Unregister(project);
      std::ignore = project->ProjectClose(false);
    }
    if (m_manager) std::ignore = AutoCast<Hvd::ICompAdmin>(m_manager.Get())->Teardown();
    m_manager = nullptr;
    m_helper = nullptr;
    ProjectsTest::TearDown();
  }

  Hvd::IPRSolutionHelper* Solution() { return AutoCast<Hvd::IPRSolutionHelper>(m_helper.Get()); }
  Hvd::IConfigurationHelper* Configurations() { return AutoCast<Hvd::IConfigurationHelper>(m_helper.Get()); }
  Hvd::IFlavorHelper* Flavors() { return AutoCast<Hvd::IFlavorHelper>(m_helper.Get()); }
  Hvd::IPRModuleManager* Modules() { return AutoCast<Hvd::IPRModuleManager>(m_manager.Get()); }

  // Borrowed projects of every configuration and flavor; their repositories hold them.
  std::vector<Hvd::IProject*> MadeProjects() {
    std::vector<Hvd::IProject*> projects;
    auto add = [&projects](Hvd::IProject* project) {
      if (project != nullptr) projects.push_back(project);
    };
    AutoRelease<Hvd::IConfigurationIterator> each;
    if (m_manager) std::ignore = m_manager->GetConfigurations(each.Receive());
    for (; each && !each->IsDone(); std::ignore = each->Next()) {
      AutoRelease<Hvd::IProject> project;
      std::ignore = each->Current()->GetProject(project.Receive());
      add(project.Get());
    }
    AutoRelease<Hvd::IPRModuleIterator> module;
    if (m_manager) std::ignore = Modules()->GetPRModules(module.Receive());
    for (; module && !module->IsDone(); std::ignore = module->Next()) {
      AutoRelease<Hvd::IFlavorSet> flavors;
      std::ignore = module->Current()->GetFlavorSet(flavors.Receive());
      AutoRelease<Hvd::IFlavorIterator> flavor;
      if (flavors) std::ignore = flavors->GetIterator(flavor.Receive());
      for (; flavor && !flavor->IsDone(); std::ignore = flavor->Next()) {
        AutoRelease<Hvd::IProject> project;
        std::ignore = flavor->Current()->GetProject(project.Receive());
        add(project.Get());
      }
    }
    return projects;
  }

  AutoRelease<Hvd::IFlavor> MakeFlavor(const std::string& name, const std::string& path) {
    AutoRelease<Hvd::IFlavor> flavor;
    EXPECT_EQ(Flavors()->CreateFlavorFromInstPath(m_manager.Get(), name.c_str(), path.c_str(), flavor.Receive()),
              kSuccess)
        << name;
    return flavor;
  }
  // Flavors fast and slow of the module at /top/u1, big of the one at /top/u2.
  void MakeFlavors() {
    std::ignore = MakeFlavor("fast", "/top/u1");
    std::ignore = MakeFlavor("slow", "/top/u1");
    std::ignore = MakeFlavor("big", "/top/u2");
  }

  std::string ProjectFile(const std::string& name) { return m_dir + "/" + name + "/" + name + ".xhlc"; }

  static std::string FlavorNameOf(Hvd::IConfiguration* configuration, const std::string& instancePath) {
    AutoRelease<Hvd::IConfigurationElementIterator> it;
    for (std::ignore = configuration->GetElements(it.Receive()); it && !it->IsDone(); std::ignore = it->Next()) {
      AutoRelease<Hvd::IPRModule> module;
      Text path;
      if (it->Current()->GetPRModule(module.Receive()) != kSuccess || module->GetInstancePath(path) != kSuccess ||
          path.str() != instancePath)
        continue;
      AutoRelease<CitI::IInterface> flavor;
      std::ignore = it->Current()->GetFlavor(flavor.Receive());
      return NameOf(flavor.Get());
    }
    return "<no element>";
  }
  static bool Holds(Hvd::IProject* project, const std::string& path) {
    AutoRelease<Hvd::IHdlFileIterator> at;
    AutoCast<Hvd::IFileManager> files(project);
    return files && files->FindFileByPath(path.c_str(), at.Receive()) == kSuccess && at && !at->IsDone();
  }
  static std::vector<std::string> Messages(Port_MsgManData::Severity severity) {
    std::vector<std::string> texts;
    for (const auto& record : Port_MsgManData::Captured())
      if (record.severity == severity && record.category == "ProjectMgmt") texts.push_back(record.text);
    return texts;
  }
  static std::vector<std::string> Warnings() { return Messages(Port_MsgManData::Severity::Warning); }
  static std::vector<std::string> Errors() { return Messages(Port_MsgManData::Severity::Error); }
  std::size_t ConfigurationCount() {
    std::size_t count = 0;
    AutoRelease<Hvd::IConfigurationIterator> each;
    for (std::ignore = m_manager->GetConfigurations(each.Receive()); each && !each->IsDone(); std::ignore = each->Next())
      ++count;
    return count;
  }

  AutoRelease<CitI::IInterface> m_helper;
  Hvd::IProject* m_top = nullptr;
  AutoPtr<Hvd::IConfigurationManager> m_manager;
};

TEST_F(PRHelperTest, AConfigurationFromAFlavorListGetsItsProjectOnDiskComposed) {
  MakeFlavors();
  EXPECT_TRUE(std::filesystem::exists(ProjectFile("fast")) && std::filesystem::exists(ProjectFile("big")));
  Port_MsgManData::ClearCaptured();
  AutoRelease<Hvd::IConfiguration> configuration;
  ASSERT_EQ(Configurations()->CreateConfigurationFromFlavorList(m_manager.Get(), "cfg", "fast|slow|big|nope",
                                                                configuration.Receive()),
            kSuccess);
  ASSERT_TRUE(configuration);
  // The earlier name wins its module; the later one is ignored with a warning, the unknown one is an error.
  EXPECT_EQ(Warnings(), std::vector<std::string>{"Multiple reconfigurable modules specified for </top/u1> ignoring <slow>\n"});
  EXPECT_EQ(Errors(), std::vector<std::string>{"Reconfigurable module <nope> not found.  Check the name or create the "
                                               "named reconfigurable module first."});
  EXPECT_EQ(NameOf(configuration.Get()), "cfg");
  EXPECT_EQ(FlavorNameOf(configuration.Get(), "/top/u1"), "fast");
  EXPECT_EQ(FlavorNameOf(configuration.Get(), "/top/u2"), "big");
  AutoRelease<Hvd::IProject> project;
  ASSERT_EQ(configuration->GetProject(project.Receive()), kSuccess);
  EXPECT_TRUE(std::filesystem::exists(ProjectFile("cfg")));
  EXPECT_EQ(TypeOf(project.Get()), "Configuration");
  EXPECT_EQ(TypeOf(m_top), "Static");
  // Composed: the chosen flavors' projects are among the configuration project's files.
  EXPECT_TRUE(Holds(project.Get(), ProjectFile("fast")) && Holds(project.Get(), ProjectFile("big")));
  EXPECT_FALSE(Holds(project.Get(), ProjectFile("slow")));

  AutoRelease<Hvd::IConfiguration> found;
  EXPECT_TRUE(Configurations()->FindNamedConfiguration(m_manager.Get(), "cfg", found.Receive()) == kSuccess &&
              found.Get() == configuration.Get());
  AutoRelease<Hvd::IConfiguration> none;
  EXPECT_TRUE(Configurations()->FindNamedConfiguration(m_manager.Get(), "other", none.Receive()) == kFailure && !none);
  // Found from the configuration itself, through its static element.
  AutoRelease<CitI::IInterface> manager;
  EXPECT_TRUE(Solution()->GetConfigManager(configuration.Get(), false, manager.Receive()) == kSuccess &&
              Hvd::pr::SameObject(manager.Get(), m_manager.Get()));
}

TEST_F(PRHelperTest, ParallelListsPairFlavorsWithInstancePathsAndReportWhatDoesNotMatch) {
  MakeFlavors();
  AutoRelease<Prjrep::IStringSet> names((new Hvd::CFileNameSet)->GetStringSet());
  AutoRelease<Prjrep::IStringSet> paths((new Hvd::CFileNameSet)->GetStringSet());
  for (const char* name : {"slow", "big", "fast", "extra"}) std::ignore = names->Add(name);
  for (const char* path : {"/top/u1", "/top/nowhere", "/top/u2"}) std::ignore = paths->Add(path);
  AutoRelease<Prjrep::IStringIterator> nameIt, pathIt;
  std::ignore = names->GetIterator(nameIt.Receive());
  std::ignore = paths->GetIterator(pathIt.Receive());
  Port_MsgManData::ClearCaptured();
  AutoRelease<Hvd::IConfiguration> configuration;
  ASSERT_EQ(Configurations()->CreateConfigurationFromFlavorAndInstPathList(m_manager.Get(), "pair", nameIt.Get(),
                                                                           pathIt.Get(), configuration.Receive()),
            kSuccess);
  // Three pairs: the shorter list ends the walk.
  EXPECT_EQ(Warnings(), (std::vector<std::string>{"Could not find reconfigurable partition at </top/nowhere>.",
                                                   "Did not find reconfigurable module <fast> at </top/u2>."}));
  EXPECT_EQ(FlavorNameOf(configuration.Get(), "/top/u1"), "slow");
  EXPECT_TRUE(std::filesystem::exists(ProjectFile("pair")));

  // Assigning a flavor by name changes the module's element, composed again.
  EXPECT_EQ(Configurations()->AssignReconfigurableModuleToConfiguration(m_manager.Get(), "pair", "fast"), kSuccess);
  EXPECT_EQ(FlavorNameOf(configuration.Get(), "/top/u1"), "fast");
  AutoRelease<Hvd::IProject> project;
  ASSERT_EQ(configuration->GetProject(project.Receive()), kSuccess);
  EXPECT_TRUE(Holds(project.Get(), ProjectFile("fast")) && !Holds(project.Get(), ProjectFile("slow")));
  EXPECT_EQ(Configurations()->AssignReconfigurableModuleToConfiguration(m_manager.Get(), "pair", "nope"), kFailure);
  EXPECT_EQ(Configurations()->AssignReconfigurableModuleToConfiguration(m_manager.Get(), "missing", "fast"), kFailure);

  EXPECT_EQ(Configurations()->DeleteNamedConfiguration(m_manager.Get(), "missing"), kFailure);
  Unregister(project.Get());
  std::ignore = project->ProjectClose(false);
  EXPECT_EQ(Configurations()->DeleteNamedConfiguration(m_manager.Get(), "pair"), kSuccess);
  EXPECT_EQ(ConfigurationCount(), 0u);
}

// A flavor goes with its module: one made again for the same project file is the one a
// configuration then chooses, not the one that went.
TEST_F(PRHelperTest, AFlavorMadeAgainAfterItsModuleWentIsTheOneAConfigurationChooses) {
  const auto chosen = [this](const char* name) {
    AutoRelease<Hvd::IConfiguration> configuration;
    AutoRelease<CitI::IInterface> flavor;
    EXPECT_EQ(Configurations()->CreateConfigurationFromFlavorList(m_manager.Get(), name, "fast",
                                                                 configuration.Receive()),
              kSuccess);
    AutoRelease<Hvd::IConfigurationElementIterator> it;
    for (std::ignore = configuration->GetElements(it.Receive()); it && !it->IsDone(); std::ignore = it->Next()) {
      AutoRelease<Hvd::IPRModule> module;
      if (it->Current()->GetPRModule(module.Receive()) == kSuccess)
        std::ignore = it->Current()->GetFlavor(flavor.Receive());
    }
    return flavor;
  };
  AutoRelease<Hvd::IFlavor> first = MakeFlavor("fast", "/top/u1");
  EXPECT_TRUE(Hvd::pr::SameObject(chosen("one").Get(), first.Get()));
  AutoRelease<Hvd::IPRModule> module;
  ASSERT_EQ(Modules()->FindPRModule("/top/u1", module.Receive()), kSuccess);
  ASSERT_EQ(Modules()->RemovePRModule(module.Get()), kSuccess);

  AutoRelease<Hvd::IFlavor> again = MakeFlavor("fast", "/top/u1");
  ASSERT_TRUE(again && !Hvd::pr::SameObject(again.Get(), first.Get()));
  EXPECT_TRUE(Hvd::pr::SameObject(chosen("two").Get(), again.Get()));
}

TEST_F(PRHelperTest, NamesThatCannotBeTheirOwnProjectAreRefusedBeforeAnythingIsMade) {
  MakeFlavors();
  Port_MsgManData::ClearCaptured();
  AutoRelease<Hvd::IConfiguration> configuration;
  // Blank: the user error, and no unnamed configuration is left behind.
  EXPECT_EQ(Configurations()->CreateConfigurationFromFlavorList(m_manager.Get(), "", "fast", configuration.Receive()),
            kFailure);
  EXPECT_EQ(Errors(), std::vector<std::string>{"Configuration names must have a valid (non blank) name."});
  // A name that would leave the project's directory, or share a flavor's project, or that its
  // project's files could not hold.
  for (const char* name : {"..", "../outside", "a/b", "a\\b", "fast", "a\x01", "a\x1b"}) {
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(Configurations()->CreateConfigurationFromFlavorList(m_manager.Get(), name, "fast",
                                                                 configuration.ReleaseAndReceive()),
              kFailure)
        << name;
    EXPECT_EQ(Errors().size(), 1u) << name;
  }
  EXPECT_EQ(ConfigurationCount(), 0u);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(m_dir).parent_path() / "outside"));

  // Two flavors never share a project file, of one module or of two; nor a flavor and a configuration.
  ASSERT_EQ(Configurations()->CreateConfigurationFromFlavorList(m_manager.Get(), "cfg", "fast", configuration.Receive()),
            kSuccess);
  AutoRelease<Hvd::IFlavor> flavor;
  for (const char* name : {"fast", "cfg", "..", "x/y", "x\x01", "x\x1b"}) {
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(Flavors()->CreateFlavorFromInstPath(m_manager.Get(), name, "/top/u2", flavor.ReleaseAndReceive()),
              kFailure)
        << name;
    EXPECT_FALSE(flavor);
    EXPECT_EQ(Errors().size(), 1u) << name;
  }
  // Nor is a module made at an instance path its files could not hold.
  for (const auto& [path, shown] : {std::pair{"/top/u\x01", "\\x01"}, std::pair{"/top/u\x1b", "\\x1b"}}) {
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(Flavors()->CreateFlavorFromInstPath(m_manager.Get(), "other", path, flavor.ReleaseAndReceive()),
              kFailure);
    EXPECT_EQ(Errors(), std::vector<std::string>{std::string("The instance path \"/top/u") + shown +
                                                 "\" is refused: it holds the control character " + shown +
                                                 ", which a project file cannot hold.\n"});
    AutoRelease<Hvd::IPRModule> module;
    EXPECT_TRUE(Modules()->FindPRModule(path, module.Receive()) != kSuccess || !module) << shown;
  }
  AutoRelease<Hvd::IFlavor> found;
  EXPECT_TRUE(Flavors()->FindNamedFlavor("fast", "/top/u2", found.Receive()) == kSuccess && !found);
  EXPECT_TRUE(Flavors()->FindNamedFlavor("fast", "", found.Receive()) == kSuccess && found);
}

// A name that is not UTF-8 names a folder the project file would give back as another; a module's
// path names its partition, made by the manager itself or set on the module afterwards.
TEST_F(PRHelperTest, NamesThatAreNotUtf8AndPathsWithControlsAreRefusedBeforeAnythingIsMade) {
  MakeFlavors();
  AutoRelease<Hvd::IConfiguration> configuration;
  AutoRelease<Hvd::IFlavor> flavor;
  for (const auto& [name, byte] : {std::pair{"a\xc0\x80", "\\xc0"}, std::pair{"l\xe9ger", "\\xe9"}}) {
    const std::string refused = "is refused: it holds the byte " + std::string(byte) + ", which is not UTF-8";
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(Configurations()->CreateConfigurationFromFlavorList(m_manager.Get(), name, "fast",
                                                                 configuration.ReleaseAndReceive()),
              kFailure);
    ASSERT_EQ(Errors().size(), 1u) << byte;
    EXPECT_NE(Errors()[0].find(refused), std::string::npos) << Errors()[0];
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(Flavors()->CreateFlavorFromInstPath(m_manager.Get(), name, "/top/u2", flavor.ReleaseAndReceive()),
              kFailure);
    EXPECT_FALSE(flavor);
    ASSERT_EQ(Errors().size(), 1u) << byte;
    EXPECT_NE(Errors()[0].find(refused), std::string::npos) << Errors()[0];
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(m_dir) / name)) << byte;
  }
  EXPECT_EQ(ConfigurationCount(), 0u);

  Port_MsgManData::ClearCaptured();
  AutoRelease<Hvd::IPRModule> module;
  EXPECT_EQ(Modules()->CreatePRModule("/top/u\x1b", module.Receive()), Hvd::kInvalidParameter);
  EXPECT_FALSE(module);
  EXPECT_EQ(Errors(), std::vector<std::string>{"The instance path \"/top/u\\x1b\" is refused: it holds the control "
                                               "character \\x1b, which a project file cannot hold.\n"});
  EXPECT_TRUE(Modules()->FindPRModule("/top/u\x1b", module.Receive()) != kSuccess || !module);
  ASSERT_TRUE(Modules()->CreatePRModule("/top/u3", module.ReleaseAndReceive()) == kSuccess && module);
  EXPECT_EQ(AutoCast<Hvd::ISettablePRModule>(module.Get())->SetInstancePath("/top/u\x01"), Hvd::kInvalidParameter);
  Port::StringBase<char> path;
  EXPECT_TRUE(module->GetInstancePath(path) == kSuccess && path.str() == "/top/u3") << path.str();
}

TEST_F(PRHelperTest, AConfigurationWhoseProjectCannotBeMadeDoesNotStay) {
  MakeFlavors();
  // The configuration's directory cannot be made.
  const Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("mkdir", 0, "blocked");
  Port_MsgManData::ClearCaptured();
  AutoRelease<Hvd::IConfiguration> configuration;
  EXPECT_EQ(Configurations()->CreateConfigurationFromFlavorList(m_manager.Get(), "blocked", "fast",
                                                                configuration.Receive()),
            kFailure);
  EXPECT_FALSE(configuration);
  EXPECT_EQ(ConfigurationCount(), 0u);
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_NE(Errors()[0].find("configuration <blocked>"), std::string::npos) << Errors()[0];
}

TEST_F(PRHelperTest, AManagerThatItsProjectRefusesIsNotPublished) {
  MakeFlavors();
  AutoRelease<Hvd::IConfiguration> configuration;
  ASSERT_EQ(Configurations()->CreateConfigurationFromFlavorList(m_manager.Get(), "cfg", "fast", configuration.Receive()),
            kSuccess);
  AutoRelease<Hvd::IProject> project;
  ASSERT_EQ(configuration->GetProject(project.Receive()), kSuccess);
  AutoRelease<CitI::IInterface> refused;
  EXPECT_EQ(Solution()->CreateConfigManager(project.Get(), refused.Receive()), kFailure);
  EXPECT_FALSE(refused);
  AutoRelease<CitI::IInterface> published;
  ASSERT_EQ(Hvd::FindNamedObject("ActiveConfigManager", published.Receive()), kSuccess);
  EXPECT_TRUE(Hvd::pr::SameObject(published.Get(), m_manager.Get()));
}

TEST_F(PRHelperTest, EveryDevicePropertyOfTheParentReachesTheNewProject) {
  auto values = [](Hvd::IProject* project) {
    std::map<std::string, std::string> byName;
    Hvd::IDesign* design = nullptr;
    AutoRelease<Hvd::IDesignPlatform> platform;
    AutoRelease<Hvd::IPropertyInstanceIterator> it;
    if (project->GetDesign(&design) == kSuccess && design->GetDesignPlatform(platform.Receive()) == kSuccess)
      std::ignore = platform->GetProperties(it.Receive());
    for (; it && !it->IsDone(); std::ignore = it->Next()) {
      Text name, value;
      std::ignore = it->Current()->GetName(&name);
      std::ignore = it->Current()->GetValue(&value);
      byName[name.str()] = value.str();
    }
    return byName;
  };
  AutoRelease<CitI::IInterface> madeParent, madeChild;
  ASSERT_EQ(Solution()->CreateHvdProject(nullptr, (m_dir + "/parent/parent").c_str(), madeParent.Receive()), kSuccess);
  AutoCast<Hvd::IProject> parent(madeParent.Get());
  ASSERT_TRUE(parent);
  // A device of another family than the default, set in the order the platform lists them.
  Hvd::PropertyAccessor properties(parent.Get());
  properties.SetPropertyValue("PROP_DevFamily", "Orvanta");
  properties.SetPropertyValue("PROP_DevSpeed", "-3");
  const auto before = values(parent.Get());
  ASSERT_FALSE(before.empty());
  DebugLines();
  ASSERT_EQ(Solution()->CreateHvdProject(parent.Get(), (m_dir + "/child/child.hlc").c_str(), madeChild.Receive()),
            kSuccess);
  AutoCast<Hvd::IProject> child(madeChild.Get());
  ASSERT_TRUE(child);
  EXPECT_EQ(values(child.Get()), before);
  for (const std::string& line : DebugLines()) EXPECT_EQ(line.find("Did not find matching property"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(m_dir + "/child/child.xhlc"));
  // The extension is ".hlc" exactly; any other spelling gets it appended.
  AutoRelease<CitI::IInterface> upper;
  ASSERT_EQ(Solution()->CreateHvdProject(nullptr, (m_dir + "/up/up.HLC").c_str(), upper.Receive()), kSuccess);
  EXPECT_TRUE(std::filesystem::exists(m_dir + "/up/up.HLC.xhlc"));
  for (CitI::IInterface* made : {madeParent.Get(), madeChild.Get(), upper.Get()})
    std::ignore = AutoCast<Hvd::IProject>(made)->ProjectClose(false);
}

TEST_F(PRHelperTest, TheHelperAnswersItsThreeFacesAndFindsPathsProjectsAndRepositoryObjects) {
  ExpectAnswers<Hvd::IConfigurationHelper, Hvd::IFlavorHelper, Hvd::IPRSolutionHelper, Prjrep::IRefCount>(m_helper.Get());
  EXPECT_EQ(m_helper->QueryInterface(CitI::IInterface::GetIID()),
            static_cast<CitI::IInterface*>(AutoCast<Hvd::IConfigurationHelper>(m_helper.Get()).Get()));
  Text path;
  EXPECT_TRUE(Solution()->GetContextFullPath(nullptr, &path) == kSuccess && path.empty()) << "answers the emptiness";
  EXPECT_TRUE(Solution()->GetContextFullPath(m_top, &path) == kFailure && path.str() == PathOf("top"));
  AutoRelease<CitI::IInterface> project;
  EXPECT_TRUE(Solution()->GetContextProject(m_manager.Get(), project.Receive()) == kSuccess &&
              Hvd::pr::SameObject(project.Get(), m_top));
  AutoRelease<CitI::IInterface> repository, helper, none;
  EXPECT_TRUE(Solution()->FindRepositoryObject(PathOf("top").c_str(), "", repository.Receive()) == kSuccess &&
              repository);
  EXPECT_TRUE(Solution()->FindRepositoryObject(PathOf("top").c_str(), "CvfProject", helper.Receive()) == kSuccess &&
              AutoCast<Hvd::IProjectHelper>(helper.Get()));
  EXPECT_EQ(Solution()->FindRepositoryObject("/no/such.xhlc", "", none.Receive()), kFailure);
  EXPECT_EQ(Solution()->FindRepositoryObject("/no/such.xhlc", "", nullptr), kFailure);
  // A new helper finds the same manager from nothing: the active static project's.
  AutoRelease<CitI::IInterface> found;
  EXPECT_TRUE(Solution()->GetConfigManager(nullptr, false, found.Receive()) == kSuccess &&
              Hvd::pr::SameObject(found.Get(), m_manager.Get()));
  DebugLines();
  EXPECT_EQ(Solution()->GetConfigManager(m_top, true, nullptr), kFailure);
  EXPECT_EQ(DebugLines(), std::vector<std::string>{"ERROR: Invalid output parameter.\n"});
}

TEST_F(PRHelperTest, RunTclCommandBindsTheHelperAsThisWhenAsked) {
  AutoRelease<Hvd::ITclInterp> tcl(CitP::Factory::CreateInstance(Hvd::TclInterpClassId()));
  ASSERT_TRUE(tcl);
  Text result;
  ASSERT_EQ(tcl->ExecuteCmd("proc ::prhelper_probe {args} { set ::prhelper_seen [llength $args] }", result, 1), kSuccess);
  EXPECT_EQ(Solution()->RunTclCommand("::prhelper_probe", true), kSuccess);
  EXPECT_TRUE(tcl->ExecuteCmd("set ::prhelper_seen", result, 1) == kSuccess && result.str() == "1");
  EXPECT_EQ(Solution()->RunTclCommand("::prhelper_probe", false), kSuccess);
  EXPECT_TRUE(tcl->ExecuteCmd("set ::prhelper_seen", result, 1) == kSuccess && result.str() == "0");
  EXPECT_NE(Solution()->RunTclCommand("::no_such_command", false), kSuccess);
}

TEST_F(PRHelperTest, AFlavorForAnInstancePathMakesItsModuleOnceAndRecomposesTheActiveConfiguration) {
  AutoRelease<Hvd::IFlavor> fast = MakeFlavor("fast", "/top/a/u1");
  AutoRelease<Hvd::IFlavor> slow = MakeFlavor("slow", "/top/a/u1");
  AutoRelease<Hvd::IPRModuleIterator> modules;
  ASSERT_EQ(Modules()->GetPRModules(modules.Receive()), kSuccess);
  ASSERT_FALSE(modules->IsDone());
  EXPECT_EQ(NameOf(modules->Current()), "u1") << "named after the leaf";
  std::ignore = modules->Next();
  EXPECT_TRUE(modules->IsDone()) << "one module for both flavors";
  AutoRelease<Hvd::IFlavor> found;
  EXPECT_TRUE(Flavors()->FindNamedFlavor("slow", "/top/a/u1", found.Receive()) == kSuccess && found.Get() == slow.Get());

  Port_MsgManData::ClearCaptured();
  AutoRelease<Hvd::IFlavor> refused;
  EXPECT_EQ(Flavors()->CreateFlavorFromInstPath(m_manager.Get(), "x", "", refused.Receive()), kFailure);
  EXPECT_EQ(Errors(), std::vector<std::string>{"Need a valid non empty Instance Path to associate this new "
                                               "reconfigurable module with.\nFailed to Create a Flavor\n"});

  AutoRelease<Hvd::IConfiguration> configuration;
  ASSERT_EQ(Configurations()->CreateConfigurationFromFlavorList(m_manager.Get(), "cfg", "fast", configuration.Receive()),
            kSuccess);
  ASSERT_EQ(m_manager->SetActiveConfiguration(configuration.Get()), kSuccess);
  // A step that fails still leaves the active configuration composed.
  SyncSteps steps;
  EXPECT_EQ(Flavors()->CreateFlavorFromInstPath(m_manager.Get(), "..", "/top/b", refused.Receive()), kFailure);
  EXPECT_TRUE(steps.TakenApartThenComposed());
  steps.Clear();
  AutoRelease<Hvd::IFlavor> other = MakeFlavor("other", "/top/b");
  EXPECT_TRUE(other);
  EXPECT_TRUE(steps.TakenApartThenComposed());
  // The configuration gained an element for the new module.
  EXPECT_EQ(FlavorNameOf(configuration.Get(), "/top/b"), "");
  std::ignore = m_manager->SetActiveConfiguration(nullptr);
}

TEST_F(PRHelperTest, ComposingCarriesTheStaticPropertiesOverButTheConfigurationsOwn) {
  Hvd::PropertyAccessor staticProperties(m_top);
  staticProperties.SetPropertyValue("PROP_FlowDebugLevel", "2");
  staticProperties.SetPropertyValue("PROP_FitterReportFormat", "Text");
  AutoRelease<Hvd::IConfiguration> configuration;
  ASSERT_EQ(Configurations()->CreateConfigurationFromFlavorList(m_manager.Get(), "cfg", "", configuration.Receive()),
            kSuccess);
  AutoRelease<Hvd::IProject> project;
  ASSERT_EQ(configuration->GetProject(project.Receive()), kSuccess);
  Hvd::PropertyAccessor properties(project.Get());
  EXPECT_EQ(properties.GetPropertyValue("PROP_FlowDebugLevel").str(), "2");
  EXPECT_EQ(properties.GetPropertyValue("PROP_FitterReportFormat").str(), "Text");
  EXPECT_EQ(TypeOf(project.Get()), "Configuration");
  // Changed on the configuration's side, the excluded ones stay as they are on the next composition.
  properties.SetPropertyValue("PROP_ForceCompileBCD", "true");
  staticProperties.SetPropertyValue("PROP_FlowDebugLevel", "3");
  ASSERT_EQ(AutoCast<Hvd::ICompositionControl>(configuration.Get())->Compose(nullptr), kSuccess);
  EXPECT_EQ(properties.GetPropertyValue("PROP_ForceCompileBCD").str(), "true");
  EXPECT_EQ(properties.GetPropertyValue("PROP_FlowDebugLevel").str(), "3");
  EXPECT_EQ(TypeOf(project.Get()), "Configuration");
}

// A manager whose modules are another's, and which removes no flavor: it does not support it.
struct NoRemovalManager final : Hvd::TComponent<NoRemovalManager, Hvd::IConfigurationManager> {
  explicit NoRemovalManager(Hvd::IPRModuleManager* modules) : m_modules(modules) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IConfigurationManager>(this), Hvd::Row<Hvd::IPRModuleManager>(&m_moduleFace),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status GetConfigurations(Hvd::IConfigurationIterator**) override { return kNotSupported; }
  Hvd::Status CreateConfiguration(Hvd::IConfiguration**) override { return kNotSupported; }
  Hvd::Status AddConfiguration(Hvd::IConfiguration*) override { return kNotSupported; }
  Hvd::Status ReservedOperation4() override { return kNotSupported; }
  Hvd::Status SetActiveConfiguration(Hvd::IConfiguration*) override { return kNotSupported; }
  Hvd::Status GetActiveConfiguration(Hvd::IConfiguration**) override { return kNotSupported; }
  Hvd::Status ReservedOperation7() override { return kNotSupported; }
  Hvd::Status ReservedOperation8() override { return kNotSupported; }
  Hvd::Status RemovePRModule(Hvd::IPRModule*) override { return kNotSupported; }
  Hvd::Status RemoveConfiguration(Hvd::IConfiguration*) override { return kNotSupported; }
  Hvd::Status RemoveFlavor(Hvd::IFlavor*) override { return kNotSupported; }
  struct XModules : Hvd::TNested<NoRemovalManager, Hvd::IPRModuleManager> {
    using TNested::TNested;
    Hvd::Status GetPRModules(Hvd::IPRModuleIterator** modules) override {
      return This().m_modules->GetPRModules(modules);
    }
    Hvd::Status CreatePRModule(const Text&, Hvd::IPRModule**) override { return kNotSupported; }
    Hvd::Status RemovePRModule(Hvd::IPRModule*) override { return kNotSupported; }
    Hvd::Status FindPRModule(const Text&, Hvd::IPRModule**) override { return kNotSupported; }
  };
  Hvd::IPRModuleManager* m_modules;
  XModules m_moduleFace{this};
};

// Deleting a named flavor answers whether one went, whatever the manager says about its removal.
TEST_F(PRHelperTest, DeletingANamedFlavorAnswersWhetherOneWent) {
  MakeFlavors();
  NoRemovalManager refusing(Modules());
  EXPECT_EQ(Flavors()->DeleteNamedFlavor(&refusing, "fast"), kFailure);
  EXPECT_EQ(Flavors()->DeleteNamedFlavor(m_manager.Get(), "fast"), kSuccess);
  EXPECT_EQ(Flavors()->DeleteNamedFlavor(m_manager.Get(), "fast"), kFailure);  // none left
  EXPECT_EQ(Flavors()->DeleteNamedFlavor(m_manager.Get(), "none"), kFailure);
}

// A configuration's composition, either way, leaves nothing in the audit trace.
TEST_F(PRHelperTest, CompositionWritesNoAuditTrace) {
  AutoRelease<Hvd::IConfiguration> configuration;
  ASSERT_EQ(Configurations()->CreateConfigurationFromFlavorList(m_manager.Get(), "cfg", "", configuration.Receive()),
            kSuccess);
  const std::string log = m_dir + "/audit.xml";
  Hvd::OpenAuditLog(log.c_str(), "pr_audit");
  AutoCast<Hvd::ICompositionControl> composition(configuration.Get());
  EXPECT_EQ(composition->Decompose(nullptr), kSuccess);
  EXPECT_EQ(composition->Compose(nullptr), kSuccess);
  Hvd::DumpNote("pr_audit", "end");  // the trace was open throughout
  Hvd::CloseAuditLog("pr_audit");
  std::ifstream in(log);
  const std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(trace.find("\"end\""), std::string::npos) << trace;
  EXPECT_EQ(trace.find("ompose"), std::string::npos) << trace;
  EXPECT_EQ(trace.find("task"), std::string::npos) << trace;
}

TEST_F(PRHelperTest, WithTheTclSwitchSetEvenEmptyTheSyncProceduresRunInOrder) {
  AutoRelease<Hvd::ITclInterp> tcl(CitP::Factory::CreateInstance(Hvd::TclInterpClassId()));
  ASSERT_TRUE(tcl);
  Text result;
  ASSERT_EQ(tcl->ExecuteCmd("namespace eval ::velmor::pr_sync_actions {}; set ::prsync {}\n"
                            "foreach p {PullPartitionsIntoConfiguration PullHackFilesIntoConfiguration "
                            "PushPartionsOutOfConfiguration PushHackFilesOutOfConfiguration} {\n"
                            "  proc ::velmor::pr_sync_actions::$p {this} [list lappend ::prsync $p]\n}",
                            result, 1),
            kSuccess)
      << result.str();
  AutoRelease<Hvd::IConfiguration> configuration;
  ASSERT_EQ(Configurations()->CreateConfigurationFromFlavorList(m_manager.Get(), "cfg", "", configuration.Receive()),
            kSuccess);
  AutoCast<Hvd::ICompositionControl> composition(configuration.Get());
  ASSERT_EQ(setenv("VEL_CORVANE_USE_TCL_SYNC", "", 1), 0);
  DebugLines();
  EXPECT_EQ(composition->Decompose(nullptr), kSuccess);
  EXPECT_EQ(composition->Compose(nullptr), kSuccess);
  unsetenv("VEL_CORVANE_USE_TCL_SYNC");
  for (const std::string& line : DebugLines()) EXPECT_EQ(line.find("partitions"), std::string::npos) << line;
  ASSERT_EQ(tcl->ExecuteCmd("set ::prsync", result, 1), kSuccess);
  EXPECT_EQ(result.str(),
            "PushPartionsOutOfConfiguration PushHackFilesOutOfConfiguration PullPartitionsIntoConfiguration "
            "PullHackFilesIntoConfiguration");
}

}  // namespace

// The hierarchical-design projects that the projects publish when they open, as the partitions
// of flavors and configurations move between them.
struct DesignProjectsTest : PRHelperTest {
  // The design project published in the repository of `path`, or null.
  static AutoRelease<HdcI::IHDProject> DesignAt(const std::string& path) {
    AutoRelease<CitI::IInterface> found = Hvd::FindNamedObjectInRepository("HDProject", path.c_str());
    return AutoRelease<HdcI::IHDProject>(AutoCast<HdcI::IHDProject>(found.Get()).Get() ? std::move(found) : nullptr);
  }
  static AutoRelease<HdcI::IPartition> At(HdcI::IHDProject* design, const char* name) {
    AutoRelease<HdcI::IPartition> partition;
    if (design != nullptr) std::ignore = design->FindPartition(name, partition.Receive());
    return partition;
  }
  static std::int64_t StampOf(HdcI::IHDProject* design, const char* name) {
    std::int64_t stamp = -1;
    if (AutoRelease<HdcI::IPartition> partition = At(design, name); partition)
      std::ignore = partition->GetStageStamp(2, &stamp);
    return stamp;
  }
  static AutoRelease<Hvd::IProject> ProjectOf(Hvd::IFlavor* flavor) {
    AutoRelease<Hvd::IProject> project;
    if (flavor != nullptr) std::ignore = flavor->GetProject(project.Receive());
    return project;
  }
};

TEST_F(DesignProjectsTest, AFlavorKeepsItsModulesPartitionInTheTopsDesignProjectAndWithoutOneIsNotMade) {
  AutoRelease<Hvd::IFlavor> fast = MakeFlavor("fast", "/top/u1");
  AutoRelease<HdcI::IHDProject> top = DesignAt(PathOf("top"));
  ASSERT_TRUE(top);
  EXPECT_TRUE(At(top, "/top/u1"));
  // The flavor's project has one of its own, kept beside its project file.
  AutoRelease<HdcI::IHDProject> own = DesignAt(ProjectFile("fast"));
  ASSERT_TRUE(own && own.Get() != top.Get());
  Text file;
  EXPECT_TRUE(own->GetFileName(&file) == kSuccess && file.str() == m_dir + "/fast/fast.hdp");

  AutoCast<Prjrep::ISimpleNamedLookup> names(Hvd::GetRepositoryOfObject(m_top).Get());
  ASSERT_TRUE(names && names->Unregister("HDProject") == kSuccess);
  DebugLines();
  AutoRelease<Hvd::IFlavor> refused;
  // Refused with its cause named to the user.
  EXPECT_EQ(Flavors()->CreateFlavorFromInstPath(m_manager.Get(), "slow", "/top/u2", refused.Receive()), kFailure);
  EXPECT_FALSE(refused);
  EXPECT_EQ(Errors(), std::vector<std::string>{"Could not create a partition at the instance path \"/top/u2\": the "
                                               "project \"" + PathOf("top") + "\" has no hierarchical-design project "
                                               "to keep it in.\nFailed to Create a Flavor\n"});
  const auto lines = DebugLines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("\"Could not get the HDProject for the provided context\"") != std::string::npos;
  }));
  AutoRelease<Hvd::IFlavor> found;
  EXPECT_TRUE(Flavors()->FindNamedFlavor("slow", "", found.Receive()) == kSuccess && !found);
  EXPECT_FALSE(std::filesystem::exists(ProjectFile("slow")));
}

TEST_F(DesignProjectsTest, AFlavorNameThatIsTakenLeavesNoModuleOrPartitionBehind) {
  AutoRelease<Hvd::IFlavor> fast = MakeFlavor("fast", "/top/u1");
  AutoRelease<Hvd::IConfiguration> configuration;
  ASSERT_EQ(Configurations()->CreateConfigurationFromFlavorList(m_manager.Get(), "cfg", "fast", configuration.Receive()),
            kSuccess);
  AutoRelease<HdcI::IHDProject> top = DesignAt(PathOf("top"));
  ASSERT_TRUE(top);
  // Taken by a flavor of another module, or by a configuration: refused with the one user error.
  for (const char* name : {"fast", "cfg"}) {
    Port_MsgManData::ClearCaptured();
    AutoRelease<Hvd::IFlavor> refused;
    EXPECT_EQ(Flavors()->CreateFlavorFromInstPath(m_manager.Get(), name, "/top/u2", refused.Receive()), kFailure);
    EXPECT_FALSE(refused);
    ASSERT_EQ(Errors().size(), 1u) << name;
    EXPECT_NE(Errors()[0].find("exists already"), std::string::npos) << Errors()[0];
    AutoRelease<Hvd::IPRModule> module;
    std::ignore = Modules()->FindPRModule("/top/u2", module.Receive());
    EXPECT_FALSE(module) << name;
    EXPECT_FALSE(At(top, "/top/u2")) << name;
  }
  // The module the taken name belongs to keeps its one flavor and its partition.
  EXPECT_TRUE(At(top, "/top/u1"));
  AutoRelease<Hvd::IFlavor> found;
  EXPECT_TRUE(Flavors()->FindNamedFlavor("fast", "", found.Receive()) == kSuccess && found.Get() == fast.Get());
}

// Whether one of the lines is the helper's report that `pattern` matches whole.
static bool Reported(const std::vector<std::string>& lines, const std::string& pattern) {
  const std::regex report(pattern);
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return std::regex_match(line, report); });
}

// A flavor whose project cannot be made is not added to its module, which stays made with its
// partition kept, as the other steps before left it.
TEST_F(DesignProjectsTest, AFlavorWhoseProjectCannotBeMadeIsReportedAndTheModuleStays) {
  const Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("mkdir", 0, "blocked");
  DebugLines();
  AutoRelease<Hvd::IFlavor> refused;
  EXPECT_EQ(Flavors()->CreateFlavorFromInstPath(m_manager.Get(), "blocked", "/top/u9", refused.Receive()), kFailure);
  EXPECT_FALSE(refused);
  EXPECT_TRUE(Reported(DebugLines(),
                       R"(ERROR: \.\./src/CPRHelper\(1543\) : "Could not create a new HVD project for the flavor\." )"
                       R"(in function:\n'.*Hvd::CPRHelper::XIFlavorHelper::CreateFlavorFromPRModule\(.*\)'\.\n)"));
  AutoRelease<Hvd::IPRModule> module;
  ASSERT_EQ(Modules()->FindPRModule("/top/u9", module.Receive()), kSuccess);
  ASSERT_TRUE(module);
  EXPECT_EQ(NameOf(module.Get()), "u9");
  AutoRelease<Hvd::IFlavor> found;
  EXPECT_TRUE(module->FindFlavorWithGivenName("blocked", found.Receive()) != kSuccess || !found);
  EXPECT_TRUE(At(DesignAt(PathOf("top")).Get(), "/top/u9"));
  EXPECT_FALSE(std::filesystem::exists(ProjectFile("blocked")));
}

// An instance path the design project takes no partition at: the user is told, the module made
// for it goes again, one that was there before stays, and no flavor or project is made.
TEST_F(DesignProjectsTest, APathWithoutAPartitionIsReportedAndOnlyTheModuleMadeForItGoes) {
  DebugLines();
  AutoRelease<Hvd::IFlavor> refused;
  EXPECT_EQ(Flavors()->CreateFlavorFromInstPath(m_manager.Get(), "x", "top/u3", refused.Receive()), kFailure);
  EXPECT_FALSE(refused);
  EXPECT_EQ(Errors(), std::vector<std::string>{"Could not create a partition at the instance path \"top/u3\": an "
                                               "instance path begins at the top with \"/\", as \"/top/u3\" does."
                                               "\nFailed to Create a Flavor\n"});
  EXPECT_TRUE(Reported(DebugLines(),
                       R"(ERROR: \.\./src/CPRHelper\(\d+\) : "Could not get or create a partition at top/u3" )"
                       R"(in function:\n'.*Hvd::CPRHelper::XIFlavorHelper::CreateFlavorFromInstPath\(.*\)'\.\n)"));
  AutoRelease<Hvd::IPRModule> module;
  EXPECT_FALSE(Modules()->FindPRModule("top/u3", module.Receive()) == kSuccess || module);
  AutoRelease<Hvd::IFlavor> found;
  EXPECT_TRUE(Flavors()->FindNamedFlavor("x", "", found.Receive()) == kSuccess && !found);
  EXPECT_FALSE(std::filesystem::exists(ProjectFile("x")));

  ASSERT_EQ(Modules()->CreatePRModule("top/u4", module.ReleaseAndReceive()), kSuccess);
  EXPECT_EQ(Flavors()->CreateFlavorFromInstPath(m_manager.Get(), "y", "top/u4", refused.Receive()), kFailure);
  AutoRelease<Hvd::IPRModule> kept;
  ASSERT_EQ(Modules()->FindPRModule("top/u4", kept.Receive()), kSuccess);
  EXPECT_EQ(kept.Get(), module.Get());
  EXPECT_EQ(NameOf(kept.Get()), "u4");
}

TEST_F(DesignProjectsTest, PartitionsMoveUnderTheModuleAndBackAndOutliveTheFlavorsProjectClosing) {
  AutoRelease<Hvd::IFlavor> fast = MakeFlavor("fast", "/top/u1");
  AutoRelease<Hvd::IProject> fastProject = ProjectOf(fast);
  AutoRelease<HdcI::IHDProject> flavor = DesignAt(ProjectFile("fast"));
  ASSERT_TRUE(flavor);
  AutoRelease<HdcI::IPartition> made;
  ASSERT_EQ(flavor->CreatePartition("/f", made.Receive()), kSuccess);
  std::ignore = made->SetTop(true);
  ASSERT_EQ(flavor->CreatePartition("/f/a", made.ReleaseAndReceive()), kSuccess);
  std::ignore = made->SetStageStamp(2, 5);

  // Composed, the configuration holds the flavor's partitions under the module's path.
  AutoRelease<Hvd::IConfiguration> configuration;
  ASSERT_EQ(Configurations()->CreateConfigurationFromFlavorList(m_manager.Get(), "cfg", "fast", configuration.Receive()),
            kSuccess);
  AutoCast<Hvd::ICompositionControl> composition(configuration.Get());
  ASSERT_EQ(composition->Compose(m_top), kSuccess);
  AutoRelease<HdcI::IHDProject> composed = DesignAt(ProjectFile("cfg"));
  EXPECT_TRUE(At(composed, "/top/u1"));
  EXPECT_EQ(StampOf(composed, "/top/u1/a"), 5);
  // Changed there, the change goes back to the flavor when the configuration is taken apart.
  ASSERT_TRUE(At(composed, "/top/u1/a"));
  std::ignore = At(composed, "/top/u1/a")->SetStageStamp(2, 9);
  ASSERT_EQ(composition->Decompose(m_top), kSuccess);
  EXPECT_EQ(StampOf(flavor, "/f/a"), 9);

  // Closed, the flavor's project takes its partitions to its file and lets its design project go;
  // opened again, it reads them back.
  AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(fastProject.Get(), false);
  ASSERT_TRUE(helper);
  flavor = nullptr;
  made = nullptr;
  ASSERT_EQ(helper->CloseProject(), kSuccess);
  EXPECT_FALSE(DesignAt(ProjectFile("fast")));
  EXPECT_TRUE(std::filesystem::exists(m_dir + "/fast/fast.hdp"));
  ASSERT_EQ(AutoCast<Hvd::IProjectHelper2>(helper.Get())->OpenProject(ProjectFile("fast").c_str()), kSuccess);
  AutoRelease<HdcI::IHDProject> reopened = DesignAt(ProjectFile("fast"));
  EXPECT_EQ(StampOf(reopened, "/f/a"), 9);
  bool top = false;
  EXPECT_TRUE(At(reopened, "/f") && At(reopened, "/f")->IsTop(&top) == kSuccess && top);

  // A helper of its own that opens the project from its file, as a child project is opened,
  // publishes one for it too, with the same partitions.
  reopened = nullptr;
  ASSERT_EQ(helper->CloseProject(), kSuccess);
  AutoRelease<Hvd::IProjectHelper> other(CitP::Factory::CreateInstance(Hvd::ProjectHelperClassId()));
  ASSERT_EQ(AutoCast<Hvd::IProjectHelper2>(other.Get())->OpenProject(ProjectFile("fast").c_str()), kSuccess);
  EXPECT_EQ(StampOf(DesignAt(ProjectFile("fast")), "/f/a"), 9);
  EXPECT_EQ(other->CloseProject(), kSuccess);
  EXPECT_FALSE(DesignAt(ProjectFile("fast")));
}

// The partitions file is one the project writes on its own: a link at its name that leads out of
// its project's folder, or to nothing, is replaced by the file when the project closes, with a
// warning, and nothing is made where it led.
TEST_F(DesignProjectsTest, ALinkAtThePartitionsFileIsReplacedNotWrittenThrough) {
  AutoRelease<Hvd::IFlavor> fast = MakeFlavor("fast", "/top/u1");
  AutoRelease<Hvd::IProject> project = ProjectOf(fast);
  AutoRelease<HdcI::IHDProject> design = DesignAt(ProjectFile("fast"));
  ASSERT_TRUE(design);
  AutoRelease<HdcI::IPartition> partition;
  ASSERT_EQ(design->CreatePartition("/f", partition.Receive()), kSuccess);
  partition = nullptr;
  design = nullptr;
  const std::string file = m_dir + "/fast/fast.hdp", away = m_dir + "/away.hdp";
  std::filesystem::remove(file);
  std::filesystem::create_symlink(away, file);
  Port_MsgManData::ClearCaptured();
  AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(project.Get(), false);
  ASSERT_EQ(helper->CloseProject(), kSuccess);
  EXPECT_FALSE(std::filesystem::exists(away));
  EXPECT_FALSE(std::filesystem::is_symlink(file));
  std::ifstream in(file);
  EXPECT_NE(std::string(std::istreambuf_iterator<char>(in), {}).find("partition /f\n"), std::string::npos);
  const std::vector<std::string> warnings = Warnings();
  EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(), [&](const std::string& text) {
    return text.rfind("\"" + file + "\" is a link to \"" + away + "\", which does not exist", 0) == 0;
  })) << ::testing::PrintToString(warnings);
}

TEST_F(DesignProjectsTest, EveryValueReadsBackFromTheFileAndAFileThatCannotBeReadStaysAsItIs) {
  AutoRelease<Hvd::IFlavor> fast = MakeFlavor("fast", "/top/u1");
  AutoRelease<Hvd::IProject> project = ProjectOf(fast);
  AutoRelease<HdcI::IHDProject> design = DesignAt(ProjectFile("fast"));
  ASSERT_TRUE(design);
  const Text awkward("two\nlines \\n and a \\ with blanks ");
  AutoRelease<HdcI::IPartition> partition;
  ASSERT_EQ(design->CreatePartition("/f x", partition.Receive()), kSuccess);
  std::ignore = partition->SetSourceFile("/p/with blank/a.ngc");
  std::ignore = partition->SetSingleValue(-42);
  std::ignore = partition->SetStageFlag(2, 255);
  std::ignore = partition->AddListEntry(awkward);
  std::ignore = partition->AddListEntry("");
  std::ignore = AutoCast<HdcI::IPartitionText>(partition.Get())->SetText(5, awkward);
  std::ignore = AutoCast<HdcI::IPartitionStage>(partition.Get())->SetSecondaryStamp(4, INT64_MIN);
  std::ignore = design->SetPathSetting(3, "synth/a b.ngc");
  std::ignore = design->SetTextSetting(0, awkward);
  partition = nullptr;
  design = nullptr;

  AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(project.Get(), false);
  AutoCast<Hvd::IProjectHelper2> opener(helper.Get());
  ASSERT_EQ(helper->CloseProject(), kSuccess);
  ASSERT_EQ(opener->OpenProject(ProjectFile("fast").c_str()), kSuccess);
  design = DesignAt(ProjectFile("fast"));
  partition = At(design, "/f x");
  ASSERT_TRUE(partition);
  Text text;
  std::int64_t value = 0;
  std::uint8_t flag = 0;
  EXPECT_TRUE(partition->GetSourceFile(&text) == kSuccess && text.str() == "/p/with blank/a.ngc");
  EXPECT_TRUE(partition->GetSingleValue(&value) == kSuccess && value == -42);
  EXPECT_TRUE(partition->GetStageFlag(2, &flag) == kSuccess && flag == 255);
  EXPECT_TRUE(AutoCast<HdcI::IPartitionText>(partition.Get())->GetText(5, &text) == kSuccess && text == awkward);
  EXPECT_TRUE(AutoCast<HdcI::IPartitionStage>(partition.Get())->GetSecondaryStamp(4, &value) == kSuccess &&
              value == INT64_MIN);
  std::vector<std::string> entries;
  AutoRelease<Prjrep::IStringIterator> each;
  for (std::ignore = partition->GetListEntries(each.Receive()); each && !each->IsDone(); std::ignore = each->Next())
    entries.push_back(each->Current().str());
  EXPECT_EQ(entries, (std::vector<std::string>{awkward.str(), ""}));
  EXPECT_TRUE(design->GetPathSetting(3, &text) == kSuccess && text.str() == "synth/a b.ngc");
  EXPECT_TRUE(design->GetTextSetting(0, &text) == kSuccess && text == awkward);
  partition = nullptr;
  design = nullptr;

  // A file that is not whole is refused: the project has no design project, the file stays, and
  // the user is told which file it is. So is one cut short at a line end.
  ASSERT_EQ(helper->CloseProject(), kSuccess);
  const std::string file = m_dir + "/fast/fast.hdp";
  std::string written;
  {
    std::ifstream in(file);
    written.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string cut = written.substr(0, written.rfind('\n', written.size() - 2) + 1);
  for (const std::string& broken : {std::string("hdproject 1\npartition /f\n  stage 7 1 2 3\n"), cut}) {
    std::ofstream(file, std::ios::trunc) << broken;
    Port_MsgManData::ClearCaptured();
    ASSERT_EQ(opener->OpenProject(ProjectFile("fast").c_str()), kSuccess);
    EXPECT_FALSE(DesignAt(ProjectFile("fast"))) << broken;
    const std::vector<std::string> errors = Errors();
    EXPECT_TRUE(errors.size() == 1 && errors[0].find("\"" + file + "\" is refused") != std::string::npos)
        << ::testing::PrintToString(errors);
    ASSERT_EQ(helper->CloseProject(), kSuccess);
    std::ifstream in(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), broken);
  }
}

// Another writer's partitions are never written over unasked: a project whose partitions file
// changed on disk since it read or wrote it asks at its close; the default answer reads the
// other writer's in, "no" writes its own over them.
TEST_F(DesignProjectsTest, AnotherWritersPartitionsAreReadInOrOverwrittenOnlyWhenTheUserSaysSo) {
  AutoRelease<Hvd::IFlavor> fast = MakeFlavor("fast", "/top/u1");
  AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(ProjectOf(fast).Get(), false);
  AutoCast<Hvd::IProjectHelper2> opener(helper.Get());
  const std::string file = m_dir + "/fast/fast.hdp";
  auto asked = [] {
    Text text;
    std::ignore = InterpHelp::RunCmd("set ::velmor::Hvd::asked", nullptr, false, &text);
    std::ignore = InterpHelp::RunCmd("::velmor::Hvd::hvd_ResetDialogs", nullptr, false, nullptr);
    return text.str();
  };
  auto add = [&](const char* name) {
    AutoRelease<HdcI::IPartition> made;
    EXPECT_EQ(DesignAt(ProjectFile("fast"))->CreatePartition(name, made.Receive()), kSuccess);
  };
  // Another process writes the file as the stand-in does, under another name renamed over it.
  auto another = [&](const char* name) {
    AutoRelease<HdcI::IHDProject> other(CitP::Factory::CreateInstance(HdcI::HDProjectClassId()));
    AutoRelease<HdcI::IPartition> made;
    ASSERT_EQ(other->CreatePartition(name, made.Receive()), kSuccess);
    ASSERT_EQ(other->Write((file + ".other").c_str(), nullptr), kSuccess);
    std::filesystem::rename(file + ".other", file);
  };
  auto kept = [&] {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  add("/f");
  ASSERT_EQ(helper->CloseProject(), kSuccess);
  ASSERT_EQ(opener->OpenProject(ProjectFile("fast").c_str()), kSuccess);
  asked();

  add("/f/mine");
  another("/theirs");
  ASSERT_EQ(helper->CloseProject(), kSuccess);
  EXPECT_EQ(asked(), "{The partitions file " + file + " has changed on disk.\nWould you like to reload?}");
  EXPECT_NE(kept().find("partition /theirs\n"), std::string::npos);
  EXPECT_EQ(kept().find("/f/mine"), std::string::npos);

  // Read in at the open, written at the close: its own write is no change.
  ASSERT_EQ(opener->OpenProject(ProjectFile("fast").c_str()), kSuccess);
  EXPECT_TRUE(At(DesignAt(ProjectFile("fast")), "/theirs"));
  add("/mine");
  ASSERT_EQ(helper->CloseProject(), kSuccess);
  EXPECT_EQ(asked(), "");
  EXPECT_NE(kept().find("partition /mine\n"), std::string::npos);

  // Told not to read it in, the close writes this project's own, which has a partition to write;
  // one that came where there was none is a change too.
  ASSERT_EQ(opener->OpenProject(ProjectFile("fast").c_str()), kSuccess);
  add("/mine/too");
  another("/theirs/again");
  ASSERT_EQ(InterpHelp::RunCmd("set ::velmor::Hvd::answers 2", nullptr, false, nullptr), kSuccess);
  ASSERT_EQ(helper->CloseProject(), kSuccess);
  EXPECT_NE(asked(), "");
  EXPECT_NE(kept().find("partition /mine\n"), std::string::npos);
  EXPECT_EQ(kept().find("/theirs/again"), std::string::npos);
  std::filesystem::remove(file);
  ASSERT_EQ(opener->OpenProject(ProjectFile("fast").c_str()), kSuccess);
  another("/new");
  ASSERT_EQ(helper->CloseProject(), kSuccess);
  EXPECT_NE(asked(), "");
  EXPECT_NE(kept().find("partition /new\n"), std::string::npos);
}

// A helper with no configuration manager anywhere: the project it is given has none, and none
// is active.
struct HelperWithoutManagerTest : ProjectsTest {};

TEST_F(HelperWithoutManagerTest, AFlavorNeedsAConfigurationManagerAndNoneIsMadeForIt) {
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_TOE") && CitP::Factory::LoadLibraryFactory("libHvd_Hdl"));
  auto helper = Create<Hvd::IFlavorHelper>(Hvd::ClassId::PRHelper());
  ASSERT_TRUE(helper);
  Hvd::IProject* lone = Project("lone", true);
  DebugLines();
  AutoRelease<Hvd::IFlavor> refused;
  EXPECT_EQ(helper->CreateFlavorFromPRModule(lone, "fast", nullptr, refused.Receive()), kFailure);
  EXPECT_FALSE(refused);
  EXPECT_TRUE(Reported(DebugLines(),
                       R"(ERROR: \.\./src/CPRHelper\(1523\) : "Could not get the ConfigurationManager" )"
                       R"(in function:\n'.*Hvd::CPRHelper::XIFlavorHelper::CreateFlavorFromPRModule\(.*\)'\.\n)"));
  AutoRelease<CitI::IInterface> manager;
  EXPECT_NE(Hvd::FindNamedObject("ActiveConfigManager", manager.Receive()) == kSuccess && manager, true);
  EXPECT_FALSE(std::filesystem::exists(m_dir + "/fast"));
}
