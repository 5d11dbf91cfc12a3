#pragma once
// Project-relative file names: the project files store names relative to a directory (usually
// the project file's own) so that a project directory can be moved or copied as a whole.
// Paths use '/' and compare case-sensitively, as the host does.

#include <vector>

#include "CitI/IInterface.h"
#include "Port/StringBase.h"

namespace Hvd {

// One directory split into components: the root "/" first, then each directory name.
struct SplitPath {
  SplitPath() = default;
  // With `dropLast`, the final component (the project file's name) is removed, so that the
  // record describes the file's directory.
  SplitPath(const Port::StringBase<char>& path, bool dropLast);

  Port::StringBase<char> head;  // the path's head directory, with its trailing separator
  std::vector<Port::StringBase<char>> components;
};

// Replaces `components` with those of `path`, made absolute against the current directory
// and canonical; "\\" counts as a separator. An empty path has none.
void SplitPathComponents(const Port::StringBase<char>& path, std::vector<Port::StringBase<char>>& components);

// The written form of the file `name` in `directory`, relative to `record` when the two share
// at least the root and one directory, else the directory (without trailing separators), "/"
// and the name. An empty directory gives the bare name.
void RelativeName(const SplitPath& record, const Port::StringBase<char>& directory, const Port::StringBase<char>& name,
                  Port::StringBase<char>& out);

// The written form of a full file name; backslashes never reach it. `out` may be `path`.
void NormalizeFileName(const SplitPath& record, const Port::StringBase<char>& path, Port::StringBase<char>& out);

// The written form of a file object answering Hvd::IHdlFile; `out` stays as it was otherwise.
void RelativeHdlFileName(const SplitPath& record, CitI::IInterface* file, Port::StringBase<char>& out);

// A path read from a project file made absolute against `directory`, the project's folder where
// it really is (InRealFolder), and canonical; an absolute path (IsAbsolutePath) is left as it is.
void MakeAbsoluteProjectPath(Port::StringBase<char>& path, const Port::StringBase<char>& directory);

}  // namespace Hvd
