// The transform engine, loaded by name the way the host loads it, building its network from the
// base services' definition data on views and a design that are test doubles.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/IBatchDelay.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDesign.h"
#include "Hvd/ITransformEngine.h"
#include "Hvd/ITransformInstance.h"
#include "Hvd/IViewManager.h"
#include "Prjrep/IName.h"
#include "Prjrep/Storage.h"
#include "core/Holders.h"
#include "core/Sets.h"
#include "framework/TransformBindingSets.h"
#include "support/ViewDouble.h"

namespace {

using namespace Hvd;
using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
using Strings = std::vector<std::string>;
using Values = std::vector<std::uint32_t>;

std::string NameOf(CitI::IInterface* definition) {
  AutoCast<IDefDataId> id(definition);
  Text name;
  return id && id->GetDefDataIdName(&name) == kSuccess ? name.str() : "";
}

// Each element an iterator walks to, mapped through `f`.
template <class It, class F>
auto Each(It* it, F f) {
  std::vector<decltype(f(it->Current()))> out;
  for (; it != nullptr && !it->IsDone(); std::ignore = it->Next()) out.push_back(f(it->Current()));
  return out;
}

// A view as the engine needs one: a type, a design and the library's two binding sets.
class FakeView final : public testing_support::TViewDouble<FakeView> {
 public:
  FakeView(IViewType* type, IDesign* design) : m_type(type), m_design(design) { ++s_alive; }
  ~FakeView() override { --s_alive; }
  auto QueryTable() {
    return Table(Row<IView>(this), Row<ITransformBindingSets>(&m_sets), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }
  Status GetType(IViewType** type) override { return Prjrep::AutoOut<IViewType>(type).Assign(m_type.Get()); }
  Status GetDesign(IDesign** out) override { return Prjrep::AutoOut<IDesign>(out).Assign(m_design.Get()); }
  Status GetElaborationData(IHdlElaborationData**) override { return kNotSupported; }
  // What a view's teardown does to its bindings.
  void Teardown() { std::ignore = m_sets.FirstSet()->Clear() == m_sets.SecondSet()->Clear(); }

  static inline int s_alive = 0;

 private:
  Prjrep::TRefCountHelper<FakeView> m_refCount{this};
  AutoPtr<IViewType> m_type;
  AutoCast<IDesign> m_design;
  TITransformBindingSetsHelper<FakeView> m_sets{this};  // last: it asks the view for its root
};

// A design that makes views (or refuses to) in a list; it also stands in for a design unit.
// Of all three, the engine calls CreateView alone.
class FakeDesign final : public TComponent<FakeDesign, IViewManager> {
 public:
  auto QueryTable() {
    return Table(Row<IDesign>(&m_XIDesign), Row<IViewManager>(this), Row<IDesignUnit>(&m_XIDesignUnit),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this));
  }
  void Teardown() {
    for (auto& view : views) view->Teardown();
    views.clear();
  }
  Status CreateView(const Text& name, IViewType* type, IView** view) override {
    if (readOnly) return kProjectReadOnly;
    views.emplace_back(AutoRelease<FakeView>(new FakeView(type, &m_XIDesign)));
    names.push_back(name.str());
    return Prjrep::AutoOut<IView>(view).Assign(views.back().Get());
  }
  Status GetViews(IViewIterator**) override { return kNotSupported; }
  Status RemoveViewAt(IViewIterator*) override { return kNotSupported; }
  Status RemoveView(IView*) override { return kNotSupported; }
  Status FindViewByHint(const Text&, IViewIterator**) override { return kNotSupported; }
  Status FindView(IView*, IViewIterator**) override { return kNotSupported; }

  std::vector<AutoPtr<FakeView>> views;
  Strings names;
  bool readOnly = false;

 private:
  struct XIDesign : TNested<FakeDesign, IDesign> {
    using TNested::TNested;
    Status GetDesignPlatform(IDesignPlatform**) override { return kNotSupported; }
    Status SetDesignPlatform(IDesignPlatform*) override { return kNotSupported; }
    Status GetDesignUnits(IHdlDesignUnitIterator**) override { return kNotSupported; }
    Status GetTOE(ITransformEngine**) override { return kNotSupported; }
    Status GetDataStore(IDataStore**) override { return kNotSupported; }
    Status GetPropertyManager(IPropertyManager**) override { return kNotSupported; }
    Status GetProject(IProject**) override { return kNotSupported; }
    Status GetDefaultParserConfig(IHdlParserConfig**) override { return kNotSupported; }
  } m_XIDesign{this};
  struct XIDesignUnit : TNested<FakeDesign, IDesignUnit> {
    using TNested::TNested;
    Status GetDesignUnitType(IDesignUnitType**) override { return kNotSupported; }
    Status GetViews(IViewIterator**) override { return kNotSupported; }
    Status GetDesignUnitName(Text*) override { return kNotSupported; }
    Status SetDesignUnitName(const Text&) override { return kNotSupported; }
    Status GetSecondBindingSet(ITransformBindingInstanceSet**) override { return kNotSupported; }
    Status GetDesign(IDesign**) override { return kNotSupported; }
  } m_XIDesignUnit{this};
  Prjrep::TRefCountHelper<FakeDesign> m_refCount{this};
};

// Definition data made up by a test: a view type lists its transforms, a transform names the
// type it leads to. Each answers what the engine asks of either; the test owns them all.
class FakeDef final : public TComponent<FakeDef, IViewTypeFlow> {
 public:
  explicit FakeDef(std::string name) : m_name(std::move(name)) {}
  auto QueryTable() {
    return Table(Row<IDefDataId>(&m_XIDefDataId), Row<IViewType>(&m_XIViewType), Row<IViewTypeFlow>(this),
                 Row<ITransformDefinition>(&m_XITransformDefinition), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }
  Status GetBranch(Text*) override { return kNotSupported; }
  Status GetSubBranch(Text*) override { return kNotSupported; }
  Status GetTransforms(Prjrep::IIterator** out) override {
    AutoRelease<Prjrep::ISet> set(new TRefdSequenceSetHelper<CitI::IInterface*, Prjrep::ISet, Prjrep::IIterator,
                                                             std::vector<CitI::IInterface*>>());
    for (FakeDef* transform : transforms) std::ignore = set->Add(transform);
    return set->GetIterator(out);
  }

  std::vector<FakeDef*> transforms;
  FakeDef* target = nullptr;

 private:
  struct XIDefDataId : TNested<FakeDef, IDefDataId> {
    using TNested::TNested;
    Status GetDefDataIdName(Text* name) override { return *name = Text(This().m_name), kSuccess; }
  } m_XIDefDataId{this};
  testing_support::TViewTypeDouble<FakeDef> m_XIViewType{this};
  struct XITransformDefinition : TNested<FakeDef, ITransformDefinition> {
    using TNested::TNested;
    Status GetTargetViewType(IViewType** type) override {
      return Prjrep::AutoOut<IViewType>(type).Assign(This().target);
    }
    Status GetInputTypes(IDefDataIdIterator**) override { return kNotSupported; }
    Status GetOutputTypes(IDefDataIdIterator**) override { return kNotSupported; }
  } m_XITransformDefinition{this};
  Prjrep::TRefCountHelper<FakeDef> m_refCount{this};
  std::string m_name;
};

using Bindings = std::vector<AutoPtr<ITransformBindingInstance>>;

Bindings BindingSet(CitI::IInterface* holder, bool first) {
  AutoCast<ITransformBindingSets> sets(holder);
  AutoRelease<ITransformBindingInstanceSet> set;
  AutoRelease<ITransformBindingInstanceIterator> it;
  std::ignore = first ? sets->GetFirstBindingSet(set.Receive()) : sets->GetSecondBindingSet(set.Receive());
  std::ignore = set->GetIterator(it.Receive());
  return Each(it.Get(), [](ITransformBindingInstance* binding) { return AutoPtr<ITransformBindingInstance>(binding); });
}

std::string ViewType(CitI::IInterface* view) {
  AutoRelease<IViewType> type;
  if (AutoCast<IView> asView{view}) std::ignore = asView->GetType(type.Receive());
  return NameOf(type.Get());
}

// The types of the views a binding leads to (0), has on its first side (1) or its second (2).
Strings Views(ITransformBindingInstance* binding, int which) {
  AutoRelease<Prjrep::ISet> set;
  AutoRelease<Prjrep::IIterator> it;
  if (which == 0) std::ignore = binding->GetTargets(it.Receive());
  if (which == 1) std::ignore = binding->GetFirstSideObjects(set.Receive());
  if (which == 2) std::ignore = binding->GetSecondSideObjects(set.Receive());
  if (set) std::ignore = set->GetIterator(it.Receive());
  return Each(it.Get(), ViewType);
}

ITransformInstance* InstanceOf(ITransformBindingInstance* binding) {  // held by the binding
  AutoRelease<ITransformInstanceIterator> it;
  std::ignore = binding->GetTransformInstances(it.Receive());
  return it && !it->IsDone() ? it->Current() : nullptr;
}

std::string TransformName(ITransformInstance* instance) {
  AutoRelease<ITransform> transform;
  std::ignore = instance->GetTransform(transform.Receive());
  return NameOf(transform.Get());
}

Values ValuesOf(ITransformInstance* instance) {
  AutoRelease<IStatusValueIterator> it;
  std::ignore = AutoCast<IStatus>(instance)->GetStatusValues(it.Receive());
  return Each(it.Get(), [](std::uint32_t value) { return value; });
}

// The network as the views' binding sets show it: a line per view in the order the design made
// them, with its type's branches, the transforms in its first set, and those in its second set
// with the views they lead to.
std::string Network(FakeDesign& design) {
  std::string out;
  for (const auto& view : design.views) {
    AutoRelease<IViewType> type;
    Text branch, subBranch;
    std::ignore = AutoCast<IView>(view.Get())->GetType(type.Receive());
    if (AutoCast<IViewTypeFlow> flow{type.Get()})
      std::ignore = flow->GetBranch(&branch) == flow->GetSubBranch(&subBranch);
    out += NameOf(type.Get()) + " (" + branch.str() + "/" + subBranch.str() + "):";
    for (const bool first : {true, false}) {
      out += first ? "" : " |";
      for (const auto& binding : BindingSet(view.Get(), first)) {
        out += " " + TransformName(InstanceOf(binding.Get()));
        for (const std::string& target : first ? Strings{} : Views(binding.Get(), 0)) out += ">" + target;
      }
    }
    out += "\n";
  }
  return out;
}

class TransformEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base") && CitP::Factory::LoadLibraryFactory("libHvd_TOE"));
    std::ignore = engine.Assign(CitP::Factory::CreateInstance(TransformEngineClassId()));
    access = AutoCast<ITransformAccess>(engine.Get());
    ASSERT_TRUE(engine && access);
    initial = NewView(Type("VIEW_Initial"));
    ASSERT_EQ(engine->AddView(initial.Get()), kSuccess);
  }
  void TearDown() override {
    access = nullptr, engine = nullptr, initial = nullptr;
    design->Teardown();
    EXPECT_EQ(FakeView::s_alive, 0);
  }

  AutoRelease<IViewType> Type(const char* name) {
    AutoRelease<IBaseServices> services(CitP::Factory::CreateInstance(BaseServicesClassId()));
    AutoRelease<CitI::IInterface> store, found;
    std::ignore = services->GetService(DataStoreServiceId(), store.Receive());
    std::ignore = AutoCast<IDataStore>(store.Get())->FindDefData(name, found.Receive());
    return AutoRelease<IViewType>(std::move(found));
  }
  AutoPtr<FakeView> NewView(IViewType* type) {
    AutoRelease<IView> view;
    EXPECT_EQ(AutoCast<IViewManager>(design.Get())->CreateView(Text(NameOf(type)), type, view.Receive()), kSuccess);
    return AutoPtr<FakeView>(view.Get());
  }
  AutoRelease<ITransformInstance> Find(const std::string& name) {
    AutoRelease<ITransformInstance> instance;
    std::ignore = access->FindTransformInstance(Text(name), instance.Receive());
    return instance;
  }

  // First, so that the libraries go only after everything of theirs is given back.
  struct ShutdownLast {
    ~ShutdownLast() { CitP::Factory::Shutdown(); }
  } shutdownLast;
  AutoRelease<FakeDesign> design{new FakeDesign()};
  AutoRelease<ITransformEngine> engine;
  AutoCast<ITransformAccess> access;
  AutoPtr<FakeView> initial;
};

TEST_F(TransformEngineTest, TheInitialViewGrowsTheFlowAsATreeWithEachBindingInItsViewsSets) {
  EXPECT_EQ(
      Network(*design.Get()),
      "VIEW_Initial (Implementation/): TRAN_preSimSetup | TRAN_preSimSetup>VIEW_PreSimulation "
      "TRAN_preSynthSetup>VIEW_PreSynthesis\n"
      "VIEW_PreSimulation (BehavioralSimulation/PreSimulation): TRAN_behavSimSetup | "
      "TRAN_behavSimSetup>VIEW_AbstractSimulation\n"
      "VIEW_AbstractSimulation (BehavioralSimulation/Abstract): TRAN_behavSimSetup |\n"
      "VIEW_PreSynthesis (Implementation/PreSynthesis): TRAN_synthSetup | TRAN_synthSetup>VIEW_AbstractSynthesis\n"
      "VIEW_AbstractSynthesis (Implementation/Abstract): TRAN_synthSetup | TRAN_synth>VIEW_Structural\n"
      "VIEW_Structural (Implementation/): TRAN_postSynthSimModel | "
      "TRAN_postSynthSimModel>VIEW_Post-SynthesisAbstractSimulation TRAN_translate>VIEW_Translation\n"
      "VIEW_Post-SynthesisAbstractSimulation (PostSynthesisSimulation/): TRAN_postSynthSimModel |\n"
      "VIEW_Translation (Implementation/Translate): TRAN_map | TRAN_map>VIEW_Map\n"
      "VIEW_Map (Implementation/Map): TRAN_par | TRAN_par>VIEW_Par\n"
      "VIEW_Par (Implementation/Par): TRAN_postParSimModel | TRAN_postParSimModel>VIEW_Post-ParAbstractSimulation\n"
      "VIEW_Post-ParAbstractSimulation (PostRouteSimulation/): TRAN_postParSimModel |\n");
  // One view per type, named after it; each binding has as its sides exactly the views whose
  // sets hold it, and its instance is the one found by its transform's name.
  std::set<std::tuple<ITransformBindingInstance*, int, std::string>> held, sides;
  for (std::size_t i = 0; i < design->views.size(); ++i) {
    CitI::IInterface* view = design->views[i].Get();
    EXPECT_EQ(design->names[i], ViewType(view));
    for (const int side : {1, 2}) {
      for (const auto& binding : BindingSet(view, side == 1)) {
        held.emplace(binding.Get(), side, ViewType(view));
        for (const std::string& type : Views(binding.Get(), side)) sides.emplace(binding.Get(), side, type);
        const std::string name = TransformName(InstanceOf(binding.Get()));
        EXPECT_EQ(Find(name).Get(), InstanceOf(binding.Get()));
        AutoRelease<CitI::IInterface> definition;
        ASSERT_EQ(binding->GetDefinition(definition.Receive()), kSuccess);
        EXPECT_TRUE(AutoCast<IDefDataObsolete>(definition.Get()) && NameOf(definition.Get()) == name);
      }
    }
  }
  EXPECT_EQ(held, sides);
  // A stored binding comes back by class id and finds its transform's definition again.
  ITransformBindingInstance* binding = BindingSet(initial.Get(), false).front().Get();
  AutoRelease<CitI::IInterface> definition, storage(Prjrep::CreateStorage()), read, readDefinition;
  Prjrep::IPersist* stored = nullptr;
  ASSERT_EQ(binding->GetDefinition(definition.Receive()), kSuccess);
  ASSERT_EQ(AutoCast<Prjrep::IStorage>(storage.Get())->WriteObjectRef(AutoCast<Prjrep::IPersist>(binding)), kSuccess);
  ASSERT_EQ(AutoCast<Prjrep::IStorageControl>(storage.Get())->Rewind(), kSuccess);
  ASSERT_EQ(AutoCast<Prjrep::IStorage>(storage.Get())->ReadObjectRef(&stored), kSuccess);
  std::ignore = read.Assign(stored);
  AutoCast<ITransformBindingInstance> copy(read.Get());
  ASSERT_TRUE(copy && copy.Get() != binding && copy->GetDefinition(readDefinition.Receive()) == kSuccess);
  EXPECT_EQ(readDefinition.Get(), definition.Get());
  EXPECT_EQ(AutoCast<ICompAdmin>(copy.Get())->InitializeAfterLoad(nullptr), kInvalidParameter);
}

TEST_F(TransformEngineTest, AddViewKeepsOneNetworkLeavesOutCyclesAndPassesOnWhatTheDesignRefuses) {
  EXPECT_EQ(engine->AddView(nullptr), kInvalidParameter);
  EXPECT_EQ(engine->AddView(initial.Get()), kSuccess);
  const std::size_t views = design->views.size();
  EXPECT_EQ(engine->AddView(NewView(Type("VIEW_Initial")).Get()), kFailure);
  EXPECT_EQ(design->views.size(), views + 1);  // only the test's own view
  AutoRelease<ITransformInstance> none;
  EXPECT_EQ(access->FindTransformInstance("TRAN_noSuchStep", none.Receive()), kFailure);
  EXPECT_EQ(none.Get(), nullptr);
  EXPECT_EQ(access->FindTransformInstance("TRAN_synth", nullptr), kInvalidParameter);
  ASSERT_EQ(access->ClearNetwork(true), kSuccess);
  design->readOnly = true;
  EXPECT_EQ(engine->AddView(initial.Get()), kProjectReadOnly);

  // Transforms that would close a cycle are left out, and a type reached twice keeps one view.
  design->readOnly = false;
  design->Teardown();
  design->names.clear();
  std::map<std::string, AutoPtr<FakeDef>> defs;
  const auto def = [&](const std::string& name) {
    AutoPtr<FakeDef>& held = defs[name];
    if (!held) held = AutoRelease<FakeDef>(new FakeDef(name));
    return held.Get();
  };
  // tXY leads from X to Y: A reaches B twice, B leads back to A and C to itself.
  for (const std::string transform : {"tAB", "tBA", "tAC", "tCB", "tCC"}) {
    def(transform.substr(1, 1))->transforms.push_back(def(transform));
    def(transform)->target = def(transform.substr(2, 1));
  }
  ASSERT_EQ(engine->AddView(NewView(AutoCast<IViewType>(def("A"))).Get()), kSuccess);
  EXPECT_EQ(Network(*design.Get()), "A (/): | tAB>B tAC>C\nB (/): |\nC (/): | tCB>B\n");
  EXPECT_EQ(design->names, (Strings{"A", "B", "C"}));
  for (const char* skipped : {"tBA", "tCC"}) EXPECT_FALSE(Find(skipped)) << skipped;
}

TEST_F(TransformEngineTest, ClearingTheNetworkUnhooksItAndKeepsRunsOnlyWithoutReset) {
  AutoPtr<ITransformInstance> synth(Find("TRAN_synth").Get());
  AutoRelease<Prjrep::ITimestamp> end;
  AutoRelease<Prjrep::ISet> inputs, outputs;
  ASSERT_TRUE(AutoCast<ITransformInstance2>(synth.Get())->GetEndTime(end.Receive()) == kSuccess &&
              end->SetTime(500, 0) == kSuccess);
  ASSERT_TRUE(synth->GetInputFiles(inputs.Receive()) == kSuccess &&
              synth->GetOutputFiles(outputs.Receive()) == kSuccess);
  ASSERT_TRUE(inputs->Add(design.Get()) == kSuccess && outputs->Add(design.Get()) == kSuccess);
  AutoPtr<ITransformBindingInstance> binding(BindingSet(initial.Get(), false).front().Get());

  ASSERT_EQ(access->ClearNetwork(false), kSuccess);
  for (const auto& view : design->views)
    EXPECT_TRUE(BindingSet(view.Get(), true).empty() && BindingSet(view.Get(), false).empty());
  for (const int which : {0, 1, 2}) EXPECT_TRUE(Views(binding.Get(), which).empty()) << which;
  EXPECT_EQ(InstanceOf(binding.Get()), nullptr);
  // A rebuild on new views takes up the runs kept, without the inputs of the old network.
  design->Teardown();
  EXPECT_EQ(FakeView::s_alive, 1);  // the test's old initial view; the engine let go of the rest
  initial = NewView(Type("VIEW_Initial"));
  ASSERT_EQ(engine->AddView(initial.Get()), kSuccess);
  EXPECT_EQ(Find("TRAN_synth").Get(), synth.Get());
  EXPECT_TRUE(inputs->Size() == 0 && outputs->Size() == 1);

  ASSERT_EQ(access->ClearNetwork(true), kSuccess);
  EXPECT_EQ(Find("TRAN_synth").Get(), nullptr);
  EXPECT_EQ(FakeView::s_alive, static_cast<int>(design->views.size()));
}

TEST_F(TransformEngineTest, BatchesHoldTheStatusWorkWhoseValuesStayInTheTable) {
  IBatchDelay* batch = AutoCast<IBatchDelay>(engine.Get());
  IStatusCalculator* calculator = AutoCast<IStatusCalculator>(engine.Get());
  AutoPtr<ITransformInstance> setup(Find("TRAN_synthSetup").Get()), synth(Find("TRAN_synth").Get());
  const auto run = [](ITransformInstance* instance, std::int64_t start, std::int64_t end) {
    AutoRelease<Prjrep::ITimestamp> from, to;
    AutoCast<ITransformInstance2> timed(instance);
    ASSERT_TRUE(timed->GetStartTime(from.Receive()) == kSuccess && timed->GetEndTime(to.Receive()) == kSuccess);
    ASSERT_TRUE(from->SetTime(start, 0) == kSuccess && to->SetTime(end, 0) == kSuccess);
  };
  EXPECT_EQ(ValuesOf(synth.Get()), Values{0});  // never run
  run(synth.Get(), 100, 200);
  run(setup.Get(), 300, 400);  // the step before ran after synthesis started
  ASSERT_TRUE(batch->BeginBatch() == kSuccess && batch->BeginBatch() == kSuccess);
  ASSERT_EQ(engine->AddDesignUnit(AutoCast<IDesignUnit>(design.Get())), kSuccess);
  ASSERT_TRUE(calculator->CalculateStatus() == kSuccess && batch->EndBatch() == kSuccess);
  EXPECT_EQ(ValuesOf(synth.Get()), Values{0});  // held while a batch is open
  ASSERT_EQ(batch->EndBatch(), kSuccess);
  EXPECT_EQ(ValuesOf(synth.Get()), (Values{20, 15}));  // input added, out of date
  EXPECT_EQ(ValuesOf(setup.Get()), Values{20});
  EXPECT_EQ(engine->AddDesignUnit(nullptr), kInvalidParameter);

  // Calculated values are recalculated; recorded ones stay; calculation switched off waits.
  ASSERT_TRUE(calculator->ClearCalculatedStatus() == kSuccess && calculator->SetCalculationEnabled(false) == kSuccess &&
              calculator->CalculateStatus() == kSuccess);
  EXPECT_EQ(ValuesOf(synth.Get()), Values{20});
  ASSERT_TRUE(calculator->SetCalculationEnabled(true) == kSuccess && calculator->CalculateStatus() == kSuccess);
  EXPECT_EQ(ValuesOf(synth.Get()), (Values{20, 15}));

  IStatus* status = AutoCast<IStatus>(setup.Get());
  bool has = false, flag = false;
  for (const std::uint32_t outside : {27u, 0xFFFFFFFFu}) {
    EXPECT_TRUE(status->AddStatusValue(outside) == kInvalidParameter &&
                status->SetStatusValue(outside) == kInvalidParameter);
  }
  ASSERT_TRUE(status->AddStatusValue(5) == kSuccess && status->AddStatusValue(8) == kSuccess &&
              status->AddStatusValue(5) == kSuccess);
  EXPECT_EQ(ValuesOf(setup.Get()), (Values{20, 5, 8}));
  EXPECT_TRUE(status->GetStatusFlag(&flag) == kSuccess && flag);  // an added input calls for a run
  ASSERT_EQ(status->SetStatusValue(5), kSuccess);
  EXPECT_TRUE(status->GetStatusFlag(&flag) == kSuccess && !flag && status->HasStatusValue(20, &has) == kSuccess &&
              !has);
  EXPECT_EQ(status->GetStatusValues(nullptr), kInvalidParameter);
  EXPECT_EQ(AutoCast<ITransformInstance2>(setup.Get())->GetInputChecksum(nullptr), kInvalidParameter);
  // An end without a begin counts as no batch: the work runs at once.
  ASSERT_TRUE(batch->EndBatch() == kSuccess && engine->AddDesignUnit(AutoCast<IDesignUnit>(design.Get())) == kSuccess);
  EXPECT_EQ(ValuesOf(setup.Get()), (Values{5, 20}));
}

}  // namespace
