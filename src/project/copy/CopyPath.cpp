#include "project/copy/CopyPath.h"

#include <filesystem>
#include <string_view>

#include "utils/FileStamp.h"

namespace Hvd::CopyPath {

namespace fs = std::filesystem;

String Slash(const String& path) { return MakeSlashPath(path); }

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

// Already in normal form, as most paths a copy meets are: then nothing needs building.
bool Plain(const std::string& path) {
  return !path.empty() && (path.size() == 1 || path.back() != '/') && IsSlashPath(path) && Folded(path);
}

}  // namespace

bool IsNormal(const String& path) { return Plain(path.str()) || Normal(path) == path; }

String Normal(const String& path) {
  if (Plain(path.str())) return path;
  String slashed = Slash(path);
  std::string& normal = slashed.str();
  if (normal.empty()) return String();
  if (!Folded(normal)) normal = fs::path(normal).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return slashed;
}

// Of the normal form, whose only '/' at the end is the root.
String Parent(const String& path) {
  String normal = Normal(path);
  std::string& text = normal.str();
  const std::size_t slash = text.rfind('/');
  if (slash == std::string::npos) return String();
  text.resize(slash == 0 ? 1 : slash);
  return normal;
}

String Leaf(const String& path) {
  String normal = Normal(path);
  std::string& text = normal.str();
  if (const std::size_t slash = text.rfind('/'); slash != std::string::npos) text.erase(0, slash + 1);
  return normal;
}

String BaseName(const String& path) {
  std::string leaf = Leaf(path).str();
  if (const auto dot = leaf.rfind('.'); dot != std::string::npos) leaf.erase(dot);
  return String(leaf);
}

bool Same(const String& first, const String& second) {
  if (Plain(first.str()) && Plain(second.str())) return first == second;
  return Normal(first) == Normal(second);
}

}  // namespace Hvd::CopyPath
