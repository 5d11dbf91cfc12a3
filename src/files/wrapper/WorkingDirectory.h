#pragma once
// The working directory last handed to any wrapper of the process, where the parser keeps its
// messages. Views on several threads may set it, so it is read and written under a lock.

#include <string>

namespace Hvd {

void StoreWorkingDirectory(const std::string& directory);
std::string StoredWorkingDirectory();

}  // namespace Hvd
