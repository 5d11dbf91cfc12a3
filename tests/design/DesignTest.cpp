// The design with the real transform engine and base services: set-up, the views of the flow,
// the view manager, rebuilds on device changes, forwarded events and teardowns.

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/EventIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDesign.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/ITransformEngine.h"
#include "Hvd/IViewManager.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "core/Names.h"
#include "design/DesignDoubles.h"
#include "framework/TransformBindingSets.h"
#include "support/FakeProject.h"
#include "support/ViewDouble.h"

namespace design_tests {
namespace {

using namespace Hvd;

const Strings kFlow = [] {
  Strings flow;
  for (const char* name :
       {"Initial", "PreSimulation", "AbstractSimulation", "PreSynthesis", "AbstractSynthesis", "Structural",
        "Post-SynthesisAbstractSimulation", "Translation", "Map", "Par", "Post-ParAbstractSimulation"})
    flow.push_back(std::string("VIEW_") + name);
  return flow;
}();

// A view as the design and the engine need one: a type, a design, a name and two binding sets;
// it counts its teardowns, and refuses its set-up when told.
class ViewDouble final : public testing_support::TViewDouble<ViewDouble> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::View(); }
  auto QueryTable() {
    return Table(Row<IView>(this), Row<ICompAdmin>(&m_XICompAdmin), Row<Prjrep::IName>(&m_name),
                 Row<ITransformBindingSets>(&m_sets), Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this));
  }
  Status GetType(IViewType** type) override { return Prjrep::AutoOut<IViewType>(type).Assign(m_type.Get()); }
  Status GetDesign(IDesign** design) override { return Prjrep::AutoOut<IDesign>(design).Assign(m_design.Get()); }
  Status GetElaborationData(IHdlElaborationData**) override { return kNo; }

  static inline int s_teardowns = 0;
  static inline bool s_refuseSetUp = false;
  static inline int s_loads = 0, s_registrations = 0;

 private:
  struct XICompAdmin : TNested<ViewDouble, ICompAdmin> {
    using TNested::TNested;
    Status InitializeAfterCreate(CitI::IInterface* design, CitI::IInterface* type) override {
      This().m_design = AutoCast<IDesign>(design);
      std::ignore = This().m_type.Assign(type);
      return s_refuseSetUp ? kInvalidParameter : kSuccess;
    }
    Status InitializeAfterLoad(CitI::IInterface*) override { return ++s_loads, kSuccess; }
    Status RegisterForNotifications() override { return ++s_registrations, kSuccess; }
    Status Teardown() override {
      ++s_teardowns;
      This().m_design = nullptr;
      std::ignore = This().m_sets.FirstSet()->Clear();
      return This().m_sets.SecondSet()->Clear();
    }
  } m_XICompAdmin{this};
  Prjrep::TRefCountHelper<ViewDouble> m_refCount{this};
  Prjrep::CNameHelper m_name{this};
  AutoPtr<IViewType> m_type;
  AutoCast<IDesign> m_design;
  TITransformBindingSetsHelper<ViewDouble> m_sets{this};  // last: it asks the view for its root
};

// A view type that is not in the data: a name and nothing else.
struct TypeDouble final : TComponent<TypeDouble, IDefDataId> {
  explicit TypeDouble(const char* name) : m_name(name) {}
  auto QueryTable() {
    return Table(Row<IViewType>(&m_XIViewType), Row<IDefDataId>(this), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }
  Status GetDefDataIdName(Text* name) override { return *name = m_name, kSuccess; }
  testing_support::TViewTypeDouble<TypeDouble> m_XIViewType{this};
  Prjrep::TRefCountHelper<TypeDouble> m_refCount{this};
  Text m_name;
};

// A project with a name and a read-only flag that counts its saves and compositions.
struct ProjectDouble : testing_support::FakeProject {
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    const auto own = Table(Row<IForceSave>(&m_XIForceSave), Row<ICompositionControl>(&m_XICompositionControl),
                           Row<Prjrep::IName>(&name));
    if (CitI::IInterface* answer = own.Answer(iid)) return answer;
    return FakeProject::QueryInterface(iid);
  }
  Status GetReadOnly(bool* flag) override { return *flag = readOnly, kSuccess; }
  struct XIForceSave : TNested<ProjectDouble, IForceSave> {
    using TNested::TNested;
    Status ForceSave() override { return ++This().saves, kSuccess; }
    Status SetSaveDelay(std::int64_t) override { return kNo; }
  } m_XIForceSave{this};
  struct XICompositionControl : TNested<ProjectDouble, ICompositionControl> {
    using TNested::TNested;
    Status Compose(CitI::IInterface*) override { return ++This().composes, kSuccess; }
    Status Decompose(CitI::IInterface*) override { return kNo; }
  } m_XICompositionControl{this};
  Prjrep::CNameHelper name{this};
  bool readOnly = false;
  int saves = 0, composes = 0;
};

class DesignTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base") && CitP::Factory::LoadLibraryFactory("libHvd_TOE"));
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    RegisterFactoriesOf<ViewDouble>();  // in place of the library's view
    ViewDouble::s_teardowns = 0;
    std::ignore = project->name.SetName("/work/demo.hlc");
  }
  void TearDown() override {
    if (design) {
      EXPECT_EQ(Admin()->Teardown(), kSuccess) << "a design may be torn down again";
    }
  }

  void MakeDesign() {
    std::ignore = design.Assign(CitP::Factory::CreateInstance(ClassId::Design()));
    ASSERT_EQ(Admin()->InitializeAfterCreate(project.Get(), nullptr), kSuccess);
    listener.Listen(design);
  }
  ICompAdmin* Admin() { return AutoCast<ICompAdmin>(design.Get()); }
  IDesignInternal* Internal() { return AutoCast<IDesignInternal>(design.Get()); }
  IViewManager* Manager() { return AutoCast<IViewManager>(design.Get()); }
  AutoRelease<IViewIterator> Views() {
    AutoRelease<IViewIterator> views;
    std::ignore = Manager()->GetViews(views.Receive());
    return views;
  }
  Strings ViewTypes() { return Each(Views().Get(), TypeName); }
  AutoRelease<IDesignPlatform> Platform() {
    AutoRelease<IDesignPlatform> platform;
    std::ignore = design->GetDesignPlatform(platform.Receive());
    return platform;
  }
  std::string Hint(const char* hint, Status expected = kSuccess) {
    AutoRelease<IViewIterator> at;
    EXPECT_EQ(Manager()->FindViewByHint(hint, at.Receive()), expected) << hint;
    return at && !at->IsDone() ? TypeName(at->Current()) : "";
  }
  // The named device properties announce a change, each `times` times, and the platform
  // notifies.
  void Change(const Strings& names, int times = 1) {
    AutoRelease<IDesignPlatform> platform = Platform();
    AutoRelease<IPropertyInstanceIterator> properties;
    ASSERT_EQ(platform->GetProperties(properties.Receive()), kSuccess);
    const Port::XUID ids[] = {EventId::PropertyChangeA(), EventId::PropertyChangeB(), EventId::PropertyChangeC()};
    AutoCast<Prjrep::IEventReceiver> receiver(platform.Get());
    for (IPropertyInstance* instance : Each(properties.Get(), [](IPropertyInstance* p) { return p; })) {
      if (std::find(names.begin(), names.end(), TypeName(instance)) == names.end()) continue;
      for (int i = 0; i < times; ++i) std::ignore = receiver->ReceiveEvent(CreateEvent(instance, ids[i % 3], instance));
    }
    ASSERT_EQ(platform->NotifyChanges(), kSuccess);
  }

  // First, so that the libraries' factories go only after everything of theirs is given back.
  struct ShutdownLast {
    ~ShutdownLast() { CitP::Factory::Shutdown(); }
  } shutdownLast;
  AutoRelease<ProjectDouble> project{new ProjectDouble()};
  AutoRelease<IDesign> design;
  Listener listener;
};

TEST_F(DesignTest, ItSetsUpOnItsProjectAndThePlatformsFirstNoticeBuildsEveryViewOfTheFlowOnce) {
  MakeDesign();
  AutoRelease<IPropertyInstanceIterator> own;
  Text value;
  ASSERT_EQ(AutoCast<IPropertyInstanceSet>(design.Get())->GetIterator(own.Receive()), kSuccess);
  std::ignore = own->Current()->GetValue(&value);
  EXPECT_TRUE(TypeName(own->Current()) == "PROP_DesignName" && value == "demo");  // after the project

  // A new platform's first notice makes every view type of the flow once, named after its type,
  // and says so once; a notice without news changes nothing.
  ASSERT_TRUE(Platform()->NotifyChanges() == kSuccess && Platform()->NotifyChanges() == kSuccess);
  EXPECT_TRUE(ViewTypes() == kFlow && Each(Views().Get(), NameOf) == kFlow);
  EXPECT_EQ(listener.Count(EventId::ViewsChanged()), 1);
  // Views by role: a hint's own types first, then a type that holds the hint.
  EXPECT_EQ((Strings{Hint("SynthesisOnly"), Hint("PostRouteSim"), Hint("Simulation"), Hint("AbstractSim"),
                     Hint("PostMapSim", kFailure)}),
            (Strings{"VIEW_AbstractSynthesis", "VIEW_Post-ParAbstractSimulation", "VIEW_PreSimulation",
                     "VIEW_AbstractSimulation", ""}));

  // The full teardown ends every view and lets go of the project.
  AutoRelease<IProject> owner;
  EXPECT_TRUE(Admin()->Teardown() == kSuccess && ViewDouble::s_teardowns == static_cast<int>(kFlow.size()));
  EXPECT_TRUE(ViewTypes().empty() && design->GetProject(owner.Receive()) == kOwnerMissing);
}

TEST_F(DesignTest, TheViewManagerChecksItsCallersAndListsOnlyViewsThatWereSetUp) {
  AutoRelease<IView> made;
  AutoRelease<TypeDouble> map(new TypeDouble("VIEW_Map")), odd(new TypeDouble("VIEW_PreBehavioralSimulation")),
      behavioural(new TypeDouble("VIEW_AbstractSimulation"));
  const auto create = [&](TypeDouble* type, const char* name = "v") {
    return Manager()->CreateView(name, AutoCast<IViewType>(type), made.ReleaseAndReceive());
  };
  std::ignore = design.Assign(CitP::Factory::CreateInstance(ClassId::Design()));
  EXPECT_EQ(create(map), kOwnerMissing);
  MakeDesign();

  // An empty name is refused before the read-only test; a view whose set-up fails is torn
  // down, and neither listed nor handed out.
  project->readOnly = true;
  EXPECT_EQ((std::vector{create(map, ""), create(map)}), (std::vector{kInvalidParameter, kProjectReadOnly}));
  project->readOnly = false;
  ViewDouble::s_refuseSetUp = true;
  EXPECT_EQ(create(map), kInvalidParameter);
  ViewDouble::s_refuseSetUp = false;
  EXPECT_TRUE(!made && ViewTypes().empty() && ViewDouble::s_teardowns == 1);

  // A hint's own type later in the list wins over an earlier type that holds the hint.
  for (TypeDouble* type : {odd.Get(), map.Get(), behavioural.Get()}) ASSERT_EQ(create(type), kSuccess);
  EXPECT_EQ(Hint("BehavioralSim"), "VIEW_AbstractSimulation");
  EXPECT_EQ(Hint("BehavioralSimulation"), "VIEW_PreBehavioralSimulation");

  // A view of another list is left alone; the list's own iterator moves on past a removal.
  AutoRelease<ViewDouble> stranger(new ViewDouble());
  EXPECT_EQ(Manager()->RemoveView(stranger.Get()), kFailure);
  AutoRelease<IViewIterator> at = Views();
  ASSERT_EQ(Manager()->RemoveViewAt(at), kSuccess);
  EXPECT_EQ(TypeName(at->Current()), "VIEW_Map");
  ASSERT_EQ(Manager()->RemoveView(made), kSuccess);
  EXPECT_TRUE(ViewTypes() == Strings{"VIEW_Map"} && ViewDouble::s_teardowns == 3);
  EXPECT_TRUE(Manager()->RemoveViewAt(nullptr) == kSuccess && Manager()->FindView(made, nullptr) == kFailure);
}

TEST_F(DesignTest, DeviceChangesRebuildKeepOrSaveTheViewsAsTheirNamesSay) {
  MakeDesign();
  ASSERT_EQ(Platform()->NotifyChanges(), kSuccess);
  const auto views = Each(Views().Get(), RootOf);
  Change({"PROP_DevDevice", "PROP_DevSpeed"});  // the device alone keeps the views
  EXPECT_TRUE(Each(Views().Get(), RootOf) == views && ViewDouble::s_teardowns == 0 && project->composes == 0);
  // The simulator alone, however often told, saves first; each of these rebuilds the flow.
  for (const auto& [names, times] : std::vector<std::pair<Strings, int>>{{{"PROP_Simulator"}, 3},
                                                                         {{"PROP_Simulator", "PROP_DevDevice"}, 1},
                                                                         {{"PROP_DevFamily"}, 1},
                                                                         {{"PROP_Synthesis_Tool"}, 1}}) {
    const int before = ViewDouble::s_teardowns;
    Change(names, times);
    EXPECT_EQ(ViewDouble::s_teardowns - before, static_cast<int>(kFlow.size())) << names.back();
    EXPECT_TRUE(ViewTypes() == kFlow && project->saves == 1) << names.back();
  }
  EXPECT_TRUE(project->composes == 4 && listener.Count(EventId::ViewsChanged()) == 5);
  ASSERT_EQ(Internal()->DisableViewsChangedEvent(), kSuccess);  // rebuilt without a word
  Change({"PROP_DevFamily"});
  EXPECT_TRUE(project->composes == 5 && listener.Count(EventId::ViewsChanged()) == 5);
}

TEST_F(DesignTest, APartialTeardownKeepsProjectAndPlatformSoThatAReloadHearsDeviceChangesAgain) {
  MakeDesign();
  ASSERT_EQ(Platform()->NotifyChanges(), kSuccess);
  AutoPtr<IDesignPlatform> platform(Platform().Get());
  ASSERT_EQ(Internal()->PartialTeardown(), kSuccess);
  AutoRelease<IProject> owner;
  AutoRelease<ITransformEngine> engine;
  AutoRelease<IPropertyInstanceIterator> properties;
  EXPECT_TRUE(design->GetProject(owner.Receive()) == kSuccess && Platform().Get() == platform.Get());
  EXPECT_TRUE(platform->GetProperties(properties.Receive()) == kSuccess && properties->IsDone());
  EXPECT_TRUE(ViewTypes().empty() && design->GetTOE(engine.Receive()) == kOwnerMissing);
  EXPECT_EQ(Internal()->PartialTeardown(), kSuccess);

  // Set up again, the design has the same platform filled anew, and without views any change
  // of it makes the views again, the library's own as well.
  ASSERT_EQ(Admin()->InitializeAfterCreate(project.Get(), nullptr), kSuccess);
  ASSERT_EQ(Platform().Get(), platform.Get());
  ASSERT_EQ(platform->GetProperties(properties.ReleaseAndReceive()), kSuccess);
  EXPECT_EQ(Each(properties.Get(), TypeName).size(), 9u);
  InstFactoryEntry();
  Change({"PROP_DevPackage"});
  EXPECT_EQ(ViewTypes(), kFlow);

  // What the project tells of files is passed on; a new design unit must be one.
  AutoCast<Prjrep::IEventReceiver> receiver(design.Get());
  const auto tell = [&](const Port::XUID& id) { return receiver->ReceiveEvent(CreateEvent(project, id, project)); };
  EXPECT_EQ(
      (std::vector{tell(EventId::FileModified()), tell(EventId::DesignUnitCreated()), tell(EventId::FileAdded())}),
      (std::vector{kSuccess, kInvalidParameter, kSuccess}));
  ASSERT_EQ(listener.heard.size(), 3u);  // views changed twice, and the file
  EXPECT_TRUE(listener.heard[2].id == EventId::FileModified() && listener.heard[2].argument == RootOf(project));
}

// A design is bound to one project: a load is refused while it holds one, for anything that is
// no project, and before the set-up made its engine. A refused set-up lets go of the project
// and keeps the engine, and the load binds the design again and hands it to every view.
TEST_F(DesignTest, ALoadBindsTheDesignToOneProjectAndSetsUpItsViews) {
  std::ignore = design.Assign(CitP::Factory::CreateInstance(ClassId::Design()));
  AutoRelease<IProject> owner;
  EXPECT_EQ(Admin()->InitializeAfterLoad(project.Get()), kOwnerMissing) << "no engine yet";
  EXPECT_EQ(Admin()->InitializeAfterLoad(design.Get()), kInvalidParameter);
  EXPECT_EQ(design->GetProject(owner.Receive()), kOwnerMissing);
  MakeDesign();
  AutoRelease<TypeDouble> map(new TypeDouble("VIEW_Map"));
  AutoRelease<IView> made;
  for (const char* name : {"a", "b"})
    ASSERT_EQ(Manager()->CreateView(name, AutoCast<IViewType>(map.Get()), made.ReleaseAndReceive()), kSuccess);
  EXPECT_EQ(Admin()->InitializeAfterLoad(project.Get()), kOwnerMissing) << "already bound";

  ViewDouble::s_loads = ViewDouble::s_registrations = 0;
  EXPECT_EQ(Admin()->InitializeAfterCreate(design.Get(), nullptr), kInvalidParameter);
  EXPECT_EQ(design->GetProject(owner.ReleaseAndReceive()), kOwnerMissing);
  EXPECT_EQ(Admin()->InitializeAfterLoad(project.Get()), kSuccess);
  EXPECT_TRUE(design->GetProject(owner.ReleaseAndReceive()) == kSuccess &&
              RootOf(owner.Get()) == RootOf(project.Get()));
  EXPECT_EQ(Admin()->RegisterForNotifications(), kSuccess);
  EXPECT_TRUE(ViewDouble::s_loads == 2 && ViewDouble::s_registrations == 2);
  // The platform stays the one the design made, and a design has no parser set-up of its own.
  EXPECT_EQ(design->SetDesignPlatform(nullptr), Hvd::kNotSupported);
  Hvd::IHdlParserConfig* config = nullptr;
  EXPECT_TRUE(design->GetDefaultParserConfig(&config) == Hvd::kNotSupported && config == nullptr);
}

}  // namespace
}  // namespace design_tests
