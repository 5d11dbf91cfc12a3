#pragma once
// Reading a file by a name that a project folder may hold: whatever stands there, the read never
// waits on it.

#include <cstdint>
#include <string>
#include <vector>

namespace Hvd {

// Reads the whole of `path` into `bytes` when it is a regular file (through links) of at most
// `maxBytes`. It is opened without waiting, so a FIFO with no writer, a device, a socket or a
// folder at the name is refused at once instead of blocking the reader. A file over the bound
// is refused from its size, unread ("it is too large"); memory is taken as the bytes come, not
// for the size the file claims. On failure `bytes` is empty and `message` (when given) names
// the file and why.
bool ReadRegularFile(const std::string& path, std::string& bytes, std::uintmax_t maxBytes,
                     std::string* message = nullptr);
bool ReadRegularFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::uintmax_t maxBytes,
                     std::string* message = nullptr);

// The same for a file that proves something by being there (a mark, a claim, a record): read
// only when `path` itself is a regular file of no other name. A link at the name is not
// followed, and a hard link, which may be anyone's, is refused; nothing else is opened at all.
bool ReadOwnRegularFile(const std::string& path, std::string& bytes, std::uintmax_t maxBytes,
                        std::string* message = nullptr);

}  // namespace Hvd
