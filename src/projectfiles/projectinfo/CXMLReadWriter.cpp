// What the project information reads from a parsed project source file.

#include "projectfiles/projectinfo/CXMLReadWriter.h"

#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <xercesc/util/XMLString.hpp>

#include "CitP/Factory.h"
#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "Prjrep/ClassIds.h"
#include "projectfiles/XMLNamespaceHelper.h"
#include "projectfiles/XhlcText.h"
#include "projectfiles/XmlNames.h"
#include "utils/XmlPlatform.h"

namespace X = xercesc;

namespace Hvd {

using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
namespace N = XmlNames;

namespace {

constexpr XMLCh kFileTag[] = u"file";
constexpr XMLCh kAssociationTag[] = u"association";
constexpr XMLCh kLibraryTag[] = u"library";
constexpr XMLCh kTypeQName[] = u"vel_kv:type";
constexpr XMLCh kNameQName[] = u"vel_kv:name";
constexpr XMLCh kSeqIdIncQName[] = u"vel_kv:seqIDinc";

AutoRelease<Prjrep::IStringSet> NewStringSet() {
  return AutoRelease<Prjrep::IStringSet>(CitP::Factory::CreateInstance(Prjrep::ClassId::StringSet()));
}

AutoRelease<Prjrep::IStringSet> SetOf(const std::set<std::string>& names) {
  AutoRelease<Prjrep::IStringSet> set = NewStringSet();
  for (const std::string& name : names) {
    if (set) std::ignore = set->Add(Text(name));
  }
  return set;
}

}  // namespace

Text QualifiedAttribute(const X::DOMElement* element, const XMLCh* qualifiedName) {
  if (element == nullptr) return Text();
  return Text(Xml::Utf8Text(element->getAttribute(qualifiedName)).str());
}

bool CXMLReadWriter::Read(const String& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path.str(), error);
  if (error) {
    Port_MsgManData::debugStub(
        Port::FormatMessage("Hvd::CProjectInfo - cannot read %s: %s\n", path.c_str(), error.message().c_str()).c_str());
    return false;
  }
  if (size > kMaxFileBytes) {
    Port_MsgManData::debugStub(Text()
                                   .Format("Hvd::CProjectInfo - %s is not read: %ju bytes is more than a project "
                                           "source file holds\n",
                                           path.c_str(), size)
                                   .c_str());
    return false;
  }
  // Each file starts from the reader's start state, so that nothing of an earlier file is
  // answered for one that lacks it.
  CreateParser();
  if (!ParseFile(path)) return false;
  ReadVersion();
  return true;
}

X::DOMElement* CXMLReadWriter::FirstSection(const XMLCh* localName) const {
  const std::vector<X::DOMElement*> sections = ElementsNamed(GetDocument(), N::kNamespaceUriW, localName);
  return sections.empty() ? nullptr : sections.front();
}

CXMLReadWriter::String CXMLReadWriter::AbsoluteName(const String& name) const { return ResolveProjectPath(name); }

bool CXMLReadWriter::CollectAssociations(AutoRelease<Prjrep::IStringSet>& records) {
  records = nullptr;
  AutoRelease<Prjrep::IStringSet> set = NewStringSet();
  X::DOMElement* files = FirstSection(N::kFilesW);
  if (!set || files == nullptr) return false;
  const XMLNamespaceHelper xml(GetDocument(), N::kNamespaceUriW);
  for (X::DOMElement* file : ElementsByTagName(files, kFileTag)) {
    String path = AttributeText(xml, file, N::kNameW);
    if (!path.empty()) path = AbsoluteName(path);
    const std::vector<X::DOMElement*> associations = ElementsByTagName(file, kAssociationTag);
    if (associations.empty()) continue;
    const std::vector<X::DOMElement*> libraries = ElementsByTagName(file, kLibraryTag);
    const String library = libraries.empty() ? String() : QualifiedAttribute(libraries.front(), kNameQName);
    const String type = QualifiedAttribute(file, kTypeQName);
    for (const X::DOMElement* association : associations) {
      String record = path;
      for (const String& field : {type, QualifiedAttribute(association, kNameQName),
                                  QualifiedAttribute(association, kSeqIdIncQName), library}) {
        record += ",";
        record += field;
      }
      std::ignore = set->Add(record);
    }
  }
  records = std::move(set);
  return true;
}

AutoRelease<Prjrep::IStringSet> CXMLReadWriter::CollectFileNames(const String& type) {
  std::set<std::string> names;
  if (X::DOMDocument* document = GetDocument(); document != nullptr) {
    std::vector<X::DOMElement*> files = ElementsNamed(document, N::kNamespaceUriW, N::kFileW);
    if (files.empty()) files = ElementsNamed(document, N::kSpiritNamespaceUriW, N::kFileW);
    // The name is in the project namespace also on the oldest form's elements.
    const XMLNamespaceHelper xml(document, N::kNamespaceUriW);
    for (const X::DOMElement* file : files) {
      if (!type.empty() && QualifiedAttribute(file, kTypeQName) != type) continue;
      const String name = NameText(xml, file);
      if (!name.empty()) names.insert(AbsoluteName(name).str());
    }
  }
  return SetOf(names);
}

AutoRelease<Prjrep::IStringSet> CXMLReadWriter::CollectLibraryNames() {
  std::set<std::string> names;
  if (X::DOMDocument* document = GetDocument(); document != nullptr) {
    std::vector<X::DOMElement*> libraries = ElementsNamed(document, N::kNamespaceUriW, N::kLibraryW);
    if (libraries.empty()) libraries = ElementsNamed(document, N::kSpiritNamespaceUriW, N::kLibraryW);
    const XMLNamespaceHelper xml(document, N::kNamespaceUriW);
    for (const X::DOMElement* library : libraries) names.insert(AttributeText(xml, library, N::kNameW).str());
  }
  return SetOf(names);
}

AutoRelease<Prjrep::IStringSet> CXMLReadWriter::NoNames() { return NewStringSet(); }

bool CXMLReadWriter::GetFileLibrary(const String& file, String* library) {
  if (library != nullptr) library->str().clear();
  X::DOMElement* files = FirstSection(N::kFilesW);
  if (library == nullptr || files == nullptr || file.empty()) return false;
  const String wanted = AbsoluteName(file);
  for (const X::DOMElement* element : ElementsByTagName(files, kFileTag)) {
    const String name = QualifiedAttribute(element, kNameQName);
    if (name.empty() || AbsoluteName(name) != wanted) continue;
    const std::vector<X::DOMElement*> libraries = ElementsByTagName(element, kLibraryTag);
    if (!libraries.empty()) *library = QualifiedAttribute(libraries.front(), kNameQName);
    return true;
  }
  return false;
}

}  // namespace Hvd
