#pragma once
// The text of a project source file: one element or comment per line, children indented two
// blanks under their parent, an empty line before each section. The XML library's own
// pretty-printer puts a comment-only element, or an empty one with an end tag, on one line.

#include <string>
#include <string_view>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

namespace Hvd {

// The document as UTF-8 text with its XML declaration. An element that holds text keeps its
// content on its own line as it stands; text of only blanks between elements is left out.
std::string FormatProjectDocument(const xercesc::DOMDocument* document);
// The same, with `content`, text already laid out as the children of `element` would be, in
// place of that element's children (it has none in the document).
std::string FormatProjectDocument(const xercesc::DOMDocument* document, const xercesc::DOMElement* element,
                                  const std::string& content);
// A UTF-8 attribute value as the text writes it, escaped.
void AppendAttributeText(std::string& out, std::string_view utf8);

// True when the document was read in an encoding other than UTF-8 (and must be written back
// in it, by the XML library's writer).
bool HasOtherEncoding(const xercesc::DOMDocument* document);

}  // namespace Hvd
