// The component model: ids, nested interface objects, identity and counting.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "framework/Holders.h"
#include "framework/Interface.h"
#include "framework/RefCount.h"
#include "support/Fakes.h"

using namespace testing_support;

namespace {

// A component built the way the library builds them: nested objects, an embedded count.
class CWidget : public CitI::IInterface {
 public:
  explicit CWidget(int* destroyed) : m_destroyed(destroyed) {}
  ~CWidget() override { ++*m_destroyed; }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::AnswerQuery(iid, {{ITestA::GetIID(), &m_XITestA},
                                  {ITestB::GetIID(), &m_XITestB},
                                  {Prjrep::IRefCount::GetIID(), &m_refCount},
                                  {CitI::IInterface::GetIID(), &m_XITestA}});
  }

  struct XITestA : Hvd::TNested<CWidget, ITestA> {
    using TNested::TNested;
    int A() override { return m_pThis->m_value; }
  } m_XITestA{this};
  struct XITestB : Hvd::TNested<CWidget, ITestB> {
    using TNested::TNested;
    int B() override { return -m_pThis->m_value; }
  } m_XITestB{this};
  Prjrep::TRefCountHelper<CWidget> m_refCount{this};
  int m_value = 7;
  int* m_destroyed;
};

Prjrep::IRefCount* CountOf(CitI::IInterface* object) {
  return static_cast<Prjrep::IRefCount*>(object->QueryInterface(Prjrep::IRefCount::GetIID()));
}

TEST(ComponentModelTest, EveryInterfaceReachesEveryOtherAndOneIdentity) {
  int destroyed = 0;
  auto* widget = new CWidget(&destroyed);
  CitI::IInterface* parts[] = {&widget->m_XITestA, &widget->m_XITestB, &widget->m_refCount};
  for (CitI::IInterface* part : parts) {
    EXPECT_EQ(part->QueryInterface(CitI::IInterface::GetIID()), &widget->m_XITestA);
    EXPECT_EQ(part->QueryInterface(ITestB::GetIID()), &widget->m_XITestB);
    EXPECT_EQ(part->QueryInterface(Prjrep::IRefCount::GetIID()), &widget->m_refCount);
    EXPECT_EQ(part->QueryInterface(ITestNone::GetIID()), nullptr);
    EXPECT_EQ(part->QueryInterface(Port::XUID()), nullptr);
  }
  // The older count interface is the helper's own answer.
  EXPECT_EQ(widget->m_refCount.QueryInterface(Prjrep::IRefCountV1::GetIID()), &widget->m_refCount);
  EXPECT_EQ(CountOf(widget)->GetRefCount(), 1);  // queries added nothing
  EXPECT_EQ(static_cast<ITestB*>(widget->QueryInterface(ITestB::GetIID()))->B(), -7);
  CountOf(widget)->Release();
  EXPECT_EQ(destroyed, 1);
}

TEST(RefCountTest, CountsFromOneAndDestroysExactlyAtZero) {
  int destroyed = 0;
  auto* widget = new CWidget(&destroyed);
  Prjrep::IRefCount* count = CountOf(widget);
  EXPECT_EQ(count->AddRef(), 1u);
  EXPECT_EQ(count->GetRefCount(), 2);
  EXPECT_EQ(count->Release(), 1u);
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(count->Release(), 1u);
  EXPECT_EQ(destroyed, 1);
}

TEST(RefCountTest, ConcurrentAddRefAndReleaseDestroyOnce) {
  for (int round = 0; round < 20; ++round) {
    int destroyed = 0;
    auto* widget = new CWidget(&destroyed);
    constexpr int kThreads = 8;
    constexpr int kTimes = 2000;
    Prjrep::IRefCount* count = CountOf(widget);
    for (int i = 0; i < kThreads; ++i) count->AddRef();  // one reference per thread
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([count] {
        for (int n = 0; n < kTimes; ++n) {
          count->AddRef();
          count->Release();
        }
        count->Release();
      });
    }
    count->Release();  // the creator's reference, while the others run
    for (auto& t : threads) t.join();
    EXPECT_EQ(destroyed, 1);
  }
}

TEST(RefCountTest, FreeFunctionsFallBackToTheHostCount) {
  CountLog log;
  auto* object = new FakeComponent(log, Counting::Common);
  Prjrep::AddRefInterface(object->AsB());
  EXPECT_EQ(object->Count(), 2);
  Prjrep::ReleaseInterface(object->AsB());
  Prjrep::ReleaseInterface(nullptr);

  CitI::IInterface* var = object->AsA();
  CommonI::AssignRef(var, var);  // to itself
  EXPECT_EQ(object->Count(), 1);
  CitI::IInterface* other = nullptr;
  CommonI::AssignRef(other, var);
  EXPECT_EQ(object->Count(), 2);
  CommonI::ReleaseRef(other);
  EXPECT_EQ(other, nullptr);
  CommonI::ReleaseRef(var);
  EXPECT_EQ(log.destroyed, 1);

  CountLog unlog;
  auto* uncounted = new FakeComponent(unlog, Counting::Prjrep);  // answers no CommonI::IRefCount
  CitI::IInterface* plain = uncounted->AsA();
  CommonI::ReleaseRef(plain);
  EXPECT_EQ(plain, nullptr);
  EXPECT_EQ(unlog.releases, 0);
  Prjrep::ReleaseInterface(uncounted);
}

TEST(RefCountTest, ScopedIncrementLowersItsCounterAlsoOnException) {
  std::int32_t depth = 0;
  try {
    Port::SafeIncr(depth);
    Hvd::ScopedSafeIncrement guard(&depth);
    EXPECT_EQ(depth, 1);
    throw 1;
  } catch (int) {
  }
  EXPECT_EQ(depth, 0);
}

}  // namespace
