#include "Port/FileName.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace Port {

namespace fs = std::filesystem;

StringBase<char> FileName::GetAbsolutePath(bool resolveLinks) const {
  if (m_path.empty()) return m_path;
  std::error_code error;
  fs::path absolute = fs::absolute(fs::path(m_path.str()), error);
  if (error) return m_path;
  if (resolveLinks) {
    fs::path resolved = fs::weakly_canonical(absolute, error);
    if (!error) absolute = resolved;
  }
  return StringBase<char>(absolute.string());
}

FileName& FileName::MakeCanonical() {
  if (m_path.empty()) return *this;
  std::string normal = fs::path(m_path.str()).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  m_path = StringBase<char>(normal);
  return *this;
}

StringBase<char> FileName::GetTail() const {
  const std::string& path = m_path.str();
  const auto slash = path.find_last_of('/');
  return StringBase<char>(slash == std::string::npos ? path : path.substr(slash + 1));
}

int File::namematch(const char* first, const char* second) {
  if (first == nullptr || second == nullptr) return 0;
  return std::strcmp(first, second) == 0 ? 1 : 0;
}

}  // namespace Port
