#include "utils/XmlPlatform.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/XMLAttr.hpp>
#include <xercesc/framework/XMLElementDecl.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>

#include "Port/MessageText.h"
#include "core/XmlChars.h"
#include "utils/FileUtils.h"
#include "utils/XmlBounds.h"

namespace X = xercesc;

namespace Hvd::Xml {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
// The project files' bound (that of the project source reader): a project of 100,000 files
// takes about a third of it.
constexpr std::uintmax_t kMaxDocumentBytes = std::uintmax_t{64} << 20;

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  } else {
    out += static_cast<char16_t>(c);
  }
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 sequence at `i`, advancing past it; overlong forms, surrogates and
// truncated sequences give U+FFFD and skip one byte.
char32_t DecodeUtf8(std::string_view in, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(in[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  std::size_t length = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, minimum = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  if (i + length > in.size()) {
    ++i;
    return kReplacement;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += length;
  return c;
}

// Collects the parse errors as text instead of throwing them.
class CollectingErrors final : public X::ErrorHandler {
 public:
  void warning(const X::SAXParseException&) override {}
  void error(const X::SAXParseException& e) override { Add(e); }
  void fatalError(const X::SAXParseException& e) override { Add(e); }
  void resetErrors() override {
    m_text.clear();
    m_count = 0;
    m_first = SafeDomParser::ErrorPlace();
  }

  void Add(const char* text) {
    if (m_count == 0 && m_first.message.empty()) m_first.message = text != nullptr ? text : "";
    if (++m_count > kMaxLines) return;
    if (!m_text.empty()) m_text += '\n';
    m_text += text;
  }
  const std::string& Text() const noexcept { return m_text; }
  bool Any() const noexcept { return m_count > 0; }
  const SafeDomParser::ErrorPlace& First() const noexcept { return m_first; }

 private:
  static constexpr int kMaxLines = 8;  // the first errors explain; the rest follow from them

  void Add(const X::SAXParseException& e) {
    if (m_count == 0) {
      m_first.message = Utf8Text(e.getMessage()).str();
      m_first.systemId = Utf8Text(e.getSystemId()).str();
      m_first.line = static_cast<long long>(e.getLineNumber());
      m_first.column = static_cast<long long>(e.getColumnNumber());
    }
    const std::string line = Utf8Text(e.getSystemId()).str() + ":" + std::to_string(e.getLineNumber()) + ":" +
                             std::to_string(e.getColumnNumber()) + ": " + Utf8Text(e.getMessage()).str();
    Add(line.c_str());
  }

  std::string m_text;
  int m_count = 0;
  SafeDomParser::ErrorPlace m_first;
};

// The project files never need a document type, so none is read: this also keeps entity
// declarations, and with them external and recursive entities, out of every document.
// It also hands the content a diverter asks for to the diverter, bypassing the document.
class RefusingDtdParser final : public X::XercesDOMParser {
 public:
  RefusingDtdParser() { getScanner()->setDisallowDTD(true); }

  // For the next parse only.
  void SetDiverter(ContentDiverter* diverter) noexcept {
    m_diverter = diverter;
    m_depth = 0;
    m_inside = 0;
    m_asked = diverter != nullptr;
  }

  void startElement(const X::XMLElementDecl& decl, const unsigned int uriId, const XMLCh* const prefix,
                    const X::RefVectorOf<X::XMLAttr>& attributes, const XMLSize_t count, const bool isEmpty,
                    const bool isRoot) override {
    for (XMLSize_t i = 0; i < count; ++i) RefuseUnfit(attributes.elementAt(i)->getValue());
    if (m_inside > 0) {
      m_attributes.clear();
      for (XMLSize_t i = 0; i < count; ++i) {
        const X::XMLAttr* attribute = attributes.elementAt(i);
        m_attributes.push_back({getScanner()->getURIText(attribute->getURIId()), attribute->getPrefix(),
                                attribute->getName(), attribute->getValue()});
      }
      m_diverter->StartElement(getScanner()->getURIText(uriId), prefix != nullptr ? prefix : u"", decl.getBaseName(),
                               m_attributes.data(), m_attributes.size());
      if (isEmpty) {
        m_diverter->EndElement();
      } else {
        ++m_inside;
      }
      return;
    }
    const bool divert = m_asked && m_diverter->Diverts(m_depth, getScanner()->getURIText(uriId),
                                                       prefix != nullptr ? prefix : u"", decl.getBaseName());
    if (divert) m_asked = false;
    ++m_depth;
    // An empty element ends within this call.
    X::XercesDOMParser::startElement(decl, uriId, prefix, attributes, count, isEmpty, isRoot);
    if (divert && !isEmpty) m_inside = 1;
  }

  void endElement(const X::XMLElementDecl& decl, const unsigned int uriId, const bool isRoot,
                  const XMLCh* const prefix) override {
    if (m_inside > 1) {
      --m_inside;
      m_diverter->EndElement();
      return;
    }
    m_inside = 0;
    --m_depth;
    X::XercesDOMParser::endElement(decl, uriId, isRoot, prefix);
  }

  void docCharacters(const XMLCh* const text, const XMLSize_t length, const bool cdata) override {
    RefuseUnfit(std::u16string_view(text, length));
    if (m_inside > 0) return m_diverter->Characters(text, length);
    X::XercesDOMParser::docCharacters(text, length, cdata);
  }
  void ignorableWhitespace(const XMLCh* const text, const XMLSize_t length, const bool cdata) override {
    if (m_inside > 0) return m_diverter->Characters(text, length);
    X::XercesDOMParser::ignorableWhitespace(text, length, cdata);
  }
  void docComment(const XMLCh* const comment) override {
    if (m_inside > 0) return m_diverter->Other();
    X::XercesDOMParser::docComment(comment);
  }
  void docPI(const XMLCh* const target, const XMLCh* const data) override {
    if (m_inside > 0) return m_diverter->Other();
    X::XercesDOMParser::docPI(target, data);
  }

 private:
  // A document that says it is XML 1.1 may give by a character reference what XML 1.0 cannot
  // carry; every reader and writer of the project's files holds to 1.0, so such a value is a
  // fatal error of the parse, at its place, and no document is made of the rest.
  void RefuseUnfit(std::u16string_view text) {
    const auto unfit = [](char16_t c) {
      return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF;
    };
    if (std::none_of(text.begin(), text.end(), unfit)) return;
    std::string value;
    AppendUtf8Text(value, std::u16string(text).c_str());
    const std::size_t at = FindXmlUnfit(value);
    const std::string message = "the value \"" + Port::EscapeControls(value) + "\" holds " + XmlUnfitName(value, at) +
                                ", which a project file cannot hold";
    // The scanner is its own locator while it reads; without a handler the failure is thrown, as
    // the parser throws its own fatal errors then.
    const X::SAXParseException failure(XmlText(message).get(), *getScanner()->getLocator());
    if (X::ErrorHandler* handler = getErrorHandler(); handler != nullptr) return handler->fatalError(failure);
    throw failure;
  }

  ContentDiverter* m_diverter = nullptr;
  bool m_asked = false;
  std::size_t m_depth = 0;   // of the next element, the document element at 0
  std::size_t m_inside = 0;  // 1 within the diverted element, one more for each element in it
  std::vector<ContentDiverter::Attribute> m_attributes;
};

constexpr XMLSize_t kEntityExpansionLimit = 100;

}  // namespace

XmlText::XmlText(const char* utf8) : XmlText(utf8 ? std::string_view(utf8) : std::string_view()) {
  m_null = utf8 == nullptr;
}

XmlText::XmlText(std::string_view utf8) {
  m_text.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) AppendUtf16(m_text, DecodeUtf8(utf8, i));
}

void AppendUtf8Text(std::string& out, const XMLCh* text) {
  if (text == nullptr) return;
  for (const XMLCh* p = text; *p != 0; ++p) {
    char32_t c = *p;
    if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
}

Utf8Text::Utf8Text(const XMLCh* text) : m_null(text == nullptr) { AppendUtf8Text(m_text, text); }

void DocumentRelease::operator()(X::DOMDocument* document) const noexcept {
  if (document != nullptr) document->release();
}

class SafeDomParser::Impl {
 public:
  Impl() {
    m_security.setEntityExpansionLimit(kEntityExpansionLimit);
    m_parser.setErrorHandler(&m_errors);
    m_parser.setValidationScheme(X::XercesDOMParser::Val_Never);
    m_parser.setDoNamespaces(true);
    m_parser.setDoSchema(false);
    m_parser.setLoadSchema(false);
    m_parser.setLoadExternalDTD(false);
    m_parser.setSkipDTDValidation(true);
    m_parser.setDisableDefaultEntityResolution(true);
    m_parser.setCreateEntityReferenceNodes(false);
    m_parser.setDoXInclude(false);
    m_parser.setSecurityManager(&m_security);
  }

  X::SecurityManager m_security;  // declared first: the parser refers to it until its end
  CollectingErrors m_errors;
  RefusingDtdParser m_parser;
};

SafeDomParser::SafeDomParser() noexcept {
  if (!StartPlatform()) return;
  try {
    m_impl = std::make_unique<Impl>();
  } catch (...) {
    m_impl.reset();
  }
}

SafeDomParser::~SafeDomParser() = default;

template <class MakeSource>
DocumentPtr SafeDomParser::Run(const MakeSource& makeSource) noexcept {
  m_message.clear();
  m_firstError = ErrorPlace();
  if (!m_impl) {
    Refuse("the XML platform is not available");
    return nullptr;
  }
  CollectingErrors& errors = m_impl->m_errors;
  X::XercesDOMParser& parser = m_impl->m_parser;
  errors.resetErrors();
  DocumentPtr document;
  try {
    const auto source = makeSource();
    parser.parse(*source);
    if (!errors.Any() && parser.getErrorCount() == 0) {
      document.reset(parser.adoptDocument());
      if (document == nullptr) errors.Add("no document");
    }
  } catch (const X::XMLException& e) {
    errors.Add(Utf8Text(e.getMessage()).get());
  } catch (const X::DOMException& e) {
    errors.Add(Utf8Text(e.getMessage()).get());
  } catch (...) {
    errors.Add("the parser failed");
  }
  if (document && document->getDoctype() != nullptr) {
    document.reset();
    errors.Add("a document type declaration is not accepted");
  }
  if (!document && !errors.Any()) errors.Add("the document could not be read");
  if (!document) {
    m_message = errors.Text();
    m_firstError = errors.First();
  }
  try {
    parser.resetDocumentPool();  // a document left to the parser is freed now, not at the next parse
  } catch (...) {
  }
  return document;
}

DocumentPtr SafeDomParser::ParseFile(const char* path) noexcept { return ParseFile(path, nullptr); }

DocumentPtr SafeDomParser::ParseFile(const char* path, std::string* kept, ContentDiverter* diverter) noexcept {
  if (path == nullptr || *path == 0) {
    Refuse("no file name given");
    return nullptr;
  }
  // Read here by the name's own bytes, never as a URL that could be fetched; Xerces would have
  // the name as UTF-16, and a name that is not UTF-8 would come back as another file's.
  std::string bytes;
  try {
    std::string why;
    if (!FileUtils::ReadWholeFile(path, bytes, why, kMaxDocumentBytes)) {
      Refuse(why);
      return nullptr;
    }
  } catch (...) {
    Refuse(std::string("cannot read \"") + path + "\": out of memory");
    return nullptr;
  }
  if (m_impl) m_impl->m_parser.SetDiverter(diverter);
  DocumentPtr document = ParseBytes(bytes, path);
  if (m_impl) m_impl->m_parser.SetDiverter(nullptr);
  if (document && kept != nullptr) *kept = std::move(bytes);
  return document;
}

DocumentPtr SafeDomParser::ParseBytes(std::string_view bytes, const char* name) noexcept {
  try {
    const std::string refused = CheckBounds(bytes);
    if (!refused.empty()) {
      Refuse(std::string(name != nullptr ? name : "buffer") + ": " + refused);
      return nullptr;
    }
  } catch (...) {
    Refuse("the document could not be read");
    return nullptr;
  }
  return Run([bytes, name] {
    return std::make_unique<X::MemBufInputSource>(reinterpret_cast<const XMLByte*>(bytes.data()), bytes.size(),
                                                  XmlText(name).get(), false);
  });
}

void SafeDomParser::Refuse(const std::string& why) noexcept {
  try {
    m_message = why;
    m_firstError = ErrorPlace();
    m_firstError.message = why;
  } catch (...) {
  }
}

DocumentPtr ParseXmlFile(const char* path, std::string* message) noexcept {
  SafeDomParser parser;
  DocumentPtr document = parser.ParseFile(path);
  if (message != nullptr) *message = parser.Message();
  return document;
}

DocumentPtr ParseXmlBytes(std::string_view bytes, std::string* message) noexcept {
  SafeDomParser parser;
  DocumentPtr document = parser.ParseBytes(bytes);
  if (message != nullptr) *message = parser.Message();
  return document;
}

}  // namespace Hvd::Xml
