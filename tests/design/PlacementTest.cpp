// Batch delays and placement on the real design; its views are doubles that count their delays.

#include <gtest/gtest.h>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/IBatchDelay.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDesign.h"
#include "Hvd/IViewManager.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "design/design/Placement.h"
#include "support/FakeProject.h"
#include "support/ViewDouble.h"

namespace design_tests {
namespace {

using namespace Hvd;
using Prjrep::AutoCast;
using Prjrep::AutoRelease;

class BatchView final : public testing_support::TViewDouble<BatchView> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::View(); }
  auto QueryTable() {
    return Table(Row<IView>(this), Row<ICompAdmin>(&m_XICompAdmin), Row<IBatchDelay>(&m_XIBatchDelay),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this));
  }
  Status GetType(IViewType** type) override { return *type = nullptr, kNo; }
  Status GetDesign(IDesign** design) override { return *design = nullptr, kNo; }
  Status GetElaborationData(IHdlElaborationData**) override { return kNo; }
  int batches = 0;

 private:
  struct XICompAdmin : TNested<BatchView, ICompAdmin> {
    using TNested::TNested;
    Status InitializeAfterCreate(CitI::IInterface*, CitI::IInterface*) override { return kSuccess; }
    Status InitializeAfterLoad(CitI::IInterface*) override { return kSuccess; }
    Status RegisterForNotifications() override { return kSuccess; }
    Status Teardown() override { return kSuccess; }
  } m_XICompAdmin{this};
  struct XIBatchDelay : TNested<BatchView, IBatchDelay> {
    using TNested::TNested;
    Status BeginBatch() override { return ++This().batches, kSuccess; }
    Status EndBatch() override { return --This().batches, kSuccess; }
  } m_XIBatchDelay{this};
  Prjrep::TRefCountHelper<BatchView> m_refCount{this};
};

// A project that hands out its design, as the real one does, without a reference.
struct ProjectDouble : testing_support::FakeProject {
  Status GetDesign(IDesign** out) override { return *out = design, design ? kSuccess : kNo; }
  Status GetReadOnly(bool* flag) override { return *flag = false, kSuccess; }
  IDesign* design = nullptr;
};

TEST(PlacementTest, ABatchDelayEndsOnlyOnTheViewsItBeganOnAndNeedsADesign) {
  struct ShutdownLast {
    ~ShutdownLast() { CitP::Factory::Shutdown(); }
  } shutdownLast;
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base") && CitP::Factory::LoadLibraryFactory("libHvd_TOE"));
  InstFactoryEntry();
  Prjrep::RegisterComponents();
  RegisterFactoriesOf<BatchView>();
  AutoRelease<ProjectDouble> project(new ProjectDouble());
  AutoRelease<IDesign> design(CitP::Factory::CreateInstance(ClassId::Design()));
  ASSERT_EQ(AutoCast<ICompAdmin>(design.Get())->InitializeAfterCreate(project.Get(), nullptr), kSuccess);
  project->design = design.Get();
  AutoRelease<IDataStore> store;
  AutoRelease<CitI::IInterface> type;
  ASSERT_TRUE(design->GetDataStore(store.Receive()) == kSuccess &&
              store->FindDefData("VIEW_Initial", type.Receive()) == kSuccess);
  AutoRelease<IView> early, late;
  const auto batches = [](IView* view) { return static_cast<BatchView*>(view)->batches; };
  IViewManager* manager = AutoCast<IViewManager>(design.Get());
  ASSERT_EQ(manager->CreateView("early", AutoCast<IViewType>(type.Get()), early.Receive()), kSuccess);
  {
    BatchDelayScope outer(project.Get());
    EXPECT_EQ(batches(early.Get()), 1);
    ASSERT_EQ(manager->CreateView("late", AutoCast<IViewType>(type.Get()), late.Receive()), kSuccess);
    {
      BatchDelayScope inner(project.Get());
      EXPECT_TRUE(batches(early.Get()) == 2 && batches(late.Get()) == 1);
    }
    EXPECT_EQ(batches(late.Get()), 0) << "made inside the outer scope: its delay was never begun";
  }
  EXPECT_TRUE(batches(early.Get()) == 0 && batches(late.Get()) == 0);

  // Without a design nothing is delayed or placed (and nothing breaks); a null output is refused.
  project->design = nullptr;
  { BatchDelayScope none(project.Get()); }
  FileTypeViewCache cache(project.Get());
  FileTypeViewCache::ViewList views;
  EXPECT_FALSE(cache.GetViewsForFile(nullptr, &views) || cache.GetViewsForFile(nullptr, nullptr) || !views.empty());
  cache.UpdateFileViews(nullptr);
  cache.UpdateAllFileViews();
  std::ignore = AutoCast<ICompAdmin>(design.Get())->Teardown();
}

}  // namespace
}  // namespace design_tests
