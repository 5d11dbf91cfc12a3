#include "pr/PRShared.h"

#include "Port/MsgMan.h"
#include "Prjrep/IPersist.h"
#include "core/XmlChars.h"
#include "utils/Factory.h"

namespace Hvd::pr {

Prjrep::AutoRelease<CitI::IInterface> ResolveReference(Prjrep::IAutonym* autonym) {
  Prjrep::AutoRelease<CitI::IInterface> object;
  if (autonym == nullptr) return object;
  Prjrep::AutoRelease<Prjrep::IAutonymLookup> lookup(GetNamedObjectRegistryCLSID());
  if (lookup.Get() != nullptr) std::ignore = lookup->ResolveOrCreate(autonym, nullptr, object.Receive());
  return object;
}

Status ReadAutonym(Prjrep::IStorage* storage, Prjrep::AutoPtr<Prjrep::IAutonym>& autonym) {
  autonym = nullptr;
  if (storage == nullptr) return kFailure;
  Prjrep::AutoRelease<Prjrep::IPersist> read;
  const Status status = storage->ReadObject(read.Receive());
  if (status == kSuccess) autonym = Prjrep::AutoRelease<Prjrep::IAutonym>(std::move(read));
  return status;
}

Status ReadReference(Prjrep::IStorage* storage, Prjrep::AutoRelease<CitI::IInterface>& resolved) {
  resolved = nullptr;
  Prjrep::AutoPtr<Prjrep::IAutonym> autonym;
  const Status status = ReadAutonym(storage, autonym);
  if (status == kSuccess) resolved = ResolveReference(autonym);
  return status;
}

Status WriteAutonym(Prjrep::IStorage* storage, Prjrep::IAutonym* autonym) {
  if (storage == nullptr) return kFailure;
  return storage->WriteObject(Prjrep::AutoCast<Prjrep::IPersist>(autonym));
}

bool SameObject(CitI::IInterface* a, CitI::IInterface* b) {
  CitI::IInterface* rootA = RootOf(a);
  return rootA != nullptr && rootA == RootOf(b);
}

bool IsUsableAsPathComponent(const Port::StringBase<char>& name) {
  const std::string& text = name.str();
  if (text.empty() || text == "." || text == "..") return false;
  return text.find_first_of("/\\") == std::string::npos && text.find('\0') == std::string::npos;
}

Status CPathComponentNameHelper::SetName(const Port::StringBase<char>& name) {
  // The name is also its project's design name, which the project file holds.
  // It names a folder too, which the project file must give back as it is on the disk.
  // Checked first, so that the user hears of a NUL in it.
  if (!XmlFits("ProjectMgmt", "The flavor or configuration name", name.str()) ||
      !Utf8Fits("ProjectMgmt", "The flavor or configuration name", name.str()))
    return kInvalidParameter;
  if (!IsUsableAsPathComponent(name)) {
    Port_MsgManData::debugStub("ERROR: a flavor or configuration name must be usable as a file name.\n");
    return kInvalidParameter;
  }
  return CEventingNameHelper::SetName(name);
}

Status CPathComponentNameHelper::Restore(const Port::StringBase<char>& name) {
  if (!name.empty() && !IsUsableAsPathComponent(name)) return kInvalidParameter;
  m_name = name;
  return kSuccess;
}

}  // namespace Hvd::pr
