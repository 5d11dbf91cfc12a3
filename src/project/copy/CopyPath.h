#pragma once
// The '/' form of paths that a project copy works in: backslashes turned into '/', a leading
// "//:" dropped, "." and ".." folded. Lexical only: nothing here looks at the file system.

#include <string>

#include "Port/StringBase.h"

namespace Hvd::CopyPath {

using String = Port::StringBase<char>;

String Slash(const String& path);
// `part` appended to `path` with one '/' between them, unless `part` starts with a separator
// or `path` ends with ':' or '/'.
String Join(const String& path, const String& part);
// Slash form with "." and ".." folded and no trailing '/' (the root keeps its own).
String Normal(const String& path);
// Whether `path` is its own normal form.
bool IsNormal(const String& path);
// The directory the normal form lies in; "" for a single relative component.
String Parent(const String& path);
// The last component of the normal form.
String Leaf(const String& path);
// The last component without the part from its last '.'.
String BaseName(const String& path);
// The same place, component by component.
bool Same(const String& first, const String& second);

}  // namespace Hvd::CopyPath
