#pragma once
// File stamps, attached components of files and views, and small path and name helpers.

#include <cstdint>
#include <string>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IAttachment.h"

namespace Hvd {

// The modification time and size of a file as last seen, to notice a change on disk.
class FileStamp {
 public:
  FileStamp() = default;

  // Takes the file's current time and size; a missing file gives 0 and 0. A folder at the path
  // gives its own, and `folder` says so.
  void Update();
  // True when the file's time is later than the stamp's or its size differs, or another file
  // took its place (a file replaced whole by its writer, or a folder put at its name). The time
  // counts to the nanosecond, so that a rewrite within the second of the stamp is seen. A
  // missing file, or a stamp without a path, is never changed.
  bool IsChanged() const;

  Port::StringBase<char> path;
  std::int64_t time = 0;  // seconds
  std::int64_t size = 0;
  std::int64_t nanoseconds = 0;  // of the time
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool folder = false;
};

// The attachment through which a file or view answers one more interface.
struct ComponentInterfaceRef {
  CitI::IInterface* owner = nullptr;
  Prjrep::IComponentAttachment* attachment = nullptr;  // one reference
};

void CreateComponentInterfaceRef(ComponentInterfaceRef& ref);
bool RecreateComponentInterfaceRef(ComponentInterfaceRef& ref);
void SetComponentRefOwner(ComponentInterfaceRef& ref, CitI::IInterface* owner);
CitI::IInterface* QueryComponentRef(const ComponentInterfaceRef& ref, const Port::XUID& iid);
Status ReleaseComponentRef(ComponentInterfaceRef& ref);
void ResetInterfaceRef(ComponentInterfaceRef& ref);

// At least two characters, and a leading slash or backslash, or a drive colon.
bool IsAbsolutePath(Port::StringBase<char> path);
// The path with the extension of its last component (from its last dot) replaced by
// `extension`, which carries its own dot; a component without a dot gains it.
Port::StringBase<char> ChangeExtension(const Port::StringBase<char>& path, const Port::StringBase<char>& extension);
// Backslashes turned into slashes, and a leading "//:" dropped.
std::string MakeSlashPath(const char* path);
// The same of a whole string; one that needs no change, as most do, is only copied.
Port::StringBase<char> MakeSlashPath(const Port::StringBase<char>& path);
// Whether MakeSlashPath would leave `path` as it is: no leading "//:", no backslash, no NUL.
bool IsSlashPath(const std::string& path);
// The object's name, empty when it has none.
Port::StringBase<char> GetObjectName(CitI::IInterface* object);

}  // namespace Hvd
