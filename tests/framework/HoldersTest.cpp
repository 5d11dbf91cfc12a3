// Holders: who owns the reference that goes with each pointer.

#include <gtest/gtest.h>

#include "framework/Holders.h"
#include "support/Fakes.h"

using namespace testing_support;
using Prjrep::AutoCast;
using Prjrep::AutoOut;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Prjrep::AutoReturn;

namespace {

// A new fake with its creation reference, whose log outlives it.
struct Fixture : ::testing::Test {
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

using AutoCastTest = Fixture;
using AutoReleaseTest = Fixture;
using AutoPtrTest = Fixture;
using AutoReturnTest = Fixture;
using AutoOutTest = Fixture;

TEST_F(AutoCastTest, BorrowsWithoutCountingAndYieldsTheIdentityForTheRoot) {
  {
    AutoCast<ITestB> b(x->AsA());
    ASSERT_NE(b.Get(), nullptr);
    EXPECT_EQ(b->B(), 2);
    AutoCast<CitI::IInterface> rootFromA(x->AsA());
    AutoCast<CitI::IInterface> rootFromB(x->AsB());
    EXPECT_EQ(rootFromA.Get(), rootFromB.Get());
    AutoCast<ITestNone> none(x);
    EXPECT_EQ(none.Get(), nullptr);
    AutoCast<ITestA> empty(static_cast<ITestB*>(nullptr));
    EXPECT_EQ(static_cast<ITestA*>(empty), nullptr);
  }
  EXPECT_EQ(logX.addRefs + logX.releases, 0);
}

TEST_F(AutoReleaseTest, AdoptsTheCreationReferenceAndGivesItUp) {
  ownsX = false;
  { AutoRelease<ITestA> a(x); EXPECT_EQ(x->Count(), 1); }
  EXPECT_EQ(logX.addRefs, 0);
  EXPECT_EQ(logX.releases, 1);
}

TEST_F(AutoReleaseTest, NullAndEmptyChangeNothing) {
  AutoRelease<ITestA> a;
  EXPECT_EQ(a.Assign(nullptr), 1u);
  EXPECT_EQ(a.Assign(static_cast<ITestB*>(nullptr)), 1u);
  EXPECT_EQ(a.Get(), nullptr);
}

TEST_F(AutoReleaseTest, ReadoptingTheHeldObjectGivesUpTheDuplicateReference) {
  ownsX = false;
  AutoRelease<ITestA> a(x->AsA());
  for (int i = 0; i < 3; ++i) {
    static_cast<Prjrep::IRefCount*>(x->QueryInterface(Prjrep::IRefCount::GetIID()))->AddRef();  // as a getter would
    EXPECT_EQ(a.Assign(x->AsB()), 1u);  // another interface of the same object
  }
  EXPECT_EQ(x->Count(), 1);
  EXPECT_EQ(a.Get(), x->AsA());
  a.Assign(nullptr);
  EXPECT_EQ(logX.destroyed, 1);
}

TEST_F(AutoReleaseTest, AnObjectThatDoesNotAnswerIsGivenUpAndTheHolderEmptied) {
  ownsX = ownsY = false;
  AutoRelease<ITestNone> none(y);  // y answers no ITestNone: its reference must not leak
  EXPECT_EQ(none.Get(), nullptr);
  EXPECT_EQ(logY.destroyed, 1);

  AutoRelease<ITestA> a(x);
  CountLog logZ;
  a.Assign(new FakeComponent(logZ, Counting::Prjrep));
  EXPECT_EQ(logX.destroyed, 1);  // the earlier object's reference was given up
  EXPECT_EQ(logZ.destroyed, 0);
  a.Assign(nullptr);
  EXPECT_EQ(logZ.destroyed, 1);
}

TEST_F(AutoReleaseTest, ReceiveAdoptsAnOutputArgument) {
  ownsX = false;
  AutoRelease<ITestA> a;
  *a.Receive() = x->AsA();
  EXPECT_EQ(a.Get(), x->AsA());
  a = AutoRelease<ITestA>();
  EXPECT_EQ(logX.destroyed, 1);
}

TEST_F(AutoPtrTest, KeepsItsOwnReference) {
  {
    AutoPtr<ITestA> p(x);
    EXPECT_EQ(x->Count(), 2);
    EXPECT_EQ(p.Assign(x->AsB()), 1u);  // same object through another interface
    EXPECT_EQ(x->Count(), 2);
    AutoPtr<ITestA> copy(p);
    EXPECT_EQ(x->Count(), 3);
    copy = y;
    EXPECT_EQ(x->Count(), 2);
    EXPECT_EQ(y->Count(), 2);
    AutoPtr<ITestNone> none(x);
    EXPECT_EQ(none.Get(), nullptr);
    EXPECT_EQ(x->Count(), 2);
    p.Assign(nullptr);
    EXPECT_EQ(x->Count(), 1);
  }
  EXPECT_EQ(x->Count(), 1);
  EXPECT_EQ(y->Count(), 1);
}

TEST_F(AutoPtrTest, SelfAssignmentAndMoveKeepTheCount) {
  AutoPtr<ITestA> p(x);
  p = p;
  EXPECT_EQ(x->Count(), 2);
  AutoPtr<ITestA> moved(std::move(p));
  EXPECT_EQ(p.Get(), nullptr);
  EXPECT_EQ(x->Count(), 2);
}

TEST_F(AutoPtrTest, CountsThroughTheHostInterfaceWhenThatIsAllTheObjectAnswers) {
  CountLog logC, logN;
  auto* common = new FakeComponent(logC, Counting::Common);
  auto* uncounted = new FakeComponent(logN, Counting::None);
  {
    AutoPtr<ITestA> c(common);
    EXPECT_EQ(common->Count(), 2);
    AutoPtr<ITestA> n(uncounted);
    EXPECT_EQ(logN.addRefs, 0);
  }
  EXPECT_EQ(common->Count(), 1);
  EXPECT_EQ(logN.Net(), 0);
  Prjrep::ReleaseInterface(common->AsA());
  EXPECT_EQ(logC.destroyed, 1);
  delete uncounted;
}

ITestB* HandOut(FakeComponent* object) { return AutoReturn<ITestB>(object); }

TEST_F(AutoReturnTest, HandsOneReferenceToTheReceiver) {
  ITestB* b = HandOut(x);
  EXPECT_EQ(b, x->AsB());
  EXPECT_EQ(x->Count(), 2);
  AutoRelease<ITestB> received(b);
  EXPECT_EQ(x->Count(), 2);
}

TEST_F(AutoReturnTest, ASecondAssignmentGivesUpTheFirstReference) {
  {
    AutoReturn<ITestA> r(x);
    EXPECT_EQ(r.Assign(x->AsB()), 1u);  // same object: unchanged
    EXPECT_EQ(x->Count(), 2);
    r.Assign(y);
    EXPECT_EQ(x->Count(), 1);
    EXPECT_EQ(y->Count(), 2);
    AutoRelease<ITestA> received(static_cast<ITestA*>(r));
  }
  EXPECT_EQ(y->Count(), 1);
}

TEST_F(AutoOutTest, ClearsTheCallersVariableAndWritesOneReference) {
  ITestA* out = x->AsA();  // stale value: cleared, not released
  AutoOut<ITestA> o(&out);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(o.Assign(y), 1u);
  EXPECT_EQ(out, y->AsA());
  EXPECT_EQ(y->Count(), 2);
  EXPECT_EQ(o.Assign(y->AsB()), 1u);  // same object: unchanged
  EXPECT_EQ(y->Count(), 2);
  o.Assign(x);  // second object: the first reference written is given up
  EXPECT_EQ(y->Count(), 1);
  EXPECT_EQ(x->Count(), 2);
  AutoRelease<ITestA> received(out);
  EXPECT_EQ(logX.releases, 0);
}

TEST_F(AutoOutTest, NullAddressWritesNothingAndMissingInterfaceWritesNull) {
  AutoOut<ITestA> nowhere(nullptr);
  EXPECT_EQ(nowhere.Assign(x), 1u);
  EXPECT_EQ(x->Count(), 1);

  ITestNone* out = nullptr;
  AutoOut<ITestNone> o(&out);
  EXPECT_EQ(o.Assign(x), 1u);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(logX.Net(), 0);
}

TEST(SmartPtrTest, KeepsItsObjectAliveForItsWholeLife) {
  CountLog log;
  auto* object = new FakeComponent(log);
  {
    Prjrep::SmartPtr<ITestA> keep(object->AsA());
    EXPECT_EQ(object->Count(), 2);
    Prjrep::ReleaseInterface(object->AsB());  // every other reference
    EXPECT_EQ(log.destroyed, 0);
  }
  EXPECT_EQ(log.destroyed, 1);
}

}  // namespace
