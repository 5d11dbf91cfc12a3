// Flavors and modules leaving the configurations, and the script that takes a flavor's
// project out of a configuration project that is not open.

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "Hvd/ICompAdmin.h"
#include "Hvd/IFileManager.h"
#include "Port/FaultInjection.h"
#include "core/AtomicFile.h"
#include "Port/MsgMan.h"
#include "Port/Process.h"
#include "pr/PRSupport.h"
#include "pr/modules/ChildRemoval.h"
#include "utils/ShellScript.h"

namespace {

using namespace pr_testing;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs in a directory of its own, with a shell stood in that records each script it runs.
struct ChildRemovalTest : ProjectsTest {
  void SetUp() override {
    ProjectsTest::SetUp();
    m_cwd = std::filesystem::current_path();
    m_work = m_dir + "/work";
    std::filesystem::create_directories(m_work + "/bin");
    std::filesystem::current_path(m_work);
    m_log = m_work + "/runs.log";
    std::ofstream shell(m_work + "/bin/velsh");
    shell << "#!/bin/sh\necho \"run $(basename \"$1\")\" >> " << m_log << "\ncat \"$1\" >> " << m_log
          << "\ndirname \"$1\" >> " << m_log << ".dirs\n";
    shell.close();
    std::filesystem::permissions(m_work + "/bin/velsh", std::filesystem::perms::owner_all);
    m_shell.emplace(m_work + "/bin/velsh");
    m_manager = Create<Hvd::IConfigurationManager>(Hvd::ClassId::ConfigurationMgr());
  }
  void TearDown() override {
    m_shell.reset();
    std::filesystem::current_path(m_cwd);
    if (m_manager) std::ignore = AutoCast<Hvd::ICompAdmin>(m_manager.Get())->Teardown();
    m_manager = nullptr;
    ProjectsTest::TearDown();
  }
  // A configuration of the manager on its own project; closed unless asked otherwise.
  AutoRelease<Hvd::IConfiguration> Configuration(const std::string& name, bool open = false) {
    AutoRelease<Hvd::IConfiguration> configuration;
    EXPECT_EQ(m_manager->CreateConfiguration(configuration.Receive()), kSuccess);
    EXPECT_EQ(AutoCast<Prjrep::IName>(configuration.Get())->SetName(name.c_str()), kSuccess);
    EXPECT_EQ(AutoCast<Hvd::IConfigurationPrivate>(configuration.Get())->Initialize(Project(name)), kSuccess);
    EXPECT_EQ(Hvd::RegisterNamedObject(m_repositories.back().Get(), "Configuration", configuration.Get(), true),
              kSuccess);
    if (!open) std::ignore = AutoCast<Prjrep::ISimpleNamedLookup>(m_repositories.back().Get())->Unregister("ActiveHvdProject");
    return configuration;
  }
  AutoRelease<Hvd::IFlavor> Flavor(const std::string& name) {
    auto flavor = Create<Hvd::IFlavor>(Hvd::ClassId::Flavor());
    EXPECT_EQ(AutoCast<Prjrep::IName>(flavor.Get())->SetName(name.c_str()), kSuccess);
    EXPECT_EQ(AutoCast<Hvd::ISettableFlavor>(flavor.Get())->SetProject(Project(name)), kSuccess);
    EXPECT_EQ(Hvd::RegisterNamedObject(m_repositories.back().Get(), "Flavor", flavor.Get(), true), kSuccess);
    return flavor;
  }
  static CitI::IInterface* Named(const char* name) {
    AutoRelease<CitI::IInterface> object;
    std::ignore = Hvd::FindNamedObject(name, object.Receive());
    return object.Get();  // compared only; the registry holds it
  }

  std::filesystem::path m_cwd;
  std::string m_work, m_log;
  std::optional<Hvd::ShellStandIn> m_shell;
  AutoRelease<Hvd::IConfigurationManager> m_manager;
};

TEST(RemoveChildScript, HasTheExactTextWithEachPathOneTclWord) {
  EXPECT_EQ(Hvd::pr::RemoveChildScript("/p/cfg1/cfg1.xhlc", "/p/fast/fast.xhlc").str(),
            "# remove a child project from a parent project: \n"
            "#\n"
            "set parentFileName /p/cfg1/cfg1.xhlc \n"
            "set childFileName /p/fast/fast.xhlc \n"
            "if {![file isfile $parentFileName]} {\n"
            "   return -code error \"The project \\\"$parentFileName\\\" does not exist.\"\n"
            "}\n"
            "project open $parentFileName\n"
            "velfile remove $childFileName\n"
            "\n");
  const std::string text = Hvd::pr::RemoveChildScript("/p/a b/c.xhlc", "/p/a[exec rm -rf x]b;$y{").str();
  EXPECT_NE(text.find("set parentFileName /p/a\\ b/c.xhlc \n"), std::string::npos);
  EXPECT_NE(text.find("set childFileName /p/a\\[exec\\ rm\\ -rf\\ x\\]b\\;\\$y\\{ \n"), std::string::npos);
}

TEST_F(ChildRemovalTest, TheSuitesShellRunsTheScriptAndEvaluatesNoName) {
  // A parent that does not exist, named to run a command if it were evaluated.
  const std::string parent = m_work + "/a[exec touch " + m_work + "/evaluated]b.xhlc";
  ASSERT_EQ(Hvd::WriteFileAtomically("script.tcl", Hvd::pr::RemoveChildScript(parent, "/p/c.xhlc").str()), kSuccess);
  Port::Process process;
  const int status = process.Run(std::vector<Text>{VELSH_PATH, "script.tcl"});
  EXPECT_NE(status, 0) << "the missing parent stops the script";
  EXPECT_FALSE(std::filesystem::exists(m_work + "/evaluated"));
}

TEST_F(ChildRemovalTest, NoScriptRunsWhenItCannotBeWrittenOrHasNoChild) {
  std::ofstream(Hvd::pr::kRemoveChildScript) << "stale\n";
  for (const char* step : {"write", "open", "mkdir"}) {
    const Port::FaultInjection::Scope scope;
    Port::FaultInjection::Fail(step, 0, step == std::string("mkdir") ? "" : Hvd::pr::kRemoveChildScript);
    EXPECT_FALSE(Hvd::pr::WriteAndRunRemoveChildScript("/p/cfg.xhlc", "/p/fast.xhlc")) << step;
  }
  EXPECT_FALSE(Hvd::pr::WriteAndRunRemoveChildScript("/p/cfg.xhlc", ""));
  EXPECT_FALSE(std::filesystem::exists(m_log)) << "nothing ran";
  EXPECT_TRUE(Hvd::pr::WriteAndRunRemoveChildScript("/p/cfg.xhlc", "/p/fast.xhlc"));
  EXPECT_EQ(Read(m_log), "run _remove_child_.tcl\n" + Hvd::pr::RemoveChildScript("/p/cfg.xhlc", "/p/fast.xhlc").str());
  EXPECT_EQ(Read(Hvd::pr::kRemoveChildScript), "stale\n") << "the file of that name here is not the script";
}

// Without the installation's shell nothing runs, and the error names the shell that is missing.
TEST_F(ChildRemovalTest, NoScriptRunsWithoutTheInstallationsShellAndTheErrorNamesIt) {
  m_shell.reset();
  const Port::FaultInjection::Scope scope;
  Port::FaultInjection::Fail("GetExecFileName", 0, "velsh");
  Port_MsgManData::ClearCaptured();
  EXPECT_FALSE(Hvd::pr::WriteAndRunRemoveChildScript("/p/cfg.xhlc", "/p/fast.xhlc"));
  EXPECT_FALSE(std::filesystem::exists(m_log)) << "nothing ran";
  const auto captured = Port_MsgManData::Captured();
  const std::string shell = std::filesystem::path(VELSH_PATH).lexically_normal().string();
  EXPECT_TRUE(std::any_of(captured.begin(), captured.end(), [&](const Port_MsgManData::Record& record) {
    return record.severity == Port_MsgManData::Severity::Error &&
           record.text.find("<" + shell + "> of this installation is not there") != std::string::npos;
  }));
}

// Each run writes a new file in a folder of its own, never through a link planted at the
// script's name here, and takes it away again.
TEST_F(ChildRemovalTest, TheScriptIsAFileOfItsOwnAndGoesAfterItRan) {
  std::ofstream(m_work + "/victim.txt") << "mine\n";
  std::filesystem::create_symlink("victim.txt", Hvd::pr::kRemoveChildScript);
  EXPECT_TRUE(Hvd::pr::WriteAndRunRemoveChildScript("/p/one.xhlc", "/p/fast.xhlc"));
  EXPECT_TRUE(Hvd::pr::WriteAndRunRemoveChildScript("/p/two.xhlc", "/p/fast.xhlc"));
  EXPECT_EQ(Read(m_work + "/victim.txt"), "mine\n");
  EXPECT_TRUE(std::filesystem::is_symlink(Hvd::pr::kRemoveChildScript));
  EXPECT_EQ(Read(m_log), "run _remove_child_.tcl\n" + Hvd::pr::RemoveChildScript("/p/one.xhlc", "/p/fast.xhlc").str() +
                             "run _remove_child_.tcl\n" + Hvd::pr::RemoveChildScript("/p/two.xhlc", "/p/fast.xhlc").str());
  std::istringstream dirs(Read(m_log + ".dirs"));
  std::string first, second;
  ASSERT_TRUE(std::getline(dirs, first) && std::getline(dirs, second));
  EXPECT_NE(first, second);
  for (const std::string& folder : {first, second}) {
    EXPECT_NE(folder, m_work);
    EXPECT_FALSE(std::filesystem::exists(folder)) << folder;
  }
}

TEST_F(ChildRemovalTest, RemovingAFlavorSwitchesEveryConfigurationAndRunsTheScriptForClosedOnes) {
  Hvd::IProject* staticProject = Project("static", true);
  ASSERT_EQ(AutoCast<Hvd::IProjectCompReference>(m_manager.Get())->SetProject(staticProject), kSuccess);
  auto fast = Flavor("fast"), slow = Flavor("slow");
  AutoRelease<Hvd::IPRModule> module;
  ASSERT_EQ(AutoCast<Hvd::IPRModuleManager>(m_manager.Get())->CreatePRModule("/top/u1", module.Receive()), kSuccess);
  ASSERT_TRUE(AutoCast<Hvd::ISettablePRModule>(module.Get())->AddFlavor(fast) == kSuccess &&
              AutoCast<Hvd::ISettablePRModule>(module.Get())->AddFlavor(slow) == kSuccess);
  for (auto* flavor : {fast.Get(), slow.Get()}) {
    AutoRelease<Prjrep::IAutonym> owner = Hvd::FindAutonymInSet(m_manager.Get(), module.Get());
    ASSERT_EQ(AutoCast<Hvd::ISettableFlavor>(flavor)->SetPRModule(owner.Get()), kSuccess);
  }
  auto one = Configuration("one"), two = Configuration("two"), open = Configuration("open", true);
  CitI::IInterface* project = Named("ActiveHvdProject");
  CitI::IInterface* repository = Named("ActiveRepository");

  EXPECT_EQ(m_manager->RemoveFlavor(fast), kSuccess);
  // Each closed configuration ran the script once, with its own path as the parent.
  const std::string child = PathOf("fast");
  EXPECT_EQ(Read(m_log), "run _remove_child_.tcl\n" + Hvd::pr::RemoveChildScript(PathOf("one"), child).str() +
                             "run _remove_child_.tcl\n" + Hvd::pr::RemoveChildScript(PathOf("two"), child).str());
  for (auto* configuration : {one.Get(), two.Get(), open.Get()}) {
    AutoRelease<Hvd::IConfigurationElementIterator> it;
    ASSERT_EQ(configuration->GetElements(it.Receive()), kSuccess);
    std::ignore = it->Next();
    AutoRelease<CitI::IInterface> flavor;
    std::ignore = it->Current()->GetFlavor(flavor.Receive());
    EXPECT_EQ(flavor.Get(), Hvd::RootOf(slow.Get())) << "the remaining flavor took its place";
  }
  EXPECT_EQ(Named("ActiveHvdProject"), project);
  EXPECT_EQ(Named("ActiveRepository"), repository);

  // The last flavor leaves the elements without one; a flavor of no module changes nothing.
  std::filesystem::remove(m_log);
  EXPECT_EQ(m_manager->RemoveFlavor(slow), kSuccess);
  AutoRelease<Hvd::IConfigurationElementIterator> it;
  ASSERT_EQ(one->GetElements(it.Receive()), kSuccess);
  std::ignore = it->Next();
  AutoRelease<CitI::IInterface> none;
  EXPECT_TRUE(it->Current()->GetFlavor(none.Receive()) != kSuccess || !none);
  auto stray = Create<Hvd::IFlavor>(Hvd::ClassId::Flavor());
  EXPECT_EQ(m_manager->RemoveFlavor(stray), kFailure);
  EXPECT_EQ(m_manager->RemoveFlavor(nullptr), kFailure);

  // Removing the module runs no script for an element that chooses no flavor.
  std::filesystem::remove(m_log);
  EXPECT_EQ(m_manager->RemovePRModule(module), kSuccess);
  EXPECT_FALSE(std::filesystem::exists(m_log));
  EXPECT_EQ(Named("ActiveHvdProject"), project);
}

// A configuration that chose another flavor of the module has no element for the one that goes:
// it keeps its choice and runs no script; the one that chose it switches.
TEST_F(ChildRemovalTest, AConfigurationThatChoseAnotherFlavorIsLeftAsItIs) {
  Hvd::IProject* staticProject = Project("static", true);
  ASSERT_EQ(AutoCast<Hvd::IProjectCompReference>(m_manager.Get())->SetProject(staticProject), kSuccess);
  auto fast = Flavor("fast"), slow = Flavor("slow");
  AutoRelease<Hvd::IPRModule> module;
  ASSERT_EQ(AutoCast<Hvd::IPRModuleManager>(m_manager.Get())->CreatePRModule("/top/u1", module.Receive()), kSuccess);
  for (auto* flavor : {fast.Get(), slow.Get()}) {
    ASSERT_EQ(AutoCast<Hvd::ISettablePRModule>(module.Get())->AddFlavor(flavor), kSuccess);
    AutoRelease<Prjrep::IAutonym> owner = Hvd::FindAutonymInSet(m_manager.Get(), module.Get());
    ASSERT_EQ(AutoCast<Hvd::ISettableFlavor>(flavor)->SetPRModule(owner.Get()), kSuccess);
  }
  auto keeps = Configuration("keeps"), switches = Configuration("switches");
  // The module's element follows the static one.
  const auto element = [](Hvd::IConfiguration* configuration) {
    AutoRelease<Hvd::IConfigurationElementIterator> it;
    EXPECT_EQ(configuration->GetElements(it.Receive()), kSuccess);
    std::ignore = it->Next();
    return AutoPtr<Hvd::IConfigurationElement>(it->Current());
  };
  const auto chosen = [&](Hvd::IConfiguration* configuration) {
    AutoRelease<CitI::IInterface> flavor;
    std::ignore = element(configuration)->GetFlavor(flavor.Receive());
    return flavor.Get();  // compared only; the module holds it
  };
  ASSERT_EQ(AutoCast<Hvd::ISettableConfigurationElement>(element(keeps).Get())->SetFlavor(fast), kSuccess);
  ASSERT_EQ(AutoCast<Hvd::ISettableConfigurationElement>(element(switches).Get())->SetFlavor(slow), kSuccess);
  ASSERT_EQ(chosen(keeps), Hvd::RootOf(fast.Get()));
  ASSERT_EQ(chosen(switches), Hvd::RootOf(slow.Get()));

  EXPECT_EQ(m_manager->RemoveFlavor(slow), kSuccess);
  EXPECT_EQ(chosen(keeps), Hvd::RootOf(fast.Get()));
  EXPECT_EQ(chosen(switches), Hvd::RootOf(fast.Get())) << "the module's remaining flavor took the place";
  EXPECT_EQ(Read(m_log),
            "run _remove_child_.tcl\n" + Hvd::pr::RemoveChildScript(PathOf("switches"), PathOf("slow")).str());
}

// With a configuration active, a flavor or module leaves it between a decomposition and a new
// composition; a closed one is neither. A module that goes hands the flavor the active
// configuration chose back to the static project, and the active configuration is composed
// once more.
TEST_F(ChildRemovalTest, TheActiveConfigurationIsTakenApartAroundARemovalAndGetsTheModulesFlavorBack) {
  Hvd::IProject* staticProject = Project("static", true);
  ASSERT_EQ(AutoCast<Hvd::IProjectCompReference>(m_manager.Get())->SetProject(staticProject), kSuccess);
  auto fast = Flavor("fast"), slow = Flavor("slow");
  for (const char* name : {"fast", "slow"}) std::ofstream(PathOf(name)) << "<project/>";
  AutoRelease<Hvd::IPRModule> module;
  ASSERT_EQ(AutoCast<Hvd::IPRModuleManager>(m_manager.Get())->CreatePRModule("/top/u1", module.Receive()), kSuccess);
  for (auto* flavor : {fast.Get(), slow.Get()}) {
    ASSERT_EQ(AutoCast<Hvd::ISettablePRModule>(module.Get())->AddFlavor(flavor), kSuccess);
    AutoRelease<Prjrep::IAutonym> owner = Hvd::FindAutonymInSet(m_manager.Get(), module.Get());
    ASSERT_EQ(AutoCast<Hvd::ISettableFlavor>(flavor)->SetPRModule(owner.Get()), kSuccess);
  }
  auto closed = Configuration("closed"), active = Configuration("active", true);
  ASSERT_EQ(m_manager->SetActiveConfiguration(active), kSuccess);
  SyncSteps steps;
  const auto taken = [&steps] {
    Text text;
    std::ignore =
        InterpHelp::RunCmd("join [lmap a $::velmor::pr_sync_actions::asked {lindex $a 0}] { }", nullptr, false, &text);
    steps.Clear();
    return text.str();
  };
  const std::string apart = "PushPartionsOutOfConfiguration PushHackFilesOutOfConfiguration";
  const std::string composed = "PullPartitionsIntoConfiguration PullHackFilesIntoConfiguration";

  EXPECT_EQ(m_manager->RemoveFlavor(fast), kSuccess);
  EXPECT_EQ(taken(), apart + " " + composed);
  EXPECT_EQ(Read(m_log),
            "run _remove_child_.tcl\n" + Hvd::pr::RemoveChildScript(PathOf("closed"), PathOf("fast")).str());

  std::filesystem::remove(m_log);
  const auto holds = [staticProject](const std::string& path) {
    AutoRelease<Hvd::IHdlFileIterator> at;
    return AutoCast<Hvd::IFileManager>(staticProject)->FindFileByPath(path.c_str(), at.Receive()) == kSuccess && at &&
           !at->IsDone();
  };
  ASSERT_FALSE(holds(PathOf("slow")));
  EXPECT_EQ(m_manager->RemovePRModule(module), kSuccess);
  EXPECT_EQ(taken(), apart + " " + composed + " " + composed);
  EXPECT_TRUE(holds(PathOf("slow"))) << "the flavor is a source of the static project again";
  EXPECT_EQ(Read(m_log),
            "run _remove_child_.tcl\n" + Hvd::pr::RemoveChildScript(PathOf("closed"), PathOf("slow")).str());
  AutoRelease<Hvd::IConfigurationElementIterator> elements;
  ASSERT_EQ(active->GetElements(elements.Receive()), kSuccess);
  EXPECT_EQ(elements->Next(), kSuccess);
  EXPECT_TRUE(elements->IsDone()) << "the static element alone is left";
}

}  // namespace
