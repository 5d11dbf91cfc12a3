#include "projectfiles/XhlcLayout.h"

#include <algorithm>
#include <boost/algorithm/string/predicate.hpp>
#include <string_view>
#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMProcessingInstruction.hpp>

#include "projectfiles/XMLDifferencer.h"
#include "utils/XmlPlatform.h"

namespace X = xercesc;

namespace Hvd {

namespace {

void AppendEscapedUtf8(std::string& out, std::string_view utf8, bool attribute) {
  for (const char c : utf8) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      case '\n':
        out += attribute ? "&#10;" : "\n";
        break;
      case '\r':
        out += "&#13;";
        break;
      case '\t':
        out += attribute ? "&#9;" : "\t";
        break;
      default:
        out += c;
    }
  }
}

void AppendEscaped(std::string& out, const XMLCh* text, bool attribute) {
  AppendEscapedUtf8(out, Xml::Utf8Text(text).str(), attribute);
}

void AppendRaw(std::string& out, const XMLCh* text) { out += Xml::Utf8Text(text).str(); }

bool IsBlankText(const X::DOMNode* node) {
  const auto type = node->getNodeType();
  return (type == X::DOMNode::TEXT_NODE || type == X::DOMNode::CDATA_SECTION_NODE) &&
         XMLDifferencer::IsWhitespaceNode(node);
}

bool HoldsText(const X::DOMNode* element) {
  for (const X::DOMNode* child = element->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
    const auto type = child->getNodeType();
    if ((type == X::DOMNode::TEXT_NODE || type == X::DOMNode::CDATA_SECTION_NODE) && !IsBlankText(child)) return true;
  }
  return false;
}

void AppendStartTag(std::string& out, const X::DOMElement* element) {
  out += '<';
  AppendRaw(out, element->getTagName());
  const X::DOMNamedNodeMap* attributes = element->getAttributes();
  for (XMLSize_t i = 0; attributes != nullptr && i < attributes->getLength(); ++i) {
    const X::DOMNode* attribute = attributes->item(i);
    out += ' ';
    AppendRaw(out, attribute->getNodeName());
    out += "=\"";
    AppendEscaped(out, attribute->getNodeValue(), true);
    out += '"';
  }
}

// Children laid out already, written in place of an element's own.
struct Content {
  const X::DOMElement* element = nullptr;
  const std::string* text = nullptr;
};

void AppendNode(std::string& out, const X::DOMNode* node, std::size_t depth, bool inLine, const Content& content = {});

// Content that mixes text and markup is written as it stands: blanks there are content.
void AppendInLine(std::string& out, const X::DOMNode* node) { AppendNode(out, node, 0, true); }

void AppendElement(std::string& out, const X::DOMElement* element, std::size_t depth, bool inLine,
                   const Content& content) {
  const std::string* given = element == content.element && !inLine ? content.text : nullptr;
  const std::string indent(inLine ? 0 : depth * 2, ' ');
  out += indent;
  AppendStartTag(out, element);
  const bool mixed = inLine || HoldsText(element);
  bool any = given != nullptr && !given->empty();
  for (const X::DOMNode* child = element->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
    if (mixed || !IsBlankText(child)) {
      any = true;
      break;
    }
  }
  if (!any) {
    out += inLine ? "/>" : "/>\n";
    return;
  }
  out += '>';
  if (mixed) {
    for (const X::DOMNode* child = element->getFirstChild(); child != nullptr; child = child->getNextSibling())
      AppendInLine(out, child);
  } else {
    out += '\n';
    for (const X::DOMNode* child = element->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
      if (IsBlankText(child)) continue;
      if (depth == 0) out += '\n';  // the sections stand apart
      AppendNode(out, child, depth + 1, false, content);
    }
    if (given != nullptr) out += *given;
    if (depth == 0) out += '\n';
    out += indent;
  }
  out += "</";
  AppendRaw(out, element->getTagName());
  out += inLine ? ">" : ">\n";
}

void AppendNode(std::string& out, const X::DOMNode* node, std::size_t depth, bool inLine, const Content& content) {
  const std::string indent(inLine ? 0 : depth * 2, ' ');
  const char* end = inLine ? "" : "\n";
  switch (node->getNodeType()) {
    case X::DOMNode::ELEMENT_NODE:
      AppendElement(out, static_cast<const X::DOMElement*>(node), depth, inLine, content);
      break;
    case X::DOMNode::COMMENT_NODE:
      out += indent + "<!--";
      AppendRaw(out, node->getNodeValue());
      out += std::string("-->") + end;
      break;
    case X::DOMNode::PROCESSING_INSTRUCTION_NODE:
      out += indent + "<?";
      AppendRaw(out, node->getNodeName());
      if (const XMLCh* data = node->getNodeValue(); data != nullptr && *data != 0) {
        out += ' ';
        AppendRaw(out, data);
      }
      out += std::string("?>") + end;
      break;
    case X::DOMNode::CDATA_SECTION_NODE:
      out += indent + "<![CDATA[";
      AppendRaw(out, node->getNodeValue());
      out += std::string("]]>") + end;
      break;
    case X::DOMNode::TEXT_NODE:
      out += indent;
      AppendEscaped(out, node->getNodeValue(), false);
      out += end;
      break;
    default:
      break;  // entity references are not made (entities are never expanded from a file)
  }
}

}  // namespace

bool HasOtherEncoding(const X::DOMDocument* document) {
  if (document == nullptr) return false;
  for (const XMLCh* encoding : {document->getXmlEncoding(), document->getInputEncoding()}) {
    if (encoding == nullptr || *encoding == 0) continue;
    const std::string name = Xml::Utf8Text(encoding).str();
    return !boost::algorithm::iequals(name, "UTF-8") && !boost::algorithm::iequals(name, "UTF8") &&
           !boost::algorithm::iequals(name, "US-ASCII") && !boost::algorithm::iequals(name, "ASCII");
  }
  return false;
}

std::string FormatProjectDocument(const X::DOMDocument* document) {
  static const std::string none;
  return FormatProjectDocument(document, nullptr, none);
}

std::string FormatProjectDocument(const X::DOMDocument* document, const X::DOMElement* element,
                                  const std::string& content) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n";
  if (document == nullptr) return out;
  out.reserve(content.size() + 4096);
  for (const X::DOMNode* child = document->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
    if (child->getNodeType() == X::DOMNode::DOCUMENT_TYPE_NODE || IsBlankText(child)) continue;
    AppendNode(out, child, 0, false, {element, &content});
  }
  return out;
}

void AppendAttributeText(std::string& out, std::string_view utf8) {
  // Plain ASCII reads the same through the wide form; anything else takes that way, so that the
  // text is the one an element holding the value would give.
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return c > 0 && c < 0x7f; })) {
    AppendEscapedUtf8(out, utf8, true);
  } else {
    AppendEscaped(out, Xml::XmlText(utf8).get(), true);
  }
}

}  // namespace Hvd
