#include "project/CProjectReference.h"

#include <initializer_list>

#include "Prjrep/IStorage.h"
#include "core/Diagnostics.h"

namespace Hvd {
namespace {

// Every step of a load or save runs; the first step that failed decides the result.
Status FirstFailure(std::initializer_list<Status> steps) {
  for (const Status step : steps) {
    if (step != kSuccess) return step;
  }
  return kSuccess;
}

}  // namespace

CProjectReference::CProjectReference() { std::ignore = m_name.SetOwner(&m_XIProjectReference); }

Status CProjectReference::LoadFrom(Prjrep::IStorage* storage) {
  if (storage == nullptr) return Fail(kInvalidParameter, "ERROR: ProjectReference::PersistLoad - Invalid Parameter.\n");
  CProjectReference& self = *this;
  Port::StringBase<char> name, file;
  const Status nameRead = storage->ReadString(&name);
  const Status named = self.m_name.SetName(name);
  const Status fileRead = storage->ReadString(&file);
  self.m_file = Port::FileName(file);
  return FirstFailure({nameRead, named, fileRead});
}

Status CProjectReference::SaveTo(Prjrep::IStorage* storage) {
  if (storage == nullptr) return Fail(kInvalidParameter, "ERROR: ProjectReference::PersistSave - Invalid Parameter.\n");
  CProjectReference& self = *this;
  Port::StringBase<char> name;
  const Status named = self.m_name.GetName(name);
  const Status nameWritten = storage->WriteString(&name);
  const Status fileWritten = storage->WriteString(&self.m_file.GetPath());
  return FirstFailure({named, nameWritten, fileWritten});
}

Status CProjectReference::XIProjectReference::GetProjectFileName(Port::StringBase<char>* path) {
  if (path == nullptr) {
    return Fail(kInvalidParameter, "ERROR: ProjectReference::GetProjectFileName - Invalid Parameter.\n");
  }
  const Port::FileName& file = This().m_file;
  *path = Port::StringBase<char>();
  if (file.GetTail().empty()) return kSuccess;  // a directory names no project file
  Port::FileName canonical(file.GetPath());
  *path = canonical.MakeCanonical().GetPath();
  return kSuccess;
}

}  // namespace Hvd
