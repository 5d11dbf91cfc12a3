#pragma once
// The text of a project source file: one element or comment per line, children indented two
// blanks under their parent, an empty line before each section. The XML library's own
// pretty-printer puts a comment-only element, or an empty one with an end tag, on one line.

#include <string>
#include <xercesc/dom/DOMDocument.hpp>

namespace Hvd {

// The document as UTF-8 text with its XML declaration. An element that holds text keeps its
// content on its own line as it stands; text of only blanks between elements is left out.
std::string FormatProjectDocument(const xercesc::DOMDocument* document);

// True when the document was read in an encoding other than UTF-8 (and must be written back
// in it, by the XML library's writer).
bool HasOtherEncoding(const xercesc::DOMDocument* document);

}  // namespace Hvd
