#include "projectfiles/metrion/XmlReader.h"

#include <filesystem>
#include <iterator>
#include <memory>
#include <system_error>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/sax/SAXException.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "core/RegularFile.h"
#include "utils/XmlBounds.h"
#include "utils/XmlPlatform.h"

namespace X = xercesc;

namespace MtnC {

namespace {

// A statistics file holds a few hundred lines; one far larger is not one, and is not read.
constexpr std::uintmax_t kMaxFileBytes = 16u * 1024u * 1024u;
constexpr XMLSize_t kEntityExpansionLimit = 100;

std::string Utf8(const XMLCh* text) { return Hvd::Xml::Utf8Text(text).str(); }

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The attribute's value; empty when the element has none.
std::string Attribute(const X::Attributes& attributes, const char* name) {
  return Utf8(attributes.getValue(Hvd::Xml::XmlText(name).get()));
}

// The whole regular file, or false. Read by its own bytes, never as a URL, and never waited on.
bool ReadFile(const std::string& fileName, std::string& bytes) {
  return Hvd::ReadRegularFile(fileName, bytes, kMaxFileBytes);
}

}  // namespace

XmlReader::XmlReader(const std::string& fileName) { Parse(fileName); }

XmlReader::~XmlReader() = default;

void XmlReader::Parse(const std::string& fileName) {
  std::string bytes;
  try {
    if (!ReadFile(fileName, bytes) || !Hvd::Xml::CheckBounds(bytes).empty()) return;
  } catch (...) {
    return;
  }
  if (!Hvd::Xml::StartPlatform()) return;
  try {
    X::SecurityManager security;  // declared before the parser, which refers to it to its end
    security.setEntityExpansionLimit(kEntityExpansionLimit);
    // Owned here, so that a parse that ends in an exception frees it as well.
    std::unique_ptr<X::SAX2XMLReader> parser(X::XMLReaderFactory::createXMLReader());
    parser->setFeature(X::XMLUni::fgSAX2CoreValidation, true);
    // Validation only against a grammar the document brings, which it may not: a document
    // type ends the parse (startDTD), so no entity is declared and nothing outside the file
    // is fetched.
    parser->setFeature(X::XMLUni::fgXercesDynamic, true);
    parser->setFeature(X::XMLUni::fgXercesLoadExternalDTD, false);
    parser->setFeature(X::XMLUni::fgXercesDisableDefaultEntityResolution, true);
    parser->setFeature(X::XMLUni::fgXercesSchema, false);
    parser->setProperty(X::XMLUni::fgXercesSecurityManager, &security);
    parser->setContentHandler(this);
    parser->setErrorHandler(this);
    parser->setLexicalHandler(this);
    const X::MemBufInputSource source(reinterpret_cast<const XMLByte*>(bytes.data()), bytes.size(),
                                      Hvd::Xml::XmlText(fileName).get(), false);
    parser->parse(source);
  } catch (...) {
    // XMLException, SAXParseException or any other: what was read so far stays.
  }
  m_section = nullptr;
  m_table = nullptr;
}

void XmlReader::startDocument() {}

void XmlReader::startDTD(const XMLCh*, const XMLCh*, const XMLCh*) {
  throw X::SAXException("a document type declaration is not accepted");
}

void XmlReader::startElement(const XMLCh*, const XMLCh*, const XMLCh* qualifiedName,
                             const X::Attributes& attributes) {
  const std::string name = Utf8(qualifiedName);
  if (StartsWith(name, "section")) {
    const bool visible = StartsWith(Attribute(attributes, "visible"), "true");
    SectionMap& map = visible ? m_visible : m_hidden;
    // A later section of the same name replaces the earlier one.
    TableList& tables = map[Attribute(attributes, "name")];
    tables.assign(1, UsageStatTable());
    m_section = &tables;
    m_table = &tables.front();
    return;
  }
  UsageStatRecord record;
  if (StartsWith(name, "item")) {
    record.kind = UsageStatRecord::Kind::Item;
  } else if (StartsWith(name, "property")) {
    record.kind = UsageStatRecord::Kind::Property;
  } else {
    return;
  }
  if (m_table == nullptr) return;
  record.name = Attribute(attributes, "name");
  record.value = Attribute(attributes, "value");
  record.type = Attribute(attributes, "type");
  m_table->push_back(std::move(record));
}

void XmlReader::endElement(const XMLCh*, const XMLCh*, const XMLCh* qualifiedName) {
  const std::string name = Utf8(qualifiedName);
  if (StartsWith(name, "section")) {
    // What follows the section's end stands outside every section and is not kept.
    m_section = nullptr;
    m_table = nullptr;
  } else if (StartsWith(name, "item") && m_section != nullptr) {
    m_table = &m_section->emplace_back();
  }
}

std::string XmlReader::GetValue(const std::string& section, const std::string& item,
                                const std::string& property) const {
  for (const SectionMap* map : {&m_visible, &m_hidden}) {
    const auto found = map->find(section);
    if (found == map->end()) continue;
    for (const UsageStatTable& table : found->second) {
      if (!item.empty()) {
        if (table.empty() || table.front().kind != UsageStatRecord::Kind::Item ||
            !StartsWith(table.front().name, item))
          continue;
      }
      for (const UsageStatRecord& record : table) {
        if (record.kind == UsageStatRecord::Kind::Property && StartsWith(property, record.name)) return record.value;
      }
    }
  }
  return std::string();
}

}  // namespace MtnC
