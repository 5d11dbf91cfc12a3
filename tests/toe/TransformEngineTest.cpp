// The transform engine, loaded by name the way the host loads it, building its network from the
// base services' definition data on views and a design that are test doubles.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
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

namespace {

using namespace Hvd;
using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
using Strings = std::vector<std::string>;

std::string NameOf(CitI::IInterface* definition) {
  AutoCast<IDefDataId> id(definition);
  Text name;
  return id && id->GetDefDataIdName(&name) == kSuccess ? name.str() : "";
}

// A view as the engine needs one: a type, a design and the library's two binding sets.
class FakeView final : public TComponent<FakeView> {
 public:
  FakeView(IViewType* type, IDesign* design) : m_type(type), m_design(design) { ++s_alive; }
  ~FakeView() override { --s_alive; }

  auto QueryTable() {
    return Table(Row<IView>(&m_XIView), Row<ITransformBindingSets>(&m_sets), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }
  // What a view's teardown does to its bindings.
  void Teardown() {
    std::ignore = m_sets.FirstSet()->Clear();
    std::ignore = m_sets.SecondSet()->Clear();
  }

  static inline int s_alive = 0;

 private:
  struct XIView : TNested<FakeView, IView> {
    using TNested::TNested;
    Status GetType(IViewType** type) override { return Prjrep::AutoOut<IViewType>(type).Assign(This().m_type.Get()); }
    Status GetDesign(IDesign** design) override {
      return Prjrep::AutoOut<IDesign>(design).Assign(This().m_design.Get());
    }
    Status GetElaborationData(IHdlElaborationData**) override { return kNotSupported; }
  } m_XIView{this};
  Prjrep::TRefCountHelper<FakeView> m_refCount{this};
  AutoPtr<IViewType> m_type;
  AutoCast<IDesign> m_design;
  TITransformBindingSetsHelper<FakeView> m_sets{this};  // last: it asks the view for its root
};

// A design that makes views (or refuses to) and lists the names it made them with.
class FakeDesign final : public TComponent<FakeDesign> {
 public:
  auto QueryTable() {
    return Table(Row<IDesign>(&m_XIDesign), Row<IViewManager>(&m_XIViewManager), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }
  void Teardown() {
    for (auto& view : views) view->Teardown();
    views.clear();
  }

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
    Status GetProject(IProject**) override { return kOwnerMissing; }
    Status GetDefaultParserConfig(IHdlParserConfig**) override { return kNotSupported; }
  } m_XIDesign{this};
  struct XIViewManager : TNested<FakeDesign, IViewManager> {
    using TNested::TNested;
    Status GetViews(IViewIterator**) override { return kNotSupported; }
    Status CreateView(const Text& name, IViewType* type, IView** view) override {
      Prjrep::AutoOut<IView> out(view);
      FakeDesign& self = This();
      if (self.readOnly) return kProjectReadOnly;
      self.views.emplace_back(AutoRelease<FakeView>(new FakeView(type, &self.m_XIDesign)));
      self.names.push_back(name.str());
      return out.Assign(self.views.back().Get());
    }
    Status RemoveViewAt(IViewIterator*) override { return kNotSupported; }
    Status RemoveView(IView*) override { return kNotSupported; }
    Status FindViewByHint(const Text&, IViewIterator**) override { return kNotSupported; }
    Status FindView(IView*, IViewIterator**) override { return kNotSupported; }
  } m_XIViewManager{this};
  Prjrep::TRefCountHelper<FakeDesign> m_refCount{this};
};

// A design unit that is only counted.
class FakeUnit final : public TComponent<FakeUnit, IDesignUnit> {
 public:
  auto QueryTable() {
    return Table(Row<IDesignUnit>(this), Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this));
  }
  Status GetDesignUnitType(IDesignUnitType**) override { return kNotSupported; }
  Status GetViews(IViewIterator**) override { return kNotSupported; }
  Status GetDesignUnitName(Text*) override { return kNotSupported; }
  Status SetDesignUnitName(const Text&) override { return kNotSupported; }
  Status GetSecondBindingSet(ITransformBindingInstanceSet**) override { return kNotSupported; }
  Status GetDesign(IDesign**) override { return kNotSupported; }

 private:
  Prjrep::TRefCountHelper<FakeUnit> m_refCount{this};
};

// Definition data made up by a test: a view type lists its transforms, a transform names the
// type it leads to. Each answers what the engine asks of either; the test owns them all.
class FakeDef final : public TComponent<FakeDef> {
 public:
  explicit FakeDef(std::string name) : m_name(std::move(name)) {}

  auto QueryTable() {
    return Table(Row<IDefDataId>(&m_XIDefDataId), Row<IViewType>(&m_XIViewType), Row<IViewTypeFlow>(&m_XIViewTypeFlow),
                 Row<ITransformDefinition>(&m_XITransformDefinition), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }

  std::vector<FakeDef*> transforms;
  FakeDef* target = nullptr;

 private:
  struct XIDefDataId : TNested<FakeDef, IDefDataId> {
    using TNested::TNested;
    Status GetDefDataIdName(Text* name) override {
      *name = Text(This().m_name);
      return kSuccess;
    }
  } m_XIDefDataId{this};
  TNested<FakeDef, IViewType> m_XIViewType{this};
  struct XIViewTypeFlow : TNested<FakeDef, IViewTypeFlow> {
    using TNested::TNested;
    Status GetBranch(Text*) override { return kNotSupported; }
    Status GetSubBranch(Text*) override { return kNotSupported; }
    Status GetTransforms(Prjrep::IIterator** out) override {
      AutoRelease<Prjrep::ISet> set(new TRefdSequenceSetHelper<CitI::IInterface*, Prjrep::ISet, Prjrep::IIterator,
                                                               std::vector<CitI::IInterface*>>());
      for (FakeDef* transform : This().transforms) std::ignore = set->Add(transform);
      return set->GetIterator(out);
    }
  } m_XIViewTypeFlow{this};
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
  std::ignore = first ? sets->GetFirstBindingSet(set.Receive()) : sets->GetSecondBindingSet(set.Receive());
  AutoRelease<ITransformBindingInstanceIterator> it;
  Bindings out;
  if (set->GetIterator(it.Receive()) != kSuccess) return out;
  for (; !it->IsDone(); std::ignore = it->Next()) out.emplace_back(it->Current());
  return out;
}

std::vector<AutoPtr<CitI::IInterface>> Elements(Prjrep::IIterator* it) {
  std::vector<AutoPtr<CitI::IInterface>> out;
  for (; it != nullptr && !it->IsDone(); std::ignore = it->Next()) out.emplace_back(it->Current());
  return out;
}

std::string ViewType(CitI::IInterface* view) {
  AutoRelease<IViewType> type;
  if (AutoCast<IView> asView{view}) std::ignore = asView->GetType(type.Receive());
  return NameOf(type.Get());
}

Strings ViewTypes(const std::vector<AutoPtr<CitI::IInterface>>& views) {
  Strings out;
  for (const auto& view : views) out.push_back(ViewType(view.Get()));
  return out;
}

std::vector<AutoPtr<CitI::IInterface>> Targets(ITransformBindingInstance* binding) {
  AutoRelease<Prjrep::IIterator> it;
  std::ignore = binding->GetTargets(it.Receive());
  return Elements(it);
}

Strings Side(ITransformBindingInstance* binding, bool first) {
  AutoRelease<Prjrep::ISet> set;
  std::ignore = first ? binding->GetFirstSideObjects(set.Receive()) : binding->GetSecondSideObjects(set.Receive());
  AutoRelease<Prjrep::IIterator> it;
  std::ignore = set->GetIterator(it.Receive());
  return ViewTypes(Elements(it));
}

AutoPtr<ITransformInstance> InstanceOf(ITransformBindingInstance* binding) {
  AutoRelease<ITransformInstanceIterator> it;
  AutoPtr<ITransformInstance> instance;
  if (binding->GetTransformInstances(it.Receive()) == kSuccess && !it->IsDone()) instance = it->Current();
  return instance;
}

std::string TransformName(ITransformInstance* instance) {
  AutoRelease<ITransform> transform;
  std::ignore = instance->GetTransform(transform.Receive());
  return NameOf(transform.Get());
}

std::vector<std::uint32_t> Values(ITransformInstance* instance) {
  AutoRelease<IStatusValueIterator> it;
  std::vector<std::uint32_t> out;
  std::ignore = AutoCast<IStatus>(instance)->GetStatusValues(it.Receive());
  for (; it && !it->IsDone(); std::ignore = it->Next()) out.push_back(it->Current());
  return out;
}

Strings IdNames(IDefDataIdIterator* it) {
  Strings out;
  for (; it != nullptr && !it->IsDone(); std::ignore = it->Next()) out.push_back(NameOf(it->Current()));
  return out;
}

// One step of the flow: a transform from a view of one type to a view of another.
struct Step {
  std::string transform, from, to;
  bool operator==(const Step&) const = default;
};

// The flow as a walk from the initial view meets it: depth first, each view's second set in order.
const std::vector<Step> kFlow = {
    {"TRAN_preSynthSetup", "VIEW_Initial", "VIEW_PreSynthesis"},
    {"TRAN_synthSetup", "VIEW_PreSynthesis", "VIEW_AbstractSynthesis"},
    {"TRAN_synth", "VIEW_AbstractSynthesis", "VIEW_Structural"},
    {"TRAN_postSynthSimModel", "VIEW_Structural", "VIEW_Post-SynthesisAbstractSimulation"},
    {"TRAN_translate", "VIEW_Structural", "VIEW_Translation"},
    {"TRAN_map", "VIEW_Translation", "VIEW_Map"},
    {"TRAN_par", "VIEW_Map", "VIEW_Par"},
    {"TRAN_postParSimModel", "VIEW_Par", "VIEW_Post-ParAbstractSimulation"},
    {"TRAN_behavSimSetup", "VIEW_Initial", "VIEW_AbstractSimulation"},
};

// Each view type: its BRANCH and SUBBRANCH, the transform of the one binding in its first set,
// and the major view that a search through first sets finds from it (a major view itself).
struct ViewRow {
  std::string type, branch, subBranch, firstSet, major;
};
const ViewRow kViews[] = {
    {"VIEW_Initial", "Implementation", "", "TRAN_preSynthSetup", "VIEW_AbstractSynthesis"},
    {"VIEW_PreSynthesis", "Implementation", "PreSynthesis", "TRAN_synthSetup", "VIEW_AbstractSynthesis"},
    {"VIEW_AbstractSynthesis", "Implementation", "Abstract", "TRAN_synthSetup", "VIEW_AbstractSynthesis"},
    {"VIEW_Structural", "Implementation", "", "TRAN_postSynthSimModel", "VIEW_Post-SynthesisAbstractSimulation"},
    {"VIEW_Post-SynthesisAbstractSimulation", "PostSynthesisSimulation", "", "TRAN_postSynthSimModel",
     "VIEW_Post-SynthesisAbstractSimulation"},
    {"VIEW_Translation", "Implementation", "Translate", "TRAN_map", "VIEW_Post-ParAbstractSimulation"},
    {"VIEW_Map", "Implementation", "Map", "TRAN_par", "VIEW_Post-ParAbstractSimulation"},
    {"VIEW_Par", "Implementation", "Par", "TRAN_postParSimModel", "VIEW_Post-ParAbstractSimulation"},
    {"VIEW_Post-ParAbstractSimulation", "PostRouteSimulation", "", "TRAN_postParSimModel",
     "VIEW_Post-ParAbstractSimulation"},
    {"VIEW_AbstractSimulation", "BehavioralSimulation", "Abstract", "TRAN_behavSimSetup", "VIEW_AbstractSimulation"},
};

class TransformEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base") && CitP::Factory::LoadLibraryFactory("libHvd_TOE"));
    std::ignore = engine.Assign(CitP::Factory::CreateInstance(TransformEngineClassId()));
    ASSERT_TRUE(engine);
    initial = NewInitialView();
    ASSERT_EQ(engine->AddView(AutoCast<IView>(initial.Get())), kSuccess);
  }
  void TearDown() override {
    engine = nullptr;
    initial = nullptr;
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
  AutoPtr<FakeView> NewInitialView() {
    AutoRelease<IView> view;
    EXPECT_EQ(AutoCast<IViewManager>(design.Get())->CreateView("VIEW_Initial", Type("VIEW_Initial"), view.Receive()),
              kSuccess);
    return AutoPtr<FakeView>(view.Get());
  }
  AutoRelease<ITransformInstance> Find(const char* name) {
    AutoRelease<ITransformInstance> instance;
    std::ignore = AutoCast<ITransformAccess>(engine.Get())->FindTransformInstance(name, instance.Receive());
    return instance;
  }
  // The steps from `view` on, as the library's walks follow the second sets; bounded, so that
  // a cycle fails the test instead of hanging it.
  void Walk(CitI::IInterface* view, std::vector<Step>& steps, Bindings& met, int depth = 0) {
    ASSERT_LT(depth, 16) << "the network has a cycle";
    for (auto& binding : BindingSet(view, false)) {
      for (const auto& target : Targets(binding.Get())) {
        steps.push_back({TransformName(InstanceOf(binding.Get()).Get()), ViewType(view), ViewType(target.Get())});
        met.push_back(binding);
        Walk(target.Get(), steps, met, depth + 1);
      }
    }
  }
  // The first major view through first sets, as the library's compile order searches for it.
  std::string MajorOf(CitI::IInterface* view, int depth = 0) {
    if (depth > 16) return "a cycle";
    for (auto& binding : BindingSet(view, true)) {
      for (const auto& target : Targets(binding.Get())) {
        const std::string type = ViewType(target.Get());
        const bool major = type.ends_with("AbstractSynthesis") || type.ends_with("AbstractSimulation");
        const std::string found = major ? type : MajorOf(target.Get(), depth + 1);
        if (!found.empty()) return found;
      }
    }
    return "";
  }

  // First, so that the libraries go only after everything of theirs is given back.
  struct ShutdownLast {
    ~ShutdownLast() { CitP::Factory::Shutdown(); }
  } shutdownLast;
  AutoRelease<FakeDesign> design{new FakeDesign()};
  AutoRelease<ITransformEngine> engine;
  AutoPtr<FakeView> initial;
};

TEST_F(TransformEngineTest, TheInitialViewGrowsTheFlowAsATreeWithEachBindingInItsViewsSets) {
  std::vector<Step> steps;
  Bindings met;
  Walk(initial.Get(), steps, met);
  ASSERT_EQ(steps, kFlow);
  Strings made{"VIEW_Initial"};
  for (const Step& step : kFlow) made.push_back(step.to);
  EXPECT_EQ(design->names, made);  // one view per type, named after it, each reached once

  std::map<std::string, FakeView*> byType;
  for (const auto& view : design->views) byType[ViewType(view.Get())] = view.Get();
  for (const ViewRow& row : kViews) {
    SCOPED_TRACE(row.type);
    CitI::IInterface* view = byType.at(row.type);
    AutoRelease<IViewType> type = Type(row.type.c_str());
    AutoCast<IViewTypeFlow> flow(type.Get());
    Text branch, subBranch;
    ASSERT_TRUE(flow && flow->GetBranch(&branch) == kSuccess && flow->GetSubBranch(&subBranch) == kSuccess);
    EXPECT_EQ(branch.str(), row.branch);
    EXPECT_EQ(subBranch.str(), row.subBranch);
    const Bindings first = BindingSet(view, true);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(TransformName(InstanceOf(first[0].Get()).Get()), row.firstSet);
    EXPECT_EQ(MajorOf(view), row.major);
  }
  // Each binding lists as its sides exactly the views whose sets hold it; the upstream view
  // holds it in its second set, and its instance is the one found by its transform's name.
  for (std::size_t i = 0; i < met.size(); ++i) {
    SCOPED_TRACE(kFlow[i].transform);
    ITransformBindingInstance* binding = met[i].Get();
    EXPECT_EQ(Side(binding, false), Strings{kFlow[i].from});
    for (const bool first : {true, false}) {
      Strings holders;
      for (const auto& view : design->views) {
        for (const auto& held : BindingSet(view.Get(), first)) {
          if (held.Get() == binding) holders.push_back(ViewType(view.Get()));
        }
      }
      Strings side = Side(binding, first);
      std::sort(side.begin(), side.end());
      std::sort(holders.begin(), holders.end());
      EXPECT_EQ(side, holders);
    }
    EXPECT_EQ(Find(kFlow[i].transform.c_str()).Get(), InstanceOf(binding).Get());
    AutoRelease<CitI::IInterface> definition;
    ASSERT_EQ(binding->GetDefinition(definition.Receive()), kSuccess);
    EXPECT_TRUE(AutoCast<IDefDataObsolete>(definition.Get()) && NameOf(definition.Get()) == kFlow[i].transform);
  }
  AutoRelease<ITransform> synth;
  AutoRelease<IDefDataIdIterator> inputs, outputs;
  ASSERT_EQ(Find("TRAN_synth")->GetTransform(synth.Receive()), kSuccess);
  ASSERT_TRUE(synth->GetInputTypes(inputs.Receive()) == kSuccess &&
              synth->GetOutputTypes(outputs.Receive()) == kSuccess);
  EXPECT_EQ(IdNames(inputs), (Strings{"FILE_VHDL", "FILE_VERILOG"}));
  EXPECT_EQ(IdNames(outputs), (Strings{"FILE_EDIF", "FILE_NGC"}));
}

TEST_F(TransformEngineTest, TransformsThatWouldCloseACycleAreLeftOutAndATypeReachedTwiceKeepsOneView) {
  std::map<std::string, AutoPtr<FakeDef>> defs;
  for (const char* name : {"A", "B", "C", "tAB", "tAC", "tBA", "tCB", "tCC"}) {
    defs[name] = AutoRelease<FakeDef>(new FakeDef(name));
  }
  const auto lead = [&](const char* transform, const char* from, const char* to) {
    defs[from]->transforms.push_back(defs[transform].Get());
    defs[transform]->target = defs[to].Get();
  };
  lead("tAB", "A", "B");
  lead("tBA", "B", "A");
  lead("tAC", "A", "C");
  lead("tCB", "C", "B");
  lead("tCC", "C", "C");
  AutoRelease<FakeDesign> other(new FakeDesign());
  AutoRelease<ITransformEngine> otherEngine(CitP::Factory::CreateInstance(TransformEngineClassId()));
  AutoRelease<IView> root;
  ASSERT_EQ(AutoCast<IViewManager>(other.Get())->CreateView("A", AutoCast<IViewType>(defs["A"].Get()), root.Receive()),
            kSuccess);
  ASSERT_EQ(otherEngine->AddView(root), kSuccess);
  EXPECT_EQ(other->names, (Strings{"A", "B", "C"}));
  std::vector<Step> steps;
  Bindings met;
  Walk(root, steps, met);
  EXPECT_EQ(steps, (std::vector<Step>{{"tAB", "A", "B"}, {"tAC", "A", "C"}, {"tCB", "C", "B"}}));
  AutoRelease<ITransformInstance> none;
  for (const char* skipped : {"tBA", "tCC"}) {
    EXPECT_EQ(AutoCast<ITransformAccess>(otherEngine.Get())->FindTransformInstance(skipped, none.ReleaseAndReceive()),
              kFailure);
  }
  otherEngine = nullptr;
  other->Teardown();
}

TEST_F(TransformEngineTest, AddViewKeepsOneNetworkAndPassesOnWhatTheDesignRefuses) {
  ITransformAccess* access = AutoCast<ITransformAccess>(engine.Get());
  EXPECT_EQ(engine->AddView(nullptr), kInvalidParameter);
  EXPECT_EQ(engine->AddView(AutoCast<IView>(initial.Get())), kSuccess);
  const std::size_t views = design->views.size();
  EXPECT_EQ(engine->AddView(AutoCast<IView>(NewInitialView().Get())), kFailure);
  EXPECT_EQ(design->views.size(), views + 1);  // only the test's own view
  AutoRelease<ITransformInstance> none;
  EXPECT_EQ(access->FindTransformInstance("TRAN_noSuchStep", none.Receive()), kFailure);
  EXPECT_EQ(none.Get(), nullptr);
  EXPECT_EQ(access->FindTransformInstance("TRAN_synth", nullptr), kInvalidParameter);

  ASSERT_EQ(access->ClearNetwork(true), kSuccess);
  design->readOnly = true;
  EXPECT_EQ(engine->AddView(AutoCast<IView>(initial.Get())), kProjectReadOnly);
}

TEST_F(TransformEngineTest, ClearingTheNetworkUnhooksItAndKeepsRunsOnlyWithoutReset) {
  ITransformAccess* access = AutoCast<ITransformAccess>(engine.Get());
  AutoPtr<ITransformInstance> synth(Find("TRAN_synth").Get());
  AutoRelease<Prjrep::ITimestamp> end;
  AutoRelease<Prjrep::ISet> outputs;
  ASSERT_EQ(AutoCast<ITransformInstance2>(synth.Get())->GetEndTime(end.Receive()), kSuccess);
  ASSERT_EQ(end->SetTime(500, 0), kSuccess);
  ASSERT_EQ(synth->GetOutputFiles(outputs.Receive()), kSuccess);
  ASSERT_EQ(outputs->Add(design.Get()), kSuccess);
  AutoPtr<ITransformBindingInstance> binding(BindingSet(initial.Get(), false).front().Get());

  ASSERT_EQ(access->ClearNetwork(false), kSuccess);
  for (const auto& view : design->views)
    EXPECT_TRUE(BindingSet(view.Get(), true).empty() && BindingSet(view.Get(), false).empty());
  EXPECT_TRUE(Targets(binding.Get()).empty() && Side(binding.Get(), true).empty() &&
              Side(binding.Get(), false).empty());
  EXPECT_EQ(InstanceOf(binding.Get()).Get(), nullptr);
  // A rebuild on new views takes up the runs kept.
  design->Teardown();
  EXPECT_EQ(FakeView::s_alive, 1);  // the test's old initial view; the engine let go of the rest
  initial = NewInitialView();
  ASSERT_EQ(engine->AddView(AutoCast<IView>(initial.Get())), kSuccess);
  EXPECT_EQ(Find("TRAN_synth").Get(), synth.Get());
  EXPECT_EQ(outputs->Size(), 1u);

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
  EXPECT_EQ(Values(synth.Get()), std::vector<std::uint32_t>{0});  // never run
  run(synth.Get(), 100, 200);
  run(setup.Get(), 300, 400);  // the step before ran after synthesis started
  AutoRelease<FakeUnit> unit(new FakeUnit());
  ASSERT_TRUE(batch->BeginBatch() == kSuccess && batch->BeginBatch() == kSuccess);
  ASSERT_EQ(engine->AddDesignUnit(unit.Get()), kSuccess);
  ASSERT_EQ(calculator->CalculateStatus(), kSuccess);
  ASSERT_EQ(batch->EndBatch(), kSuccess);
  EXPECT_EQ(Values(synth.Get()), std::vector<std::uint32_t>{0});  // held while a batch is open
  ASSERT_EQ(batch->EndBatch(), kSuccess);
  EXPECT_EQ(Values(synth.Get()), (std::vector<std::uint32_t>{20, 15}));  // input added, out of date
  EXPECT_EQ(Values(setup.Get()), std::vector<std::uint32_t>{20});
  EXPECT_EQ(Values(Find("TRAN_preSynthSetup").Get()), std::vector<std::uint32_t>{0});
  EXPECT_EQ(engine->AddDesignUnit(nullptr), kInvalidParameter);

  // Calculated values are recalculated; recorded ones stay; calculation switched off waits.
  ASSERT_EQ(calculator->ClearCalculatedStatus(), kSuccess);
  ASSERT_EQ(calculator->SetCalculationEnabled(false), kSuccess);
  ASSERT_EQ(calculator->CalculateStatus(), kSuccess);
  EXPECT_EQ(Values(synth.Get()), std::vector<std::uint32_t>{20});
  ASSERT_TRUE(calculator->SetCalculationEnabled(true) == kSuccess && calculator->CalculateStatus() == kSuccess);
  EXPECT_EQ(Values(synth.Get()), (std::vector<std::uint32_t>{20, 15}));

  IStatus* status = AutoCast<IStatus>(setup.Get());
  bool has = false, flag = false;
  for (const std::uint32_t outside : {27u, 0xFFFFFFFFu}) {
    EXPECT_EQ(status->AddStatusValue(outside), kInvalidParameter);
    EXPECT_EQ(status->SetStatusValue(outside), kInvalidParameter);
  }
  ASSERT_TRUE(status->AddStatusValue(5) == kSuccess && status->AddStatusValue(8) == kSuccess &&
              status->AddStatusValue(5) == kSuccess);
  EXPECT_EQ(Values(setup.Get()), (std::vector<std::uint32_t>{20, 5, 8}));
  EXPECT_TRUE(status->HasStatusValue(8, &has) == kSuccess && has);
  EXPECT_TRUE(status->GetStatusFlag(&flag) == kSuccess && flag);  // an added input calls for a run
  ASSERT_EQ(status->SetStatusValue(5), kSuccess);
  EXPECT_TRUE(status->GetStatusFlag(&flag) == kSuccess && !flag && status->HasStatusValue(20, &has) == kSuccess &&
              !has);
  EXPECT_EQ(status->GetStatusValues(nullptr), kInvalidParameter);
  // An end without a begin counts as no batch: the work runs at once.
  ASSERT_EQ(batch->EndBatch(), kSuccess);
  ASSERT_EQ(engine->AddDesignUnit(unit.Get()), kSuccess);
  EXPECT_EQ(Values(setup.Get()), (std::vector<std::uint32_t>{5, 20}));
  for (const Step& step : kFlow) {
    for (const std::uint32_t value : Values(Find(step.transform.c_str()).Get())) EXPECT_LE(value, 26u);
  }
}

TEST_F(TransformEngineTest, TimesChecksumsFilesAndStoredBindingsComeBackAsSet) {
  AutoCast<ITransformInstance2> instance(Find("TRAN_map").Get());
  std::int64_t checksum = -1, seconds = 0, microseconds = 0;
  EXPECT_TRUE(instance->GetPropertyChecksum(&checksum) == kSuccess && checksum == 0);
  EXPECT_TRUE(instance->GetInputChecksum(&checksum) == kSuccess && checksum == 0);
  ASSERT_TRUE(instance->SetPropertyChecksum(-7) == kSuccess && instance->SetInputChecksum(1LL << 40) == kSuccess);
  EXPECT_TRUE(instance->GetPropertyChecksum(&checksum) == kSuccess && checksum == -7);
  EXPECT_TRUE(instance->GetInputChecksum(&checksum) == kSuccess && checksum == 1LL << 40);
  EXPECT_EQ(instance->GetInputChecksum(nullptr), kInvalidParameter);
  AutoRelease<Prjrep::ITimestamp> start, end, again;
  ASSERT_TRUE(instance->GetStartTime(start.Receive()) == kSuccess && instance->GetEndTime(end.Receive()) == kSuccess);
  ASSERT_TRUE(start->SetTime(1700000000, 250) == kSuccess && end->SetTime(1700000100, 0) == kSuccess);
  ASSERT_EQ(instance->GetStartTime(again.Receive()), kSuccess);
  EXPECT_TRUE(again->GetTime(&seconds, &microseconds) == kSuccess && seconds == 1700000000 && microseconds == 250);
  EXPECT_TRUE(end->GetTime(&seconds, &microseconds) == kSuccess && seconds == 1700000100 && microseconds == 0);
  AutoRelease<Prjrep::ISet> inputs, outputs;
  ASSERT_TRUE(instance->GetInputFiles(inputs.Receive()) == kSuccess &&
              instance->GetOutputFiles(outputs.Receive()) == kSuccess);
  ASSERT_EQ(inputs->Add(design.Get()), kSuccess);
  EXPECT_TRUE(inputs->Size() == 1 && outputs->Size() == 0);

  // A stored binding comes back by class id and knows its transform's definition again.
  ITransformBindingInstance* binding = BindingSet(initial.Get(), false).front().Get();
  AutoRelease<CitI::IInterface> definition, storage(Prjrep::CreateStorage()), read, readDefinition;
  ASSERT_EQ(binding->GetDefinition(definition.Receive()), kSuccess);
  ASSERT_EQ(AutoCast<Prjrep::IStorage>(storage.Get())->WriteObjectRef(AutoCast<Prjrep::IPersist>(binding)), kSuccess);
  ASSERT_EQ(AutoCast<Prjrep::IStorageControl>(storage.Get())->Rewind(), kSuccess);
  Prjrep::IPersist* stored = nullptr;
  ASSERT_EQ(AutoCast<Prjrep::IStorage>(storage.Get())->ReadObjectRef(&stored), kSuccess);
  std::ignore = read.Assign(stored);
  AutoCast<ITransformBindingInstance> copy(read.Get());
  ASSERT_TRUE(copy && copy.Get() != binding);
  ASSERT_EQ(copy->GetDefinition(readDefinition.Receive()), kSuccess);
  EXPECT_EQ(readDefinition.Get(), definition.Get());
  EXPECT_EQ(AutoCast<ICompAdmin>(copy.Get())->InitializeAfterLoad(nullptr), kInvalidParameter);
}

}  // namespace
