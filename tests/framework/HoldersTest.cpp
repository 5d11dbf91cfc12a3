// Holders: who owns the reference that goes with each pointer.

#include <gtest/gtest.h>

#include "core/Holders.h"
#include "support/Fakes.h"

using namespace testing_support;
using Prjrep::AutoCast;
using Prjrep::AutoOut;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Prjrep::AutoReturn;

namespace {

// A new fake with its creation reference, whose log outlives it.
struct HolderTest : ::testing::Test {
  CountLog logX, logY;
  FakeComponent* x = new FakeComponent(logX);
  FakeComponent* y = new FakeComponent(logY);
  void TearDown() override {
    // Drop the creation references that a test did not hand to a holder.
    if (ownsX && !logX.destroyed) Prjrep::ReleaseInterface(x);
    if (ownsY && !logY.destroyed) Prjrep::ReleaseInterface(y);
    EXPECT_EQ(logX.destroyed, 1);
    EXPECT_EQ(logY.destroyed, 1);
  }
  bool ownsX = true, ownsY = true;
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

TEST_F(HolderTest, AutoReleaseAdoptsTheCreationReferenceOrAnOutputArgumentAndGivesItUp) {
  ownsX = false;
  ownsY = false;
  AutoRelease<ITestA> a(x);
  AutoRelease<ITestA> b;
  EXPECT_EQ(b.Assign(static_cast<ITestB*>(nullptr)), Hvd::kSuccess);
  *b.Receive() = y->AsA();
  EXPECT_EQ(b.Get(), y->AsA());
  EXPECT_EQ(logX.addRefs + logY.addRefs, 0);
  a = AutoRelease<ITestA>();
  b.Assign(nullptr);
  EXPECT_EQ(logX.releases + logY.releases, 2);
}

TEST_F(HolderTest, AutoReleaseReadoptingTheHeldObjectGivesUpTheDuplicateReference) {
  ownsX = false;
  AutoRelease<ITestA> a(x->AsA());
  for (int i = 0; i < 3; ++i) {
    std::ignore = static_cast<Prjrep::IRefCount*>(x->QueryInterface(Prjrep::IRefCount::GetIID()))->AddRef();  // as a getter would
    EXPECT_EQ(a.Assign(x->AsB()), Hvd::kSuccess);  // another interface of the same object
  }
  EXPECT_EQ(x->Count(), 1);
  EXPECT_EQ(a.Get(), x->AsA());
}

TEST_F(HolderTest, AutoReleaseAnObjectThatDoesNotAnswerIsGivenUpAndTheHolderEmptied) {
  ownsX = false;
  ownsY = false;
  AutoRelease<ITestNone> none(y);  // y answers no ITestNone: its reference must not leak
  EXPECT_EQ(none.Get(), nullptr);
  EXPECT_EQ(logY.destroyed, 1);

  AutoRelease<ITestA> a(x);
  CountLog logZ;
  a.Assign(new FakeComponent(logZ));
  EXPECT_EQ(logX.destroyed, 1);  // the earlier object's reference was given up
  EXPECT_EQ(logZ.destroyed, 0);
  a.Assign(nullptr);
  EXPECT_EQ(logZ.destroyed, 1);
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
    EXPECT_EQ(x->Count(), 2);
    EXPECT_EQ(y->Count(), 2);
  }
  EXPECT_EQ(logX.Net() + logY.Net(), 0);
}

TEST_F(HolderTest, AutoPtrCountsThroughTheHostInterfaceWhenThatIsAllTheObjectAnswers) {
  CountLog logC;
  CountLog logN;
  auto* common = new FakeComponent(logC, Counting::Common);
  auto* uncounted = new FakeComponent(logN, Counting::None);
  {
    AutoPtr<ITestA> c(common);
    EXPECT_EQ(common->Count(), 2);
    AutoPtr<ITestA> n(uncounted);
  }
  EXPECT_EQ(logC.Net(), 0);
  EXPECT_EQ(logN.addRefs + logN.releases, 0);
  Prjrep::ReleaseInterface(common->AsA());
  delete uncounted;
}

ITestB* HandOut(FakeComponent* object) { return AutoReturn<ITestB>(object); }

TEST_F(HolderTest, AutoReturnHandsOneReferenceToTheReceiverAndASecondAssignmentGivesUpTheFirst) {
  AutoRelease<ITestB> handed(HandOut(x));
  EXPECT_EQ(handed.Get(), x->AsB());
  EXPECT_EQ(x->Count(), 2);
  {
    AutoReturn<ITestA> r(y);
    EXPECT_EQ(r.Assign(y->AsB()), Hvd::kSuccess);  // same object: unchanged
    EXPECT_EQ(y->Count(), 2);
    r.Assign(x);
    EXPECT_EQ(y->Count(), 1);
    AutoRelease<ITestA> received(static_cast<ITestA*>(r));
    EXPECT_EQ(x->Count(), 3);
  }
  EXPECT_EQ(x->Count(), 2);
}

TEST_F(HolderTest, AutoOutClearsTheCallersVariableAndWritesOneReference) {
  ITestA* out = x->AsA();  // stale value: cleared, not released
  AutoOut<ITestA> o(&out);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(o.Assign(y), Hvd::kSuccess);
  EXPECT_EQ(o.Assign(y->AsB()), kSuccess);  // same object: unchanged
  EXPECT_EQ(out, y->AsA());
  EXPECT_EQ(y->Count(), 2);
  o.Assign(x);  // second object: the first reference written is given up
  EXPECT_EQ(y->Count(), 1);
  EXPECT_EQ(x->Count(), 2);
  AutoRelease<ITestA> received(out);
  EXPECT_EQ(logX.releases, 0);
}

TEST_F(HolderTest, AutoOutNullAddressWritesNothingAndMissingInterfaceWritesNull) {
  EXPECT_EQ(AutoOut<ITestA>(nullptr).Assign(x), kSuccess);
  ITestNone* out = nullptr;
  EXPECT_EQ(AutoOut<ITestNone>(&out).Assign(x), kSuccess);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(logX.addRefs + logX.releases, 0);
}

TEST(SmartPtrTest, KeepsItsObjectAliveForItsWholeLife) {
  CountLog log;
  auto* object = new FakeComponent(log);
  {
    Prjrep::SmartPtr<ITestA> keep(object->AsA());
    Prjrep::ReleaseInterface(object->AsB());  // every other reference
    EXPECT_EQ(log.destroyed, 0);
  }
  EXPECT_EQ(log.destroyed, 1);
}

}  // namespace
