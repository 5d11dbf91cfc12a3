// The edits that the project information makes in a parsed project source file, and the
// writing of the edited document.

#include <boost/algorithm/string/split.hpp>
#include <string>
#include <vector>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMText.hpp>
#include <xercesc/util/XMLString.hpp>

#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "core/AtomicFile.h"
#include "projectfiles/XMLNamespaceHelper.h"
#include "projectfiles/XhlcLayout.h"
#include "projectfiles/XhlcText.h"
#include "projectfiles/XmlNames.h"
#include "projectfiles/projectinfo/CXMLReadWriter.h"
#include "utils/XmlPlatform.h"
#include "utils/XmlSerializer.h"

namespace X = xercesc;

namespace Hvd {

using Text = Port::StringBase<char>;
namespace N = XmlNames;

namespace {

bool Refuse(const char* operation, const char* why) {
  Port_MsgManData::debugStub(Text().Format("Hvd::CProjectInfo::%s - %s\n", operation, why).c_str());
  return false;
}

// A character that XML 1.0 allows, from well-formed UTF-8.
bool IsXmlCharacter(char32_t c) {
  if (c < 0x20) return c == 0x09 || c == 0x0A || c == 0x0D;
  return (c < 0xD800) || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

bool IsXmlUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 0;
    if (length == 0 || i + length > text.size()) return false;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms name a character in more bytes than it needs.
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || !IsXmlCharacter(c)) return false;
    i += length;
  }
  return true;
}

bool HasName(const X::DOMElement* element, const Text& name) {
  const XMLNamespaceHelper xml(nullptr, N::kNamespaceUriW);
  return AttributeText(xml, element, N::kNameW) == name;
}

}  // namespace

bool IsWritableText(const char* what, const Text& text) {
  if (IsXmlUtf8(text.str())) return true;
  Port_MsgManData::debugStub(
      Port::FormatMessage("Hvd::CProjectInfo - the %s is not text a project source file can hold\n", what).c_str());
  return false;
}

X::DOMElement* CXMLReadWriter::NewElement(const XMLCh* localName) const {
  return GetDocument()->createElementNS(N::kNamespaceUriW, localName);
}

void CXMLReadWriter::SetAttribute(X::DOMElement* element, const XMLCh* localName, const String& value) {
  std::u16string qualified = N::kAttributePrefixW;
  qualified += u':';
  qualified += localName;
  element->setAttributeNS(N::kNamespaceUriW, qualified.c_str(), Xml::XmlText(value.str()).get());
}

bool CXMLReadWriter::SetProperty(const String& name, const String& value) {
  if (GetDocument() == nullptr) return Refuse("SetProperty", "no project source file was read");
  if (name.empty()) return Refuse("SetProperty", "no property name given");
  if (!IsWritableText("property name", name) || !IsWritableText("property value", value)) return false;
  bool found = false;
  for (X::DOMElement* property : ElementsNamed(GetDocument(), N::kNamespaceUriW, N::kPropertyW)) {
    if (!HasName(property, name)) continue;
    SetAttribute(property, N::kValueW, value);
    found = true;
    break;
  }
  if (!found) {
    X::DOMElement* properties = FirstSection(N::kPropertiesW);
    if (properties == nullptr) return Refuse("SetProperty", "the file has no properties element");
    X::DOMElement* property = NewElement(N::kPropertyW);
    SetAttribute(property, N::kNameW, name);
    SetAttribute(property, N::kValueW, value);
    properties->appendChild(property);
    properties->appendChild(GetDocument()->createTextNode(u"\n  "));
  }
  // The answers to property questions follow the edit.
  ReadProperties();
  return true;
}

bool CXMLReadWriter::AddLibrary(const String& name) {
  if (GetDocument() == nullptr) return Refuse("AddLibrary", "no project source file was read");
  if (name.empty()) return Refuse("AddLibrary", "no library name given");
  if (!IsWritableText("library name", name)) return false;
  X::DOMElement* libraries = FirstSection(N::kLibrariesW);
  if (libraries == nullptr) return Refuse("AddLibrary", "the file has no libraries element");
  for (X::DOMElement* child = libraries->getFirstElementChild(); child != nullptr;
       child = child->getNextElementSibling()) {
    if (HasName(child, name)) return true;
  }
  X::DOMElement* library = NewElement(N::kLibraryW);
  SetAttribute(library, N::kNameW, name);
  libraries->appendChild(library);
  return true;
}

bool CXMLReadWriter::AddFile(const String& name, const String& type, const String& associations, const String& library,
                             const String& seqIdInc) {
  if (GetDocument() == nullptr) return Refuse("AddFile", "no project source file was read");
  if (name.empty()) return Refuse("AddFile", "no file name given");
  if (!IsWritableText("file name", name) || !IsWritableText("file type", type) ||
      !IsWritableText("association", associations) || !IsWritableText("library name", library) ||
      !IsWritableText("sequence id", seqIdInc))
    return false;
  X::DOMElement* files = FirstSection(N::kFilesW);
  if (files == nullptr) return Refuse("AddFile", "the file has no files element");
  X::DOMElement* file = nullptr;
  for (X::DOMElement* element : ElementsNamed(GetDocument(), N::kNamespaceUriW, N::kFileW)) {
    if (QualifiedAttribute(element, u"vel_kv:name") == name) {
      file = element;
      break;
    }
  }
  if (file == nullptr) {
    file = NewElement(N::kFileW);
    SetAttribute(file, N::kNameW, name);
    SetAttribute(file, N::kTypeW, type);
    files->appendChild(file);
  }
  AddAssociations(file, associations, seqIdInc);
  SetFileLibrary(file, library);
  return true;
}

void CXMLReadWriter::AddAssociations(X::DOMElement* file, const String& associations, const String& seqIdInc) {
  std::vector<std::string> pieces;
  boost::algorithm::split(pieces, associations.str(), [](char c) { return c == ','; });
  for (const std::string& piece : pieces) {
    // Two commas in a row, or one at an end, name no branch.
    if (piece.empty()) continue;
    bool listed = false;
    for (X::DOMElement* child = file->getFirstElementChild(); child != nullptr && !listed;
         child = child->getNextElementSibling()) {
      listed = X::XMLString::equals(child->getLocalName(), N::kAssociationW) && HasName(child, piece);
    }
    if (listed) continue;
    X::DOMElement* association = NewElement(N::kAssociationW);
    SetAttribute(association, N::kNameW, piece);
    if (!seqIdInc.empty()) SetAttribute(association, N::kSeqIdIncW, seqIdInc);
    file->appendChild(association);
  }
}

void CXMLReadWriter::SetFileLibrary(X::DOMElement* file, const String& library) {
  if (library.empty()) return;
  for (X::DOMElement* child = file->getFirstElementChild(); child != nullptr; child = child->getNextElementSibling()) {
    if (X::XMLString::equals(child->getNodeName(), N::kLibraryW)) {
      SetAttribute(child, N::kNameW, library);
      return;
    }
  }
  X::DOMElement* element = NewElement(N::kLibraryW);
  SetAttribute(element, N::kNameW, library);
  file->appendChild(element);
}

bool CXMLReadWriter::WriteProjectData(const String& path) {
  X::DOMDocument* document = GetDocument();
  if (document == nullptr) return Refuse("WriteProjectData", "no project source file was read");
  if (path.empty()) return Refuse("WriteProjectData", "no path given");
  X::DOMElement* header = FirstSection(N::kHeaderW);
  if (header == nullptr) return Refuse("WriteProjectData", "the file has no header element");
  // The header's comments are laid out afresh; the text between them would double the lines.
  std::vector<X::DOMNode*> texts;
  for (X::DOMNode* child = header->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
    if (X::XMLString::equals(child->getNodeName(), u"#text")) texts.push_back(child);
  }
  for (X::DOMNode* text : texts) header->removeChild(text)->release();

  std::string message;
  const Status written = HasOtherEncoding(document)
                             ? Xml::WriteDocumentFile(document, path.str(), &message)
                             : WriteFileAtomically(path.str(), FormatProjectDocument(document), &message);
  if (written == kSuccess) return true;
  Port_MsgManData::debugStub(
      Port::FormatMessage("Hvd::CProjectInfo::WriteProjectData - %s: %s\n", path.c_str(), message.c_str()).c_str());
  return false;
}

}  // namespace Hvd
