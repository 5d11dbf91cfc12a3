#pragma once
// A source library of a project: a named set of the project's files, whose type decides the
// file types it takes. The library lists its members by pointer only; each member holds the
// library and tells it when it leaves, also when it is torn down.

#include <cstdint>
#include <set>
#include <vector>

#include "Hvd/ClassIds.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IStorage.h"
#include "core/Events.h"
#include "core/Interface.h"
#include "core/Names.h"
#include "core/Persist.h"
#include "core/RefCount.h"
#include "core/Sets.h"

namespace Hvd {

class CSourceLibrary : public TComponent<CSourceLibrary> {
 public:
  using String = Port::StringBase<char>;

  static const Port::XUID& GetCLSID() { return ClassId::SourceLibrary(); }

  // Library types.
  static constexpr std::int32_t kUndefined = 0;
  static constexpr std::int32_t kMixed = 1;
  static constexpr std::int32_t kVerilog = 2;
  static constexpr std::int32_t kVhdl = 3;

  CSourceLibrary();
  CSourceLibrary(const CSourceLibrary&) = delete;
  CSourceLibrary& operator=(const CSourceLibrary&) = delete;
  // Tells no member: they hold the library, so it goes only once none is left or the
  // manager has forgotten them all.
  ~CSourceLibrary() override = default;

  auto QueryTable() {
    return Table(Row<Prjrep::IPersist>(&m_XIPersist), Row<Prjrep::IName>(&m_name),
                 Row<ISourceLibrary>(&m_XISourceLibrary), Row<IHdlFileSet>(&m_XIHdlFileSet),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<Prjrep::IEventSender>(&m_eventSender),
                 Row<ISourceLibraryInternal>(&m_XISourceLibraryInternal), Row<CitI::IInterface>(&m_XISourceLibrary));
  }

  // The stored form: name, type, file count and the files as object references.
  Status LoadFrom(Prjrep::IStorage* storage);
  Status SaveTo(Prjrep::IStorage* storage);

 private:
  struct XISourceLibrary : TNested<CSourceLibrary, ISourceLibrary> {
    using TNested::TNested;
    Status IsFileTypeValidForLibrary(IFileType* type, bool* valid) override;
    Status AddFileToLibrary(IHdlFile* file) override;
    Status RemoveFileFromLibrary(IHdlFile* file) override;
  } m_XISourceLibrary{this};

  struct XISourceLibraryInternal : TNested<CSourceLibrary, ISourceLibraryInternal> {
    using TNested::TNested;
    Status ClearFiles() override { return This().m_files.Clear(); }
    Status DropFile(CitI::IInterface* file) override;
    Status SetLibraryType(std::int32_t type) override {
      This().m_type = type;
      return This().InitializeType(type);
    }
    Status SetKeeper(ISourceLibraryKeeper* keeper) override {
      This().m_keeper = keeper;
      return kSuccess;
    }
  } m_XISourceLibraryInternal{this};

  // The library seen as a set of files.
  struct XIHdlFileSet : TNested<CSourceLibrary, IHdlFileSet> {
    using TNested::TNested;
    Status Add(IHdlFile* file) override { return This().m_XISourceLibrary.AddFileToLibrary(file); }
    Status Remove(IHdlFileIterator* at) override;
    Status GetIterator(IHdlFileIterator** files) override;
    std::size_t Size() override { return This().m_files.Size(); }
    Status Clear() override { return This().m_files.Clear(); }
  } m_XIHdlFileSet{this};

  Prjrep::TPersistHelper<CSourceLibrary> m_XIPersist{this};

  // Member files in pointer order, without references.
  class CLibraryFileSet : public Prjrep::TSetHelper<IHdlFile*, IHdlFileSet, IHdlFileIterator, std::set<IHdlFile*>> {
   public:
    Status Add(IHdlFile* file) override;
    IHdlFile* GetAt(const Position& pos) override { return AtEnd(pos) ? nullptr : *pos; }
    bool Contains(IHdlFile* file) const { return m_elements.count(file) != 0; }
    // Forgets `file`; false when it was not listed.
    bool Drop(IHdlFile* file);
    std::vector<IHdlFile*> Members() const { return {m_elements.begin(), m_elements.end()}; }
  };

  // Fills the accepted file types for `type`; 0 with a message for a type without any.
  Status InitializeType(std::int32_t type);
  // The part of removing a member that follows its erasure: the file is told, then listeners.
  Status ReleaseMember(IHdlFile* file);
  // True when the member names this library as its own.
  bool IsLibraryOf(CitI::IInterface* file);

  std::int32_t m_type = kUndefined;
  Prjrep::TRefCountHelper<CSourceLibrary> m_refCount{this};
  CLibraryFileSet m_files;
  Prjrep::CEventSenderHelper m_eventSender{&m_XISourceLibrary};
  std::set<String> m_allowedTypes;  // definition ids of the file types taken
  // Not held: the manager that keeps the library clears it before it lets the library go.
  ISourceLibraryKeeper* m_keeper = nullptr;
  // A rename takes only a name the library could be made with; the keeper, when there is one,
  // says whether it may and keeps the library under the new name.
  struct CLibraryName : Prjrep::CNameHelper {
    explicit CLibraryName(CSourceLibrary* library) : CNameHelper(&library->m_XISourceLibrary), m_library(library) {}
    Status SetName(const String& name) override;
    CSourceLibrary* m_library;
  } m_name{this};
};

}  // namespace Hvd
