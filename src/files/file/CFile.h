#pragma once
// One source file of a project. The one object is the project's file record, an HDL file with
// the files it includes and that include it, a design unit that views hold and compile, a member
// of the compile order and of one source library. Its operations live in one file per concern
// beside this header.

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "Hvd/ClassIds.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileType.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Hvd/IState.h"
#include "Hvd/IViewManager.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IAttachment.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IFileNameHelper.h"
#include "Prjrep/IPersist.h"
#include "core/AssociativeSets.h"
#include "core/Events.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Names.h"
#include "core/Persist.h"
#include "core/RefCount.h"
#include "core/Sets.h"
#include "core/StringSets.h"
#include "files/file/FileBindingSets.h"
#include "files/file/GoneViews.h"
#include "framework/StateHelper.h"
#include "utils/FileStamp.h"

namespace Hvd {

// The files of one category that a file includes, or that include it, under each file's key.
// An entry may stay without a file: the key of a child that was removed is kept.
class CFileRelationSet final : public Prjrep::TAssociativeSetHelper<IHdlFile*, IHdlFileSet, IHdlFileIterator> {
 public:
  // Stores `file` under `key`, replacing what was there.
  void Put(const Port::StringBase<char>& key, IHdlFile* file);
  // Erases the entry of `key` when it holds `file`; false otherwise.
  bool EraseEntry(const Port::StringBase<char>& key, IHdlFile* file);
  // Releases the file of the first entry, in key order, that holds `file` and keeps its key;
  // false when no entry holds it.
  bool EmptyEntryOf(IHdlFile* file);
  bool Holds(IHdlFile* file);
  // The files in key order, empty entries left out.
  std::vector<Prjrep::AutoPtr<IHdlFile>> Files();
};

// An iterator over exactly one design unit, as a source file lists itself.
class CSingleDuIter final : public TComponent<CSingleDuIter, IHdlDesignUnitIterator> {
 public:
  explicit CSingleDuIter(IHdlDesignUnit* unit) : m_unit(unit) {}

  auto QueryTable() {
    return Table(Row<IHdlDesignUnitIterator>(this), Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this));
  }
  IHdlDesignUnit* Current() override { return m_done ? nullptr : m_unit.Get(); }
  Status Reset() override {
    m_done = false;
    return kSuccess;
  }
  Status Next() override {
    if (m_done) return kFailure;
    m_done = true;
    return kSuccess;
  }
  bool IsDone() override { return m_done; }

 private:
  Prjrep::TRefCountHelper<CSingleDuIter> m_refCount{this};
  Prjrep::AutoPtr<IHdlDesignUnit> m_unit;
  bool m_done = false;
};

class CFile : public TComponent<CFile> {
 public:
  using String = Port::StringBase<char>;

  static const Port::XUID& GetCLSID() { return ClassId::File(); }

  static constexpr std::uint32_t kCategories = 6;
  static constexpr std::uint32_t kSequenceKinds = 8;
  // Origin states.
  static constexpr std::uint32_t kUserSource = 0;
  static constexpr std::uint32_t kAutoManaged = 3;

  // The stored form of a file is the project's source file, not the repository.
  Status LoadFrom(Prjrep::IStorage*) { return kNotSupported; }

  CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  ~CFile() override;

  auto QueryTable() {
    return Table(Row<Prjrep::IPersist>(&m_XIPersist), Row<IFile>(&m_XIFile), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<ICompAdmin>(&m_XICompAdmin), Row<IFileInternal>(&m_XIFileInternal),
                 Row<IReconcileToDefData>(&m_XIReconcileToDefData), Row<IHdlFile>(&m_XIHdlFile),
                 Row<IHdlFileV3>(&m_XIHdlFileV3), Row<IHdlFileV4>(&m_XIHdlFileV4),
                 Row<Prjrep::IFileNameHelper>(&m_XIFileNameHelper), Row<IOriginatorRef>(&m_XIOriginatorRef),
                 Row<IPropertyInstanceSet>(&m_XIPropertySet), Row<IViewSet>(&m_views),
                 Row<ISourceLibraryMember>(&m_XISourceLibraryMember),
                 Row<ISourceLibraryMemberInternal>(&m_XISourceLibraryMemberInternal),
                 Row<Prjrep::ITimestamp>(&m_checkTime),
                 Row<Prjrep::IEventSender>(&m_eventSender), Row<IHdlDesignUnit>(&m_XIHdlDesignUnit),
                 Row<IDesignUnit>(&m_XIDesignUnit), Row<Prjrep::IName>(&m_name), Row<IHdlElement>(&m_XIHdlElement),
                 Row<ITransformBindingSets>(&m_transformBindings), ForeignRow<Prjrep::IAttachedInterface>([this] {
                   return CastAnswer<Prjrep::IAttachedInterface>(
                       QueryComponentRef(Attachment(), Prjrep::IAttachedInterface::GetIID()));
                 }),
                 Row<ICompileOrder>(&m_XICompileOrder), Row<IState>(&m_states),
                 Row<IDesignGraphLocatorSet>(&m_XIDesignGraphLocatorSet),
                 Row<IViewClassAssociation>(&m_XIViewClassAssociation), Row<CitI::IInterface>(&m_XIFile));
  }

 private:
  struct XIFile : TNested<CFile, IFile> {
    using TNested::TNested;
    Status GetFileType(IFileType** type) override;
    Status GetFileFlag(bool* flag) override {
      if (flag == nullptr) return kInvalidParameter;
      *flag = This().m_fileFlag;
      return kSuccess;
    }
    Status SetFileFlag(bool flag) override {
      This().m_fileFlag = flag;
      return kSuccess;
    }
    Status GetOriginState(std::uint32_t* state) override {
      if (state == nullptr) return kInvalidParameter;
      *state = This().m_originState;
      return kSuccess;
    }
    Status SetOriginState(std::uint32_t state) override;
  } m_XIFile{this};

  struct XIViewClassAssociation : TNested<CFile, IViewClassAssociation> {
    using TNested::TNested;
    Status SetBit(std::uint32_t viewClass) override;
    Status ClearBit(std::uint32_t viewClass) override {
      This().m_viewClassMask &= ~(1u << (viewClass % 32));
      return kSuccess;
    }
    bool TestBit(std::uint32_t viewClass) override {
      return (static_cast<std::int32_t>(This().m_viewClassMask) & static_cast<std::int32_t>(1u << (viewClass % 32))) >
             0;
    }
  } m_XIViewClassAssociation{this};

  struct XICompAdmin : TNested<CFile, ICompAdmin> {
    using TNested::TNested;
    Status InitializeAfterCreate(CitI::IInterface* owner, CitI::IInterface* definition) override;
    Status InitializeAfterLoad(CitI::IInterface* owner) override;
    Status RegisterForNotifications() override {
      return RegisterComponentsForNotifications(This().m_transformBindings.SecondSet());
    }
    Status Teardown() override;
  } m_XICompAdmin{this};

  struct XIFileInternal : TNested<CFile, IFileInternal> {
    using TNested::TNested;
    Status Remove() override;
  } m_XIFileInternal{this};

  struct XIReconcileToDefData : TNested<CFile, IReconcileToDefData> {
    using TNested::TNested;
    Status Reconcile() override { return kSuccess; }
    Status RemoveObsolete(CitI::IInterface* context) override;
  } m_XIReconcileToDefData{this};

  struct XISourceLibraryMember : TNested<CFile, ISourceLibraryMember> {
    using TNested::TNested;
    Status GetLibrary(ISourceLibrary** library) override;
    Status SetLibrary(ISourceLibrary* library) override;
  } m_XISourceLibraryMember{this};

  struct XISourceLibraryMemberInternal : TNested<CFile, ISourceLibraryMemberInternal> {
    using TNested::TNested;
    Status AdoptLibrary(ISourceLibrary* library) override;
  } m_XISourceLibraryMemberInternal{this};

  using PropertySet = Prjrep::TSequenceSetHelper<IPropertyInstance*, IPropertyInstanceSet, IPropertyInstanceIterator,
                                                 std::list<IPropertyInstance*>>;
  PropertySet m_XIPropertySet;

  Prjrep::TPersistHelper<CFile> m_XIPersist{this};

  // The originators, each once by its full path.
  struct XIAutonymSet : Prjrep::TSequenceSetHelper<Prjrep::IAutonym*, Prjrep::IAutonymSet, Prjrep::IAutonymIterator,
                                                   std::list<Prjrep::IAutonym*>> {
    explicit XIAutonymSet(CFile* file) : m_file(file) {}
    Status Add(Prjrep::IAutonym* autonym) override;
    CFile* m_file;
  } m_XIAutonymSet{this};

  struct XIOriginatorRef : TNested<CFile, IOriginatorRef> {
    using TNested::TNested;
    Status AddOriginator(CitI::IInterface* object) override;
    Status GetOriginatorIterator(Prjrep::IAutonymIterator** originators) override;
    Status FindOriginator(CitI::IInterface* object, Prjrep::IAutonymIterator** at) override;
    Status GetOriginators(Prjrep::IAutonymSet** originators) override;
  } m_XIOriginatorRef{this};

  struct XIHdlFile : TNested<CFile, IHdlFile> {
    using TNested::TNested;
    Status CheckFileOnDisk() override;
    Status SetModified(bool modified) override;
    Status ReservedOperation4(CitI::IInterface** object) override {
      if (object != nullptr) *object = nullptr;
      return kNotSupported;
    }
    Status SetPath(const String& directory, const String& name) override {
      return This().m_XIFileNameHelper.SetPath(directory, name);
    }
    Status GetPath(String* directory, String* name) override;
    Status GetDesignUnits(IHdlParserConfig* config, IHdlDesignUnitIterator** units) override;
    Status ReservedOperation8(CitI::IInterface*, CitI::IInterface*, CitI::IInterface** object) override {
      if (object != nullptr) *object = nullptr;
      return kNotSupported;
    }
    Status ReservedOperation9(CitI::IInterface*, CitI::IInterface*, String* text) override {
      if (text != nullptr) *text = String();
      return kNotSupported;
    }
    Status SetParserName(const String&) override { return kNotSupported; }
    Status GetParserName(String* name) override;
    Status GetFileAddTarget(std::uint64_t* target) override;
    Status GetSequenceId(std::uint64_t* id) override;
    Status SetSequenceId(std::uint64_t) override { return kNotSupported; }
    Status IsModified(bool* modified) override {
      if (modified == nullptr) return kInvalidParameter;
      *modified = This().m_modified;
      return kSuccess;
    }
  } m_XIHdlFile{this};

  struct XIHdlFileV3 : TNested<CFile, IHdlFileV3> {
    using TNested::TNested;
    Status SetGlobalInclude(bool globalInclude) override;
    Status GetGlobalInclude(bool* globalInclude) override;
  } m_XIHdlFileV3{this};

  struct XIHdlFileV4 : TNested<CFile, IHdlFileV4> {
    using TNested::TNested;
    // The file behind the face, for the relation stamps that other files and views read.
    CFile& File() const { return This(); }
    Status ReservedOperation2() override { return kNotSupported; }
    Status SetViewId(std::uint32_t) override { return kNotSupported; }
    Status AddChildFileByName(std::uint32_t category, const String& name, IHdlFile** child) override;
    Status RemoveChildFile(std::uint32_t category, IHdlFile* child) override;
    Status RemoveAllChildFiles(std::uint32_t category) override;
    Status AddParentFile(std::uint32_t category, IHdlFile* parent) override;
    Status RemoveParentFile(std::uint32_t category, IHdlFile* parent) override;
    Status GetChildFiles(std::uint32_t category, IHdlFileIterator** children) override;
    Status GetParentFiles(std::uint32_t category, IHdlFileIterator** parents) override;
    Status HasNoParents(bool* none) override;
  } m_XIHdlFileV4{this};

  // Passes every operation to the file-name helper component; a path that is set refreshes
  // the file's own names.
  struct XIFileNameHelper : TNested<CFile, Prjrep::IFileNameHelper> {
    using TNested::TNested;
    Status SetPathInDirectory(const String& path, const String& second, const String& baseDirectory) override;
    Status SetPath(const String& path, const String& second) override;
    Status SetBaseDirectory(const String& directory) override;
    Status GetBaseDirectory(String* directory) override;
    Status GetPathOnDirectory(const String& directory, String* path) override;
    Status GetDirectory(String* directory) override;
    Status GetFullName(String* path) override;
    Status GetRelativeName(String* path) override;
    Status GetOsPath(String* path) override;
    Status GetShortName(String* name) override;
    Status GetExtension(String* extension) override;
    Status IsInsideBase(bool* inside) override;
  } m_XIFileNameHelper{this};

  struct XIDesignUnit : TNested<CFile, IDesignUnit> {
    using TNested::TNested;
    Status GetDesignUnitType(IDesignUnitType** type) override;
    Status GetViews(IViewIterator** views) override;
    Status GetDesignUnitName(String* name) override {
      if (name == nullptr) return kInvalidParameter;
      if (This().m_designUnitName) {
        *name = *This().m_designUnitName;
      } else {
        name->str().clear();
      }
      return kSuccess;
    }
    Status SetDesignUnitName(const String& name) override {
      std::unique_ptr<String>& held = This().m_designUnitName;
      if (held) {
        *held = name;
      } else {
        held = std::make_unique<String>(name);
      }
      return kSuccess;
    }
    Status GetSecondBindingSet(ITransformBindingInstanceSet** set) override {
      return This().m_transformBindings.GetSecondBindingSet(set);
    }
    Status GetDesign(IDesign** design) override;
  } m_XIDesignUnit{this};

  struct XIHdlDesignUnit : TNested<CFile, IHdlDesignUnit> {
    using TNested::TNested;
    Status GetDesignUnit(CitI::IInterface*, IHdlDesignUnit** unit) override;
    Status ReservedOperation3(CitI::IInterface*, CitI::IInterface*, bool* result) override {
      if (result != nullptr) *result = false;
      return kNotSupported;
    }
    Status ReservedOperation4(Port::XUID* id) override {
      if (id != nullptr) *id = Port::XUID();
      return kNotSupported;
    }
  } m_XIHdlDesignUnit{this};

  struct XIHdlElement : TNested<CFile, IHdlElement> {
    using TNested::TNested;
    Status GetHdlFile(IHdlFile** file) override;
    Status GetSourceFile(IHdlFile** file) override { return GetHdlFile(file); }
    Status ReservedOperation4() override { return kNotSupported; }
    bool ReservedQuery5() override { return false; }
  } m_XIHdlElement{this};

  struct XICompileOrder : TNested<CFile, ICompileOrder> {
    using TNested::TNested;
    Status SetSequenceID(std::uint32_t kind, std::uint64_t value) override;
    Status GetSequenceID(std::uint32_t kind, std::uint64_t* value) override;
  } m_XICompileOrder{this};

  struct XIDesignGraphLocatorSet
      : Prjrep::TStringSequenceSetHelper<IDesignGraphLocatorSet, Prjrep::IStringIterator, std::list<String>> {
    using TStringSequenceSetHelper::Remove;
    Status Add(String locator) override;
    Status Remove(const String& locator) override;
    Status Contains(const String& locator, bool* found) override;
  } m_XIDesignGraphLocatorSet;

  // The project of the file's design, with one reference; null without a design.
  Prjrep::AutoRelease<IProject> Project() const;
  // The design's data store queried for `I`.
  template <class I>
  Prjrep::AutoRelease<I> DataStorePart() const;
  // The first file that includes this one, in category and key order, that answers `I`.
  template <class I>
  Prjrep::AutoPtr<I> FirstParentAs();
  // Finds the design-unit type of the file's type in the data store; null when there is none.
  void ResolveDesignUnitType();
  // The names the file keeps of its path, taken anew from the file-name helper.
  void RefreshNames();
  // Places the file in the views of the design it is held by that take it; `backOnDisk` as
  // PlaceFileInViews has it.
  void PlaceInViews(bool backOnDisk = false);
  // The file that a generated or imported file was generated from; this file for a user
  // source; null when there is none.
  Prjrep::AutoRelease<IHdlFile> FindSourceFile();
  // The key under which other files list `file`.
  static String KeyOf(CitI::IInterface* file);
  // Leaves the held library, without it calling back, and holds `next` (may be null).
  Status ChangeLibrary(ISourceLibrary* next);
  // True while the first binding set holds a binding: the ids and the flag are then the
  // transform's to keep.
  bool BoundAsInput() const {
    CTransformBindingSet* first = m_transformBindings.FirstSet();
    return first != nullptr && first->Size() > 0;
  }

  bool m_fileFlag = false;
  std::uint32_t m_originState = kUserSource;
  Prjrep::AutoPtr<IFileType> m_fileType;
  Prjrep::AutoPtr<IDesign> m_design;
  Prjrep::AutoPtr<ISourceLibrary> m_library;
  // The library asked to take the file, while it is asked; its call back is its yes.
  ISourceLibrary* m_joining = nullptr;
  Prjrep::TRefCountHelper<CFile> m_refCount{this};
  Prjrep::CEventSenderHelper m_eventSender{this};
  Prjrep::AutoPtr<IDesignUnitType> m_designUnitType;
  Prjrep::CTimestampHelper m_checkTime{this};  // seconds all ones until the first check
  std::int64_t m_sizeOnDisk = 0;               // as last checked
  Prjrep::CNameHelper m_name{this};
  // A file is given one id for all kinds as a rule: the ids are kept as that one value and the
  // kinds that hold it (the others hold 0), until a kind is given a value of its own; from
  // then on each kind keeps its own.
  std::uint64_t m_sequenceId = 0;
  std::unique_ptr<std::uint64_t[]> m_sequenceIdsApart;
  std::uint64_t SequenceId(std::uint32_t kind) const;
  void StoreSequenceId(std::uint32_t kind, std::uint64_t value);
  // Few files have parents or children, and of those few in more than one category: each set
  // is made when it is first asked for, and kept under its slot (the category for children,
  // after the six categories for parents).
  struct RelationEntry {
    std::uint32_t slot;
    std::unique_ptr<CFileRelationSet> set;
  };
  std::vector<RelationEntry> m_relations;
  CFileRelationSet& ChildFiles(std::uint32_t category) { return Made(category); }
  CFileRelationSet& ParentFiles(std::uint32_t category) { return Made(kCategories + category); }
  // The set of `slot` when it was made; null otherwise.
  CFileRelationSet* Found(std::uint32_t slot) const;
  // The parent sets by category, null for a set not made.
  std::array<CFileRelationSet*, kCategories> ParentSets() const;
  CFileRelationSet& Made(std::uint32_t slot);
  // For a file leaving its project: its parents empty their entries of it, and it gives up
  // every file it holds, which no longer list it as their parent.
  void LetGoOfRelatedFiles();
  // Whether any file lists this one as its child.
  bool Included() const;
  // Sets the origin state; a change is told, as the views keep an index of the files they manage.
  void ChangeOriginState(std::uint32_t state);
  // A managed file the user had added becomes the user's again once nothing includes it.
  void ReturnToUserWhenNotIncluded();
  // The user added the file before it became managed, or while it was; read only while the file
  // is managed.
  bool m_userAdded = false;
  friend bool UserAddedManagedFile(CitI::IInterface* file);
  // The views the file was in when its check on disk found it gone, until it is back; null
  // otherwise (few files are ever gone).
  std::unique_ptr<std::vector<ViewBranchWords>> m_viewsWhenGone;
  friend const std::vector<ViewBranchWords>* ViewsWhenGone(CitI::IInterface* file);
  // Keeps the views the file is in as those it went from: when it went since the last check
  // (`wentNow`), or when it is first seen in views while gone (views placed it since an open
  // that found it gone).
  void RememberViewsWhenGone(bool wentNow);
  // The type a file the user added and a source included is recorded with (its includer's), kept
  // while the file is off the disk, where no source is seen to include it; null otherwise.
  std::unique_ptr<String> m_includedTypeWhenGone;
  friend void KeepIncludedEntryWhileGone(CitI::IInterface* file, const Port::StringBase<char>& typeName);
  friend const Port::StringBase<char>* IncludedTypeWhileGone(CitI::IInterface* file);
  // The relation epoch at the last change of this file's children or of their names.
  std::uint64_t m_childrenStamp = 0;
  void ChildrenChanged();
  friend std::uint64_t FileChildrenStamp(CitI::IInterface* file);
  // The file behind `object`; null when it is no file of this class.
  static CFile* Of(CitI::IInterface* object);
  bool m_globalInclude = false;
  std::uint8_t m_kindsHoldingSequenceId = 0;  // one bit a kind
  std::uint32_t m_viewClassMask = 0;
  // Canonical, with its trailing separator; null while empty. Files in one directory share
  // one text, which none of them changes: a file given another path takes another text.
  std::shared_ptr<const String> m_directory;
  String m_fileName;
  bool m_modified = true;
  Prjrep::AutoPtr<Prjrep::IFileNameHelper> m_fileNameHelper;
  CStateHelper m_states;
  // Most files sit in a few views: a vector keeps them in one block instead of a node each.
  Prjrep::TSequenceSetHelper<IView*, IViewSet, IViewIterator, std::vector<IView*>> m_views;
  // The attachment is made when it is first asked for: few files are ever asked.
  ComponentInterfaceRef m_componentRef;
  const ComponentInterfaceRef& Attachment();
  std::unique_ptr<String> m_designUnitName;  // a name is seldom given: none until one is
  // Set while the file answers through its parents, so that files that include one another
  // do not ask each other without end.
  bool m_askingParents = false;
  // Its sets ask the file for its root when they are made.
  CFileBindingSets m_transformBindings{this};
};

template <class I>
Prjrep::AutoRelease<I> CFile::DataStorePart() const {
  Prjrep::AutoRelease<IDataStore> store;
  if (m_design) std::ignore = m_design->GetDataStore(store.Receive());
  return Prjrep::AutoRelease<I>(std::move(store));
}

}  // namespace Hvd
