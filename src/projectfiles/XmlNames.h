#pragma once
// The names and fixed texts of the project source file, each spelt once. Every name is offered
// both narrow (UTF-8) and as an XMLCh string (the same literal, suffix W), so that neither form
// has to be transcoded at run time.

#include <cstddef>
#include <string>

// Declares `id` (char) and `idW` (char16_t, which is XMLCh) from one literal.
#define HVD_XML_TEXT(id, text)       \
  inline constexpr char id[] = text; \
  inline constexpr char16_t id##W[] = u"" text

namespace Hvd::XmlNames {

// The one namespace of the project files, shared by the writer, the readers and the
// generated-project file.
HVD_XML_TEXT(kNamespaceUri, "http://www.velmor.com/XMLSchema");
// Attributes are written with this prefix; readers go by namespace and local name only.
HVD_XML_TEXT(kAttributePrefix, "vel_kv");
HVD_XML_TEXT(kSchemaVersion, "2");
// The namespace of the oldest form's file list.
HVD_XML_TEXT(kSpiritNamespaceUri, "http://www.spiritconsortium.org/XMLSchema/SPIRIT/1.4");

// Elements.
HVD_XML_TEXT(kProject, "project");
HVD_XML_TEXT(kHeader, "header");
HVD_XML_TEXT(kVersion, "version");
HVD_XML_TEXT(kFiles, "files");
HVD_XML_TEXT(kFile, "file");
HVD_XML_TEXT(kAssociation, "association");
HVD_XML_TEXT(kLibrary, "library");
HVD_XML_TEXT(kAutoManagedFiles, "autoManagedFiles");
HVD_XML_TEXT(kProperties, "properties");
HVD_XML_TEXT(kProperty, "property");
HVD_XML_TEXT(kBindings, "bindings");
HVD_XML_TEXT(kBinding, "binding");
HVD_XML_TEXT(kLibraries, "libraries");

// Attributes, by local name.
HVD_XML_TEXT(kName, "name");
HVD_XML_TEXT(kType, "type");
HVD_XML_TEXT(kSeqId, "seqID");
HVD_XML_TEXT(kSeqIdInc, "seqIDinc");
HVD_XML_TEXT(kSchemaVersionAttr, "schema_version");
HVD_XML_TEXT(kHlcVersion, "hlc_version");
HVD_XML_TEXT(kValue, "value");
HVD_XML_TEXT(kValueState, "valueState");
HVD_XML_TEXT(kLocked, "x_locked");
HVD_XML_TEXT(kLocation, "location");

// Attribute values.
HVD_XML_TEXT(kValueStateDefault, "default");
HVD_XML_TEXT(kValueStateNonDefault, "non-default");
HVD_XML_TEXT(kTrue, "true");

// View branches of an association, with their compile-order kinds.
struct Branch {
  const char* name;
  int kind;
};
inline constexpr Branch kBranches[] = {
    {"BehavioralSimulation", 1},
    {"Implementation", 2},
    {"PostTranslateSimulation", 4},
    {"PostMapSimulation", 5},
    {"PostRouteSimulation", 6},
    {"Translate", 0},
    {"Map", 0},
    {"Par", 0},
};

// Comment blocks: each line is one blank, the text, and blanks up to the block's width.
inline constexpr std::size_t kHeaderWidth = 67;
inline constexpr const char* kHeaderComments[] = {
    "HLC source project file created by Corvane.",
    "",
    "This file contains project source information including a list of",
    "project source files, project and process properties.  This file,",
    "along with the project source files, is sufficient to open and",
    "implement in HLC Corvane.",
    "",
    "Generated file: edits may be lost when the project is saved.",
};

inline constexpr std::size_t kAutoManagedWidth = 70;
inline constexpr const char* kAutoManagedComments[] = {
    "The following files are identified by `include statements in verilog",
    "source files and are automatically managed by Corvane.",
    "",
    "Do not hand-edit this section, as it will be overwritten when the",
    "project is analyzed based on files automatically identified as",
    "include files.",
};

inline constexpr std::size_t kInternalUseWidth = 82;
inline constexpr const char* kInternalUseComments[] = {
    "",
    "The following properties are for internal use only. These should not be modified.",
    "",
};

// Written instead of the internal-use block when the properties keep the project's order.
inline constexpr std::size_t kUnsortedWidth = 67;
inline constexpr const char* kUnsortedComments[] = {
    "Warning: Some properties are order dependent.  Changing the order",
    "         may cause unexpected behavior.",
};

// The comment text as written: one blank, the text, blanks up to `width`.
inline std::string PaddedComment(const char* text, std::size_t width) {
  std::string line = " ";
  line += text;
  if (line.size() < width) line.append(width - line.size(), ' ');
  return line;
}

}  // namespace Hvd::XmlNames

#undef HVD_XML_TEXT
