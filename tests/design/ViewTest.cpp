// The view, made by class id in a world of doubles (view types, templates, store, manager,
// design, project) with real source files: its files and their events, batches and refreshes,
// its settings, what it hands the parser, its stored form and its teardown.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/EventIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IHdlNetlist.h"
#include "Hvd/IKeyedPropertySet.h"
#include "Hvd/IState.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "design/ViewDoubles.h"
#include "design/view/CView.h"

namespace view_test {
namespace {

using Hvd::IView;
using Units = std::vector<CitI::IInterface*>;
namespace Event = Hvd::EventId;

// Every event a sender sends, as its id and its argument's identity.
struct Listener {
  explicit Listener(CitI::IInterface* sender) { Hvd::ConnectEventReceiver(sender, &receiver); }
  static Status Hear(Listener* self, Prjrep::IEvent* event) {
    Port::XUID id;
    AutoRelease<CitI::IInterface> argument;
    std::ignore = event->GetEventId(id);
    std::ignore = event->GetArgument(argument.Receive());
    self->events.emplace_back(id, Root(argument.Get()));
    return kSuccess;
  }
  Units Arguments(const Port::XUID& id) const {
    Units found;
    for (const auto& [heard, argument] : events) {
      if (heard == id) found.push_back(argument);
    }
    return found;
  }
  int Count(const Port::XUID& id) const { return static_cast<int>(Arguments(id).size()); }
  std::vector<std::pair<Port::XUID, CitI::IInterface*>> events;
  Prjrep::TBaseEventReceiverHelper<Listener> receiver{this, &Hear};
};

template <class Iterator>
Units Drain(Iterator* it) {
  Units found;
  for (; it != nullptr && !it->IsDone(); std::ignore = it->Next()) found.push_back(Root(it->Current()));
  return found;
}
Units ViewsOf(CitI::IInterface* file) {
  AutoRelease<Hvd::IViewIterator> it;
  std::ignore = AutoCast<Hvd::IDesignUnit>(file)->GetViews(it.Receive());
  return Drain(it.Get());
}
Hvd::IHdlDesignUnitSet* UnitSet(CitI::IInterface* view) { return AutoCast<Hvd::IHdlDesignUnitSet>(view); }
Units UnitsOf(CitI::IInterface* view) {
  AutoRelease<Hvd::IHdlDesignUnitIterator> it;
  std::ignore = UnitSet(view)->GetIterator(it.Receive());
  return Drain(it.Get());
}

AutoRelease<Hvd::IPropertyInstance> Setting(CitI::IInterface* view, const char* key) {
  return AutoRelease<Hvd::IPropertyInstance>(AutoCast<Hvd::IKeyedPropertySet>(view)->Lookup(key));
}
std::string ValueOf(CitI::IInterface* view, const char* key) {
  Text value;
  if (AutoRelease<Hvd::IPropertyInstance> instance = Setting(view, key); instance)
    std::ignore = instance->GetValue(&value);
  return value.str();
}
void Set(CitI::IInterface* view, const char* key, const char* value) {
  AutoRelease<Hvd::IPropertyInstance> instance = Setting(view, key);
  ASSERT_TRUE(instance) << key;
  std::ignore = instance->SetValue(value);
}
std::uint32_t TopManual(IView* view) {
  std::uint32_t manual = 99;
  EXPECT_EQ(view->IsTopManual(&manual), kSuccess);
  return manual;
}
AutoRelease<IView> MadeView() { return AutoRelease<IView>(CitP::Factory::CreateInstance(Hvd::ClassId::View())); }
Status TearDownView(CitI::IInterface* view) { return AutoCast<Hvd::ICompAdmin>(view)->Teardown(); }

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base"));
    AutoRelease<Hvd::IBaseServices> services(CitP::Factory::CreateInstance(Hvd::BaseServicesClassId()));
    AutoRelease<CitI::IInterface> store;
    ASSERT_TRUE(services && services->GetService(Hvd::DataStoreServiceId(), store.Receive()) == kSuccess);
    m_world.base = AutoCast<Hvd::IDataStore>(store.Get()).Get();
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    Hvd::RegisterFactoriesOf<Services, Instance, Design>();
    WorldSlot() = &m_world;
    m_world.project = m_project.Get();

    m_synthesis = m_world.AddViewType("VIEW_AbstractSynthesis");
    m_synthesis->unitTypes = {BaseDefinition("DESUT_VHDL_ARCHITECTURE")};
    for (const char* key : {"TOPDESIGNUNIT", "QLBVERILOGMACROS"}) AddSetting(m_synthesis, key, false, "");
    AddSetting(m_synthesis, "AUTOTOP", true, "true");
    AddSetting(m_synthesis, "DISABLEAUTOHIERREGEN", true, "false");
    m_synthesis->parserOnly = {m_world.AddTemplate("PARSER_Extra", false, "")};
  }

  void TearDown() override {
    for (auto& view : m_views) std::ignore = TearDownView(view.Get());
    for (auto& file : m_files) std::ignore = AutoCast<Hvd::ICompAdmin>(file.Get())->Teardown();
    m_views.clear();
    m_files.clear();
    m_design = nullptr;
    m_world.base = nullptr;
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    WorldSlot() = nullptr;
  }

  CitI::IInterface* BaseDefinition(const char* name) {
    AutoRelease<CitI::IInterface> found;
    std::ignore = m_world.base->FindDefData(name, found.Receive());
    return found.Get();  // the base services' definitions live as long as the process
  }
  // The template of setting `key`, named apart from the key, as the data store knows it.
  void AddSetting(ViewType* type, const std::string& key, bool isBool, const std::string& value) {
    type->settings[key] = m_world.AddTemplate("T_" + key, isBool, value);
  }
  // A view set up on the design, kept until the test ends.
  IView* NewView(Hvd::IViewType* type, const char* name = "view") {
    AutoRelease<IView> view = MadeView();
    EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(view.Get())->InitializeAfterCreate(m_design.Get(), type), kSuccess);
    std::ignore = AutoCast<Prjrep::IName>(view.Get())->SetName(name);
    return m_views.emplace_back(std::move(view)).Get();
  }
  Hvd::IHdlDesignUnit* NewFile(const char* type = "FILE_VHDL") {
    AutoRelease<Hvd::IHdlDesignUnit> file(CitP::Factory::CreateInstance(Hvd::ClassId::File()));
    EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(file.Get())->InitializeAfterCreate(m_design.Get(), BaseDefinition(type)),
              kSuccess);
    return m_files.emplace_back(std::move(file)).Get();
  }

  World m_world;
  AutoRelease<Project> m_project{new Project()};
  AutoPtr<Hvd::IDesign> m_design{AutoRelease<Hvd::IDesign>(new Design())};
  ViewType* m_synthesis = nullptr;
  std::vector<AutoPtr<IView>> m_views;
  std::vector<AutoPtr<Hvd::IHdlDesignUnit>> m_files;
};

TEST_F(ViewTest, FilesEnterOnceByTypeOrAsManagedFilesAndLeaveWithTheirEventsOnlyAtTheViewsOwnPositions) {
  IView* view = NewView(m_synthesis);
  IView* other = NewView(m_synthesis, "other");
  Listener heard(view);
  Hvd::IHdlDesignUnit* vhdl = NewFile();
  Hvd::IHdlDesignUnit* ucf = NewFile("FILE_UCF");

  EXPECT_TRUE(UnitSet(view)->Add(vhdl) == kSuccess && UnitSet(view)->Add(vhdl) == kSuccess);
  EXPECT_EQ(heard.Arguments(Event::FileAddedToView()), Units{Root(vhdl)});
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 1);
  // A type the view does not list is refused quietly, unless the view manages the file.
  EXPECT_EQ(UnitSet(view)->Add(ucf), kFailure);
  ASSERT_EQ(AutoCast<Hvd::IFile>(ucf)->SetOriginState(3), kSuccess);
  EXPECT_EQ(UnitSet(view)->Add(ucf), kSuccess);
  EXPECT_EQ(UnitsOf(view), (Units{Root(vhdl), Root(ucf)}));
  EXPECT_EQ(ViewsOf(vhdl), Units{Root(view)});

  // Another view's position is refused; its own removes, with the event and a refresh.
  ASSERT_EQ(UnitSet(other)->Add(vhdl), kSuccess);
  AutoRelease<Hvd::IHdlDesignUnitIterator> foreign, own;
  ASSERT_TRUE(UnitSet(other)->GetIterator(foreign.Receive()) == kSuccess &&
              UnitSet(view)->GetIterator(own.Receive()) == kSuccess);
  heard.events.clear();
  EXPECT_EQ(UnitSet(view)->Remove(foreign), kFailure);
  EXPECT_TRUE(heard.events.empty());
  EXPECT_EQ(UnitSet(view)->Remove(own), kSuccess);
  EXPECT_EQ(heard.Arguments(Event::FileRemovedFromView()), Units{Root(vhdl)});
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 1);
  EXPECT_EQ(UnitsOf(other), Units{Root(vhdl)});
  EXPECT_EQ(ViewsOf(vhdl), Units{Root(other)});
  // A position that holds no file removes nothing.
  std::ignore = own->Next();
  heard.events.clear();
  EXPECT_TRUE(own->IsDone() && UnitSet(view)->Remove(own) == kSuccess && heard.events.empty());
  // The file set finds a file of another list again in its own.
  AutoRelease<Hvd::IFileIterator> files;
  ASSERT_EQ(AutoCast<Hvd::IFileSet>(other)->GetIterator(files.Receive()), kSuccess);
  EXPECT_EQ(AutoCast<Hvd::IFileSet>(other)->Remove(files), kSuccess);
  EXPECT_TRUE(UnitsOf(other).empty());

  // Without a design, or in a read-only project, nothing changes.
  AutoRelease<IView> bare = MadeView();
  EXPECT_TRUE(UnitSet(bare)->Add(vhdl) == Hvd::kOwnerMissing && UnitSet(bare)->Add(nullptr) == Hvd::kBadParameters);
  m_project->readOnly = true;
  ASSERT_EQ(UnitSet(view)->GetIterator(own.ReleaseAndReceive()), kSuccess);
  EXPECT_TRUE(UnitSet(view)->Add(vhdl) == Hvd::kProjectReadOnly && UnitSet(view)->Remove(own) == Hvd::kProjectReadOnly);
  EXPECT_EQ(UnitsOf(view), Units{Root(ucf)});
}

TEST_F(ViewTest, AFileDroppedOnAnHdlFileEventLeavesQuietlyAndCanComeBack) {
  IView* view = NewView(m_synthesis);
  Hvd::IHdlDesignUnit* file = NewFile();
  ASSERT_EQ(UnitSet(view)->Add(file), kSuccess);
  Listener heard(view);
  ASSERT_EQ(Hvd::SendEvent(file, Event::HdlFileEvent(), file), kSuccess);
  EXPECT_TRUE(UnitsOf(view).empty() && ViewsOf(file).empty() && heard.events.empty());
  EXPECT_EQ(AutoCast<Hvd::IFileSet>(view)->Add(AutoCast<Hvd::IFile>(file)), kSuccess);
  EXPECT_EQ(UnitsOf(view), Units{Root(file)});
  EXPECT_EQ(ViewsOf(file), Units{Root(view)});
  EXPECT_EQ(heard.Count(Event::FileAddedToView()), 1);
}

TEST_F(ViewTest, BatchesHoldTheRefreshBackUntilTheLastEndAndEveryChangeRefreshesOnce) {
  IView* view = NewView(m_synthesis);
  AutoCast<Hvd::IBatchDelay> batch(view);
  Listener heard(view);
  ASSERT_TRUE(batch->BeginBatch() == kSuccess && batch->BeginBatch() == kSuccess);
  std::vector<Hvd::IHdlDesignUnit*> files;
  for (int i = 0; i < 10; ++i) ASSERT_EQ(UnitSet(view)->Add(files.emplace_back(NewFile())), kSuccess);
  EXPECT_EQ(batch->EndBatch(), kSuccess);
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 0);
  EXPECT_EQ(batch->EndBatch(), kSuccess);
  EXPECT_EQ(heard.Count(Event::FileAddedToView()), 10);
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 1);

  // A modified file is passed on and refreshes at once.
  heard.events.clear();
  ASSERT_EQ(AutoCast<Hvd::IHdlFile>(files[0])->SetModified(true), kSuccess);
  EXPECT_EQ(heard.Arguments(Event::ForwardedChange()), Units{Root(files[0])});
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 1);

  // A forced re-parse marks every file and refreshes once, at the end of its own batch.
  for (auto* file : files) ASSERT_EQ(AutoCast<Hvd::IHdlFile>(file)->SetModified(false), kSuccess);
  heard.events.clear();
  EXPECT_EQ(AutoCast<Hvd::IHdlElaborationData2>(view)->RefreshElaboration(), kSuccess);
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 1);
  for (auto* file : files) {
    bool modified = false;
    EXPECT_TRUE(AutoCast<Hvd::IHdlFile>(file)->IsModified(&modified) == kSuccess && modified);
  }

  // Views that listen to each other refresh once each, and the refresh ends.
  IView* other = NewView(m_synthesis, "other");
  Hvd::ConnectEventReceiver(view, other);
  Hvd::ConnectEventReceiver(other, view);
  Listener heardOther(other);
  heard.events.clear();
  ASSERT_EQ(UnitSet(other)->Add(NewFile()), kSuccess);
  EXPECT_TRUE(heardOther.Count(Event::ViewChanged()) == 1 && heard.Count(Event::ViewChanged()) == 1);
}

TEST_F(ViewTest, SettingsComeFromTheTypesTemplatesFallBackToTheirDefaultsAndRefreshWhenChanged) {
  IView* view = NewView(m_synthesis);
  EXPECT_TRUE(Setting(view, "TOPDESIGNUNIT") && !Setting(view, "QUORLIN"));
  EXPECT_EQ(TopManual(view), 0u);
  ASSERT_EQ(AutoCast<Hvd::IBoolPropertyInstance>(Setting(view, "AUTOTOP").Get())->SetBool(false), kSuccess);
  EXPECT_EQ(TopManual(view), 1u);
  // Without an AUTOTOP setting the view chooses its top itself.
  EXPECT_EQ(TopManual(NewView(m_world.AddViewType("VIEW_AbstractSimulation"))), 0u);

  // A template that appears later adds its setting; the others stay as they are.
  AutoRelease<Hvd::IPropertyInstance> top = Setting(view, "TOPDESIGNUNIT");
  AddSetting(m_synthesis, "QUORLIN", false, "guide");
  EXPECT_EQ(AutoCast<Hvd::IReconcileToDefData>(view)->Reconcile(), kSuccess);
  EXPECT_EQ(ValueOf(view, "QUORLIN"), "guide");
  EXPECT_EQ(Root(Setting(view, "TOPDESIGNUNIT").Get()), Root(top.Get()));

  // A parser setting refreshes, unless the user regenerates the hierarchy; giving that back
  // refreshes what was held back.
  Listener heard(view);
  Set(view, "QLBVERILOGMACROS", "A=1");
  Set(view, "TOPDESIGNUNIT", "top");
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 1);
  Set(view, "DISABLEAUTOHIERREGEN", "true");
  Set(view, "QLBVERILOGMACROS", "A=2");
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 1);
  Set(view, "DISABLEAUTOHIERREGEN", "false");
  EXPECT_EQ(heard.Count(Event::ViewChanged()), 2);

  using Hvd::IsAbstractSynthesisView, Hvd::IsMajorView;
  IView* postFit = NewView(m_world.AddViewType("VIEW_Post-FitAbstractSimulation"));
  IView* initial = NewView(m_world.AddViewType("VIEW_Initial"));
  IView* cpld = NewView(m_world.AddViewType("VIEW_CPLDAbstractSynthesis"));
  EXPECT_TRUE(IsMajorView(postFit) && !IsAbstractSynthesisView(postFit));
  EXPECT_TRUE(!IsMajorView(initial) && !IsAbstractSynthesisView(initial));
  EXPECT_TRUE(IsMajorView(cpld) && IsAbstractSynthesisView(cpld));
}

TEST_F(ViewTest, ReconcileDropsWhatTheDefinitionDataNoLongerKnows) {
  AddSetting(m_synthesis, "QUORLIN", false, "");
  IView* view = NewView(m_synthesis);
  Hvd::IHdlDesignUnit* file = NewFile();
  ASSERT_EQ(UnitSet(view)->Add(file), kSuccess);
  AutoRelease<Hvd::IPropertyInstance> dropped = Setting(view, "QUORLIN");

  m_synthesis->settings.erase("QUORLIN");
  m_world.FindTemplate("T_QLBVERILOGMACROS")->obsolete = true;
  EXPECT_EQ(AutoCast<Hvd::IReconcileToDefData>(view)->RemoveObsolete(nullptr), kSuccess);
  EXPECT_FALSE(Setting(view, "QUORLIN") || Setting(view, "QLBVERILOGMACROS"));
  EXPECT_TRUE(Setting(view, "TOPDESIGNUNIT") && Setting(view, "AUTOTOP"));
  Listener heard(view);
  std::ignore = dropped->SetValue("x");
  EXPECT_TRUE(heard.events.empty());

  // A view whose type is obsolete takes itself down.
  m_synthesis->obsolete = true;
  EXPECT_EQ(AutoCast<Hvd::IReconcileToDefData>(view)->RemoveObsolete(nullptr), kSuccess);
  AutoRelease<Hvd::IDesign> design;
  EXPECT_EQ(view->GetDesign(design.Receive()), kFailure);
  EXPECT_TRUE(UnitsOf(view).empty() && ViewsOf(file).empty() && !Setting(view, "TOPDESIGNUNIT"));
}

TEST_F(ViewTest, TheParserGetsTheViewsOwnInstancesFoundAgainOnEveryRefresh) {
  IView* view = NewView(m_synthesis);
  EXPECT_EQ(m_world.created, 5);  // one per setting, one for the template only the parser reads
  for (int i = 0; i < 3; ++i) ASSERT_EQ(AutoCast<Hvd::IHdlElaborationData2>(view)->RefreshElaboration(), kSuccess);
  ASSERT_EQ(UnitSet(view)->Add(NewFile()), kSuccess);
  EXPECT_EQ(m_world.created, 5);
  AutoRelease<Hvd::IPropertyInstance> macros = Setting(view, "QLBVERILOGMACROS");
  EXPECT_EQ(dynamic_cast<Instance*>(macros.Get())->sender.ReceiverCount(), 1u);

  // A view that is not major hands nothing to a parser.
  ViewType* initial = m_world.AddViewType("VIEW_Initial");
  initial->settings = m_synthesis->settings;
  initial->parserOnly = m_synthesis->parserOnly;
  NewView(initial);
  EXPECT_EQ(m_world.created, 9);
}

TEST_F(ViewTest, AViewReadsBackWhatItWroteAtVersionsFourToSix) {
  IView* view = NewView(m_synthesis, "Synthesis");
  Set(view, "TOPDESIGNUNIT", "top");
  ASSERT_TRUE(AutoCast<Hvd::IState>(view)->Add("Synthesized"));
  std::int64_t written[3] = {};
  for (std::int32_t version = 4; version <= 6; ++version) {
    SCOPED_TRACE(version);
    AutoRelease<TestStorage> storage(new TestStorage(version));
    ASSERT_EQ(AutoCast<Prjrep::IPersist>(view)->PersistSave(storage.Get()), kSuccess);
    written[version - 4] = storage->Control()->OperationCount();
    const Text end("end");
    ASSERT_TRUE(storage->inner->WriteString(&end) == kSuccess && storage->Control()->Rewind() == kSuccess);

    IView* loaded = m_views.emplace_back(MadeView()).Get();
    ASSERT_EQ(AutoCast<Prjrep::IPersist>(loaded)->PersistLoad(storage.Get()), kSuccess);
    Text rest, name;
    EXPECT_TRUE(storage->inner->ReadString(&rest) == kSuccess && rest.str() == "end");
    EXPECT_TRUE(AutoCast<Prjrep::IName>(loaded)->GetName(name) == kSuccess && name.str() == "Synthesis");
    AutoRelease<Hvd::IViewType> type;
    EXPECT_TRUE(loaded->GetType(type.Receive()) == kSuccess && Root(type.Get()) == Root(m_synthesis));
    EXPECT_TRUE(ValueOf(loaded, "TOPDESIGNUNIT") == "top" && ValueOf(loaded, "AUTOTOP") == "true");
    EXPECT_TRUE(AutoCast<Hvd::IState>(loaded)->Contains("Synthesized"));

    // Set up as the host sets it up, it hears its settings again.
    AutoRelease<Hvd::IDesign> design;
    ASSERT_EQ(loaded->GetDesign(design.Receive()), kSuccess);
    EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(loaded)->InitializeAfterLoad(design.Get()), kSuccess);
    EXPECT_EQ(AutoCast<Hvd::ICompAdmin>(loaded)->RegisterForNotifications(), kSuccess);
    Listener heard(loaded);
    Set(loaded, "QLBVERILOGMACROS", "B=1");
    EXPECT_EQ(heard.Count(Event::ViewChanged()), 1);
    std::ignore = TearDownView(loaded);  // before the storage lets go of the design it read
  }
  // Version 5 adds two numbers, version 6 one string more.
  EXPECT_TRUE(written[1] - written[0] == 2 && written[2] - written[1] == 1);
}

TEST_F(ViewTest, ADamagedStreamFailsAtTheFirstBadReadAndLeavesNothingBehind) {
  IView* view = NewView(m_synthesis, "Synthesis");
  ASSERT_TRUE(AutoCast<Hvd::IState>(view)->Add("Synthesized"));
  AutoRelease<TestStorage> storage(new TestStorage(6));
  ASSERT_EQ(AutoCast<Prjrep::IPersist>(view)->PersistSave(storage.Get()), kSuccess);
  Prjrep::IStorageControl* control = storage->Control();
  const std::int64_t before = control->OperationCount();
  ASSERT_EQ(control->Rewind(), kSuccess);
  AutoRelease<IView> whole = MadeView();
  ASSERT_EQ(AutoCast<Prjrep::IPersist>(whole.Get())->PersistLoad(storage.Get()), kSuccess);
  std::ignore = TearDownView(whole);
  const std::int64_t reads = control->OperationCount() - before;
  ASSERT_GT(reads, 10);

  // Each read of the load failing in turn: the load fails, and what it read is let go.
  for (std::int64_t k = 1; k <= reads; ++k) {
    SCOPED_TRACE(k);
    ASSERT_EQ(control->Rewind(), kSuccess);
    control->FailOperation(k, kFailure);
    AutoRelease<IView> partial = MadeView();
    EXPECT_NE(AutoCast<Prjrep::IPersist>(partial.Get())->PersistLoad(storage.Get()), kSuccess);
    control->FailOperation(0, kSuccess);
    std::ignore = TearDownView(partial);
  }

  // A count that no view can hold is not read on.
  ASSERT_EQ(control->Rewind(), kSuccess);
  storage->hugeCount = true;
  storage->referenceReads = 0;
  AutoRelease<IView> damaged = MadeView();
  EXPECT_NE(AutoCast<Prjrep::IPersist>(damaged.Get())->PersistLoad(storage.Get()), kSuccess);
  EXPECT_EQ(storage->referenceReads, 1);  // the design only
  std::ignore = TearDownView(damaged);
}

TEST_F(ViewTest, TeardownLetsGoOfFilesSettingsAndListenersWhileFilesAreStillAttached) {
  IView* view = NewView(m_synthesis);
  Hvd::IHdlDesignUnit* first = NewFile();
  Hvd::IHdlDesignUnit* second = NewFile();
  ASSERT_TRUE(UnitSet(view)->Add(first) == kSuccess && UnitSet(view)->Add(second) == kSuccess);
  AutoRelease<Hvd::IPropertyInstance> macros = Setting(view, "QLBVERILOGMACROS");
  Listener heard(view);

  EXPECT_EQ(TearDownView(view), kSuccess);
  AutoRelease<Hvd::IDesign> design;
  EXPECT_EQ(view->GetDesign(design.Receive()), kFailure);
  EXPECT_TRUE(UnitsOf(view).empty() && ViewsOf(first).empty() && ViewsOf(second).empty());
  EXPECT_FALSE(Setting(view, "TOPDESIGNUNIT"));
  // Nothing the view listened to reaches it, and nobody listens to it any more.
  ASSERT_EQ(AutoCast<Hvd::IHdlFile>(first)->SetModified(true), kSuccess);
  std::ignore = macros->SetValue("C=1");
  EXPECT_TRUE(heard.events.empty());
  EXPECT_EQ(dynamic_cast<Instance*>(macros.Get())->sender.ReceiverCount(), 0u);
}

}  // namespace
}  // namespace view_test
