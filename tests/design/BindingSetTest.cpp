// The transform-binding sets of a file or a view: membership, unhooking the owner from a
// binding's side, the component-administration walks and the pair's stored form.

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

// A binding of the engine with the objects on each side. It is its own definition, which may
// tell whether it is obsolete, and it may lack administration.
class CBinding final : public Hvd::TComponent<CBinding, Hvd::ITransformBindingInstance>,
                       public Hvd::ICompAdmin,
                       public Hvd::IDefDataObsolete {
 public:
  CBinding() { ++s_alive; }
  ~CBinding() override {
    --s_alive;
    if (m_first.Size() + m_second.Size() != 0) ++s_diedListed;
  }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::ITransformBindingInstance>(this), Hvd::RowIf<Hvd::ICompAdmin>(m_admin, this),
                      Hvd::RowIf<Hvd::IDefDataObsolete>(m_tellsObsolete, this),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(static_cast<Hvd::ITransformBindingInstance*>(this)));
  }
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override { return QueryTable().Answer(iid); }
  Sizes Sides() { return {m_first.Size(), m_second.Size()}; }

  Status GetDefinition(CitI::IInterface** out) override {
    return Prjrep::AutoOut<CitI::IInterface>(out).Assign(static_cast<ITransformBindingInstance*>(this));
  }
  Status GetTransformInstances(Hvd::ITransformInstanceIterator**) override { return Hvd::kFailure; }
  Status GetTargets(Prjrep::IIterator**) override { return Hvd::kFailure; }
  Status ReservedOperation5() override { return Hvd::kFailure; }
  Status GetSecondSideObjects(Prjrep::ISet** out) override {
    return Prjrep::AutoOut<Prjrep::ISet>(out).Assign(&m_second);
  }
  Status GetFirstSideObjects(Prjrep::ISet** out) override {
    return Prjrep::AutoOut<Prjrep::ISet>(out).Assign(&m_first);
  }
  Status InitializeAfterCreate(CitI::IInterface*, CitI::IInterface*) override { return Hvd::kFailure; }
  Status InitializeAfterLoad(CitI::IInterface* owner) override { return Call(owner); }
  Status RegisterForNotifications() override { return Call(nullptr); }
  Status Teardown() override { return Hvd::kFailure; }
  Status IsObsolete(bool* obsolete) override { return *obsolete = m_obsolete, kSuccess; }
  Status Call(CitI::IInterface* owner) {
    m_calls.push_back(owner);
    return m_adminResult;
  }

  static inline int s_alive = 0;
  static inline int s_diedListed = 0;  // died while a side still listed an owner
  bool m_admin = true;
  bool m_tellsObsolete = true;
  bool m_obsolete = false;
  Status m_adminResult = kSuccess;
  std::vector<CitI::IInterface*> m_calls;  // the owner of each set-up; null for each registration
  Objects m_first, m_second;
  Prjrep::TRefCountHelper<CBinding> m_refCount{this};
};

// A file or a view, as far as its bindings go.
class CHolder : public Hvd::TComponent<CHolder> {
 public:
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::ITransformBindingSets>(&m_sets), Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::TITransformBindingSetsHelper<CHolder> m_sets{this};
};

class BindingSetTest : public ::testing::Test {
 protected:
  void TearDown() override {
    std::ignore = m_first->Clear() == m_second->Clear();
    for (CBinding* binding : m_made) std::ignore = binding->m_first.Clear() == binding->m_second.Clear();
    m_bindings.clear();
    EXPECT_EQ(CBinding::s_alive, 0);
    EXPECT_EQ(CBinding::s_diedListed, 0);
  }
  // Bindings in `set` that list the holder on both sides, as the engine does for either set.
  std::vector<CBinding*> Make(int count, Hvd::CTransformBindingSet* set) {
    std::vector<CBinding*> made;
    for (int i = 0; i < count; ++i) {
      made.push_back(m_made.emplace_back(new CBinding));
      m_bindings.emplace_back(static_cast<Hvd::ITransformBindingInstance*>(made.back()));
      std::ignore = made.back()->m_first.Add(&m_holder) == made.back()->m_second.Add(&m_holder);
      std::ignore = set->Add(made.back());
    }
    return made;
  }
  // An iterator over `set` standing on `binding`, or done; with `members`, every binding it passes.
  static Prjrep::AutoRelease<Hvd::ITransformBindingInstanceIterator> On(Hvd::CTransformBindingSet* set,
                                                                        CBinding* binding,
                                                                        std::vector<CBinding*>* members = nullptr) {
    Prjrep::AutoRelease<Hvd::ITransformBindingInstanceIterator> it;
    std::ignore = set->GetIterator(it.Receive());
    for (; !it->IsDone() && it->Current() != static_cast<Hvd::ITransformBindingInstance*>(binding);
         std::ignore = it->Next())
      if (members != nullptr) members->push_back(static_cast<CBinding*>(it->Current()));
    return it;
  }
  static std::vector<CBinding*> Members(Hvd::CTransformBindingSet* set) {
    std::vector<CBinding*> out;
    return std::ignore = On(set, nullptr, &out), out;
  }

  CHolder m_holder;
  std::vector<CBinding*> m_made;
  std::vector<Prjrep::AutoRelease<Hvd::ITransformBindingInstance>> m_bindings;
  Hvd::CTransformBindingSet* m_first = m_holder.m_sets.FirstSet();
  Hvd::CTransformBindingSet* m_second = m_holder.m_sets.SecondSet();
};

TEST_F(BindingSetTest, ALeavingBindingNoLongerListsTheOwnerOnItsSide) {
  auto [a, b] = std::pair(Make(1, m_first)[0], Make(1, m_second)[0]);
  EXPECT_TRUE(Hvd::ContainsBindingInstance(m_first, a));
  EXPECT_EQ(m_first->Remove(On(m_second, b)), kSuccess) << "no member: nothing changes";
  EXPECT_EQ(m_first->Remove(On(m_first, a)), kSuccess);
  EXPECT_EQ((std::vector{a->Sides(), b->Sides()}), (std::vector<Sizes>{{0, 1}, {1, 1}}))
      << "the first set speaks for the first side only";
  EXPECT_EQ(a->m_refCount.GetRefCount(), 1) << "the set let go of it";

  // Another set's iterator on a member: the member leaves this set, and only this one.
  std::ignore = m_first->Add(b);
  auto foreign = On(m_second, b);
  EXPECT_EQ(m_first->Remove(foreign), kSuccess);
  EXPECT_TRUE(foreign->IsDone()) << "the iterator stepped past it in its own set";
  EXPECT_EQ((std::vector{Members(m_first), Members(m_second)}), (std::vector<std::vector<CBinding*>>{{}, {b}}));
  EXPECT_EQ(b->Sides(), (Sizes{0, 1}));

  // Clearing unhooks every member before releasing it.
  std::vector<CBinding*> made = Make(3, m_second);
  for (CBinding* binding : made) std::ignore = binding->m_first.Clear();
  m_bindings.resize(2);  // the set holds the only references on the new ones
  m_made = {a, b};
  EXPECT_EQ(Hvd::ClearTransformBindingSet(m_second), kSuccess);
  EXPECT_EQ(CBinding::s_alive, 2);
}

TEST_F(BindingSetTest, AdministrationVisitsEveryMemberWithTheOwnerAndKeepsTheFirstFailure) {
  EXPECT_EQ(Hvd::InitializeComponentsAfterLoad(m_second, nullptr), Hvd::kBadParameters) << "even when empty";
  EXPECT_EQ(Hvd::RegisterComponentsForNotifications(m_second), kSuccess);

  std::vector<CBinding*> made = Make(3, m_second);
  made[0]->m_admin = false;
  made[1]->m_adminResult = Status{0x66};
  CHolder context;
  EXPECT_EQ(Hvd::InitializeComponentsAfterLoad(m_second, &context), Hvd::kMissingInterface);
  EXPECT_EQ(Hvd::RegisterComponentsForNotifications(m_second), Hvd::kMissingInterface);
  for (CBinding* binding : {made[1], made[2]})
    EXPECT_EQ(binding->m_calls, (std::vector<CitI::IInterface*>{&m_holder, nullptr})) << "the owner, not the context";
}

TEST_F(BindingSetTest, ObsoleteBindingsLeaveAndTheOthersStay) {
  std::vector<CBinding*> made = Make(3, m_first);
  made[0]->m_obsolete = true;
  made[2]->m_tellsObsolete = false;
  EXPECT_EQ(Hvd::RemoveObsoleteComponents(m_first), kSuccess);
  EXPECT_EQ(Members(m_first), (std::vector<CBinding*>{made[1], made[2]}));
  EXPECT_EQ(made[0]->Sides(), (Sizes{0, 1}));
}

TEST_F(BindingSetTest, ThePairSavesTheSecondSetAlsoWhenTheFirstFails) {
  Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  Prjrep::AutoCast<Prjrep::IStorageControl> control(storage.Get());
  control->FailOperation(1, Status{0x66});  // the first set's count
  EXPECT_EQ(Prjrep::AutoCast<Hvd::ITransformBindingSets>(&m_holder)->PersistSave(storage), Status{0x66});
  EXPECT_EQ(control->OperationCount(), 2) << "the second set's count was written as well";
}

}  // namespace
