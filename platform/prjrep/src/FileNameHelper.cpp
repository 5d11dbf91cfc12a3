// The path-name component: one path and one base directory, with the path's forms worked
// out lexically on '/' paths. Nothing here looks at the file system.

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "Components.h"
#include "Prjrep/ClassIds.h"
#include "Hvd/Status.h"
#include "Prjrep/IFileNameHelper.h"
#include "core/Interface.h"

namespace Prjrep::standins {
namespace {

using Hvd::kFailure;
using Hvd::kSuccess;
using Hvd::Status;
using Text = Port::StringBase<char>;
namespace fs = std::filesystem;

// True when folding would change nothing: no empty, "." or ".." step after a leading '/',
// and no trailing '/'. Most paths are so, and are taken as they are.
bool Plain(const std::string& text) {
  if (text.empty() || (text.size() > 1 && text.back() == '/')) return false;
  for (std::size_t start = text.front() == '/' ? 1 : 0; start < text.size();) {
    const std::size_t end = std::min(text.find('/', start), text.size());
    const std::string_view step(text.data() + start, end - start);
    if (step.empty() || step == "." || step == "..") return false;
    start = end + 1;
  }
  return true;
}

// "." and ".." folded away, repeated and trailing separators dropped, so that equal
// places compare equal.
std::string Normal(const std::string& text) {
  if (Plain(text)) return text;
  std::string normal = fs::path(text).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

// Writes `value` to `out` after clearing it; a missing output is a failure.
Status Write(Text* out, const std::string& value, bool ok = true) {
  if (out == nullptr) return kFailure;
  *out = Text();
  if (!ok) return kFailure;
  *out = Text(value);
  return kSuccess;
}

class CFileNameHelper final : public Hvd::TComponent<CFileNameHelper> {
 public:
  static const Port::XUID& GetCLSID() { return Prjrep::ClassId::FileNameHelper(); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IFileNameHelper>(&m_XIFileNameHelper), Hvd::Row<IRefCount>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }

 private:
  // The path relative to the base. Only two absolute places have one: every two of them
  // share at least the root, so on '/' paths it always exists then, with as many "../"
  // steps as it takes. A relative place has none, as it is unknown where it lies.
  std::optional<std::string> Relative() const {
    if (m_path.empty() || m_base.empty() || m_path.front() != '/' || m_base.front() != '/') return std::nullopt;
    // Both are normal: below the base, as most paths are, it is what follows the base.
    const std::size_t cut = m_base.size() == 1 ? 0 : m_base.size();
    if (m_path.size() > cut + 1 && m_path[cut] == '/' && m_path.compare(0, cut, m_base, 0, cut) == 0)
      return m_path.substr(cut + 1);
    return fs::path(m_path).lexically_relative(fs::path(m_base)).string();
  }

  struct XIFileNameHelper : Hvd::TNested<CFileNameHelper, IFileNameHelper> {
    using TNested::TNested;
    Status SetPathInDirectory(const Text& path, const Text& second, const Text& baseDirectory) override {
      // Checked first, so that a refused call changes nothing.
      if (baseDirectory.empty() || (path.empty() && second.empty())) return kFailure;
      std::ignore = SetBaseDirectory(baseDirectory);
      return SetPath(path, second);
    }
    Status SetPath(const Text& path, const Text& second) override {
      CFileNameHelper& self = This();
      if (second.empty() && !path.empty() && path.str().front() == '/' && Plain(path.str())) {
        self.m_path = path.str();
        return kSuccess;
      }
      fs::path joined(path.str());
      if (!second.empty()) joined /= second.str();
      if (joined.empty()) return kFailure;
      // A relative path is taken as lying in the base directory as it is now; a base set
      // later does not move it.
      if (joined.is_relative() && !self.m_base.empty()) joined = fs::path(self.m_base) / joined;
      self.m_path = Normal(joined.string());
      return kSuccess;
    }
    Status SetBaseDirectory(const Text& directory) override {
      if (directory.empty()) return kFailure;
      This().m_base = Normal(directory.str());
      return kSuccess;
    }
    Status GetBaseDirectory(Text* directory) override { return Write(directory, This().m_base); }
    Status GetPathOnDirectory(const Text& directory, Text* path) override {
      const std::optional<std::string> relative = This().Relative();
      const bool ok = relative.has_value() && !directory.empty();
      return Write(path, ok ? Normal((fs::path(directory.str()) / *relative).string()) : std::string(), ok);
    }
    Status GetDirectory(Text* directory) override {
      return Write(directory, fs::path(This().m_path).parent_path().string(), !This().m_path.empty());
    }
    Status GetFullName(Text* path) override { return Write(path, This().m_path, !This().m_path.empty()); }
    Status GetRelativeName(Text* path) override {
      const std::optional<std::string> relative = This().Relative();
      return Write(path, relative ? *relative : std::string(), relative.has_value());
    }
    // A path still relative is completed with the process's current directory.
    Status GetOsPath(Text* path) override {
      const std::string& text = This().m_path;
      if (text.empty() || text.front() == '/') return Write(path, text, !text.empty());
      const fs::path own(text);
      std::error_code failed;
      const fs::path absolute = fs::absolute(own, failed);
      return Write(path, failed ? std::string() : Normal(absolute.string()), !failed);
    }
    Status GetShortName(Text* name) override {
      return Write(name, fs::path(This().m_path).filename().string(), !This().m_path.empty());
    }
    // A name that only starts with a dot (".bashrc") has none; "a.tar.gz" has "gz".
    Status GetExtension(Text* extension) override {
      const std::string& text = This().m_path;
      const std::string_view leaf = std::string_view(text).substr(text.rfind('/') + 1);
      const std::size_t dot = leaf == "." || leaf == ".." ? std::string_view::npos : leaf.rfind('.');
      const bool none = dot == std::string_view::npos || dot == 0;
      const std::string_view dotted = none ? std::string_view() : leaf.substr(dot + 1);
      return Write(extension, std::string(dotted), !text.empty());
    }
    // Strictly below the base: the base itself is not inside it.
    Status IsInsideBase(bool* inside) override {
      if (inside == nullptr) return kFailure;
      const std::optional<std::string> relative = This().Relative();
      *inside = relative.has_value() && !relative->empty() && *relative != "." && *relative != ".." &&
                relative->rfind("../", 0) != 0;
      return kSuccess;
    }
  } m_XIFileNameHelper{this};

  TRefCountHelper<CFileNameHelper> m_refCount{this};
  // Kept as text: a path object holds each of its parts as a path too, several times the
  // size, and a project holds one of these for each of its files.
  std::string m_path;  // normal; empty until set
  std::string m_base;  // normal; empty until set
};

}  // namespace

void RegisterFileNameHelper() { Hvd::RegisterFactoriesOf<CFileNameHelper>(); }

}  // namespace Prjrep::standins
