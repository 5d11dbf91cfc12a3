#pragma once
// The source libraries of one project, kept by the project as a member and reached only
// through it.

#include <map>
#include <string>

#include "Hvd/ISourceLibrary.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Holders.h"

namespace Hvd {

class CSourceLibraryManagerHelper : public ISourceLibraryManager {
 public:
  CSourceLibraryManagerHelper() = default;
  CSourceLibraryManagerHelper(const CSourceLibraryManagerHelper&) = delete;
  CSourceLibraryManagerHelper& operator=(const CSourceLibraryManagerHelper&) = delete;
  ~CSourceLibraryManagerHelper() override { ClearAllLibraries(); }

  // Every query goes to the owner, so the manager is reached only through the project.
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return m_owner != nullptr ? m_owner->QueryInterface(iid) : nullptr;
  }
  void SetOwner(CitI::IInterface* owner) noexcept { m_owner = owner; }

  Status CreateSourceLibrary(const Port::StringBase<char>& name, ISourceLibrary** library) override {
    return CreateSourceLibraryOfType(name, kVhdlLibrary, library);
  }
  Status RemoveSourceLibrary(ISourceLibraryIterator* at) override;
  Status GetSourceLibraries(ISourceLibraryIterator** libraries) override;
  Status FindSourceLibrary(const Port::StringBase<char>& name, ISourceLibrary** library) override;

  static constexpr int kSystemLibrary = 1;
  static constexpr int kVhdlLibrary = 3;
  // A new library of `type` named `name`; 1 without a new one when the name is taken.
  Status CreateSourceLibraryOfType(const Port::StringBase<char>& name, int type, ISourceLibrary** library);
  // Drops every library.
  void ClearAllLibraries() { m_libraries.clear(); }

 private:
  CitI::IInterface* m_owner = nullptr;
  std::map<std::string, Prjrep::AutoPtr<ISourceLibrary>> m_libraries;
};

}  // namespace Hvd
