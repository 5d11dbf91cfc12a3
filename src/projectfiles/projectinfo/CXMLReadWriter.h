#pragma once
// The project source file reader of the project information: a reader without a project that
// answers questions about the parsed document and edits it in place.

#include <cstdint>
#include <string>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>

#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IStringSet.h"
#include "core/Holders.h"
#include "projectfiles/CXMLReader.h"

namespace Hvd {

class CXMLReadWriter final : public CXMLReader {
 public:
  CXMLReadWriter() = default;

  // Larger files are refused unread: a project source file lists a few thousand files at most.
  static constexpr std::uintmax_t kMaxFileBytes = 64u << 20;

  // Parses the file and reads its version; false, with a message, when it cannot.
  bool Read(const String& path);

  // The queries; each answers a new string set (null when none could be made).
  // One record per association of a file; false when the document has no "files" element.
  bool CollectAssociations(Prjrep::AutoRelease<Prjrep::IStringSet>& records);
  // The distinct absolute names of the files of that type ("" for every type), sorted.
  Prjrep::AutoRelease<Prjrep::IStringSet> CollectFileNames(const String& type);
  // The distinct library names, sorted.
  Prjrep::AutoRelease<Prjrep::IStringSet> CollectLibraryNames();
  // An empty string set.
  static Prjrep::AutoRelease<Prjrep::IStringSet> NoNames();
  // The library named for the file; false when the file is not listed.
  bool GetFileLibrary(const String& file, String* library);

  // The edits of the parsed document; false, with a message, when they cannot be made.
  bool SetProperty(const String& name, const String& value);
  bool AddLibrary(const String& name);
  bool AddFile(const String& name, const String& type, const String& associations, const String& library,
               const String& seqIdInc);
  // Writes the document to `path` by replacing the file as a whole.
  bool WriteProjectData(const String& path);

 private:
  using CXMLReader::AddFile;
  xercesc::DOMElement* FirstSection(const XMLCh* localName) const;
  // The name as the file lists it, made absolute against the file's directory.
  String AbsoluteName(const String& name) const;
  void AddAssociations(xercesc::DOMElement* file, const String& associations, const String& seqIdInc);
  void SetFileLibrary(xercesc::DOMElement* file, const String& library);
  xercesc::DOMElement* NewElement(const XMLCh* localName) const;
  // Sets vel_kv:<localName> in the project namespace.
  static void SetAttribute(xercesc::DOMElement* element, const XMLCh* localName, const String& value);
};

// An attribute by its qualified name, as UTF-8; a missing one reads as "".
Port::StringBase<char> QualifiedAttribute(const xercesc::DOMElement* element, const XMLCh* qualifiedName);

// False, with a developer message naming `what`, for text that XML 1.0 cannot carry.
bool IsWritableText(const char* what, const Port::StringBase<char>& text);

}  // namespace Hvd
