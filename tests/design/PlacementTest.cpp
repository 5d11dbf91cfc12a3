// Placing files in views with the real design, transform engine and base services; the views
// are doubles made by class id that count their batch delays.

#include <gtest/gtest.h>

#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IBatchDelay.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDesign.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IViewManager.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "core/Names.h"
#include "design/DesignDoubles.h"
#include "design/design/Placement.h"
#include "framework/TransformBindingSets.h"
#include "support/FakeProject.h"
#include "support/ViewDouble.h"

namespace design_tests {
namespace {

using namespace Hvd;

// A view that keeps its batch-delay count; every view made lives in `s_made`.
class BatchView final : public testing_support::TViewDouble<BatchView> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::View(); }
  BatchView() { s_made.push_back(this); }
  ~BatchView() override { std::erase(s_made, this); }
  auto QueryTable() {
    return Table(Row<IView>(this), Row<ICompAdmin>(&m_XICompAdmin), Row<IBatchDelay>(&m_XIBatchDelay),
                 Row<Prjrep::IName>(&m_name), Row<ITransformBindingSets>(&m_sets), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }
  Status GetType(IViewType** type) override { return Prjrep::AutoOut<IViewType>(type).Assign(m_type.Get()); }
  Status GetDesign(IDesign** design) override { return Prjrep::AutoOut<IDesign>(design).Assign(m_design.Get()); }
  Status GetElaborationData(IHdlElaborationData**) override { return kNo; }

  int batches = 0;
  static inline std::vector<BatchView*> s_made;

 private:
  struct XICompAdmin : TNested<BatchView, ICompAdmin> {
    using TNested::TNested;
    Status InitializeAfterCreate(CitI::IInterface* design, CitI::IInterface* type) override {
      This().m_design = AutoCast<IDesign>(design);
      std::ignore = This().m_type.Assign(type);
      return kSuccess;
    }
    Status InitializeAfterLoad(CitI::IInterface*) override { return kSuccess; }
    Status RegisterForNotifications() override { return kSuccess; }
    Status Teardown() override {
      This().m_design = nullptr;
      std::ignore = This().m_sets.FirstSet()->Clear();
      return This().m_sets.SecondSet()->Clear();
    }
  } m_XICompAdmin{this};
  struct XIBatchDelay : TNested<BatchView, IBatchDelay> {
    using TNested::TNested;
    Status BeginBatch() override { return ++This().batches, kSuccess; }
    Status EndBatch() override { return --This().batches, kSuccess; }
  } m_XIBatchDelay{this};
  Prjrep::TRefCountHelper<BatchView> m_refCount{this};
  Prjrep::CNameHelper m_name{this};
  AutoPtr<IViewType> m_type;
  AutoCast<IDesign> m_design;
  TITransformBindingSetsHelper<BatchView> m_sets{this};  // last: it asks the view for its root
};

// A project that hands out its design, as the real one does, without a reference.
struct ProjectDouble : testing_support::FakeProject {
  Status GetDesign(IDesign** out) override { return *out = design, design ? kSuccess : kNo; }
  Status GetReadOnly(bool* flag) override { return *flag = false, kSuccess; }
  IDesign* design = nullptr;
};

class PlacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base") && CitP::Factory::LoadLibraryFactory("libHvd_TOE"));
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    RegisterFactoriesOf<BatchView>();
    std::ignore = design.Assign(CitP::Factory::CreateInstance(ClassId::Design()));
    ASSERT_EQ(AutoCast<ICompAdmin>(design.Get())->InitializeAfterCreate(project.Get(), nullptr), kSuccess);
    project->design = design.Get();
  }
  void TearDown() override {
    std::ignore = AutoCast<ICompAdmin>(design.Get())->Teardown();
    design = nullptr;
    EXPECT_TRUE(BatchView::s_made.empty());
  }
  IViewManager* Manager() { return AutoCast<IViewManager>(design.Get()); }
  std::vector<int> Batches() {
    std::vector<int> counts;
    for (BatchView* view : BatchView::s_made) counts.push_back(view->batches);
    return counts;
  }

  struct ShutdownLast {
    ~ShutdownLast() { CitP::Factory::Shutdown(); }
  } shutdownLast;
  AutoRelease<ProjectDouble> project{new ProjectDouble()};
  AutoRelease<IDesign> design;
};

TEST_F(PlacementTest, ABatchDelayEndsOnlyOnTheViewsItBeganOn) {
  AutoRelease<IDesignPlatform> platform;
  ASSERT_EQ(design->GetDesignPlatform(platform.Receive()), kSuccess);
  ASSERT_EQ(platform->NotifyChanges(), kSuccess);  // the flow's views
  const std::size_t flow = BatchView::s_made.size();
  ASSERT_GT(flow, 1u);
  {
    BatchDelayScope outer(project.Get());
    EXPECT_EQ(Batches(), std::vector<int>(flow, 1));
    AutoRelease<IViewType> type;
    AutoRelease<IView> late;
    ASSERT_EQ(BatchView::s_made.front()->GetType(type.Receive()), kSuccess);
    ASSERT_EQ(Manager()->CreateView("late", type.Get(), late.Receive()), kSuccess);
    {
      BatchDelayScope inner(project.Get());
      EXPECT_EQ(BatchView::s_made.back()->batches, 1);
    }
    EXPECT_EQ(BatchView::s_made.back()->batches, 0) << "made inside the outer scope: its delay was never begun";
  }
  EXPECT_EQ(Batches(), std::vector<int>(flow + 1, 0));
}

TEST_F(PlacementTest, WithoutADesignOrFilesNothingIsDelayedOrPlaced) {
  project->design = nullptr;
  { BatchDelayScope none(project.Get()); }
  FileTypeViewCache cache(project.Get());
  FileTypeViewCache::ViewList views;
  EXPECT_FALSE(cache.GetViewsForFile(nullptr, &views));
  EXPECT_FALSE(cache.GetViewsForFile(nullptr, nullptr));
  cache.UpdateFileViews(nullptr);
  cache.UpdateAllFileViews();
  EXPECT_TRUE(views.empty());
}

}  // namespace
}  // namespace design_tests
