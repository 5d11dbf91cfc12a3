#include "Port/FileName.h"

#include <climits>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace Port {

namespace fs = std::filesystem;

namespace {

// True when the lexical normal form of `path` is `path` itself: no empty, "." or ".." component
// between separators. Most names the project hands around are such, and building a path object
// for each costs a project of many files more than its own work on the name.
bool IsLexicallyNormal(const std::string& path) {
  if (path.find("//") != std::string::npos) return false;
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::size_t length = end - start;
    if ((length == 1 && path[start] == '.') || (length == 2 && path[start] == '.' && path[start + 1] == '.'))
      return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

StringBase<char> FileName::GetAbsolutePath(bool resolveLinks) const {
  if (m_path.empty()) return m_path;
  // An absolute name is its own absolute form; only resolving its links can change it.
  if (!resolveLinks && m_path.str().front() == '/') return m_path;
  std::error_code error;
  fs::path absolute = fs::absolute(fs::path(m_path.str()), error);
  if (error) return m_path;
  if (resolveLinks) {
    fs::path resolved = fs::weakly_canonical(absolute, error);
    if (!error) absolute = resolved;
  }
  return StringBase<char>(absolute.string());
}

FileName& FileName::MakeCanonical(bool resolveLinks) {
  if (m_path.empty()) return *this;
  if (!resolveLinks && IsLexicallyNormal(m_path.str())) {
    std::string& normal = m_path.str();
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    return *this;
  }
  fs::path path(m_path.str());
  if (resolveLinks) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(path, error);
    if (!error) path = resolved;
  }
  std::string normal = path.lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  m_path = StringBase<char>(normal);
  return *this;
}

StringBase<char> FileName::GetHead(bool, bool) const {
  const std::string& path = m_path.str();
  const auto slash = path.find_last_of('/');
  return StringBase<char>(slash == std::string::npos ? std::string() : path.substr(0, slash + 1));
}

StringBase<char> FileName::GetTail() const {
  const std::string& path = m_path.str();
  const auto slash = path.find_last_of('/');
  return StringBase<char>(slash == std::string::npos ? path : path.substr(slash + 1));
}

FileName& FileName::SetTail(const StringBase<char>& tail) {
  m_path = GetHead() + tail;
  return *this;
}

StringBase<char> FileName::GetBase() const {
  const std::string tail = GetTail().str();
  const auto dot = tail.find_last_of('.');
  return StringBase<char>(dot == std::string::npos || dot == 0 ? tail : tail.substr(0, dot));
}

StringBase<char> FileName::GetExtension() const {
  const std::string tail = GetTail().str();
  const auto dot = tail.find_last_of('.');
  return StringBase<char>(dot == std::string::npos || dot == 0 ? std::string() : tail.substr(dot));
}

bool FileName::IsValidPath(const StringBase<char>& path) {
  const std::string& text = path.str();
  if (text.empty() || text.size() >= PATH_MAX || text.find('\0') != std::string::npos) return false;
  std::size_t start = 0;
  while (start <= text.size()) {
    auto end = text.find('/', start);
    if (end == std::string::npos) end = text.size();
    if (end - start > NAME_MAX) return false;
    start = end + 1;
  }
  return true;
}

int File::namematch(const char* first, const char* second) {
  if (first == nullptr || second == nullptr) return 0;
  return std::strcmp(first, second) == 0 ? 1 : 0;
}

}  // namespace Port
