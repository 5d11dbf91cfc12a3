#pragma once
// One view of a design: one flow stage (behavioural simulation, synthesis, post-map
// simulation, ...) with the source files that take part in it, its settings as keyed
// property instances, its place in the network of views (two transform-binding sets) and a
// state set. It recomputes what depends on its files and settings when events tell it that
// something changed, at most once per batch. Its operations live in one file per concern
// beside this header.

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Hvd/ClassIds.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/IBatchDelay.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDesign.h"
#include "Hvd/IHdlNetlist.h"
#include "Hvd/IKeyedPropertySet.h"
#include "Hvd/IPropertyContext.h"
#include "Hvd/IState.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IAttachment.h"
#include "Prjrep/IEvents.h"
#include "Prjrep/IName.h"
#include "Prjrep/IPersist.h"
#include "core/Events.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Names.h"
#include "core/Persist.h"
#include "core/PointerMap.h"
#include "core/RefCount.h"
#include "core/Sets.h"
#include "design/DetachingReceiver.h"
#include "files/KeyedPropertySet.h"
#include "files/wrapper/CHdlPackageWrapper.h"
#include "framework/PropertyContext.h"
#include "framework/StateHelper.h"
#include "framework/TransformBindingSets.h"
#include "utils/FileStamp.h"

namespace Hvd {

// Keys under which a view keeps its settings.
namespace ViewKey {
extern const Port::StringBase<char> kTopDesignUnit;
extern const Port::StringBase<char> kTopDuFile;
extern const Port::StringBase<char> kTopInstancePath;
extern const Port::StringBase<char> kAutoTop;
extern const Port::StringBase<char> kAutoCompileOrder;
extern const Port::StringBase<char> kQuorlin;
extern const Port::StringBase<char> kQuorlinFileName;
extern const Port::StringBase<char> kBranch;
extern const Port::StringBase<char> kSubBranch;
extern const Port::StringBase<char> kFilterFilesFromCompileOrder;
extern const Port::StringBase<char> kQlbVerilogMacros;
extern const Port::StringBase<char> kQlbVeriIncludeDir;
extern const Port::StringBase<char> kOvraVerilogMacros;
extern const Port::StringBase<char> kOvraVeriIncludeDir;
extern const Port::StringBase<char> kDisableAutoHierRegen;
extern const Port::StringBase<char> kVhdlSourceAnalysisStandard;
}  // namespace ViewKey

// Every setting key of a view, in the order in which the settings are listed.
const std::vector<Port::StringBase<char>>& GetViewPropertyNames();

// A synthesis view: the name of its type ends in "AbstractSynthesis".
bool IsAbstractSynthesisView(CitI::IInterface* view);
// A view that keeps its own top unit, compile order and hierarchy: a synthesis view or one of
// the seven simulation view types.
bool IsMajorView(CitI::IInterface* view);

// A file that the view manages itself (origin state 3): the parser found it for the view's files.
bool IsManagedFile(CitI::IInterface* unit);

// The word that finds the view answering for a major view of this type in the same design and
// in child projects: "PreSynthesis" for a synthesis view, "PreSimulation" for the behavioural
// simulation views, else empty.
Port::StringBase<char> ChildViewWord(CitI::IInterface* majorView);

// The name of the design unit of a netlist node; empty without a node, a unit or a name.
Port::StringBase<char> GetNodeDesignUnitName(IHdlNetListNode* node);

// Appends the compile order of `child`'s first view for `word` ("PreSynthesis" or
// "PreSimulation") to `children`.
Status AppendChildProjectCompileOrder(IProject* child, const Port::StringBase<char>& word,
                                      std::vector<Prjrep::AutoPtr<IHdlFile>>* children);

// One file of a view as the Tcl layer lists it: its path, "vhdl", "verilog" or empty, its
// library, its origin word and the names of its design units.
struct ViewFileRecord {
  Port::StringBase<char> path;
  Port::StringBase<char> language;
  Port::StringBase<char> library;
  Port::StringBase<char> origination;
  std::vector<Port::StringBase<char>> units;
};

// The records of `files` in the layout that `mode` names ("QlbPrjSourceList", "ModuleList",
// else library, path and origin), each value quoted so that the text reads back unchanged.
Port::StringBase<char> FormatViewFileRecords(const std::vector<ViewFileRecord>& files,
                                             const Port::StringBase<char>& mode);

class CView final : public TComponent<CView> {
 public:
  using String = Port::StringBase<char>;

  static const Port::XUID& GetCLSID() { return ClassId::View(); }

  // The view's stored form, in the layouts of versions 4 to 6.
  Status LoadFrom(Prjrep::IStorage* storage);
  Status SaveTo(Prjrep::IStorage* storage);

  CView();
  CView(const CView&) = delete;
  CView& operator=(const CView&) = delete;
  ~CView() override;

  auto QueryTable() {
    return Table(Row<Prjrep::IPersist>(&m_XIPersist), Row<Prjrep::IName>(&m_name), Row<IView>(&m_XIView),
                 Row<IViewV2>(&m_XIView), Row<IViewV1>(&m_XIView), Row<IViewInternal>(&m_XIViewInternal),
                 Row<IHdlDesignUnitSet>(&m_XIDesignUnitSet), Row<IFileSet>(&m_XIFileSet),
                 Row<ITransformBindingSets>(&m_transformBindings),
                 LazyRow<IPropertyInstanceSet>([this] { return PropertySetPart<IPropertyInstanceSet>(); }),
                 LazyRow<IKeyedPropertySet>([this] { return PropertySetPart<IKeyedPropertySet>(); }),
                 Row<IHdlAssociationSet>(&m_XIAssociationSet), Row<Prjrep::IEventSender>(&m_eventSender),
                 Row<Prjrep::IEventReceiver>(&m_eventReceiver), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<IPropertyContext>(&m_propertyContext), Row<IState>(&m_states),
                 ForeignRow<Prjrep::IAttachedInterface>([this] {
                   return CastAnswer<Prjrep::IAttachedInterface>(
                       QueryComponentRef(m_componentRef, Prjrep::IAttachedInterface::GetIID()));
                 }),
                 Row<IBatchDelay>(&m_XIBatchDelay), Row<IReconcileToDefData>(&m_XIReconcileToDefData),
                 Row<ICompAdmin>(&m_XICompAdmin), Row<CitI::IInterface>(this),
                 Row<IHdlElaborationData>(&m_XIHdlElaborationData), Row<IHdlElaborationData2>(&m_XIHdlElaborationData),
                 Row<IViewTclHelper>(&m_XIViewTclHelper));
  }

  // The numbers that the BRANCH setting of `object` (anything with keyed settings) stands
  // for: which sequence id of a file its compile order uses, and the category of its managed
  // child files.
  static Status GetViewSequenceIDTarget(CitI::IInterface* object, std::uint32_t* target);
  static Status GetAutoManageViewID(CitI::IInterface* object, std::uint32_t* id);
  // The role that the partial-reconfiguration project gives `view`.
  static Status GetViewHint(IView* view, String* hint);

  // The property-context helper's hook: the design's context, with one reference.
  Status GetContextParent(IPropertyContext** parent);

  // The view behind any of its interfaces; null for anything else.
  static CView* FromInterface(CitI::IInterface* object);

  // A file the view's sources may include came back on disk: a major view parses again for the
  // files its sources include, as a change of its include settings would have it.
  void LookAgainForIncludes();
  // A file that went off the disk, and so left the view, has left the project (`path`, its full
  // name): a top the view found in it follows, as a removal the view hears would have it.
  void FollowFileLeftWhileAway(const String& path);

 private:
  struct XIView : TNested<CView, IView> {
    using TNested::TNested;
    Status GetType(IViewType** type) override;
    Status GetDesign(IDesign** design) override;
    Status GetElaborationData(IHdlElaborationData** data) override;
    Status AcceptsDesignUnit(CitI::IInterface* object, bool* accepts) override;
    Status GetFirstBindingSet(ITransformBindingInstanceSet** set) override {
      return This().m_transformBindings.GetFirstBindingSet(set);
    }
    Status GetSecondBindingSet(ITransformBindingInstanceSet** set) override {
      return This().m_transformBindings.GetSecondBindingSet(set);
    }
    Status GetParserConfig(IHdlParserConfig** config) override;
    Status GetTopName(String* name) override;
    Status GetTopInstance(String* path) override;
    Status SetTopInstance(const String& path) override;
    Status GetCompileOrder(IHdlDesignUnit* top, std::uint32_t flags, IHdlFileIterator** files) override {
      return This().GetCompileOrder(top, flags, This().GetAutoCompileOrder(), files);
    }
    Status IsTopManual(std::uint32_t* manual) override;
    Status FindBestTopNode(IHdlNetListNode** node) override;
    CView& View() const { return This(); }
  } m_XIView{this};

  Prjrep::TPersistHelper<CView> m_XIPersist{this};

  struct XIViewInternal : TNested<CView, IViewInternal> {
    using TNested::TNested;
    Status DetermineCompileOrderAutomatically(IHdlDesignUnit* top, bool filter) override;
    Status MarkCompileOrderDirty() override {
      This().m_compileOrderDirty = true;
      return kSuccess;
    }
  } m_XIViewInternal{this};

  // The view's files as design units, each holding one reference. Add and Remove are the
  // view's own, with their checks, events and refresh; the rest is the plain sequence set.
  using UnitList = Prjrep::TSequenceSetHelper<IHdlDesignUnit*, IHdlDesignUnitSet, IHdlDesignUnitIterator,
                                              std::list<IHdlDesignUnit*>>;
  struct XIDesignUnitSet final : UnitList {
    explicit XIDesignUnitSet(CView* view) : m_view(view) {}
    Status Add(IHdlDesignUnit* unit) override;
    Status Remove(IHdlDesignUnitIterator* position) override;
    // Reads the stored units back as they were stored, with no check and no event.
    Status PersistLoad(Prjrep::IStorage* storage) override;
    // The entry of `object`, compared by identity; false when the view does not hold it.
    bool Holds(CitI::IInterface* object);
    // Takes the entry of `object` out without a check or an event; false when there is none.
    bool EraseEntryOf(CitI::IInterface* object);
    // The units at this moment, each held, for walks that may change the set.
    std::vector<Prjrep::AutoPtr<IHdlDesignUnit>> Units();
    void Erase(Position& pos) override;
    Status Clear() override;
    // An iterator standing on the entry of `object`; null when the view does not hold it.
    Prjrep::AutoRelease<IHdlDesignUnitIterator> IteratorOf(CitI::IInterface* object);
    // Read from outside, the set first brings the managed files in step.
    Status GetIterator(IHdlDesignUnitIterator** units) override;
    std::size_t Size() override;
    // Visits every unit without copying the list; `visit` must not change the set.
    template <class Visit>
    void ForEach(Visit visit) {
      for (IHdlDesignUnit* unit : m_elements) visit(unit);
    }
    CView* m_view;
    // Each listed root and where its first entry stands while that entry is there (else at the
    // end), so that a view of many files finds one at once; one table, as every file placed
    // asks it. A root listed more than once is rare: its further listings are counted apart.
    TPointerMap<std::list<IHdlDesignUnit*>::iterator> m_roots;
    std::unordered_map<CitI::IInterface*, int> m_repeats;
    // The unit just appended is counted, and placed when its root has no place yet.
    void Listed(IHdlDesignUnit* unit);
    // The unit's entry is gone: its root is counted down, and forgotten at none.
    void Unlisted(IHdlDesignUnit* unit);
  } m_XIDesignUnitSet{this};

  struct XIFileSet : TNested<CView, IFileSet> {
    using TNested::TNested;
    Status Add(IFile* file) override;
    Status Remove(IFileIterator* iterator) override;
    Status GetIterator(IFileIterator** files) override;
    std::size_t Size() override { return This().m_XIDesignUnitSet.Size(); }
    // The files as they are, for the view's own reads.
    Status QuietIterator(IFileIterator** files);
    Status Clear() override { return This().m_XIDesignUnitSet.Clear(); }
  } m_XIFileSet{this};

  // A view keeps no associations: every change is refused.
  struct XIAssociationSet : TNested<CView, IHdlAssociationSet> {
    using TNested::TNested;
    Status Add(CitI::IInterface* object) override;
    Status Remove(CitI::IInterface* object) override;
    Status GetIterator(Prjrep::IIterator** associations) override;
    std::size_t Size() override;
    Status Clear() override;
  } m_XIAssociationSet{this};

  struct XIBatchDelay : TNested<CView, IBatchDelay> {
    using TNested::TNested;
    Status BeginBatch() override {
      Port::SafeIncr(This().m_batchCount);
      return kSuccess;
    }
    Status EndBatch() override;
  } m_XIBatchDelay{this};

  struct XIReconcileToDefData : TNested<CView, IReconcileToDefData> {
    using TNested::TNested;
    Status Reconcile() override { return This().CreateViewProperties(); }
    Status RemoveObsolete(CitI::IInterface* context) override;
  } m_XIReconcileToDefData{this};

  struct XICompAdmin : TNested<CView, ICompAdmin> {
    using TNested::TNested;
    Status InitializeAfterCreate(CitI::IInterface* owner, CitI::IInterface* definition) override;
    Status InitializeAfterLoad(CitI::IInterface* context) override;
    Status RegisterForNotifications() override;
    Status Teardown() override;
  } m_XICompAdmin{this};

  struct XIHdlElaborationData : TNested<CView, IHdlElaborationData2> {
    using TNested::TNested;
    Status GetUndefinedInstances(CitI::IInterface** instances) override;
    Status GetCompileOrder(IHdlNetListNode* top, IHdlFileIterator** files) override;
    Status GetCompileOrder(IHdlDesignUnit* top, std::uint32_t mode, IHdlFileIterator** files) override {
      return This().GetCompileOrder(top, mode, This().GetAutoCompileOrder(), files);
    }
    Status GetPorts(const char* name, CitI::IInterface** ports) override;
    Status GetDesignGraph(IHdlNetListNode** root) override;
    Status RefreshElaboration() override;
  } m_XIHdlElaborationData{this};

  struct XIViewTclHelper : TNested<CView, IViewTclHelper> {
    using TNested::TNested;
    String GetViewHierarchy(CitI::IInterface* unit, const String& testbench, const String& mode) override;
    String GetFilesOfType(const String& type) override;
  } m_XIViewTclHelper{this};

  // Raises the nesting depth and the batch count around a write of the view's own property,
  // so that the change event it causes neither runs the property branches of the event
  // handler nor refreshes the view.
  class OwnWrite {
   public:
    explicit OwnWrite(CView& view);
    OwnWrite(const OwnWrite&) = delete;
    OwnWrite& operator=(const OwnWrite&) = delete;
    ~OwnWrite();

   private:
    CView& m_view;
  };

  static Status HandleEvent(CView* self, Prjrep::IEvent* event);
  // The reaction to a change of the view's own property instance `instance`.
  void OnPropertyChanged(CitI::IInterface* instance);
  // A change that asks for a refresh: held back while the user parses the hierarchy by hand.
  void OnChange();
  // What depends on the view's files follows a file that left without an event.
  void FollowDroppedFile();
  // The file leaves the view without the design-unit event, and forgets the view, so that it
  // can come back; false when the view did not hold it.
  bool DropFileQuietly(CitI::IInterface* file);
  // Whether the view holds `unit` as a file that is no managed file and of a kind it does not
  // take: a header the user added, which no source includes any more, is a text file again.
  bool HoldsUntakenUserFile(CitI::IInterface* unit);
  // A unit came into or left the set, which still `holds` it when another entry lists it too: the
  // parser's mirror and the managed files look at it next.
  void NoteUnitChange(IHdlDesignUnit* unit, bool joined, bool holds);
  // An event of, or about, one of the view's files: its stamp, library or origin may have changed.
  void NoteFileEvent(CitI::IInterface* object);

  // Refreshes at once, or marks a refresh pending while a batch is open.
  void RefreshAfterChange();
  void Refresh();

  // The design's project with one reference; empty without a design or project.
  Prjrep::AutoRelease<IProject> Project() const;
  bool IsProjectReadOnly() const;
  // The process's data store, through the design when the view has one.
  Prjrep::AutoRelease<IDataStore> DataStore() const;
  String ViewTypeName() const;

  Status RegisterForNotifications(CitI::IInterface* object);
  Status UnRegisterForNotifications(CitI::IInterface* object);
  // True when the file's own list of views holds this view.
  bool CheckDUinView(CitI::IInterface* object);
  // Enters the view into the file's list of views, once.
  void AddViewToFile(CitI::IInterface* object);
  Status RemoveViewFromFile(CitI::IInterface* object);

  // Settings.
  template <class I>
  I* PropertySetPart() {
    return CastAnswer<I>(m_properties.QueryInterface(IidOf<I>()));
  }
  bool BoolSetting(const String& key, bool fallback);
  bool GetAutoCompileOrder() { return BoolSetting(ViewKey::kAutoCompileOrder, true); }
  bool GetFilterFilesFromCompileOrder() { return BoolSetting(ViewKey::kFilterFilesFromCompileOrder, false); }
  bool GetDisableAutoHierRegen() { return BoolSetting(ViewKey::kDisableAutoHierRegen, false); }
  bool GetAutoTop() { return BoolSetting(ViewKey::kAutoTop, true); }
  // The value of the view's own instance of `key`; empty when the view has none.
  String TextSetting(const String& key);
  String GetTopDesignUnitName() { return TextSetting(ViewKey::kTopDesignUnit); }
  Status SetTopDesignUnitName(const String& name);
  // TOPDUFILE: the file the automatic top was found in.
  String GetTopDuFile() { return TextSetting(ViewKey::kTopDuFile); }
  String GetTopInstancePath();
  Status SetTopInstancePath(const String& path);
  // Writes `value` into the view's own instance of `key`; 0 when the view has none.
  Status WriteOwnSetting(const String& key, const String& value);

  Status CreateViewProperties();
  // A new instance of the definition named `name`, registered with the view; empty when the
  // view has no design or the definition is unknown or obsolete.
  Prjrep::AutoRelease<IPropertyInstance> CreatePropertyInstance(const String& name);
  bool IsPropertyObsolete(IPropertyInstance* instance);
  // The setting key whose template in the view type has the def-data name of `definition`.
  String GetViewPropertyKeyForTemplate(CitI::IInterface* definition);

  // The parser's side.
  Status InitializeHDLPackageWrapper();
  Status PopulateParserConfigProperties(IPropertyInstanceSet* config);
  // The view's instance for the template `definition`: its setting of that template, else the
  // instance made for it before, else a new one kept for the next time.
  Prjrep::AutoRelease<IPropertyInstance> ParserProperty(CitI::IInterface* definition);
  Status RemoveParserConfigProp(IPropertyInstance* instance);

  // The compile order.
  Status GetCompileOrder(IHdlDesignUnit* top, std::uint32_t flags, bool autoOrder, IHdlFileIterator** files);
  // The order stored in the files' ids; `allFiles` takes every file, whatever its id and type.
  Status GetCompileOrderFromFiles(bool allFiles, IHdlFileIterator** files);
  Status GetCompileOrderFromMoldrixProjects(std::vector<Prjrep::AutoPtr<IHdlFile>>* children);
  Status NormalizeChildCompileOrderCollection(std::vector<Prjrep::AutoPtr<IHdlFile>>* children);
  // The first major view reachable through the first binding sets, not counted; null for none.
  IView* FindMajorView();
  Prjrep::AutoPtr<IView> GetMajorView();

  // The top and the hierarchy.
  void UpdateTopUnit();
  // Whether the project no longer holds the file the automatic top was found in.
  bool TopFileLeftTheProject();
  // Whether the view's parse still holds a unit of the top's name.
  bool TopUnitParsed();
  // The managed files follow the hierarchy, which a view parses when something asks for it. So
  // that the view's files read the same whatever was asked before, a read from outside first
  // parses a major view that may have new managed files, and for a view that answers for a major
  // view in child projects, that view. Reads inside a parse, a refresh or a batch take the files
  // as they are.
  void BringManagedFilesInStep();
  void ParseForManagedFiles();
  // Parses the other major views where a file is managed that no source of this view includes:
  // they may hold it as included by a source they have not read again since it changed, and a
  // managed file is in no view's order.
  void BringOtherMajorViewsInStep();
  // The other major views whose includes may have changed and that `also` accepts, held for a
  // parse of each.
  std::vector<Prjrep::AutoPtr<IView>> OtherMajorViewsToParse(const std::function<bool(CView&)>& also);
  // Reads of the view's own, and those made while it parses, which never parse.
  std::int32_t m_quietReads = 0;
  Prjrep::AutoRelease<IHdlNetListNode> FindBestTopNode();
  String GetConsistentTopInstancePath();
  Prjrep::AutoRelease<IHdlNetListNode> FindTopUnitNode(const String& top);
  void AssignTopInstanceLocators(const String& path);
  Status ParseHierarchy(IHdlNetListNode** root);
  void SyncAutoManagedFilesOfPair();
  // `changed` (may be null) tells whether a file came or went.
  Status SyncAutoManagedFiles(bool* changed);
  Prjrep::AutoPtr<IView> GetFirstViewForHint(const String& hint);

  std::unique_ptr<CHdlPackageWrapper> m_wrapper;
  // What each root of the design graph scored in the last top search, but for being the named
  // top, in the order of the roots: the parser hands a node out again only while nothing below it
  // changed, and keeps the order of those it hands out again, so a search over a design taken
  // apart file by file weighs only its new roots. A root's weight is dropped when its file changes
  // library, which the score reads from the project's file; all are dropped when a library tells.
  struct TopRoot {
    Prjrep::AutoPtr<IHdlNetListNode> node;
    std::string name;
    CitI::IInterface* file = nullptr;  // the project file the score read, compared only
  };
  struct TopRootWeight {
    CitI::IInterface* item = nullptr;  // as the iterator gives it; `root` keeps it alive
    int score = 0;
    std::size_t nameHash = 0;  // the name is read only when its hash is the top's
    std::unique_ptr<TopRoot> root;
  };
  std::vector<TopRootWeight> m_topRootWeights;
  std::vector<TopRootWeight> m_topRootWeightsNext;  // the next search's, kept with its room
  // Drops the weights that read the library of `file`; every weight when `file` is no project file.
  void ForgetTopRootWeightsOf(CitI::IInterface* file);
  // The units that came, went or changed since the wrapper was last handed the view's files, each
  // with whether the set held it after; the last change of a unit says where it stands. The whole
  // list is handed over instead while m_wrapperNeedsAll.
  std::vector<std::pair<Prjrep::AutoPtr<IHdlDesignUnit>, bool>> m_wrapperPending;
  bool m_wrapperNeedsAll = true;
  // What the managed files were last taken from: the units that had child files, each with the
  // children read from it and the stamp of its children they were read at; every child name those
  // units want, with the units of that name as read; the units touched since; the relation epoch
  // of the last look; and the managed files the view holds, with those that stopped being managed
  // until the next look. Everything is looked at while m_syncNeedsAll.
  using SyncChildren = std::vector<std::pair<std::string, Prjrep::AutoPtr<IHdlDesignUnit>>>;
  struct SyncParent {
    Prjrep::AutoPtr<IHdlDesignUnit> unit;
    SyncChildren children;
    std::uint64_t stamp = 0;  // the largest value: no stamp kept, read again at every look
  };
  std::map<CitI::IInterface*, SyncParent> m_syncParents;
  std::map<std::string, std::vector<Prjrep::AutoPtr<IHdlDesignUnit>>> m_syncWanted;
  std::uint64_t m_syncEpoch = 0;
  std::size_t m_syncUnstamped = 0;  // parents that keep no stamp
  // Reads the children of `unit` again, or forgets them when the view no longer holds it.
  void ReadSyncParent(IHdlDesignUnit* unit, std::uint32_t category);
  void WantSyncChildren(const SyncChildren& children, bool wanted);
  std::vector<Prjrep::AutoPtr<IHdlDesignUnit>> m_syncTouched;
  std::map<CitI::IInterface*, Prjrep::AutoPtr<IHdlDesignUnit>> m_managedUnits;
  // A file that is no VHDL, or a managed one, came, went or changed, or a setting the parser
  // reads changed, since the last parse: only a file the parser may read as Verilog includes
  // anything, so the managed files cannot change otherwise.
  bool m_includesMayChange = false;
  void NoteIncludesOf(CitI::IInterface* unit);
  std::uint32_t m_syncCategory = 0;
  bool m_syncNeedsAll = true;
  bool m_compileOrderDirty = true;
  bool m_sequenceIdsChanged = false;
  String m_topInstancePathCache;
  Prjrep::AutoPtr<IViewType> m_viewType;
  // The design-unit types that the view type takes, and the type they were read from.
  const std::vector<String>& AcceptedUnitTypes();
  std::vector<String> m_acceptedUnitTypes;
  // The same types' definitions, those whose name was read: a unit of one of them is taken
  // without reading its type's name.
  std::vector<Prjrep::AutoPtr<IDefDataId>> m_acceptedIds;
  IViewType* m_acceptedFor = nullptr;
  Prjrep::AutoCast<IDesign> m_design;  // the design holds the view, so it is not counted
  CStateHelper m_states;
  ComponentInterfaceRef m_componentRef;
  Prjrep::CEventSenderHelper m_eventSender{&m_XIView};
  std::int32_t m_batchCount = 0;
  std::int32_t m_nestingDepth = 0;
  bool m_refreshPending = false;
  // Set during a refresh, so that views that listen to one another do not refresh each other
  // without end: a change heard meanwhile only marks a refresh pending.
  bool m_refreshing = false;
  Prjrep::CNameHelper m_name{&m_XIView};
  CKeyedPropertySet m_properties{this};
  TDetachingReceiver<CView> m_eventReceiver{this, &CView::HandleEvent};
  Prjrep::TRefCountHelper<CView> m_refCount{this};
  TPropertyContextHelper<CView> m_propertyContext;  // given its owner once the view is built
  // Parser properties of templates that no setting key stands for, by template name.
  std::map<String, Prjrep::AutoPtr<IPropertyInstance>> m_parserProperties;
  // Last, since making the two sets asks the view for its root.
  TITransformBindingSetsHelper<CView> m_transformBindings{this};
};

}  // namespace Hvd
