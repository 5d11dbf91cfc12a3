#pragma once
// What every XML reader and writer of the library shares: the one start of the XML platform,
// owning transcoders between UTF-8 and XMLCh, and the one safe parser set-up.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <xercesc/dom/DOMDocument.hpp>

#include "core/XmlStart.h"

namespace Hvd::Xml {

// The process's one start of the XML platform, shared with the stand-ins (core/XmlStart.h).
inline bool StartPlatform() noexcept { return StartXmlPlatform(); }

// A UTF-8 (or null) string as an owned XMLCh string; malformed bytes become U+FFFD.
class XmlText {
 public:
  explicit XmlText(const char* utf8);
  explicit XmlText(std::string_view utf8);
  const XMLCh* get() const noexcept { return m_null ? nullptr : m_text.c_str(); }
  operator const XMLCh*() const noexcept { return get(); }  // NOLINT: passed straight to DOM calls

 private:
  std::u16string m_text;
  bool m_null = false;
};

// An XMLCh (or null) string as an owned UTF-8 string; unpaired surrogates become U+FFFD.
class Utf8Text {
 public:
  explicit Utf8Text(const XMLCh* text);
  const char* get() const noexcept { return m_null ? nullptr : m_text.c_str(); }
  const std::string& str() const noexcept { return m_text; }  // empty for null
  bool IsNull() const noexcept { return m_null; }

 private:
  std::string m_text;
  bool m_null = false;
};

// Appends an XMLCh string as UTF-8, exactly as Utf8Text gives it, without a string of its own.
void AppendUtf8Text(std::string& out, const XMLCh* text);

// Releases a document that the caller owns.
struct DocumentRelease {
  void operator()(xercesc::DOMDocument* document) const noexcept;
};
using DocumentPtr = std::unique_ptr<xercesc::DOMDocument, DocumentRelease>;

// Takes the content of one element of a document as it is parsed, in place of the document:
// none of its nodes is made. A large section read once is then never built as nodes.
class ContentDiverter {
 public:
  // Names as the parser resolved them; the prefix is empty when there is none.
  struct Attribute {
    const XMLCh* uri;
    const XMLCh* prefix;
    const XMLCh* localName;
    const XMLCh* value;
  };
  virtual ~ContentDiverter() = default;
  // Whether the content of this element, `depth` below the document element, comes here; the
  // element itself stays in the document. Asked of each element until it first says yes.
  virtual bool Diverts(std::size_t depth, const XMLCh* uri, const XMLCh* prefix, const XMLCh* localName) = 0;
  // Within the content: each element's start and end, in document order, its text (in as many
  // pieces as the parser gives it), and any comment or processing instruction.
  virtual void StartElement(const XMLCh* uri, const XMLCh* prefix, const XMLCh* localName,
                            const Attribute* attributes, std::size_t count) = 0;
  virtual void EndElement() = 0;
  virtual void Characters(const XMLCh* text, std::size_t length) = 0;
  virtual void Other() = 0;
};

// The one parser set-up of the library. Namespaces are on; no DTD or schema is loaded and no
// external entity is fetched; a document type declaration is refused, and entity expansion is
// bounded; a document past the bounds of XmlBounds.h is refused before it is parsed. Errors are
// collected into a message, never thrown. One parser may parse many times.
class SafeDomParser {
 public:
  SafeDomParser() noexcept;
  ~SafeDomParser();
  SafeDomParser(const SafeDomParser&) = delete;
  SafeDomParser& operator=(const SafeDomParser&) = delete;

  // The parsed document, owned by the caller, or null with Message() saying why.
  DocumentPtr ParseFile(const char* path) noexcept;
  // As ParseFile; the bytes read are moved to `bytes` when the file parses. A `diverter` takes
  // the content it asks for instead of the document.
  DocumentPtr ParseFile(const char* path, std::string* bytes, ContentDiverter* diverter = nullptr) noexcept;
  DocumentPtr ParseBytes(std::string_view bytes, const char* name = "buffer") noexcept;

  // The first errors of the last parse, one per line.
  const std::string& Message() const noexcept { return m_message; }

  // Where the last parse first failed: the parser's own text and place, or, for a refusal
  // before or around the parser, that text with line and column 0.
  struct ErrorPlace {
    std::string message;
    std::string systemId;
    long long line = 0;
    long long column = 0;
  };
  const ErrorPlace& FirstError() const noexcept { return m_firstError; }

 private:
  template <class MakeSource>
  DocumentPtr Run(const MakeSource& makeSource) noexcept;
  void Refuse(const std::string& why) noexcept;

  class Impl;
  std::unique_ptr<Impl> m_impl;  // null when the platform could not be started
  std::string m_message;
  ErrorPlace m_firstError;
};

// One-call forms: a fresh safe parser per call. `message` (when given) receives the errors.
DocumentPtr ParseXmlFile(const char* path, std::string* message = nullptr) noexcept;
DocumentPtr ParseXmlBytes(std::string_view bytes, std::string* message = nullptr) noexcept;

}  // namespace Hvd::Xml
