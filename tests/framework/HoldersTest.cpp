// Reference counting, and the holders: who owns the reference that goes with each pointer.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "core/Holders.h"
#include "support/Fakes.h"
#include "support/Records.h"

using namespace testing_support;
using Prjrep::AutoCast;
using Prjrep::AutoOut;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Prjrep::AutoReturn;
using Counts = std::pair<int, int>;

namespace {

// A new fake with its creation reference, whose log outlives it.
struct HolderTest : ::testing::Test {
  CountLog logX, logY;
  FakeComponent* x = new FakeComponent(logX);
  FakeComponent* y = new FakeComponent(logY);
  bool ownsX = true, ownsY = true;
  Counts Now() const { return {x->Count(), y->Count()}; }
  void TearDown() override {
    // Drop the creation references that a test did not hand to a holder.
    if (ownsX && !logX.destroyed) Prjrep::ReleaseInterface(x);
    if (ownsY && !logY.destroyed) Prjrep::ReleaseInterface(y);
    EXPECT_EQ(Counts(logX.destroyed, logY.destroyed), Counts(1, 1));
  }
};

TEST_F(HolderTest, AutoCastBorrowsWithoutCountingAndYieldsTheIdentityForTheRoot) {
  {
    AutoCast<ITestB> b(x->AsA());
    ASSERT_NE(b.Get(), nullptr);
    EXPECT_EQ(b->B(), 2);
    EXPECT_EQ(AutoCast<CitI::IInterface>(x->AsB()).Get(), AutoCast<CitI::IInterface>(x->AsA()).Get());
    EXPECT_EQ(AutoCast<ITestNone>(x).Get(), nullptr);
    EXPECT_EQ(AutoCast<ITestA>(static_cast<ITestB*>(nullptr)).Get(), nullptr);
  }
  EXPECT_EQ(logX.addRefs + logX.releases, 0);
}

TEST_F(HolderTest, AutoReleaseAdoptsOneReferenceAndGivesItUpWhenReassignedOrWhenTheObjectDoesNotAnswer) {
  ownsX = ownsY = false;
  CountLog logZ, logW;
  AutoRelease<ITestNone> none(new FakeComponent(logZ));  // answers no ITestNone: its reference must not leak
  EXPECT_EQ(none.Get(), nullptr);
  AutoRelease<ITestA> a(x);
  a.Assign(y);  // the earlier object's reference is given up
  EXPECT_EQ(logX.destroyed, 1);
  EXPECT_EQ(a.Assign(static_cast<ITestB*>(nullptr)), Hvd::kSuccess);
  auto* w = new FakeComponent(logW);
  *a.Receive() = w->AsA();  // an output argument
  EXPECT_EQ(a.Get(), w->AsA());
  a = AutoRelease<ITestA>();
  EXPECT_EQ((std::vector<int>{logZ.destroyed, logY.destroyed, logW.destroyed}), (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(logX.addRefs + logY.addRefs + logW.addRefs, 0);
}

TEST_F(HolderTest, AutoReleaseReadoptingTheHeldObjectGivesUpTheDuplicateReference) {
  ownsX = false;
  AutoRelease<ITestA> a(x->AsA());
  for (int i = 0; i < 3; ++i) {
    Prjrep::AddRefInterface(x);                    // as a getter would
    EXPECT_EQ(a.Assign(x->AsB()), Hvd::kSuccess);  // another interface of the same object
  }
  EXPECT_EQ(x->Count(), 1);
  EXPECT_EQ(a.Get(), x->AsA());
}

TEST_F(HolderTest, AutoPtrKeepsItsOwnReferenceThroughCopiesMovesAndReassignment) {
  {
    AutoPtr<ITestA> p(x);
    EXPECT_EQ(p.Assign(x->AsB()), Hvd::kSuccess);  // same object through another interface
    const AutoPtr<ITestA>& self = p;
    p = self;
    AutoPtr<ITestA> copy(p);
    EXPECT_EQ(x->Count(), 3);
    copy = y;
    AutoPtr<ITestA> moved(std::move(copy));
    EXPECT_EQ(copy.Get(), nullptr);
    EXPECT_EQ(AutoPtr<ITestNone>(x).Get(), nullptr);
    EXPECT_EQ(Now(), Counts(2, 2));
    Prjrep::SmartPtr<ITestA> keep(y->AsA());
    Prjrep::ReleaseInterface(y->AsB());  // the creation reference: the holders keep it alive
    ownsY = false;
    EXPECT_EQ(logY.destroyed, 0);
  }
  EXPECT_EQ(logX.Net(), 0);
}

// A reference handed over from an AutoRelease replaces what the AutoPtr held, an empty one too.
TEST_F(HolderTest, AutoPtrTakingOverAnAutoReleaseLetsGoOfWhatItHeld) {
  {
    AutoPtr<ITestA> p(x);
    Prjrep::AddRefInterface(y->AsA());
    p = AutoRelease<ITestA>(y->AsA());
    EXPECT_EQ(p.Get(), y->AsA());
    EXPECT_EQ(Now(), Counts(1, 2));
    p = AutoRelease<ITestA>();
    EXPECT_EQ(p.Get(), nullptr);
    EXPECT_EQ(Now(), Counts(1, 1));
  }
  EXPECT_EQ(logX.Net(), 0);
}

TEST_F(HolderTest, AutoPtrAndFreeFunctionsCountThroughTheHostInterfaceWhenThatIsAllTheObjectAnswers) {
  CountLog logC, logN;
  auto* common = new FakeComponent(logC, Counting::Common);
  auto* uncounted = new FakeComponent(logN, Counting::None);
  {
    AutoPtr<ITestA> c(common);
    EXPECT_EQ(common->Count(), 2);
    AutoPtr<ITestA> n(uncounted);
  }
  EXPECT_EQ(Counts(logC.Net(), logN.addRefs + logN.releases), Counts(0, 0));
  delete uncounted;

  Prjrep::AddRefInterface(common->AsB());
  Prjrep::ReleaseInterface(common->AsB());
  Prjrep::ReleaseInterface(nullptr);
  CitI::IInterface* var = common->AsA();
  CommonI::AssignRef(var, var);  // to itself
  CitI::IInterface* other = nullptr;
  CommonI::AssignRef(other, var);
  EXPECT_EQ(common->Count(), 2);
  CommonI::ReleaseRef(other);
  EXPECT_EQ(other, nullptr);
  CommonI::ReleaseRef(var);
  EXPECT_EQ(logC.destroyed, 1);

  CitI::IInterface* plain = x->AsA();  // answers no CommonI::IRefCount: set to null, not released
  CommonI::ReleaseRef(plain);
  EXPECT_EQ(plain, nullptr);
  EXPECT_EQ(logX.releases, 0);
}

ITestB* HandOut(FakeComponent* object) { return AutoReturn<ITestB>(object); }

TEST_F(HolderTest, AutoReturnHandsOneReferenceToTheReceiverAndASecondAssignmentGivesUpTheFirst) {
  AutoRelease<ITestB> handed(HandOut(x));
  EXPECT_EQ(handed.Get(), x->AsB());
  {
    AutoReturn<ITestA> r(y);
    EXPECT_EQ(r.Assign(y->AsB()), Hvd::kSuccess);  // same object: unchanged
    EXPECT_EQ(Now(), Counts(2, 2));
    r.Assign(x);
    EXPECT_EQ(y->Count(), 1);
    AutoRelease<ITestA> received(static_cast<ITestA*>(r));
    EXPECT_EQ(x->Count(), 3);
  }
  EXPECT_EQ(x->Count(), 2);
}

TEST_F(HolderTest, AutoOutClearsTheCallersVariableAndWritesOneReferenceOrNothing) {
  EXPECT_EQ(AutoOut<ITestA>(nullptr).Assign(x), kSuccess);
  ITestNone* none = nullptr;
  EXPECT_EQ(AutoOut<ITestNone>(&none).Assign(x), kSuccess);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(logX.addRefs + logX.releases, 0);

  ITestA* out = x->AsA();  // stale value: cleared, not released
  AutoOut<ITestA> o(&out);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(o.Assign(y), Hvd::kSuccess);
  EXPECT_EQ(o.Assign(y->AsB()), kSuccess);  // same object: unchanged
  EXPECT_EQ(out, y->AsA());
  EXPECT_EQ(Now(), Counts(1, 2));
  o.Assign(x);  // second object: the first reference written is given up
  EXPECT_EQ(Now(), Counts(2, 1));
  AutoRelease<ITestA> received(out);
  EXPECT_EQ(logX.releases, 0);
}

// The threads start together, so that their last releases meet.

// Handed an AutoRelease of the object it holds already, through another interface, an AutoPtr
// keeps its own reference and gives up the one it was handed.
TEST_F(HolderTest, AutoPtrHandedTheObjectItHoldsGivesUpTheHandedReference) {
  {
    AutoPtr<ITestA> p(x);
    Prjrep::AddRefInterface(x);  // as a getter would
    AutoRelease<ITestB> handed(x->AsB());
    p = std::move(handed);
    EXPECT_EQ(handed.Get(), nullptr);
    EXPECT_EQ(p.Get(), x->AsA());
    EXPECT_EQ(x->Count(), 2) << "the creation reference and the holder's";
  }
  EXPECT_EQ(x->Count(), 1);
}
TEST(RefCountTest, ConcurrentAddRefAndReleaseDestroyOnce) {
  constexpr int kThreads = 8;
  for (int round = 0; round < 200; ++round) {
    Prjrep::IRefCount* count = AutoCast<Prjrep::IRefCount>(CRecord::Make(round)).Get();
    for (int i = 1; i < kThreads; ++i) std::ignore = count->AddRef();  // one reference per thread
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([count, &ready] {
        ++ready;
        while (ready < kThreads) std::this_thread::yield();
        for (int n = 0; n < 100; ++n) std::ignore = count->AddRef(), std::ignore = count->Release();
        std::ignore = count->Release();
      });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(CRecord::s_alive, 0);
  }
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
