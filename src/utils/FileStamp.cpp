#include "utils/FileStamp.h"
#include "Prjrep/ClassIds.h"

#include <sys/stat.h>

#include "CitP/Factory.h"
#include "Prjrep/IName.h"
#include "Prjrep/IRefCount.h"
#include "core/Holders.h"

namespace Hvd {

namespace {

bool StatusOf(const Port::StringBase<char>& path, FileStamp& stamp) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0) return false;
  stamp.time = static_cast<std::int64_t>(info.st_mtim.tv_sec);
  stamp.nanoseconds = static_cast<std::int64_t>(info.st_mtim.tv_nsec);
  stamp.size = static_cast<std::int64_t>(info.st_size);
  stamp.device = static_cast<std::uint64_t>(info.st_dev);
  stamp.inode = static_cast<std::uint64_t>(info.st_ino);
  stamp.folder = S_ISDIR(info.st_mode);
  return true;
}

}  // namespace

void FileStamp::Update() {
  if (path.empty()) return;
  if (!StatusOf(path, *this)) {
    time = 0;
    size = 0;
    nanoseconds = 0;
    device = 0;
    inode = 0;
    folder = false;
  }
}

bool FileStamp::IsChanged() const {
  FileStamp now;
  // Anything else at the name (a folder in the file's place) is another file: what was read is
  // no longer there to read, which the reader, and not this stamp, finds out.
  if (path.empty() || !StatusOf(path, now)) return false;
  const bool later = now.time > time || (now.time == time && now.nanoseconds > nanoseconds);
  const bool replaced = inode != 0 && (now.inode != inode || now.device != device);
  return later || now.size != size || replaced;
}

void CreateComponentInterfaceRef(ComponentInterfaceRef& ref) {
  ref.owner = nullptr;
  ref.attachment = nullptr;
  RecreateComponentInterfaceRef(ref);
}

bool RecreateComponentInterfaceRef(ComponentInterfaceRef& ref) {
  if (ref.attachment != nullptr) return true;
  Prjrep::AutoRelease<Prjrep::IComponentAttachment> made(CitP::Factory::CreateInstance(Prjrep::ClassId::Attachment()));
  ref.attachment = made.Detach();
  return ref.attachment != nullptr;
}

void SetComponentRefOwner(ComponentInterfaceRef& ref, CitI::IInterface* owner) {
  ref.owner = owner;
  if (ref.attachment != nullptr) std::ignore = ref.attachment->SetOwner(owner);
}

CitI::IInterface* QueryComponentRef(const ComponentInterfaceRef& ref, const Port::XUID& iid) {
  return ref.attachment ? ref.attachment->GetInterface(iid) : nullptr;
}

Status ReleaseComponentRef(ComponentInterfaceRef& ref) {
  if (ref.attachment == nullptr) return kSuccess;
  auto* count = static_cast<Prjrep::IRefCount*>(ref.attachment->GetInterface(Prjrep::IRefCount::GetIID()));
  const Status status = ref.attachment->Detach();
  ref.attachment = nullptr;
  if (count != nullptr) std::ignore = count->Release();
  return status;
}

void ResetInterfaceRef(ComponentInterfaceRef& ref) { std::ignore = ReleaseComponentRef(ref); }

bool IsAbsolutePath(Port::StringBase<char> path) {
  const std::string& text = path.str();
  return text.size() >= 2 && (text[0] == '/' || text[0] == '\\' || text[1] == ':');
}

Port::StringBase<char> ChangeExtension(const Port::StringBase<char>& path, const Port::StringBase<char>& extension) {
  const std::string& text = path.str();
  const auto slash = text.find_last_of('/');
  const std::size_t leaf = slash == std::string::npos ? 0 : slash + 1;
  const auto dot = text.find_last_of('.');
  const std::size_t end = dot != std::string::npos && dot >= leaf ? dot : text.size();
  return Port::StringBase<char>(text.substr(0, end) + extension.str());
}

std::string MakeSlashPath(const char* path) {
  std::string text = path ? path : "";
  if (text.rfind("//:", 0) == 0) text.erase(0, 3);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  return text;
}

// A NUL counts as a change: the C string ends there, and what follows it is dropped.
bool IsSlashPath(const std::string& path) {
  return path.rfind("//:", 0) != 0 && path.find('\\') == std::string::npos && path.find('\0') == std::string::npos;
}

Port::StringBase<char> MakeSlashPath(const Port::StringBase<char>& path) {
  return IsSlashPath(path.str()) ? path : Port::StringBase<char>(MakeSlashPath(path.c_str()));
}

Port::StringBase<char> GetObjectName(CitI::IInterface* object) {
  Port::StringBase<char> name;
  if (Prjrep::AutoCast<Prjrep::IName> named(object); named.Get() != nullptr) std::ignore = named->GetName(name);
  return name;
}

}  // namespace Hvd
