#pragma once
// What the partial-reconfiguration tests share: the library's and the repository's
// components registered, creation by class id, captured debug lines and event records.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IConfiguration.h"
#include "Port/MsgMan.h"
#include "Prjrep/IEvents.h"
#include "Prjrep/IName.h"
#include "Prjrep/StandIns.h"
#include "Prjrep/Storage.h"
#include "core/Events.h"
#include "core/Factory.h"
#include "utils/InterpHelp.h"
#include "core/Holders.h"
#include "support/TclRecords.h"

namespace pr_testing {

using Text = Port::StringBase<char>;
using Hvd::kFailure, Hvd::kSuccess, Hvd::kNotSupported;
using Prjrep::AutoCast, Prjrep::AutoPtr, Prjrep::AutoRelease;

template <class I>
AutoRelease<I> Create(const Port::XUID& clsid) {
  return AutoRelease<I>(CitP::Factory::CreateInstance(clsid));
}

inline AutoRelease<Prjrep::IStorage> NewStorage() { return AutoRelease<Prjrep::IStorage>(Prjrep::CreateStorage()); }

inline std::string NameOf(CitI::IInterface* object) {
  Text name;
  if (AutoCast<Prjrep::IName> named(object); named) std::ignore = named->GetName(name);
  return name.str();
}

// The debug lines written since the last call.
inline std::vector<std::string> DebugLines() {
  std::vector<std::string> lines;
  for (const auto& record : Port_MsgManData::Captured())
    if (record.severity == Port_MsgManData::Severity::Debug) lines.push_back(record.text);
  Port_MsgManData::ClearCaptured();
  return lines;
}

// Records the ids and senders of the events it receives.
struct Listener {
  static Hvd::Status Record(Listener* self, Prjrep::IEvent* event) {
    Port::XUID id;
    std::ignore = event->GetEventId(id);
    self->ids.push_back(id);
    return kSuccess;
  }
  std::vector<Port::XUID> ids;
  Prjrep::TBaseEventReceiverHelper<Listener> receiver{this, &Record};
};

// Every part answers every row of `I...`, each with the same root; no other row answers.
template <class... I>
void ExpectAnswers(CitI::IInterface* object) {
  const std::vector<Port::XUID> rows{I::GetIID()..., CitI::IInterface::GetIID()};
  for (const Port::XUID& iid : rows) {
    CitI::IInterface* part = object->QueryInterface(iid);
    ASSERT_NE(part, nullptr) << iid.GetAsString().str();
    for (const Port::XUID& other : rows) EXPECT_EQ(part->QueryInterface(other), object->QueryInterface(other));
  }
  EXPECT_EQ(object->QueryInterface(Port::XUID::New()), nullptr);
}

// The synchronisation steps that configurations take, in order, as the Tcl stand-in's
// procedures record them while the Tcl switch is on: a push when one is taken apart, a pull
// when one is composed. The switch is off again when the record goes.
class SyncSteps {
 public:
  SyncSteps() {
    EXPECT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_TOE"));
    ::setenv("VEL_CORVANE_USE_TCL_SYNC", "1", 1);
    Clear();
  }
  ~SyncSteps() { ::unsetenv("VEL_CORVANE_USE_TCL_SYNC"); }
  SyncSteps(const SyncSteps&) = delete;
  SyncSteps& operator=(const SyncSteps&) = delete;
  void Clear() { std::ignore = InterpHelp::RunCmd("set ::velmor::pr_sync_actions::asked {}", nullptr, false, nullptr); }
  // True when a push was recorded before a pull since the last Clear.
  bool TakenApartThenComposed() const {
    Port::StringBase<char> steps;
    std::ignore = InterpHelp::RunCmd("join [lmap a $::velmor::pr_sync_actions::asked {lindex $a 0}] { }", nullptr,
                                     false, &steps);
    const std::string text = steps.str();
    const auto pushed = text.find("PushPartionsOutOfConfiguration");
    const auto pulled = text.find("PullPartitionsIntoConfiguration", pushed == std::string::npos ? 0 : pushed);
    return pushed != std::string::npos && pulled != std::string::npos;
  }
};

class PRTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    Port_MsgManData::ClearCaptured();
  }
  void TearDown() override {
    testing_support::ResetTclRecords();
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
  }
};

}  // namespace pr_testing

#include <filesystem>
#include <memory>
#include <unistd.h>

#include "project/project/CProject.h"
#include "support/DesignDouble.h"
#include "utils/DmUtils.h"
#include "utils/PropertyAccessor.h"

namespace pr_testing {

// Open projects on files in a directory of the test's own, each on a design of its own. At
// the end each project's lookup lets go of what was registered in it, which holds the
// project in turn.
class ProjectsTest : public PRTest {
 protected:
  void SetUp() override {
    PRTest::SetUp();
    m_dir = (std::filesystem::temp_directory_path() / ("pr_" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(m_dir);
  }
  void TearDown() override {
    for (auto& table : m_projects) Unregister(table.Get());
    for (auto& table : m_repositories) Unregister(table.Get());
    m_repositories.clear();
    Prjrep::ResetNamedObjectRegistry();
    m_projects.clear();
    m_designs.clear();
    PRTest::TearDown();
    std::filesystem::remove_all(m_dir);
  }

  static void Unregister(CitI::IInterface* table) {
    if (AutoCast<Prjrep::ISimpleNamedLookup> names(table); names) {
      for (const char* name : {"Flavor", "Configuration", "ConfigManager", "CvfProject", "HDProject", "ActiveHvdProject"}) {
        AutoRelease<CitI::IInterface> object;
        // Its autonym entries go with it: they hold it too.
        if (names->Find(name, object.Receive()) == kSuccess) std::ignore = names->UnregisterObject(object.Get());
      }
    }
  }

  // An open project on "<dir>/<name>.xhlc", the active project of the repository of that
  // path, as an open leaves it; with a Cvf project helper bound to it when asked.
  Hvd::IProject* Project(const std::string& name, bool withHelper = false) {
    auto design = std::make_unique<AutoPtr<testing_support::DesignDouble>>(
        AutoRelease<testing_support::DesignDouble>(new testing_support::DesignDouble));
    EXPECT_TRUE((*design)->UseBaseServices());
    AutoRelease<Hvd::IProject> project(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    const std::string path = m_dir + "/" + name + ".xhlc";
    Hvd::CProject::FromInterface(project.Get())->EnterOpenState(path.c_str(), design->Get(), false);
    (*design)->project = project.Get();
    m_designs.push_back(std::move(design));
    AutoRelease<Prjrep::IProjectRepository> repository = Hvd::FindAutonymByName(path.c_str(), true);
    EXPECT_EQ(Hvd::RegisterNamedObject(repository.Get(), "ActiveHvdProject", project.Get(), true), kSuccess);
    if (withHelper) {
      AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(project.Get(), true);
      EXPECT_EQ(Hvd::RegisterNamedObject(repository.Get(), "CvfProject", helper.Get(), true), kSuccess);
    }
    m_repositories.emplace_back(std::move(repository));
    m_projects.emplace_back(std::move(project));
    return m_projects.back().Get();
  }
  std::string PathOf(const std::string& name) { return m_dir + "/" + name + ".xhlc"; }

  static std::string TypeOf(Hvd::IProject* project) {
    return Hvd::PropertyAccessor(project).GetPropertyValue("PROP_HierarchicalProjectType").str();
  }

  std::string m_dir;
  std::vector<std::unique_ptr<AutoPtr<testing_support::DesignDouble>>> m_designs;
  std::vector<AutoPtr<Hvd::IProject>> m_projects;
  std::vector<AutoPtr<Prjrep::IProjectRepository>> m_repositories;
};

}  // namespace pr_testing
