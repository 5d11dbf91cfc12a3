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
// matching set-id bit is dropped. When `path` is a symbolic link, the file it resolves to is
// replaced, in its own folder, and the link is kept. A file the writer may not write is refused
// and left as it is.
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

}  // namespace Hvd
