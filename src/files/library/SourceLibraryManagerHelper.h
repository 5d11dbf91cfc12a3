#pragma once
// The source libraries of one project, kept by the project as a member and reached only
// through it.

#include <cstdint>
#include <vector>

#include "Hvd/ISourceLibrary.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/AssociativeSets.h"
#include "core/Holders.h"

namespace Hvd {

class CSourceLibraryManagerHelper : public ISourceLibraryManager, private ISourceLibraryKeeper {
 public:
  using String = Port::StringBase<char>;

  CSourceLibraryManagerHelper() = default;
  CSourceLibraryManagerHelper(const CSourceLibraryManagerHelper&) = delete;
  CSourceLibraryManagerHelper& operator=(const CSourceLibraryManagerHelper&) = delete;
  ~CSourceLibraryManagerHelper() override { ClearAllLibraries(); }

  // Every query goes to the owner, so the manager is reached only through the project.
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return m_owner != nullptr ? m_owner->QueryInterface(iid) : nullptr;
  }
  // The project: its open and read-only answers guard every change, and it sends the events.
  void SetOwner(CitI::IInterface* owner) noexcept { m_owner = owner; }

  Status CreateSourceLibrary(const String& name, ISourceLibrary** library) override {
    return CreateSourceLibraryOfType(name, kVhdlLibrary, library);
  }
  Status RemoveSourceLibrary(ISourceLibraryIterator* at) override;
  Status GetSourceLibraries(ISourceLibraryIterator** libraries) override;
  Status FindSourceLibrary(const String& name, ISourceLibrary** library) override;

  static constexpr std::int32_t kSystemLibrary = 1;  // "work": every listed file type
  static constexpr std::int32_t kVhdlLibrary = 3;
  // A new library of `type` named `name`, written to `library` when given; 1 without a new one
  // when the name is taken.
  Status CreateSourceLibraryOfType(const String& name, std::int32_t type, ISourceLibrary** library);
  // Makes every library forget its files, then drops the libraries.
  void ClearAllLibraries();

 private:
  // A library kept here takes a new name only where a library of that name could be made, and
  // never when it is "work"; it is then kept under the new name.
  Status RenameSourceLibrary(ISourceLibrary* library, const String& name) override;

  // The libraries under their names, in name order, one reference each.
  class CSourceLibrarySet
      : public Prjrep::TAssociativeSetHelper<ISourceLibrary*, ISourceLibrarySet, ISourceLibraryIterator> {
   public:
    // Stored under the library's own name, replacing a library of that name.
    Status Add(ISourceLibrary* library) override;
    ISourceLibrary* Find(const String& name);
    std::vector<ISourceLibrary*> Libraries() const;
    // Keeps the library of key `from` under `to` instead, with the same reference.
    Status Rekey(const String& from, const String& to);
  };

  // 1 when there is no owner or its project is open and writable; else the failure, reported
  // under `operation`.
  Status CheckProject(const char* operation);

  CitI::IInterface* m_owner = nullptr;
  CSourceLibrarySet m_libraries;
};

}  // namespace Hvd
