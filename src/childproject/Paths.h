#pragma once
// Paths as the child-project code compares, joins and relates them. Every helper first puts
// its paths in slash form: a leading "//:" is dropped and backslashes become slashes.
//
// A path counts as complete when it is absolute (on POSIX: it has a root directory), so that
// a relative entry of a child is rebased onto the child's directory. Nothing here throws: a
// path whose status cannot be read is treated as one that does not exist.

#include <string>

#include "Port/StringBase.h"

namespace Hvd {

// True when something exists at the path.
bool PathExists(const char* path);
// True when both name the same path: their elements are equal, compared case-sensitively
// here (the host compares them case-insensitively on NT). A lone root directory stands for
// its parent, so "/" equals "".
bool PathsEqual(const char* a, const char* b);
// True when both name one file on disk; when either does not exist, PathsEqual.
bool IsSameFile(const char* a, const char* b);
// `path` made absolute against `base` (the working directory for an empty base), with "."
// and ".." folded; unchanged when it is absolute already or the base is not.
std::string JoinPaths(const char* path, const char* base);
Port::StringBase<char> JoinPaths(const Port::StringBase<char>& path, const Port::StringBase<char>& base);
// `target` relative to the directory `base`, both absolute; `target` unchanged otherwise.
std::string MakeRelativePath(const char* target, const char* base);
Port::StringBase<char> MakeRelativePath(const Port::StringBase<char>& target, const Port::StringBase<char>& base);

}  // namespace Hvd
