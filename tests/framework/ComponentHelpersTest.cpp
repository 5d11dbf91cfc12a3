// The component helpers: persistence, property contexts and transform-binding sets.

#include <gtest/gtest.h>

#include "Prjrep/Storage.h"
#include "framework/PropertyContext.h"
#include "framework/TransformBindingSets.h"
#include "support/SetKinds.h"

namespace {

using Sizes = std::vector<std::size_t>;

// The objects on one side of a binding, listed once each without references.
using ObjectSet = testing_support::SetKinds<CitI::IInterface*, Prjrep::ISet, Prjrep::IIterator>::Pointer;

// A component with a property context, in a chain of levels whose top answers no parent,
// and a binding of the transform engine: the objects on each of its sides. Nothing is stored.
class CLevel : public Hvd::TComponent<CLevel> {
 public:
  CITI_DECLARE_CLSID("{1A1A1A1A-7777-4777-8777-777777777701}")
  explicit CLevel(CLevel* parent = nullptr, bool persistent = true) : m_parent(parent), m_persistent(persistent) {
    ++s_alive;
    std::ignore = m_context.SetOwner(this);
    std::ignore = m_first.SetOwner(this);
    std::ignore = m_second.SetOwner(this);
  }
  ~CLevel() override { --s_alive; }
  auto QueryTable() {
    return Hvd::Table(Hvd::RowIf<Prjrep::IPersist>(m_persistent, &m_persist),
                      Hvd::Row<Hvd::IPropertyContext>(&m_context), Hvd::Row<Hvd::ITransformBindingInstance>(&m_XI),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status LoadFrom(Prjrep::IStorage*) { return Hvd::kSuccess; }
  Hvd::Status SaveTo(Prjrep::IStorage*) { return Hvd::kSuccess; }
  Hvd::Status GetContextParent(Hvd::IPropertyContext** parent) {
    if (parent == nullptr) return Hvd::kInvalidParameter;
    Prjrep::AutoOut<Hvd::IPropertyContext>(parent).Assign(m_parent);
    return Hvd::kSuccess;
  }

  static inline int s_alive = 0;
  CLevel* m_parent;
  bool m_persistent;
  struct XI : Hvd::TNested<CLevel, Hvd::ITransformBindingInstance> {
    using TNested::TNested;
    Hvd::Status GetDefinition(CitI::IInterface**) override { return Hvd::kFailure; }
    Hvd::Status GetTransformInstances(Hvd::ITransformInstanceIterator**) override { return Hvd::kFailure; }
    Hvd::Status GetTargets(Prjrep::IIterator**) override { return Hvd::kFailure; }
    Hvd::Status ReservedOperation5() override { return Hvd::kFailure; }
    Hvd::Status GetSecondSideObjects(Prjrep::ISet** objects) override {
      return Prjrep::AutoOut<Prjrep::ISet>(objects).Assign(&This().m_second);
    }
    Hvd::Status GetFirstSideObjects(Prjrep::ISet** objects) override {
      return Prjrep::AutoOut<Prjrep::ISet>(objects).Assign(&This().m_first);
    }
  } m_XI{this};
  ObjectSet m_first, m_second;
  Prjrep::TPersistHelper<CLevel> m_persist{this};
  Hvd::TPropertyContextHelper<CLevel> m_context;
  Prjrep::TRefCountHelper<CLevel> m_refCount{this};
};

TEST(PropertyContextTest, ChainIdsAndOwnerSetOnce) {
  CLevel top, middle(&top), leaf(&middle);
  Hvd::IPropertyContext* parent = nullptr;
  ASSERT_EQ(leaf.m_context.GetContextParent(&parent), Hvd::kSuccess);
  EXPECT_EQ(parent, &middle.m_context);
  EXPECT_EQ(middle.m_refCount.GetRefCount(), 2) << "the parent comes with a reference";
  Prjrep::ReleaseInterface(parent);
  std::ignore = top.m_context.GetContextParent(&parent);
  EXPECT_EQ(parent, nullptr);

  // The context is named by the persistent id, which each object has of its own, and its class.
  Port::XUID id[3], classId;
  std::ignore = leaf.m_persist.GetId(id[0]), std::ignore = middle.m_persist.GetId(id[1]);
  EXPECT_FALSE(id[0] == id[1] || id[0].IsNull());
  ASSERT_EQ(leaf.m_persist.SetId(id[1]), Hvd::kSuccess);  // no check: another object's id is accepted
  std::ignore = leaf.m_context.GetContextId(id[2]), std::ignore = leaf.m_context.GetContextClassId(classId);
  EXPECT_EQ(std::pair(id[2], classId), std::pair(id[1], CLevel::GetCLSID()));

  EXPECT_EQ(leaf.m_context.SetOwner(&top), Hvd::kFailure);
  std::ignore = leaf.m_context.GetContextParent(&parent);
  EXPECT_EQ(parent, &middle.m_context) << "the first owner stays";
  Prjrep::ReleaseInterface(parent);

  Hvd::TPropertyContextHelper<CLevel> empty;
  EXPECT_EQ((std::vector<Hvd::Status>{empty.GetContextParent(&parent), empty.GetContextId(id[0]),
                                      empty.SetOwner(nullptr), empty.SetOwner(&top)}),
            (std::vector<Hvd::Status>{Hvd::kFailure, Hvd::kFailure, Hvd::kFailure, Hvd::kSuccess}))
      << "a null owner did not use up the one setting";

  CLevel unpersisted(&top, false);
  EXPECT_EQ(unpersisted.m_context.GetContextClassId(classId), Hvd::kFailure);
  ASSERT_EQ(unpersisted.m_context.GetContextParent(&parent), Hvd::kSuccess) << "the owner is kept all the same";
  Prjrep::ReleaseInterface(parent);
}

// A component that can load but not save.
class CLoadOnly : public Hvd::TComponent<CLoadOnly> {
 public:
  CITI_DECLARE_CLSID("{0E0E0E0E-5555-4555-8555-5555555555F1}")
  auto QueryTable() { return Hvd::Table(Hvd::Row<Prjrep::IPersist>(&m_persist), Hvd::Row<CitI::IInterface>(this)); }
  Hvd::Status LoadFrom(Prjrep::IStorage*) { return Hvd::kSuccess; }
  Prjrep::TPersistHelper<CLoadOnly> m_persist{this};
};

TEST(PersistHelperTest, WithoutSaveRoutineOrOwnerNothingIsDone) {
  CLoadOnly component;
  CLoadOnly* owner = &component;
  EXPECT_EQ((std::vector<Hvd::Status>{component.m_persist.PersistSave(nullptr), component.m_persist.GetOwner(nullptr),
                                      component.m_persist.SetOwner(nullptr), component.m_persist.GetOwner(&owner)}),
            (std::vector<Hvd::Status>{Hvd::kNotSupported, Hvd::kFailure, Hvd::kFailure, Hvd::kFailure}));
  EXPECT_EQ(owner, nullptr);
  // A cleared owner: no query, load or save reaches freed or null memory.
  EXPECT_EQ(component.m_persist.QueryInterface(CitI::IInterface::GetIID()), nullptr);
  EXPECT_EQ(component.m_persist.PersistLoad(nullptr), Hvd::kFailure);
}

class CFakeFile : public Hvd::TComponent<CFakeFile> {
 public:
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::ITransformBindingSets>(&m_bindings), Hvd::Row<Prjrep::IRefCount>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Prjrep::TRefCountHelper<CFakeFile> m_refCount{this};
  Hvd::TITransformBindingSetsHelper<CFakeFile> m_bindings{this};
};

class BindingSetsTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::RegisterTestFactory<CLevel>(); }
  void TearDown() override {
    CitP::Factory::Shutdown();
    EXPECT_EQ(CLevel::s_alive, 0);
  }
  // A binding that lists `file` on both its sides, as the engine would.
  static CLevel* MakeBinding(CFakeFile* file) {
    auto* binding = new CLevel;
    std::ignore = binding->m_first.Add(file);
    std::ignore = binding->m_second.Add(file);
    return binding;
  }
};

TEST_F(BindingSetsTest, EachBindingOnceAndALeavingBindingForgetsTheOwner) {
  auto* file = new CFakeFile;
  Prjrep::AutoRelease<Hvd::ITransformBindingInstanceSet> first;
  Prjrep::AutoRelease<Hvd::ITransformBindingInstanceSet> second;
  EXPECT_EQ(file->m_bindings.GetFirstBindingSet(nullptr), Hvd::kInvalidParameter);
  ASSERT_EQ(file->m_bindings.GetFirstBindingSet(first.Receive()), Hvd::kSuccess);
  ASSERT_EQ(file->m_bindings.GetSecondBindingSet(second.Receive()), Hvd::kSuccess);
  EXPECT_NE(static_cast<void*>(first.Get()), static_cast<void*>(second.Get()));

  CLevel* bindingA = MakeBinding(file);
  Prjrep::AutoRelease<Hvd::ITransformBindingInstance> a(bindingA);
  Prjrep::AutoRelease<Hvd::ITransformBindingInstance> b(MakeBinding(file));
  std::ignore = first->Add(a);
  std::ignore = first->Add(a);
  std::ignore = first->Add(b);
  std::ignore = second->Add(a);
  EXPECT_EQ(first->Size(), 2u);

  a = nullptr;  // the sets hold it now
  Prjrep::AutoRelease<Hvd::ITransformBindingInstanceIterator> it;
  std::ignore = first->GetIterator(it.Receive());
  ASSERT_EQ(first->Remove(it), Hvd::kSuccess);
  EXPECT_EQ((Sizes{bindingA->m_first.Size(), bindingA->m_second.Size()}), (Sizes{0, 1}))
      << "the first side no longer lists the file";
  std::ignore = second->Clear();
  EXPECT_EQ(CLevel::s_alive, 1);

  // The sets live on their own count, past their component.
  Prjrep::ReleaseInterface(file);
  EXPECT_EQ(first->Size(), 1u);
}

TEST_F(BindingSetsTest, BothSetsAreStoredAndLoadedInOrder) {
  auto* file = new CFakeFile;
  for (int i = 0; i < 3; ++i)
    std::ignore = (i == 1 ? file->m_bindings.SecondSet() : file->m_bindings.FirstSet())
                      ->Add(Prjrep::AutoRelease<Hvd::ITransformBindingInstance>(MakeBinding(file)));
  Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
  ASSERT_EQ(file->m_bindings.PersistSave(storage), Hvd::kSuccess);
  std::ignore = file->m_bindings.FirstSet()->Clear();
  std::ignore = file->m_bindings.SecondSet()->Clear();
  Prjrep::ReleaseInterface(file);

  Prjrep::AutoCast<Prjrep::IStorageControl> control(storage.Get());
  std::ignore = control->Rewind();
  auto* loaded = new CFakeFile;
  ASSERT_EQ(loaded->m_bindings.PersistLoad(storage), Hvd::kSuccess);
  EXPECT_EQ((Sizes{loaded->m_bindings.FirstSet()->Size(), loaded->m_bindings.SecondSet()->Size()}), (Sizes{2, 1}));

  std::ignore = control->Rewind();
  control->FailOperation(1, Hvd::Status{0x66});  // the first set's count
  auto* failing = new CFakeFile;
  EXPECT_EQ(failing->m_bindings.PersistLoad(storage), Hvd::Status{0x66});
  EXPECT_EQ(failing->m_bindings.SecondSet()->Size(), 0u) << "the second set is not read from the first set's place";
  for (CFakeFile* each : {loaded, failing}) {
    std::ignore = each->m_bindings.FirstSet()->Clear();
    std::ignore = each->m_bindings.SecondSet()->Clear();
    Prjrep::ReleaseInterface(each);
  }
}

}  // namespace
