#pragma once
// A project of design files over the scanner: the caller adds files under handles of its own and
// an order index, marks them modified, and asks for compile orders, top candidates and the
// hierarchy below a top. Files are scanned lazily: only when added or marked modified, and only by
// the next query, which also binds names across files and languages. Verilog macros carry on from
// file to file in file order, as when the files are compiled as one: a file whose macros from the
// files before it change is scanned again. Not thread-safe; scans run on threads of its own, so a
// reader set with SetReader must bear being called from several threads at once.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "HdlScan/Scan.h"

namespace Hdl::scan {

using FileHandle = std::uintptr_t;

// A unit as the project knows it. The views stay valid for the project's lifetime.
struct UnitInfo {
  UnitKind kind = UnitKind::kVhdlEntity;
  std::string_view name;
  std::string_view primary;  // the entity of an architecture or configuration, the package of a body
  std::string_view library;
  std::string_view path;
  FileHandle file = 0;
  std::uint32_t line = 0;
  bool hasPorts = false;
  bool complete = true;

  // "name" for primary units, "entity(arch)" for architectures, "package(body)" for bodies.
  std::string Label() const;
  bool operator==(const UnitInfo&) const = default;
};

struct CompileOrder {
  std::vector<UnitInfo> units;
  std::vector<FileHandle> files;
};

struct TopCandidate {
  UnitInfo unit;
  bool testbench = false;  // no ports
  // The same in two answers only while HierarchyRoot(unit.name) answers alike; 0: not known, as
  // for a unit whose name finds another unit first.
  std::uint64_t version = 0;
  // The unit's number while it stands (a unit made later may take the number of one gone); 0: none.
  std::uint32_t id = 0;
};

// A top candidate as a caller that keeps what it made of each needs it: the id and version of
// TopCandidate, its unit read with TopUnit.
struct TopRef {
  std::uint32_t id = 0;
  std::uint64_t version = 0;
};

struct HierarchyNode {
  std::string path;                      // "top/u1/gen/u2", with the generate and block labels on the way
  std::string instanceName;              // "u2"; empty for the top
  std::string unitName;                  // the name instantiated, also when it binds to nothing
  std::optional<UnitInfo> unit;          // the entity, module or configuration
  std::optional<UnitInfo> architecture;  // the VHDL architecture used
  bool recursive = false;                // the unit already appears above; not expanded again
  std::vector<HierarchyNode> children;
};

// A node of a top's hierarchy that makes its children only when asked, from the project as it
// stood when the top was asked for: later changes to the project do not reach it. Walked fully it
// gives what Hierarchy gives. Cheap to copy; it may outlive the project.
class HierarchyCursor {
 public:
  struct State;

  // The node's own fields; its children are left empty.
  const HierarchyNode& Node() const;
  std::vector<HierarchyCursor> Children() const;
  // True when `other` is this node read again from a hierarchy unchanged below it: the same
  // fields, and children that are the same all the way down. False whenever that is not known
  // cheaply, so a caller may keep what it made of a node for as long as this holds.
  bool SameAs(const HierarchyCursor& other) const;

 private:
  friend class Project;
  explicit HierarchyCursor(std::shared_ptr<const State> state) : m_state(std::move(state)) {}
  std::shared_ptr<const State> m_state;
};

class Project {
 public:
  Project();
  ~Project();
  Project(const Project&) = delete;
  Project& operator=(const Project&) = delete;

  // Files. `order` is the project's file order: ties in every order are broken by it, then by the
  // order in which files were added. A new path or language marks the file modified; a new order or
  // library only binds names again. False for an unknown handle, and for adding a handle twice.
  bool AddFile(FileHandle handle, std::string_view path, std::int64_t order, std::string_view library = "work");
  bool Remove(FileHandle handle);
  bool SetPath(FileHandle handle, std::string_view path);
  bool SetOrder(FileHandle handle, std::int64_t order);
  bool SetLibrary(FileHandle handle, std::string_view library);
  bool SetLanguage(FileHandle handle, Language language);  // kAuto: by extension
  // Also marks the files that included it.
  bool SetModified(FileHandle handle);
  // Marks the files with this path or that included it (an include file outside the project).
  void SetPathModified(std::string_view path);
  // Marks only the files that included the path, or looked for it in vain: what costs a change to
  // a header that is no file of the project is the rescan of its includers, nothing more.
  void SetIncludeModified(std::string_view path);
  // True from a change until a query has scanned the file again.
  bool IsModified(FileHandle handle) const;
  bool Contains(FileHandle handle) const;
  std::size_t FileCount() const;
  std::optional<std::string_view> PathOf(FileHandle handle) const;
  // The files that the file's last scan included, each once, as the scanner found them; empty for
  // an unknown handle. The views stay valid for the project's lifetime.
  std::vector<std::string_view> IncludesOf(FileHandle handle) const;
  // The files whose last scan included other files than the scan before it (a first scan: any
  // file), since this was last asked; each once.
  std::vector<FileHandle> TakeIncludeChanges();

  // Settings; a change marks the files it affects modified.
  void SetMacros(std::vector<std::string> macros);
  void SetIncludeDirs(std::vector<std::string> dirs);
  bool SetVhdlStandard(std::string_view standard);  // false, and no change, for an unknown one
  void SetVhdlStandard(std::optional<VhdlStandard> standard);  // none: not set (see ScanOptions)
  // Relative file paths and include directories are read against it.
  void SetBaseDirectory(std::string_view directory);
  void SetReader(Reader reader);  // empty: the disk
  const std::vector<std::string>& Macros() const;
  const std::vector<std::string>& IncludeDirs() const;
  std::optional<VhdlStandard> GetVhdlStandard() const;

  // Scans what changed; every query below does it first. Returns the number of files scanned, each
  // counted once. It first looks again for the include paths that files looked for in vain, and
  // scans again the files whose include can be read now.
  std::size_t Update();
  // Drops the bindings and orders worked out from the scans, which the next query works out again.
  void Invalidate();

  std::vector<UnitInfo> Units();
  std::vector<UnitInfo> UnitsOf(FileHandle handle);
  // Every unit after the units it needs; configurations as late as their users allow.
  CompileOrder GetCompileOrder();
  // Only what `top` needs, in the same order; empty with a message for an unknown top. The top is
  // an entity, module or configuration, looked up like a Verilog instance (exact name, then any case).
  CompileOrder GetCompileOrder(std::string_view top, std::string_view library = {});
  // Units nothing instantiates, but for a unit defined again beside the one used (what such a
  // unit, or an architecture without its entity, instantiates does not count); the one a
  // synthesis tool would pick first: the deepest hierarchy, then the larger, then the later in
  // file order; testbenches (no ports) after all others.
  // Valid until they are asked for again or the project goes.
  const std::vector<TopCandidate>& TopCandidates();
  // The same candidates by id and version only, valid as long; TopUnit reads a candidate's unit.
  const std::vector<TopRef>& TopRefs();
  UnitInfo TopUnit(std::uint32_t id) const;
  std::optional<HierarchyNode> Hierarchy(std::string_view top, std::string_view library = {});
  // The top of the same hierarchy, whose nodes below are made as they are walked.
  std::optional<HierarchyCursor> HierarchyRoot(std::string_view top, std::string_view library = {});
  // Whether HierarchyRoot(top, library) would now answer with a cursor SameAs `kept` and with the
  // same node, checked without making one; false when it would not or may not.
  bool RootUnchanged(const HierarchyCursor& kept, std::string_view top, std::string_view library = {});
  // The generics and ports of an entity, module, program or interface, or of a configuration's
  // entity, looked up like a top; none for a name the project does not know.
  std::optional<Interface> InterfaceOf(std::string_view name, std::string_view library = {});
  // The scans' messages and those of the last binding and ordering, in file order. Valid until the
  // project next changes or answers a query.
  const std::vector<Message>& Messages();
  // The same messages in the same order, each handed to `visit` where it lies instead of gathered
  // into one list: for a caller that reads them once, such as one writing them out.
  void VisitMessages(const std::function<void(const Message&)>& visit);
  // Changes whenever the messages a query gave (an unknown top, a hierarchy cut at the node bound)
  // change, which no scan or edit tells of: a caller that wrote the messages writes them again.
  std::uint64_t QueryMessagesVersion() const;
  // The messages of the file's own last scan, without binding the project; empty for an unknown
  // handle. Valid as long as Messages().
  const std::vector<Message>& ScanMessagesOf(FileHandle handle);

  // Bounds the hierarchy: past it the tree is cut with a message.
  void SetMaxHierarchyNodes(std::size_t nodes);
  // New and changed files are scanned on this many threads, the caller's among them; 0 (the
  // default): one a core, up to 8. Whatever the number, the results and messages are the same.
  void SetScanThreads(std::size_t threads);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace Hdl::scan
