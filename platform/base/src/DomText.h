#pragma once
// Small readers over a parsed XML file, shared by the library's readers and its data checks.

#include <functional>
#include <sstream>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLString.hpp>

namespace Hvd::base::dom {

namespace X = xercesc;
using Names = std::vector<std::string>;

inline std::string Utf8(const XMLCh* text) {
  if (text == nullptr) return {};
  X::TranscodeToStr out(text, "UTF-8");
  return reinterpret_cast<const char*>(out.str());
}

// Sets up a parser for a file that is data: no validation, no document type, entity or external
// file followed, and entity expansion bounded by `security`, which must outlive the parse.
inline void SetUpDataParser(X::XercesDOMParser& parser, X::SecurityManager& security, bool namespaces) {
  security.setEntityExpansionLimit(100);
  parser.setValidationScheme(X::XercesDOMParser::Val_Never);
  parser.setDoNamespaces(namespaces);
  parser.setDoSchema(false);
  parser.setLoadExternalDTD(false);
  parser.setSkipDTDValidation(true);
  parser.setCreateEntityReferenceNodes(false);
  parser.setDisableDefaultEntityResolution(true);
  parser.setSecurityManager(&security);
}

inline std::string Attr(const X::DOMElement& e, const char16_t* name) { return Utf8(e.getAttribute(name)); }

// Calls f for each child element of the given tag, in document order.
inline void ForEach(const X::DOMElement& parent, const char16_t* tag,
                    const std::function<void(const X::DOMElement&)>& f) {
  for (auto* c = parent.getFirstElementChild(); c != nullptr; c = c->getNextElementSibling()) {
    if (X::XMLString::equals(c->getTagName(), tag)) f(*c);
  }
}

// The name attributes, or with `text` the contents, of the children of the given tag.
inline Names NamesOf(const X::DOMElement& parent, const char16_t* tag, bool text = false) {
  Names names;
  ForEach(parent, tag, [&](const X::DOMElement& e) {
    names.push_back(text ? Utf8(e.getTextContent()) : Attr(e, u"name"));
  });
  return names;
}

// Whether no element under root lies deeper than `maxDepth`, root being the first level. Walks
// the tree without recursion, as the depth is what is in question.
inline bool WithinDepth(const X::DOMElement& root, int maxDepth) {
  const X::DOMElement* e = &root;
  int depth = 1;
  for (;;) {
    if (const X::DOMElement* child = e->getFirstElementChild()) {
      if (++depth > maxDepth) return false;
      e = child;
      continue;
    }
    while (e != &root && e->getNextElementSibling() == nullptr) {
      e = static_cast<const X::DOMElement*>(e->getParentNode());
      --depth;
    }
    if (e == &root) return true;
    e = e->getNextElementSibling();
  }
}

inline Names Words(const std::string& text) {
  std::istringstream in(text);
  Names words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

}  // namespace Hvd::base::dom
