#pragma once
// Replacing a file's content so that a reader sees either the old bytes or the new, never a mix.

#include <string>
#include <string_view>

#include "Hvd/Status.h"

namespace Hvd {

// Writes `bytes` to a temporary file beside `path`, flushes it to the disk and renames it over
// `path`. On failure `path` keeps its old content, the temporary is removed, `message` (when
// given) says which step failed, and kFailure is answered. An existing target's permissions,
// owner and group are carried over to the new file; where the owner or group cannot be, the
// matching set-id bit is dropped. When `path` is a symbolic link that ends at a regular file,
// that file is replaced, in its own folder, and the link is kept; a link that ends anywhere else
// (nothing, a folder, a device, a FIFO, a socket) is refused and nothing is written. A file the
// writer may not write is refused and left as it is.
//
// The temporary is named ".hvd.<hash of the target's name>.<random>", whatever the length of the
// target's name, and is locked while its writer lives: a write first removes the temporaries of
// its target that writers killed before their rename left, and only those.
//
// Each step can be made to fail through the host's fault injection, by the operation names
// "access" (of the target), "open" (of the temporary), "write", "fsync", "close" and "rename"
// (matched against `path`); "fchown" makes ownership fail to carry over, as for a writer who is
// not the owner.
Status WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* message = nullptr);

// As WriteFileAtomically, for a file the library writes on its own (a generated file, a report,
// a log) that belongs to `folder` (a complete path), such as the project's folder. A project
// folder may come from elsewhere with links in it, so a link at `path` is written through only
// when it ends at a regular file inside `folder`, links resolved in every step. Any other link is
// itself replaced by a regular file, made as a new one, and what it leads to is left as it is; a
// warning names the link.
Status WriteOwnFileAtomically(const std::string& path, std::string_view bytes, const std::string& folder,
                              std::string* message = nullptr);

// While one lives on a thread, that thread's writes of files below `folder` (a complete path)
// are not flushed to the disk: a scratch tree that is read back and removed moments later needs
// no durability, and waiting for the disk costs more than the rest of such a write. Each write
// is still whole or absent. A file reached through a link, or named with "." or "..", is
// flushed as any other. Scopes nest, each covering its own folder.
class UnflushedBelow {
 public:
  explicit UnflushedBelow(std::string folder);
  UnflushedBelow(const UnflushedBelow&) = delete;
  UnflushedBelow& operator=(const UnflushedBelow&) = delete;
  ~UnflushedBelow();

  // True when a write of `path`, links resolved, on this thread goes unflushed.
  static bool Covers(const std::string& path);

 private:
  std::string m_folder;
  UnflushedBelow* m_outer;
};

}  // namespace Hvd
