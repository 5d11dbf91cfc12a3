// What a project's views answer once the parser reads their files: the compile order, the top
// unit and instance, the hierarchy, on the real project, design, views, transform engine, base
// services and HDL parser, with the designs under tests/data/hdl.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
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
#include "Hvd/IHdlNetlist.h"
#include "Hvd/IKeyedPropertySet.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/ITransformBindingSets.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Prjrep/IFileNameHelper.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "design/design/Placement.h"
#include "design/view/CView.h"
#include "project/project/CProject.h"
#include "utils/DmUtils.h"
#include "utils/NetlistLookup.h"

namespace view_order_test {
namespace {

using namespace Hvd;
using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
using Names = std::vector<std::string>;
namespace fs = std::filesystem;

const fs::path kData = HDL_TEST_DATA;

std::string BaseName(CitI::IInterface* file) {
  AutoCast<Prjrep::IFileNameHelper> names(file);
  Text name;
  if (names) std::ignore = names->GetShortName(&name);
  return name.str();
}

Names NamesOf(IHdlFileIterator* files) {
  Names names;
  for (; files != nullptr && !files->IsDone(); std::ignore = files->Next()) names.push_back(BaseName(files->Current()));
  return names;
}

bool Before(const Names& order, const std::string& first, const std::string& second) {
  const auto a = std::find(order.begin(), order.end(), first);
  const auto b = std::find(order.begin(), order.end(), second);
  return a != order.end() && b != order.end() && a < b;
}

class ViewOrderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base") && CitP::Factory::LoadLibraryFactory("libHvd_TOE") &&
                CitP::Factory::LoadLibraryFactory("libHvd_Hdl"));
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    m_dir = fs::temp_directory_path() /
            ("view_order_" + std::to_string(getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(m_dir);
    m_project = AutoRelease<IProject>(CitP::Factory::CreateInstance(ClassId::Project()));
    m_design = AutoRelease<IDesign>(CitP::Factory::CreateInstance(ClassId::Design()));
    ASSERT_TRUE(m_project && m_design);
    CProject::FromInterface(m_project.Get())->EnterOpenState((m_dir / "p.xhlc").c_str(), m_design.Get(), false);
    ASSERT_EQ(AutoCast<ICompAdmin>(m_design.Get())->InitializeAfterCreate(m_project.Get(), nullptr), kSuccess);
    AutoRelease<IDesignPlatform> platform;
    ASSERT_EQ(m_design->GetDesignPlatform(platform.Receive()), kSuccess);
    ASSERT_EQ(platform->NotifyChanges(), kSuccess);  // the first notice builds the views
    AutoRelease<ISourceLibrary> work;
    ASSERT_EQ(AutoCast<ISourceLibraryManager>(m_project.Get())->CreateSourceLibrary("work", work.Receive()), kSuccess);
  }
  void TearDown() override {
    m_files.clear();
    if (m_design) std::ignore = AutoCast<ICompAdmin>(m_design.Get())->Teardown();
    m_project = nullptr;
    m_design = nullptr;
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    fs::remove_all(m_dir);
  }

  // Copies the design's files into the project folder, adds them for implementation and
  // behavioural simulation, and places them in the views.
  void AddDesign(const std::string& design) {
    for (const auto& entry : fs::directory_iterator(kData / design)) {
      if (entry.path().filename() == "EXPECT" || !entry.is_regular_file()) continue;
      fs::copy_file(entry.path(), m_dir / entry.path().filename());
      AddFile(entry.path().filename().string());
    }
    Place();
  }
  IHdlFile* AddFile(const std::string& name) {
    AutoRelease<IHdlFile> file;
    EXPECT_EQ(AutoCast<IFileManager>(m_project.Get())->ProjectAddFile((m_dir / name).c_str(), nullptr, file.Receive()),
              kSuccess)
        << name;
    AutoCast<IViewClassAssociation> classes(file.Get());
    EXPECT_TRUE(classes && classes->SetBit(0) == kSuccess && classes->SetBit(1) == kSuccess);
    return m_files[name] = AutoPtr<IHdlFile>(file.Get());
  }
  void Place() { FileTypeViewCache(m_project.Get()).UpdateAllFileViews(); }
  // Rewrites a file and tells its views, as the project does when it sees the change on disk.
  void Edit(const std::string& name, const std::string& text) {
    std::ofstream(m_dir / name) << text;
    const auto later = fs::last_write_time(m_dir / name) + std::chrono::seconds(5);
    fs::last_write_time(m_dir / name, later);
    ASSERT_EQ(m_files.at(name)->CheckFileOnDisk(), kSuccess);
    ASSERT_EQ(m_files.at(name)->SetModified(true), kSuccess);
  }

  IView* View(const char* type) {
    AutoRelease<IViewIterator> views;
    EXPECT_EQ(AutoCast<IViewManager>(m_design.Get())->GetViews(views.Receive()), kSuccess);
    for (; views && !views->IsDone(); std::ignore = views->Next()) {
      if (GetDefDataIdName(views->Current()) == type) return views->Current();
    }
    ADD_FAILURE() << "no view " << type;
    return nullptr;
  }
  Names Order(IView* view, IHdlDesignUnit* top = nullptr, std::uint32_t flags = 0) {
    AutoRelease<IHdlFileIterator> files;
    EXPECT_EQ(view->GetCompileOrder(top, flags, files.Receive()), kSuccess);
    return NamesOf(files.Get());
  }
  std::string Top(IView* view) {
    Text name;
    EXPECT_EQ(view->GetTopName(&name), kSuccess);
    return name.str();
  }
  std::string TopInstance(IView* view) {
    Text path;
    EXPECT_EQ(view->GetTopInstance(&path), kSuccess);
    return path.str();
  }
  void SetSetting(IView* view, const char* key, const char* value) {
    AutoRelease<IPropertyInstance> instance(AutoCast<IKeyedPropertySet>(view)->Lookup(key));
    ASSERT_TRUE(instance);
    ASSERT_EQ(instance->SetValue(value), kSuccess);
  }
  std::uint64_t Id(const std::string& name, std::uint32_t target = 2) {
    std::uint64_t id = 0;
    EXPECT_EQ(AutoCast<ICompileOrder>(m_files.at(name).Get())->GetSequenceID(target, &id), kSuccess);
    return id;
  }

  fs::path m_dir;
  AutoRelease<IProject> m_project;
  AutoRelease<IDesign> m_design;
  std::map<std::string, AutoPtr<IHdlFile>> m_files;
};

TEST_F(ViewOrderTest, MixedDesignOrderTopAndHierarchy) {
  AddDesign("mixed");
  IView* synthesis = View("VIEW_AbstractSynthesis");
  IView* simulation = View("VIEW_AbstractSimulation");
  ASSERT_TRUE(synthesis && simulation);
  for (IView* view : {synthesis, simulation}) {
    const Names order = Order(view);
    ASSERT_EQ(order.size(), 5U) << GetDefDataIdName(view).str();
    EXPECT_TRUE(Before(order, "mixed_pkg.vhd", "mux2.vhd") && Before(order, "mux2.vhd", "shifter.v") &&
                Before(order, "shifter.v", "ctrl.vhd") && Before(order, "ctrl.vhd", "tb_mixed.sv"))
        << ::testing::PrintToString(order);
  }
  // The ids of the synthesis branch are numbered in that order.
  const Names order = Order(synthesis);
  for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(Id(order[i]), i + 1) << order[i];

  EXPECT_EQ(Top(synthesis), "tb_mixed");
  EXPECT_EQ(TopInstance(synthesis), "/tb_mixed");
  std::uint32_t manual = 9;
  EXPECT_TRUE(synthesis->IsTopManual(&manual) == kSuccess && manual == 0);
  AutoRelease<IHdlNetListNode> node;
  ASSERT_EQ(synthesis->FindBestTopNode(node.Receive()), kSuccess);
  EXPECT_EQ(CHdlNetListUtils::GetInstancePath(node.Get()).str(), "/tb_mixed");
  EXPECT_EQ(GetNodeDesignUnitName(FindViewNodeByInstancePath(synthesis, "/tb_mixed/dut/u_shift").Get()).str(),
            "shifter");
}

}  // namespace
}  // namespace view_order_test
