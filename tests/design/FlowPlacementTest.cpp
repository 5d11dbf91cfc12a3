// A project on the library's own design and views, with the real transform engine and base
// services: which files each flow stage sees.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Hvd/ITransformBindingSets.h"
#include "Hvd/ITransformEngine.h"
#include "Hvd/ITransformInstance.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "design/design/Placement.h"
#include "project/project/CProject.h"
#include "utils/DmUtils.h"

namespace {

using namespace Hvd;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using Seen = std::map<std::string, std::vector<std::string>>;

class FlowPlacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base") && CitP::Factory::LoadLibraryFactory("libHvd_TOE"));
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    m_dir = (std::filesystem::temp_directory_path() / ("flow_" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(m_dir);
    for (const char* name : {"top.vhd", "core.v", "pins.ucf", "notes.txt"}) std::ofstream(m_dir + "/" + name) << "x";
  }
  void TearDown() override {
    m_files.clear();
    if (m_design) std::ignore = AutoCast<ICompAdmin>(m_design.Get())->Teardown();
    m_project = nullptr;
    m_design = nullptr;
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    std::filesystem::remove_all(m_dir);
  }

  // The file names of each view's design units, by view type.
  Seen UnitsByView() {
    Seen seen;
    AutoRelease<IViewIterator> views;
    EXPECT_EQ(AutoCast<IViewManager>(m_design.Get())->GetViews(views.Receive()), kSuccess);
    for (; views && !views->IsDone(); std::ignore = views->Next()) {
      std::vector<std::string>& names = seen[GetDefDataIdName(views->Current()).str()];
      AutoRelease<IHdlDesignUnitIterator> units;
      if (AutoCast<IHdlDesignUnitSet>(views->Current())->GetIterator(units.Receive()) != kSuccess) continue;
      for (; units && !units->IsDone(); std::ignore = units->Next()) {
        names.push_back(std::filesystem::path(GetObjectFullPath(units->Current()).str()).filename().string());
      }
    }
    return seen;
  }

  // The file names of the inputs of each transform instance of each view's bindings, in view,
  // binding and instance order.
  std::vector<std::vector<std::string>> InputsByInstance() {
    std::vector<std::vector<std::string>> all;
    AutoRelease<IViewIterator> views;
    EXPECT_EQ(AutoCast<IViewManager>(m_design.Get())->GetViews(views.Receive()), kSuccess);
    for (; views && !views->IsDone(); std::ignore = views->Next()) {
      AutoRelease<ITransformBindingInstanceSet> bindings;
      AutoRelease<ITransformBindingInstanceIterator> binding;
      if (AutoCast<ITransformBindingSets>(views->Current())->GetSecondBindingSet(bindings.Receive()) != kSuccess ||
          !bindings || bindings->GetIterator(binding.Receive()) != kSuccess)
        continue;
      for (; binding && !binding->IsDone(); std::ignore = binding->Next()) {
        AutoRelease<ITransformInstanceIterator> instance;
        if (binding->Current()->GetTransformInstances(instance.Receive()) != kSuccess) continue;
        for (; instance && !instance->IsDone(); std::ignore = instance->Next()) {
          std::vector<std::string>& held = all.emplace_back();
          AutoRelease<Prjrep::ISet> set;
          AutoRelease<Prjrep::IIterator> file;
          if (instance->Current()->GetInputFiles(set.Receive()) != kSuccess || set->GetIterator(file.Receive()) != kSuccess)
            continue;
          for (; file && !file->IsDone(); std::ignore = file->Next()) held.push_back(NameOf(file->Current()));
        }
      }
    }
    return all;
  }
  static std::string NameOf(CitI::IInterface* file) {
    return std::filesystem::path(GetObjectFullPath(file).str()).filename().string();
  }

  // The project on its design, with its views built and the four files added.
  void Open() {
    m_project = AutoRelease<IProject>(CitP::Factory::CreateInstance(ClassId::Project()));
    m_design = AutoRelease<IDesign>(CitP::Factory::CreateInstance(ClassId::Design()));
    ASSERT_TRUE(m_project && m_design);
    CProject::FromInterface(m_project.Get())->EnterOpenState((m_dir + "/p.xhlc").c_str(), m_design.Get(), false);
    ASSERT_EQ(AutoCast<ICompAdmin>(m_design.Get())->InitializeAfterCreate(m_project.Get(), nullptr), kSuccess);
    AutoRelease<IDesignPlatform> platform;
    ASSERT_EQ(m_design->GetDesignPlatform(platform.Receive()), kSuccess);
    ASSERT_EQ(platform->NotifyChanges(), kSuccess);  // the first notice builds the views
    // Every file is associated with implementation (0); the HDL sources with behavioural
    // simulation (1) as well, as the project file records it.
    for (const char* name : {"top.vhd", "core.v", "pins.ucf", "notes.txt"}) {
      AutoRelease<IHdlFile>& file = m_files[name];
      ASSERT_NE(
          AutoCast<IFileManager>(m_project.Get())->ProjectAddFile((m_dir + "/" + name).c_str(), nullptr, file.Receive()),
          kInvalidParameter)
          << name;
      AutoCast<IViewClassAssociation> classes(file.Get());
      ASSERT_EQ(classes->SetBit(0), kSuccess);
      if (std::string(name) != "pins.ucf") {
        ASSERT_EQ(classes->SetBit(1), kSuccess);
      }
    }
  }

  // The view of the design whose type is named `type`.
  IView* ViewOfType(const std::string& type) {
    AutoRelease<IViewIterator> views;
    if (AutoCast<IViewManager>(m_design.Get())->GetViews(views.Receive()) != kSuccess) return nullptr;
    for (; views && !views->IsDone(); std::ignore = views->Next()) {
      if (GetDefDataIdName(views->Current()).str() == type) return views->Current();
    }
    return nullptr;
  }

  std::string m_dir;
  std::map<std::string, AutoRelease<IHdlFile>> m_files;
  AutoRelease<IProject> m_project;
  AutoRelease<IDesign> m_design;
};

TEST_F(FlowPlacementTest, EachViewHoldsTheFilesItsTypeTakes) {
  ASSERT_NO_FATAL_FAILURE(Open());
  FileTypeViewCache(m_project.Get()).UpdateAllFileViews();

  const Seen seen = UnitsByView();
  const std::vector<std::string> sources = {"top.vhd", "core.v"};
  // Synthesis reads the constraints with the sources; simulation takes the sources alone,
  // before and after its set-up.
  EXPECT_EQ(seen.at("VIEW_PreSynthesis"), (std::vector<std::string>{"top.vhd", "core.v", "pins.ucf"}));
  EXPECT_EQ(seen.at("VIEW_AbstractSynthesis"), (std::vector<std::string>{"top.vhd", "core.v", "pins.ucf"}));
  EXPECT_EQ(seen.at("VIEW_PreSimulation"), sources);
  EXPECT_EQ(seen.at("VIEW_AbstractSimulation"), sources);
  EXPECT_EQ(seen.at("VIEW_Translation"), std::vector<std::string>{"pins.ucf"});
  EXPECT_TRUE(seen.at("VIEW_Map").empty());
  for (const auto& [view, names] : seen) {
    EXPECT_EQ(std::count(names.begin(), names.end(), "notes.txt"), 0) << view << ": no view takes plain text";
  }
  // A transform instance reached from two views, or along two ways, takes the file once for
  // each; every file its transform reads, whatever type the file placed before it had.
  const std::vector<std::string> twice = {"top.vhd", "core.v", "top.vhd", "core.v"};
  const std::vector<std::string> synthesis = {"top.vhd", "top.vhd", "core.v", "core.v", "pins.ucf",
                                              "top.vhd", "core.v",  "pins.ucf"};
  const std::vector<std::string> none;
  EXPECT_EQ(InputsByInstance(), (std::vector<std::vector<std::string>>{none, none, twice, synthesis, synthesis, none,
                                                                       none, none, none, none}));
}

// A view answers for a unit by its type, asked again and again as files are placed.
TEST_F(FlowPlacementTest, ViewsAcceptUnitsByTheirType) {
  ASSERT_NO_FATAL_FAILURE(Open());
  IView* synthesis = ViewOfType("VIEW_AbstractSynthesis");
  IView* simulation = ViewOfType("VIEW_AbstractSimulation");
  ASSERT_TRUE(synthesis != nullptr && simulation != nullptr);
  const auto accepts = [this](IView* view, const char* name) {
    bool accepted = true;
    EXPECT_EQ(view->AcceptsDesignUnit(m_files.at(name).Get(), &accepted), kSuccess);
    return accepted;
  };
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(accepts(synthesis, "top.vhd"));
    EXPECT_TRUE(accepts(synthesis, "core.v"));
    EXPECT_TRUE(accepts(synthesis, "pins.ucf"));
    EXPECT_FALSE(accepts(synthesis, "notes.txt"));
    EXPECT_TRUE(accepts(simulation, "core.v"));
    EXPECT_FALSE(accepts(simulation, "pins.ucf"));
  }
  bool accepted = true;
  EXPECT_EQ(synthesis->AcceptsDesignUnit(nullptr, &accepted), kSuccess);
  EXPECT_FALSE(accepted);
}

}  // namespace
