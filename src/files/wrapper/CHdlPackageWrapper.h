#pragma once
// The HDL package wrapper of a major view: one parser project that mirrors the view's source
// files and parser properties, and remembers what it last handed over, so that a later request
// can tell without reparsing whether anything changed. On top of that state it answers the
// view's design hierarchy and compile orders.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Hvd/IDefData.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IHdlNetlist.h"
#include "Hvd/IHdlProject.h"
#include "Hvd/IView.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Holders.h"
#include "core/PointerMap.h"

namespace Hvd {

class CHdlPackageWrapper {
 public:
  using String = Port::StringBase<char>;

  // What the wrapper last handed to the parser about one file.
  struct FileData {
    std::int64_t seconds = 0;
    std::int64_t microseconds = 0;
    String library;
    bool globalInclude = false;
    std::uint32_t originState = 0;
    // The file's place among the project's files: the parser breaks ties of its order by it.
    std::uint64_t place = 0;
  };

  CHdlPackageWrapper();
  CHdlPackageWrapper(const CHdlPackageWrapper&) = delete;
  CHdlPackageWrapper& operator=(const CHdlPackageWrapper&) = delete;
  virtual ~CHdlPackageWrapper();

  // The id handed to every new parser file; the view stores it before each set-up.
  void SetViewId(std::uint32_t id) { m_viewId = id; }
  Status SetWorkingDirectory(const String& directory);
  Status SetProjectDirectory(const String& directory);
  // Hands over the view's whole list of files: the next request compares every file.
  Status SetViewFiles(IFileIterator* files);
  // Hands over one change of the list: `file` joins it (`present`) or leaves it. Only the files
  // named here and by MarkFileChanged are compared and passed to the parser at the next request.
  void UpdateViewFile(CitI::IInterface* file, bool present);
  // From now on the owner names every change of its files through UpdateViewFile and
  // MarkFileChanged, so that a request compares only those; until then every request compares
  // every file.
  void TrackChanges() { m_tracked = true; }
  // A file of the list may have changed its stamp, library, global include or origin; anything
  // the wrapper does not hold is ignored.
  void MarkFileChanged(CitI::IInterface* file);
  Status SetViewProperties(IPropertyInstanceIterator* properties);
  Status UpdateElaborationData();

  Status CreateCHdlFileComponent(IHdlProject* project, IHdlFile* viewFile, IHdlFile** parserFile);
  Status PopulateFileData(CitI::IInterface* file, FileData* data);
  Status UpdateParserProperties();
  Status UpdateProjectFiles();
  Status ArePropertySetsEqual(bool* equal);
  Status AreFilesUpToDate(bool* upToDate);

  // The top node of the design graph (one reference for the caller), rebuilt only when the
  // view's properties or files changed since the last time.
  Status GetHierarchy(IHdlNetListNode** top, bool* rebuilt);
  // The next GetHierarchy builds anew: something the files read outside the view's own files
  // changed (a file they include came back on disk).
  void ForgetHierarchy() { m_top = nullptr; }
  Status BuildHierarchy();
  // `component` is a view file, a design unit or null; `mode` goes to the parser unchanged.
  Status CreateCompileOrder(CitI::IInterface* component, std::uint32_t mode, bool onlyHdlTypes,
                            IHdlFileIterator** files);
  void CollectGlobalIncludeFiles(std::vector<IHdlFile*>* files);
  Status GetHdlDesignUnitFromGivenComponent(CitI::IInterface* component, IHdlDesignUnit** unit);

  // Deletes the parser's message file under the working directory last handed to any wrapper:
  // 1 when it is gone (or was never there), 0 when there is no such directory or a path is of
  // the wrong kind or cannot be examined or deleted.
  [[nodiscard]] static Status RemoveParserMessageFile();

  // The parser project, for those that look into what was mirrored.
  IHdlProject* ParserProject() const { return m_project.Get(); }

 private:
  // A file's key, its text made once and shared by every table that lists the file: a large view
  // lists many files in several tables. Tables compare and hash it by its text, and look it up by
  // any text.
  class Key {
   public:
    Key() = default;
    explicit Key(std::string_view text)
        : m_rep(new (::operator new(sizeof(Rep) + text.size())) Rep{{1}, static_cast<std::uint32_t>(text.size())}) {
      text.copy(Text(m_rep), text.size());
    }
    Key(const Key& other) noexcept : m_rep(other.m_rep) {
      if (m_rep != nullptr) m_rep->refs.fetch_add(1, std::memory_order_relaxed);
    }
    Key(Key&& other) noexcept : m_rep(std::exchange(other.m_rep, nullptr)) {}
    Key& operator=(Key other) noexcept {
      std::swap(m_rep, other.m_rep);
      return *this;
    }
    ~Key() {
      if (m_rep != nullptr && m_rep->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        m_rep->~Rep();
        ::operator delete(m_rep);
      }
    }
    operator std::string_view() const noexcept {  // NOLINT
      return m_rep != nullptr ? std::string_view(Text(m_rep), m_rep->size) : std::string_view();
    }

   private:
    // The count and length, the text right after them: one allocation a key.
    struct Rep {
      std::atomic<std::uint32_t> refs;
      std::uint32_t size;
    };
    static char* Text(Rep* rep) noexcept { return reinterpret_cast<char*>(rep + 1); }
    Rep* m_rep = nullptr;
  };
  struct KeyLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return a < b; }
  };
  // Keys are looked up, never walked in order: hashed, as they are asked for each file. Not
  // noexcept, so that the tables keep each key's hash beside it: growing a table of a large
  // project, or walking a bucket, then reads no key's text again.
  struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
  };
  struct KeyEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return a == b; }
  };

  static Status CreateSimpleProject(IHdlProject** project);
  void Reserve(std::size_t count);
  static String KeyOf(IHdlFile* file, Status* status);
  // The view's listing of `file` under `key`, which takes the place of one under the same key.
  const Key& ListViewFile(const String& key, IHdlFile* file);
  // Whether the file under `key` differs from what the parser was last handed.
  bool IsFileStale(const Key& key);
  Status RemoveParserFile(const Key& key);
  // `viewFile` is the view's file listed under `key`; `moved` is set when its path is another now.
  Status UpdateProjectFile(const Key& key, IHdlFile* viewFile, bool* moved = nullptr);
  // A file the view manages itself (a header its sources include) is no file of the parser's:
  // its includers read its text. Its time is kept from when the view first lists it, and a new
  // one, or its leaving the view, has the parser read its includers again, and them alone.
  using FileTime = std::pair<std::int64_t, std::int64_t>;
  static bool IsManagedByView(IHdlFile* file);
  static FileTime TimeOf(IHdlFile* file);
  void SeeIncludedFile(const Key& key, IHdlFile* file);
  bool IsIncludedFileChanged(const Key& key, IHdlFile* file) const;
  Status UpdateIncludedFile(const Key& key, IHdlFile* viewFile);
  Status ForgetIncludedFile(const Key& key);
  Status TellIncluders(std::string_view path);

  Prjrep::AutoRelease<IHdlNetListNode> m_top;
  Prjrep::AutoPtr<IHdlProject> m_project;
  TPointerMap<IHdlFile*> m_parserToView;
  TPointerMap<IHdlFile*> m_viewToParser;
  std::uint32_t m_viewId = 0;
  std::map<String, Prjrep::AutoPtr<IPropertyInstance>> m_viewProperties;
  std::map<String, String> m_rememberedValues;
  std::map<Key, Prjrep::AutoPtr<IHdlFile>, KeyLess> m_viewFiles;
  // The entry listed last, where the next is looked for first; end() when there is none.
  std::map<Key, Prjrep::AutoPtr<IHdlFile>, KeyLess>::iterator m_lastListed = m_viewFiles.end();
  // The key each view file is listed under, by the file's identity.
  TPointerMap<Key> m_keyOfView;
  // What was handed over under each key: the parser's file, and what the parser was last told of
  // the view's file. Either may be missing: a whole new list finds the parser's files again, and
  // a key that moved away keeps its parser file. One entry a key, never an empty one: a large
  // view hands each of its files over once, and both are looked up and filled together.
  struct Handed {
    IHdlFile* parser = nullptr;
    std::optional<FileData> remembered;
  };
  std::unordered_map<Key, Handed, KeyHash, KeyEqual> m_handed;
  // The time of each file the view manages itself as its includers last read it.
  std::unordered_map<Key, FileTime, KeyHash, KeyEqual> m_includedTimes;
  static bool Differs(const FileData& now, const FileData& then);
  // Whether the parser's file handed over stands for `viewFile`, or none was handed yet.
  bool HandedFor(IHdlFile* viewFile, const Handed& handed);
  std::size_t m_parserFiles = 0;      // entries with a parser file
  std::size_t m_rememberedFiles = 0;  // entries with what was last handed over
  // What changed since the parser was last brought up to date; every file when m_compareAll.
  std::set<Key, KeyLess> m_changedKeys;
  bool m_compareAll = true;
  bool m_tracked = false;
  // Only GetHierarchy takes it; the counter tells a same-thread re-entry from a first call.
  std::recursive_mutex m_hierarchyLock;
  std::int32_t m_reentry = 0;
};

}  // namespace Hvd
