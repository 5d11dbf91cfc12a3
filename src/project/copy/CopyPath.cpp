#include "project/copy/CopyPath.h"

#include <filesystem>

#include "utils/FileStamp.h"

namespace Hvd::CopyPath {

namespace fs = std::filesystem;

String Slash(const String& path) { return String(MakeSlashPath(path.c_str())); }

String Join(const String& path, const String& part) {
  const String left = Slash(path);
  if (left.empty()) return Slash(part);
  const std::string& text = left.str();
  const bool separated = (!part.empty() && (part.str().front() == '/' || part.str().front() == '\\')) ||
                         text.back() == ':' || text.back() == '/';
  return separated ? left + Slash(part) : left + String("/") + Slash(part);
}

String Normal(const String& path) {
  const std::string slash = Slash(path).str();
  if (slash.empty()) return String();
  std::string normal = fs::path(slash).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return String(normal);
}

String Parent(const String& path) { return String(fs::path(Normal(path).str()).parent_path().string()); }

String Leaf(const String& path) { return String(fs::path(Normal(path).str()).filename().string()); }

String BaseName(const String& path) {
  std::string leaf = Leaf(path).str();
  if (const auto dot = leaf.rfind('.'); dot != std::string::npos) leaf.erase(dot);
  return String(leaf);
}

bool Same(const String& first, const String& second) { return Normal(first) == Normal(second); }

}  // namespace Hvd::CopyPath
