// The state set that designs, views and files answer as IState: order, iterator, SetAll, stored form.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Prjrep/Storage.h"
#include "core/Events.h"
#include "framework/StateHelper.h"

namespace {

using Hvd::kSuccess;
using Strings = std::vector<std::string>;

Strings All(Hvd::IState* states) {
  Strings out;
  Port::StringBase<char> value;
  auto it = states->CreateIterator();
  for (std::ignore = it->Reset(); !it->IsDone(); std::ignore = it->Next())
    out.push_back(it->Current(&value) == kSuccess ? value.str() : "?");
  return out;
}

TEST(StateSetTest, StatesAreKeptOnceInByteOrderAndReachTheOwner) {
  Prjrep::CEventSenderHelper owner(nullptr);  // a view's or a design's own sender, for one
  Hvd::CStateHelper helper(&owner, Port::XUID("{71F1FD7D-AB0D-4da6-8FE5-2ADCB4AAF427}")), other;
  EXPECT_EQ((std::vector<bool>{helper.Add("b"), helper.Add("B"), helper.Add("a"), helper.Add("ab"), helper.Add("b"),
                               helper.Contains("A"), helper.Remove("A")}),
            (std::vector<bool>{true, true, true, true, false, false, false}));
  EXPECT_EQ(All(&helper), (Strings{"B", "a", "ab", "b"}));
  EXPECT_EQ(helper.QueryInterface(Prjrep::IEventSender::GetIID()), static_cast<CitI::IInterface*>(&owner));
  EXPECT_EQ((std::vector<bool>{helper.Clear(), helper.Clear()}), (std::vector<bool>{true, false}));
  // SetAll replaces the states, also from the set's own iterator; without one it only clears.
  std::ignore = other.Add("y") && other.Add("x") && helper.Add("old");
  EXPECT_TRUE(helper.SetAll(other.CreateIterator().get()) == kSuccess && All(&helper) == (Strings{"x", "y"}));
  EXPECT_TRUE(helper.SetAll(helper.CreateIterator().get()) == kSuccess && All(&helper) == (Strings{"x", "y"}));
  EXPECT_TRUE(helper.SetAll(nullptr) == Hvd::kFailure && All(&helper).empty());
}

TEST(StateSetTest, TheIteratorNeverReadsPastTheEndNorIntoAGoneState) {
  auto states = std::make_unique<Hvd::CStateHelper>();
  std::ignore = states->Add("a") && states->Add("b") && states->Add("c");
  auto it = states->CreateIterator();
  Port::StringBase<char> value("stale");
  for (std::ignore = it->Reset(); !it->IsDone();) std::ignore = it->Next();
  EXPECT_TRUE(it->Current(&value) == Hvd::kFailure && it->Next() == Hvd::kFailure && value.str().empty());
  // A state removed under the cursor, or the whole set going away, leaves the walk sound.
  std::ignore = it->Reset() == kSuccess && it->Next() == kSuccess && states->Remove("b");
  EXPECT_TRUE(it->Next() == kSuccess && it->Current(&value) == kSuccess && value.str() == "c");
  std::ignore = it->Reset();
  states.reset();
  EXPECT_TRUE(it->Next() == kSuccess && it->IsDone());
}

TEST(StateSetTest, StatesAreStoredAsACountAndTheStringsAndLoadedOnTop) {
  Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage()), corrupt(Prjrep::CreateStorage());
  Prjrep::AutoCast<Prjrep::IStorageControl> control(storage.Get()), corruptControl(corrupt.Get());
  Hvd::CStateHelper saved, loaded;
  EXPECT_TRUE(saved.Save(storage) == kSuccess && control->OperationCount() == 1) << "an empty set writes its count";
  std::ignore = saved.Add("b") && saved.Add("a") && loaded.Add("c");
  ASSERT_TRUE(saved.Save(storage) == kSuccess && control->Rewind() == kSuccess);
  EXPECT_TRUE(loaded.Load(storage) == kSuccess && loaded.Load(storage) == kSuccess);
  EXPECT_EQ(All(&loaded), (Strings{"a", "b", "c"})) << "loaded on top of what was there";
  // The first storage result other than 1 is the answer and ends the walk, also for a huge count.
  const std::int64_t before = control->OperationCount();
  control->FailOperation(2, Hvd::Status{0x66});  // the first string
  EXPECT_EQ(saved.Save(storage), Hvd::Status{0x66});
  std::ignore = corrupt->WriteInt32(0x7fffffff) == kSuccess && corruptControl->Rewind() == kSuccess;
  EXPECT_NE(loaded.Load(corrupt), kSuccess);
  EXPECT_EQ((std::vector{control->OperationCount() - before, corruptControl->OperationCount()}),
            (std::vector<std::int64_t>{2, 3}));
}

TEST(StateSetTest, ASetThatNeverHeldAStateAnswersEmptyAndItsFirstIteratorSeesLaterStates) {
  auto states = std::make_unique<Hvd::CStateHelper>();
  EXPECT_EQ((std::vector<bool>{states->Contains("a"), states->Remove("a"), states->Clear()}),
            (std::vector<bool>{false, false, false}));
  auto early = states->CreateIterator();
  EXPECT_TRUE(early->Reset() == kSuccess && early->IsDone());
  EXPECT_TRUE(states->Add("b") && states->Add("a") && !states->Add("a"));
  Port::StringBase<char> value;
  std::ignore = early->Reset();
  EXPECT_TRUE(early->Current(&value) == kSuccess && value.str() == "a") << "the iterator walks the set itself";
  EXPECT_EQ(All(states.get()), (Strings{"a", "b"}));
  // SetAll from an empty set's iterator empties the set; the iterator outlives the set.
  Hvd::CStateHelper empty;
  EXPECT_TRUE(states->SetAll(empty.CreateIterator().get()) == kSuccess && All(states.get()).empty());
  states.reset();
  EXPECT_TRUE(early->Reset() == kSuccess && early->IsDone());
}

}  // namespace
