#pragma once
// Properties whose values are lists of entries separated by "|" (macros, generics, search
// paths), and the named-property access the child-project code uses throughout.
//
// When a child leaves its parent, the parent's lists lose the entries the child brought in;
// when a configuration takes its project's properties, path lists gain the entries they
// lack. Path entries are compared as paths, relative ones first rebased onto the directory
// of the project they came from.

#include <vector>

#include "Hvd/IDefData.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Holders.h"

namespace Hvd {

// Rewrites lists of `m_target` from the entries of `m_source`; owns neither. Lives for one call.
class ListPropertyMerger {
 public:
  using String = Port::StringBase<char>;

  ListPropertyMerger(IProject* target, IProject* source) : m_target(target), m_source(source) {}

  // Adds the source's entries that the target lacks, compared as paths and added in their
  // absolute form; then `extra` (may be null) and, with `addSourceDirectory`, the source's
  // directory, likewise.
  void MergePathListProperty(const char* name, const char* extra, bool addSourceDirectory);
  // Removes from the target the entries that equal, as paths, an entry of the source or the
  // source's directory.
  void RemovePathListEntries(const char* name);
  // Removes from the target the entries that equal, as strings, an entry of the source; one
  // target entry per source entry.
  void RemoveListEntries(const char* name);

  // Appends the instance's non-empty entries in order; nothing for a null instance.
  void SplitListValue(IPropertyInstance* instance, std::vector<String>& entries) const;
  // The entries with "|" between them; the vector is emptied.
  String JoinListValue(std::vector<String>& entries) const;
  // The directory of the project's file in slash form with its trailing separator; empty
  // when there is none.
  String ProjectDirectory(IProject* project) const;

 private:
  // An entry as absolute, against the source's directory when it is relative.
  static String Absolute(const String& entry, const String& sourceDirectory);
  void WriteBack(IPropertyInstance* instance, std::vector<String>& entries) const;

  IProject* m_target;
  IProject* m_source;
};

// Takes the child's entries out of the parent's list properties: 0 when either is null.
Status RemoveChildListProperties(IProject* parent, IProject* child);

// The project's property instance of that name, or null.
Prjrep::AutoRelease<IPropertyInstance> FindPropertyInstance(IProject* project, const char* name);
// Empty when the project has no such property.
Port::StringBase<char> GetPropertyValueByName(IProject* project, const char* name);
// Sets the value when the property exists; the value is returned either way.
Port::StringBase<char> SetPropertyValueByName(IProject* project, const char* name, const Port::StringBase<char>& value);
// The project's generator ("PROP_ProjectGeneratorType").
Port::StringBase<char> GetGeneratorType(IProject* project);

}  // namespace Hvd
