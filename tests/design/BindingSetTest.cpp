// The transform-binding sets of a file or a view: unhooking the owner, administration, storing.

#include <gtest/gtest.h>

#include <vector>

#include "Hvd/ICompAdmin.h"
#include "Hvd/IDefData.h"
#include "Prjrep/Storage.h"
#include "framework/TransformBindingSets.h"
#include "support/SetKinds.h"

namespace {

using Hvd::kSuccess;
using Hvd::Status;
using Objects = testing_support::SetKinds<CitI::IInterface*, Prjrep::ISet, Prjrep::IIterator>::Pointer;
using Sizes = std::vector<std::size_t>;

// A binding with the objects on each side; its own definition, maybe without administration.
class CBinding final : public Hvd::TComponent<CBinding, Hvd::ITransformBindingInstance>,
                       public Hvd::ICompAdmin,
                       public Hvd::IDefDataObsolete {
 public:
  CBinding() { ++s_alive; }
  ~CBinding() override { --s_alive, s_diedListed += m_sides[0].Size() + m_sides[1].Size() != 0; }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::ITransformBindingInstance>(this), Hvd::RowIf<Hvd::ICompAdmin>(m_admin, this),
                      Hvd::RowIf<Hvd::IDefDataObsolete>(m_tellsObsolete, this),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(static_cast<Hvd::ITransformBindingInstance*>(this)));
  }
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override { return QueryTable().Answer(iid); }
  Sizes Sides() { return {m_sides[0].Size(), m_sides[1].Size()}; }

  Status GetDefinition(CitI::IInterface** out) override {
    return Prjrep::AutoOut<CitI::IInterface>(out).Assign(static_cast<ITransformBindingInstance*>(this));
  }
  Status GetTransformInstances(Hvd::ITransformInstanceIterator**) override { return Hvd::kFailure; }
  Status GetTargets(Prjrep::IIterator**) override { return Hvd::kFailure; }
  Status ReservedOperation5() override { return Hvd::kFailure; }
  Status GetSecondSideObjects(Prjrep::ISet** out) override { return Prjrep::AutoOut(out).Assign(&m_sides[1]); }
  Status GetFirstSideObjects(Prjrep::ISet** out) override { return Prjrep::AutoOut(out).Assign(&m_sides[0]); }
  Status InitializeAfterCreate(CitI::IInterface*, CitI::IInterface*) override { return Hvd::kFailure; }
  Status InitializeAfterLoad(CitI::IInterface* owner) override { return m_calls.push_back(owner), m_adminResult; }
  Status RegisterForNotifications() override { return m_calls.push_back(nullptr), m_adminResult; }
  Status Teardown() override { return Hvd::kFailure; }
  Status IsObsolete(bool* obsolete) override { return *obsolete = m_obsolete, kSuccess; }

  static inline int s_alive = 0, s_diedListed = 0;  // died while a side still listed the owner
  bool m_admin = true, m_tellsObsolete = true, m_obsolete = false;
  Status m_adminResult = kSuccess;
  std::vector<CitI::IInterface*> m_calls;  // the owner of each set-up; null for each registration
  Objects m_sides[2];
  Prjrep::TRefCountHelper<CBinding> m_refCount{this};
};

// A file or a view, as far as its bindings go.
struct CHolder : Hvd::TComponent<CHolder> {
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::ITransformBindingSets>(&m_sets), Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::TITransformBindingSetsHelper<CHolder> m_sets{this};
};

class BindingSetTest : public ::testing::Test {
 protected:
  void TearDown() override {
    std::ignore = m_first->Clear() == m_second->Clear();
    m_held.clear();
    EXPECT_EQ(CBinding::s_alive, 0);
  }
  // A binding in `set` that lists the holder on both sides, as the engine does.
  CBinding* Make(Hvd::CTransformBindingSet* set) {
    CBinding* made = new CBinding;
    m_held.emplace_back(static_cast<Hvd::ITransformBindingInstance*>(made));
    std::ignore = made->m_sides[0].Add(&m_holder) == made->m_sides[1].Add(&m_holder);
    return std::ignore = set->Add(made), made;
  }
  // An iterator over `set` standing on `binding`, or done.
  static auto On(Hvd::CTransformBindingSet* set, CBinding* binding) {
    Prjrep::AutoRelease<Hvd::ITransformBindingInstanceIterator> it;
    for (std::ignore = set->GetIterator(it.Receive()); !it->IsDone() && it->Current() != binding;)
      std::ignore = it->Next();
    return it;
  }

  CHolder m_holder;
  std::vector<Prjrep::AutoRelease<Hvd::ITransformBindingInstance>> m_held;
  Hvd::CTransformBindingSet* m_first = m_holder.m_sets.FirstSet();
  Hvd::CTransformBindingSet* m_second = m_holder.m_sets.SecondSet();
};

TEST_F(BindingSetTest, ALeavingBindingNoLongerListsTheOwnerOnItsSide) {
  auto [a, b] = std::pair(Make(m_first), Make(m_second));
  EXPECT_EQ(m_first->Remove(On(m_second, b)), kSuccess) << "no member: nothing changes";
  EXPECT_EQ(m_first->Remove(On(m_first, a)), kSuccess);
  EXPECT_EQ((std::vector{a->Sides(), b->Sides()}), (std::vector<Sizes>{{0, 1}, {1, 1}})) << "first set, first side";
  // Another set's iterator on a member: the member leaves this set, and only this one.
  std::ignore = m_first->Add(b);
  auto foreign = On(m_second, b);
  EXPECT_EQ(m_first->Remove(foreign), kSuccess);
  EXPECT_TRUE(foreign->IsDone() && !Hvd::ContainsBindingInstance(m_first, b) &&
              Hvd::ContainsBindingInstance(m_second, b))
      << "it left this set; the iterator stepped past it in its own";
  EXPECT_EQ(b->Sides(), (Sizes{0, 1}));
  // Clearing unhooks every member before releasing it.
  for (CBinding* binding : {Make(m_second), Make(m_second), Make(m_second)}) std::ignore = binding->m_sides[0].Clear();
  m_held.resize(2);  // the set holds the only references on the new ones
  CBinding::s_diedListed = 0;
  EXPECT_EQ(Hvd::ClearTransformBindingSet(m_second), kSuccess);
  EXPECT_EQ(std::pair(CBinding::s_alive, CBinding::s_diedListed), std::pair(2, 0));
}

TEST_F(BindingSetTest, BothSetsAreSavedAdministrationVisitsEveryMemberAndObsoleteOnesLeave) {
  // The pair of empty sets saves the second also when the first fails.
  Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  Prjrep::AutoCast<Prjrep::IStorageControl> control(storage.Get());
  control->FailOperation(1, Status{0x66});  // the first set's count
  EXPECT_EQ(Prjrep::AutoCast<Hvd::ITransformBindingSets>(&m_holder)->PersistSave(storage), Status{0x66});
  EXPECT_EQ(control->OperationCount(), 2) << "the second set's count was written as well";
  // Administration visits every member with the owner and keeps the first failure.
  EXPECT_EQ(Hvd::InitializeComponentsAfterLoad(m_second, nullptr), Hvd::kBadParameters) << "even when empty";
  CBinding* made[] = {Make(m_second), Make(m_second), Make(m_second)};
  made[0]->m_admin = false, made[1]->m_adminResult = Status{0x66};
  EXPECT_EQ(Hvd::InitializeComponentsAfterLoad(m_second, m_first), Hvd::kMissingInterface);
  EXPECT_EQ(Hvd::RegisterComponentsForNotifications(m_second), Hvd::kMissingInterface);
  for (CBinding* binding : {made[1], made[2]})
    EXPECT_EQ(binding->m_calls, (std::vector<CitI::IInterface*>{&m_holder, nullptr})) << "the owner, not the context";
  // Obsolete bindings leave, unhooked; one whose definition cannot tell stays.
  made[0]->m_obsolete = true, made[2]->m_tellsObsolete = false;
  EXPECT_EQ(Hvd::RemoveObsoleteComponents(m_second), kSuccess);
  for (int i : {0, 1, 2}) EXPECT_EQ(Hvd::ContainsBindingInstance(m_second, made[i]), i != 0);
  EXPECT_EQ(made[0]->Sides(), (Sizes{1, 0}));
}

}  // namespace
