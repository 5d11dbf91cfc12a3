#include "project/copy/CopyPath.h"

#include <filesystem>
#include <string_view>

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

namespace {

// True when folding would change nothing but a trailing '/': no empty, "." or ".." component
// after the root. Most paths a copy meets are so, and are then taken as they are.
bool Folded(const std::string& path) {
  std::size_t start = path.front() == '/' ? 1 : 0;
  while (start < path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string_view part(path.data() + start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

String Normal(const String& path) {
  std::string normal = Slash(path).str();
  if (normal.empty()) return String();
  if (!Folded(normal)) normal = fs::path(normal).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return String(normal);
}

// Of the normal form, whose only '/' at the end is the root.
String Parent(const String& path) {
  const std::string normal = Normal(path).str();
  const std::size_t slash = normal.rfind('/');
  if (slash == std::string::npos) return String();
  return String(slash == 0 ? std::string("/") : normal.substr(0, slash));
}

String Leaf(const String& path) {
  const std::string normal = Normal(path).str();
  const std::size_t slash = normal.rfind('/');
  return String(slash == std::string::npos ? normal : normal.substr(slash + 1));
}

String BaseName(const String& path) {
  std::string leaf = Leaf(path).str();
  if (const auto dot = leaf.rfind('.'); dot != std::string::npos) leaf.erase(dot);
  return String(leaf);
}

bool Same(const String& first, const String& second) { return Normal(first) == Normal(second); }

}  // namespace Hvd::CopyPath
