// The component model: ids, nested interface objects, identity and counting.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/RefCount.h"
#include "support/Fakes.h"
#include "support/Records.h"

using namespace testing_support;

namespace {

Prjrep::IRefCount* CountOf(CitI::IInterface* object) {
  return static_cast<Prjrep::IRefCount*>(object->QueryInterface(Prjrep::IRefCount::GetIID()));
}

// A record is built the way the library builds components: nested objects, an embedded count.
TEST(ComponentModelTest, EveryInterfaceReachesEveryOtherAndOneIdentity) {
  IRecord* record = CRecord::Make(7);
  const Port::XUID* ids[] = {&IRecord::GetIID(), &Prjrep::IPersist::GetIID(), &Prjrep::IRefCount::GetIID(),
                             &CitI::IInterface::GetIID()};
  EXPECT_EQ(record->QueryInterface(CitI::IInterface::GetIID()), record);
  for (const Port::XUID* from : ids) {
    CitI::IInterface* part = record->QueryInterface(*from);
    ASSERT_NE(part, nullptr);
    for (const Port::XUID* to : ids) EXPECT_EQ(part->QueryInterface(*to), record->QueryInterface(*to));
    EXPECT_EQ(part->QueryInterface(ITestNone::GetIID()), nullptr);
    EXPECT_EQ(part->QueryInterface(Port::XUID()), nullptr);
  }
  // The older count interface is the helper's own answer.
  EXPECT_EQ(CountOf(record)->QueryInterface(Prjrep::IRefCountV1::GetIID()), CountOf(record));
  EXPECT_EQ(CountOf(record)->GetRefCount(), 1);  // queries added nothing
  EXPECT_EQ(record->Value(), 7);
  Prjrep::ReleaseInterface(record);
  EXPECT_EQ(CRecord::s_alive, 0);
}

TEST(RefCountTest, CountsFromOneAndDestroysExactlyAtZero) {
  Prjrep::IRefCount* count = CountOf(CRecord::Make(1));
  EXPECT_EQ(count->AddRef(), Hvd::kSuccess);
  EXPECT_EQ(count->GetRefCount(), 2);
  EXPECT_EQ(count->Release(), Hvd::kSuccess);
  EXPECT_EQ(CRecord::s_alive, 1);
  EXPECT_EQ(count->Release(), Hvd::kSuccess);
  EXPECT_EQ(CRecord::s_alive, 0);
}

// The threads start together, so that their last releases meet.
TEST(RefCountTest, ConcurrentAddRefAndReleaseDestroyOnce) {
  constexpr int kThreads = 8;
  for (int round = 0; round < 200; ++round) {
    Prjrep::IRefCount* count = CountOf(CRecord::Make(round));
    for (int i = 1; i < kThreads; ++i) std::ignore = count->AddRef();  // one reference per thread
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([count, &ready] {
        ++ready;
        while (ready < kThreads) std::this_thread::yield();
        for (int n = 0; n < 100; ++n) {
          std::ignore = count->AddRef();
          std::ignore = count->Release();
        }
        std::ignore = count->Release();
      });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(CRecord::s_alive, 0);
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
