#include "projectfiles/ProjectPaths.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "Hvd/IHdlFile.h"
#include "Port/FileName.h"
#include "core/Holders.h"
#include "utils/FileStamp.h"

namespace Hvd {

using Text = Port::StringBase<char>;

SplitPath::SplitPath(const Text& path, bool dropLast) : head(Port::FileName(path).GetHead(false, true)) {
  SplitPathComponents(path, components);
  if (dropLast && !components.empty()) components.pop_back();
}

void SplitPathComponents(const Text& path, std::vector<Text>& components) {
  components.clear();
  // Canonical, so that "a/../b" and "a//b" split like "b" and "a/b": a ".." left in the
  // record would make every "../" step counted from it land elsewhere.
  Port::FileName absolute(Port::FileName(Text(MakeSlashPath(path.c_str()))).GetAbsolutePath());
  const Text canonical = absolute.MakeCanonical().GetPath();
  if (canonical.empty()) return;
  // The root stands where the other host's drive stood, so that "two common components"
  // still means one shared top directory.
  components.emplace_back("/");
  for (Text& piece : canonical.Split("/")) {
    if (!piece.empty()) components.push_back(std::move(piece));
  }
}

void RelativeName(const SplitPath& record, const Text& directory, const Text& name, Text& out) {
  if (directory.empty()) {
    out = name;
    return;
  }
  Text trimmed = directory;
  trimmed.Trim("/\\", Text::kTrimTrailing);
  std::vector<Text> components;
  SplitPathComponents(trimmed, components);

  // Exact comparison: two names differing only in case are two files on this host.
  const auto limit = static_cast<std::ptrdiff_t>(std::min(components.size(), record.components.size()));
  const std::size_t common = static_cast<std::size_t>(
      std::mismatch(components.begin(), components.begin() + limit, record.components.begin()).first -
      components.begin());
  if (common < 2) {
    out = trimmed + "/" + name;
    return;
  }
  Text result;
  for (std::size_t i = common; i < record.components.size(); ++i) result += "../";
  for (std::size_t i = common; i < components.size(); ++i) result += components[i] + "/";
  out = result + name;
}

void NormalizeFileName(const SplitPath& record, const Text& path, Text& out) {
  // Names written on the other host carry '\\'; turned first so that its head is found too.
  const Port::FileName file(Text(MakeSlashPath(path.c_str())));
  const Text name = file.GetBase() + file.GetExtension();
  RelativeName(record, file.GetHead(false, true), name, out);
}

void RelativeHdlFileName(const SplitPath& record, CitI::IInterface* file, Text& out) {
  Prjrep::AutoCast<IHdlFile> hdlFile(file);
  if (hdlFile.Get() == nullptr) return;
  Text directory;
  Text name;
  std::ignore = hdlFile->GetPath(&directory, &name);
  RelativeName(record, directory, name, out);
}

void MakeAbsoluteProjectPath(Text& path, const Text& directory) {
  if (IsAbsolutePath(path)) return;
  std::string_view name = path.str();
  if (name == ".." || name.starts_with("../")) {
    // A written name's leading ".." steps climb from the project's folder, which is where it
    // really is, so they fold by their letters: no look at the disk for each name.
    std::string base = Port::FileName(directory).MakeCanonical().GetPath().str();
    if (!base.empty() && base.front() == '/') {
      while (name == ".." || name.starts_with("../")) {
        name.remove_prefix(std::min<std::size_t>(name.size(), 3));
        base.resize(std::max<std::size_t>(base.rfind('/'), 1));
      }
      path = Port::FileName(Text(base == "/" ? base + std::string(name) : base + "/" + std::string(name)))
                 .MakeCanonical()
                 .GetPath();
      return;
    }
  }
  // Joined without doubling the separator a directory may end with: a name left in normal form
  // is made canonical without being taken apart.
  const bool separated = !directory.empty() && directory.str().back() == '/';
  path = Port::FileName(separated ? directory + path : directory + "/" + path).MakeCanonical().GetPath();
}

}  // namespace Hvd
