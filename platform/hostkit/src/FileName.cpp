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

// False when the system cannot follow a link on `path`: one that leads nowhere, or to itself (a
// loop), or one it cannot look at. A part that is not there at all, no link, ends the look: the
// steps after it are named by their letters.
bool LinksLead(const fs::path& path) {
  fs::path part;
  for (const fs::path& step : path) {
    part /= step;
    std::error_code error;
    const fs::file_status own = fs::symlink_status(part, error);
    if (own.type() == fs::file_type::not_found) return true;
    if (error) return false;
    if (fs::is_symlink(own) && !fs::exists(fs::status(part, error))) return false;
  }
  return true;
}

// `path` absolute, its "." and ".." steps taken as the system takes them: a ".." leads up from
// where the steps before it lead, through their links, so the part before each ".." is resolved
// as far as it exists. Every other step is kept as it is named, links and all. A ".." after a
// link the system cannot follow is kept with every step after it, so the path names nothing, as
// the system finds: `followed` is then false.
std::string FoldAsTheSystemDoes(const fs::path& path, bool& followed) {
  followed = true;
  fs::path folded("/");
  // True while `folded` is where it really is: the root, and the parent of a resolved folder.
  bool real = true;
  const fs::path steps = path.relative_path();
  for (auto at = steps.begin(); at != steps.end(); ++at) {
    const fs::path& step = *at;
    if (step.empty() || step == ".") continue;
    if (step != "..") {
      folded /= step;
      real = false;
      continue;
    }
    if (!real && !LinksLead(folded)) {
      followed = false;
      for (; at != steps.end(); ++at) {
        if (!at->empty() && *at != ".") folded /= *at;
      }
      return folded.string();
    }
    std::error_code error;
    if (!real) {
      fs::path resolved = fs::weakly_canonical(folded, error);
      if (!error) folded = std::move(resolved);
    }
    folded = folded.lexically_normal().parent_path();
    if (folded.empty()) folded = "/";
    real = !error;
  }
  return folded.lexically_normal().string();
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
  std::string normal;
  const auto resolve = [&path] {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(path, error);
    if (!error) path = std::move(resolved);
  };
  if (path.is_absolute()) {
    // The ".." steps first: resolving the links would fold a ".." after one that cannot be
    // followed by its letters.
    bool followed = true;
    path = FoldAsTheSystemDoes(path, followed);
    if (resolveLinks && followed) resolve();
    normal = path.string();
  } else {
    // A relative path's base is not known here, so its ".." steps can only be folded by their letters.
    if (resolveLinks) resolve();
    normal = path.lexically_normal().string();
  }
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  m_path = StringBase<char>(normal);
  return *this;
}

bool FileName::LeadsNowhere() const {
  const std::string& path = m_path.str();
  if (path.empty() || path.front() != '/') return false;
  for (std::size_t start = 1; start <= path.size();) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (path.compare(start, end - start, "..") == 0) return true;
    start = end + 1;
  }
  return false;
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
