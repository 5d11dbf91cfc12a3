// The state set that designs, views and files answer as IState: its order, its iterator,
// SetAll, and its stored form.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Prjrep/Storage.h"
#include "core/Events.h"
#include "design/StateHelper.h"

namespace {

using Hvd::kFailure;
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
  Hvd::CStateHelper helper(&owner, Port::XUID("{71F1FD7D-AB0D-4da6-8FE5-2ADCB4AAF427}"));
  Hvd::IState* states = &helper;
  EXPECT_EQ((std::vector<bool>{states->Add("b"), states->Add("B"), states->Add("a"), states->Add("ab"),
                               states->Add("b"), states->Contains("A"), states->Remove("A")}),
            (std::vector<bool>{true, true, true, true, false, false, false}));
  EXPECT_EQ(All(states), (Strings{"B", "a", "ab", "b"}));
  EXPECT_EQ(states->QueryInterface(Prjrep::IEventSender::GetIID()), static_cast<CitI::IInterface*>(&owner));
  EXPECT_EQ(helper.OwnerEventSender(), &owner);
  EXPECT_EQ((std::vector<bool>{states->Clear(), states->Clear()}), (std::vector<bool>{true, false}));

  // SetAll replaces the states, also from the set's own iterator; without one it only clears.
  Hvd::CStateHelper other;
  for (const char* state : {"y", "x"}) std::ignore = other.Add(state);
  std::ignore = states->Add("old");
  EXPECT_EQ(helper.SetAll(other.CreateIterator().get()), kSuccess);
  EXPECT_EQ(All(states), (Strings{"x", "y"}));
  EXPECT_EQ(helper.SetAll(helper.CreateIterator().get()), kSuccess);
  EXPECT_EQ(All(states), (Strings{"x", "y"})) << "its own iterator hands the values over";
  EXPECT_TRUE(helper.SetAll(nullptr) == kFailure && All(states).empty());
}

TEST(StateSetTest, TheIteratorNeverReadsPastTheEnd) {
  auto states = std::make_unique<Hvd::CStateHelper>();
  for (const char* state : {"a", "b", "c"}) std::ignore = states->Add(state);
  auto it = states->CreateIterator();
  Port::StringBase<char> value("stale");
  for (std::ignore = it->Reset(); !it->IsDone();) std::ignore = it->Next();
  EXPECT_EQ((std::vector{it->Current(&value), it->Next()}), (std::vector{kFailure, kFailure}));
  EXPECT_EQ(value.str(), "");

  // A state removed under the cursor, or the whole set going away, leaves the walk sound.
  std::ignore = it->Reset();
  std::ignore = it->Next();
  std::ignore = states->Remove("b");
  EXPECT_EQ(it->Next(), kSuccess);
  EXPECT_TRUE(it->Current(&value) == kSuccess && value.str() == "c");
  std::ignore = it->Reset();
  states.reset();
  EXPECT_TRUE(it->Next() == kSuccess && it->IsDone());
}

TEST(StateSetTest, StatesAreStoredAsACountAndTheStringsAndLoadedOnTop) {
  Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  Prjrep::AutoCast<Prjrep::IStorageControl> control(storage.Get());
  Hvd::CStateHelper saved, loaded;
  ASSERT_EQ(saved.Save(storage), kSuccess);
  EXPECT_EQ(control->OperationCount(), 1) << "an empty set writes only its count";
  for (const char* state : {"b", "a"}) std::ignore = saved.Add(state);
  ASSERT_EQ(saved.Save(storage), kSuccess);
  std::ignore = control->Rewind();
  std::ignore = loaded.Add("c");
  EXPECT_EQ((std::vector{loaded.Load(storage), loaded.Load(storage)}), (std::vector{kSuccess, kSuccess}));
  EXPECT_EQ(All(&loaded), (Strings{"a", "b", "c"}));

  // The first storage result other than 1 is the answer and ends the walk, also for a huge count.
  const std::int64_t before = control->OperationCount();
  control->FailOperation(2, Hvd::Status{0x66});  // the first string
  EXPECT_EQ(saved.Save(storage), Hvd::Status{0x66});
  EXPECT_EQ(control->OperationCount() - before, 2);
  Prjrep::AutoRelease<Prjrep::IStorage> corrupt(Prjrep::CreateStorage());
  Prjrep::AutoCast<Prjrep::IStorageControl> corruptControl(corrupt.Get());
  std::ignore = corrupt->WriteInt32(0x7fffffff);
  std::ignore = corruptControl->Rewind();
  EXPECT_NE(loaded.Load(corrupt), kSuccess);
  EXPECT_EQ(corruptControl->OperationCount(), 3);
}

}  // namespace
