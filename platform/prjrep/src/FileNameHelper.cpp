// The path-name component: one path and one base directory, with the path's forms worked
// out lexically on '/' paths. Nothing here looks at the file system.

#include <filesystem>
#include <optional>
#include <string>

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

// "." and ".." folded away, repeated and trailing separators dropped, so that equal
// places compare equal.
std::string Normal(const std::string& text) {
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
  std::optional<fs::path> Relative() const {
    if (m_path.empty() || m_base.empty()) return std::nullopt;
    const fs::path path(m_path);
    const fs::path base(m_base);
    if (!path.is_absolute() || !base.is_absolute()) return std::nullopt;
    return path.lexically_relative(base);
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
      const std::optional<fs::path> relative = This().Relative();
      const bool ok = relative.has_value() && !directory.empty();
      return Write(path, ok ? Normal((fs::path(directory.str()) / *relative).string()) : std::string(), ok);
    }
    Status GetDirectory(Text* directory) override {
      return Write(directory, fs::path(This().m_path).parent_path().string(), !This().m_path.empty());
    }
    Status GetFullName(Text* path) override { return Write(path, This().m_path, !This().m_path.empty()); }
    Status GetRelativeName(Text* path) override {
      const std::optional<fs::path> relative = This().Relative();
      return Write(path, relative ? relative->string() : std::string(), relative.has_value());
    }
    // A path still relative is completed with the process's current directory.
    Status GetOsPath(Text* path) override {
      const fs::path own(This().m_path);
      if (own.empty() || own.is_absolute()) return Write(path, own.string(), !own.empty());
      std::error_code failed;
      const fs::path absolute = fs::absolute(own, failed);
      return Write(path, failed ? std::string() : Normal(absolute.string()), !failed);
    }
    Status GetShortName(Text* name) override {
      return Write(name, fs::path(This().m_path).filename().string(), !This().m_path.empty());
    }
    // A name that only starts with a dot (".bashrc") has none; "a.tar.gz" has "gz".
    Status GetExtension(Text* extension) override {
      std::string dotted = fs::path(This().m_path).extension().string();
      if (!dotted.empty()) dotted.erase(0, 1);
      return Write(extension, dotted, !This().m_path.empty());
    }
    // Strictly below the base: the base itself is not inside it.
    Status IsInsideBase(bool* inside) override {
      if (inside == nullptr) return kFailure;
      const std::optional<fs::path> relative = This().Relative();
      *inside = relative.has_value() && !relative->empty() && *relative != "." && *relative->begin() != "..";
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
