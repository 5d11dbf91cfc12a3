#include "childproject/ListProperties.h"

#include <algorithm>

#include "Hvd/IDefData.h"
#include "childproject/Paths.h"
#include "utils/DmUtils.h"
#include "utils/FileStamp.h"
#include "utils/PropertyAccessor.h"

namespace Hvd {

namespace {

using String = Port::StringBase<char>;

// The lists a child brings into its parent, and how their entries compare.
struct ChildListProperty {
  const char* name;
  bool paths;
};
constexpr ChildListProperty kChildListProperties[] = {
    {"PROP_ovraSpecifyDefMacroAndValue", false}, {"PROP_qlbVerilogMacros", false},
    {"PROP_qlbGenericsParameters", false},       {"PROP_velmTrnbldMacro", true},
    {"PROP_TralorSearchPathForSource", true},    {"PROP_ovraSpecifySearchDirectory", true},
    {"PROP_OvraSpecifySearchDirectoryChkSyntax", true},
};

}  // namespace

Prjrep::AutoRelease<IPropertyInstance> FindPropertyInstance(IProject* project, const char* name) {
  if (project == nullptr || name == nullptr) return nullptr;
  return PropertyAccessor(project).GetPropertyInstance(name);
}

String GetPropertyValueByName(IProject* project, const char* name) {
  String value;
  if (Prjrep::AutoRelease<IPropertyInstance> instance = FindPropertyInstance(project, name); instance)
    std::ignore = instance->GetValue(&value);
  return value;
}

String SetPropertyValueByName(IProject* project, const char* name, const String& value) {
  if (Prjrep::AutoRelease<IPropertyInstance> instance = FindPropertyInstance(project, name); instance)
    std::ignore = instance->SetValue(value);
  return value;
}

String GetGeneratorType(IProject* project) { return GetPropertyValueByName(project, "PROP_ProjectGeneratorType"); }

void ListPropertyMerger::SplitListValue(IPropertyInstance* instance, std::vector<String>& entries) const {
  String value;
  if (instance == nullptr || instance->GetValue(&value) != kSuccess) return;
  const std::string& text = value.str();
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t bar = std::min(text.find('|', start), text.size());
    if (bar > start) entries.emplace_back(text.substr(start, bar - start));
    start = bar + 1;
  }
}

String ListPropertyMerger::JoinListValue(std::vector<String>& entries) const {
  std::string joined;
  for (const String& entry : entries) {
    if (!joined.empty()) joined += '|';
    joined += entry.str();
  }
  entries.clear();
  return String(std::move(joined));
}

String ListPropertyMerger::ProjectDirectory(IProject* project) const {
  std::string path = JoinPaths(GetObjectFullPath(project).c_str(), "");
  if (path.rfind("//:", 0) == 0) path.erase(0, 3);
  std::replace(path.begin(), path.end(), '\\', '/');
  if (path == "//") return String();
  if (!path.empty() && path.back() == '/') return String(path.substr(0, path.size() - 1));
  std::size_t cut = path.rfind('/');
  if (cut == std::string::npos) cut = path.rfind('\\');
  if (cut == std::string::npos && path.size() >= 2) cut = path.rfind(':', path.size() - 2);
  if (cut == std::string::npos || (cut == 1 && path[0] == '/')) return String();
  return String(path.substr(0, cut + 1));
}

String ListPropertyMerger::Absolute(const String& entry, const String& sourceDirectory) {
  return IsAbsolutePath(entry) ? entry : JoinPaths(entry, sourceDirectory);
}

void ListPropertyMerger::WriteBack(IPropertyInstance* instance, std::vector<String>& entries) const {
  if (instance != nullptr) std::ignore = instance->SetValue(JoinListValue(entries));
}

void ListPropertyMerger::RemoveListEntries(const char* name) {
  Prjrep::AutoRelease<IPropertyInstance> target = FindPropertyInstance(m_target, name);
  Prjrep::AutoRelease<IPropertyInstance> source = FindPropertyInstance(m_source, name);
  std::vector<String> kept, removed;
  SplitListValue(target.Get(), kept);
  SplitListValue(source.Get(), removed);
  for (const String& entry : removed) {
    if (auto found = std::find(kept.begin(), kept.end(), entry); found != kept.end()) kept.erase(found);
  }
  WriteBack(target.Get(), kept);
}

void ListPropertyMerger::RemovePathListEntries(const char* name) {
  const String sourceDirectory = ProjectDirectory(m_source);
  Prjrep::AutoRelease<IPropertyInstance> target = FindPropertyInstance(m_target, name);
  Prjrep::AutoRelease<IPropertyInstance> source = FindPropertyInstance(m_source, name);
  std::vector<String> kept, removed;
  SplitListValue(target.Get(), kept);
  SplitListValue(source.Get(), removed);
  removed.push_back(sourceDirectory);
  for (const String& entry : removed) {
    const String absolute = Absolute(entry, sourceDirectory);
    auto found = std::find_if(kept.begin(), kept.end(),
                              [&absolute](const String& own) { return PathsEqual(own.c_str(), absolute.c_str()); });
    if (found != kept.end()) kept.erase(found);
  }
  WriteBack(target.Get(), kept);
}

void ListPropertyMerger::MergePathListProperty(const char* name, const char* extra, bool addSourceDirectory) {
  const String sourceDirectory = ProjectDirectory(m_source);
  Prjrep::AutoRelease<IPropertyInstance> target = FindPropertyInstance(m_target, name);
  Prjrep::AutoRelease<IPropertyInstance> source = FindPropertyInstance(m_source, name);
  std::vector<String> merged, added;
  SplitListValue(target.Get(), merged);
  SplitListValue(source.Get(), added);
  if (extra != nullptr) added.emplace_back(extra);
  if (addSourceDirectory) added.push_back(sourceDirectory);
  for (const String& entry : added) {
    const String absolute = Absolute(entry, sourceDirectory);
    const bool known = std::any_of(merged.begin(), merged.end(),
                                   [&absolute](const String& own) { return PathsEqual(own.c_str(), absolute.c_str()); });
    if (!known) merged.push_back(absolute);
  }
  WriteBack(target.Get(), merged);
}

Status RemoveChildListProperties(IProject* parent, IProject* child) {
  if (parent == nullptr || child == nullptr) return kFailure;
  ListPropertyMerger merger(parent, child);
  for (const ChildListProperty& property : kChildListProperties) {
    if (property.paths) {
      merger.RemovePathListEntries(property.name);
    } else {
      merger.RemoveListEntries(property.name);
    }
  }
  return kSuccess;
}

}  // namespace Hvd
