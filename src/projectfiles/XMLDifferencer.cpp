#include "projectfiles/XMLDifferencer.h"

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/util/XMLChar.hpp>
#include <xercesc/util/XMLString.hpp>

#include "utils/XmlPlatform.h"

namespace X = xercesc;

namespace Hvd {

namespace {

using String = XMLDifferencer::String;

String Narrow(const XMLCh* text) { return String(Xml::Utf8Text(text).str()); }

// Null and empty are the same value.
bool SameValue(const XMLCh* a, const XMLCh* b) {
  static constexpr XMLCh kEmpty[] = u"";
  return X::XMLString::equals(a != nullptr ? a : kEmpty, b != nullptr ? b : kEmpty);
}

// By namespace and local name, then by qualified name.
X::DOMNode* Lookup(const X::DOMNamedNodeMap* map, const X::DOMNode* attribute) {
  X::DOMNode* found = nullptr;
  if (attribute->getLocalName() != nullptr) {
    found = map->getNamedItemNS(attribute->getNamespaceURI(), attribute->getLocalName());
  }
  return found != nullptr ? found : map->getNamedItem(attribute->getNodeName());
}

}  // namespace

bool XMLDifferencer::Compare(X::DOMNode* first, X::DOMNode* second) {
  if (first == nullptr || second == nullptr) return false;
  first->normalize();
  second->normalize();
  m_names.clear();
  return CompareNode(first, second, true);
}

bool XMLDifferencer::IsWhitespaceNode(const X::DOMNode* node) noexcept {
  if (node == nullptr) return false;
  const auto type = node->getNodeType();
  if (type != X::DOMNode::TEXT_NODE && type != X::DOMNode::CDATA_SECTION_NODE) return false;
  const XMLCh* value = node->getNodeValue();
  return value == nullptr || X::XMLChar1_0::isAllSpaces(value, X::XMLString::stringLen(value));
}

bool XMLDifferencer::CompareTypes(const X::DOMNode* first, const X::DOMNode* second) {
  if (first != nullptr && second != nullptr && first->getNodeType() == second->getNodeType()) return true;
  OnTypesDiffer(Path(), first, second);
  return false;
}

String XMLDifferencer::Path() const {
  String path;
  for (const XMLCh* name : m_names) {
    path += '/';
    path += name != nullptr ? Narrow(name) : String("(null)");
  }
  return path;
}

bool XMLDifferencer::CompareNode(const X::DOMNode* first, const X::DOMNode* second, bool starting) {
  if (first == nullptr || second == nullptr) return false;
  bool result = false;
  if (first->getNodeType() != second->getNodeType()) {
    OnTypesDiffer(Path(), first, second);
  } else {
    result = CompareContent(first, second);
  }
  if (m_stopAtFirstDifference && !result) return false;

  // Below here the path includes this node; it is taken off again on every way out.
  struct Step {
    std::vector<const XMLCh*>& names;
    Step(std::vector<const XMLCh*>& n, const XMLCh* name) : names(n) { names.push_back(name); }
    ~Step() { names.pop_back(); }
  } step(m_names, first->getNodeName());

  if (!starting && !CompareAttributes(first, second)) {
    result = false;
    if (m_stopAtFirstDifference) return false;
  }

  // Siblings rather than indexes: an indexed child list walks from the first child each time.
  const X::DOMNode* c1 = first->getFirstChild();
  const X::DOMNode* c2 = second->getFirstChild();
  while (c1 != nullptr || c2 != nullptr) {
    const bool skip1 = IsWhitespaceNode(c1);
    const bool skip2 = IsWhitespaceNode(c2);
    if (skip1 || skip2) {
      if (skip1) c1 = c1->getNextSibling();
      if (skip2) c2 = c2->getNextSibling();
      continue;
    }
    if (c1 == nullptr || c2 == nullptr) {
      OnChildMissing(Path(), c1, c2);
      result = false;
      if (m_stopAtFirstDifference) return false;
    } else if (!CompareNode(c1, c2, false)) {
      result = false;
      if (m_stopAtFirstDifference) return false;
    }
    if (c1 != nullptr) c1 = c1->getNextSibling();
    if (c2 != nullptr) c2 = c2->getNextSibling();
  }
  return result;
}

bool XMLDifferencer::CompareContent(const X::DOMNode* first, const X::DOMNode* second) {
  bool equal = false;
  switch (first->getNodeType()) {
    case X::DOMNode::ELEMENT_NODE:
    case X::DOMNode::ATTRIBUTE_NODE:
    case X::DOMNode::ENTITY_REFERENCE_NODE:
    case X::DOMNode::ENTITY_NODE:
    case X::DOMNode::DOCUMENT_NODE:
    case X::DOMNode::DOCUMENT_TYPE_NODE:
    case X::DOMNode::DOCUMENT_FRAGMENT_NODE:
    case X::DOMNode::NOTATION_NODE:
      equal = X::XMLString::equals(first->getNodeName(), second->getNodeName());
      break;
    case X::DOMNode::TEXT_NODE:
    case X::DOMNode::CDATA_SECTION_NODE:
    case X::DOMNode::PROCESSING_INSTRUCTION_NODE:
    case X::DOMNode::COMMENT_NODE:
      equal = X::XMLString::equals(first->getNodeValue(), second->getNodeValue());
      break;
    default:
      break;
  }
  if (!equal) OnContentDiffers(Path(), first, second);
  return equal;
}

bool XMLDifferencer::CompareAttributes(const X::DOMNode* first, const X::DOMNode* second) {
  if (first == nullptr || second == nullptr) return true;
  const X::DOMNamedNodeMap* map1 = first->getAttributes();
  const X::DOMNamedNodeMap* map2 = second->getAttributes();
  if (map1 == nullptr && map2 == nullptr) return true;
  if (map1 == nullptr || map2 == nullptr) {
    OnAttributesDiffer(Path(), first, second);
    return false;
  }
  const XMLSize_t n1 = map1->getLength();
  const XMLSize_t n2 = map2->getLength();
  if (n1 != n2 && m_stopAtFirstDifference) {
    OnAttributesDiffer(Path(), first, second);
    return false;
  }

  bool result = true;
  bool missing = false;
  const auto finish = [&] {
    if (!result) OnAttributesDiffer(Path(), first, second);
    return result;
  };
  for (XMLSize_t k = 0; k < n1; ++k) {
    const X::DOMNode* a1 = map1->item(k);
    const X::DOMNode* a2 = Lookup(map2, a1);
    if (a2 == nullptr) {
      OnAttributeMissing(Path(), 2, Narrow(a1->getNodeName()), Narrow(a1->getNodeValue()));
      result = false;
      missing = true;
    } else if (!SameValue(a1->getNodeValue(), a2->getNodeValue())) {
      OnAttributeValueDiffers(Path(), Narrow(a1->getNodeName()), Narrow(a1->getNodeValue()),
                              Narrow(a2->getNodeValue()));
      result = false;
    }
    if (!result && m_stopAtFirstDifference) return finish();
  }
  if (n1 != n2 || missing) {
    for (XMLSize_t k = 0; k < n2; ++k) {
      const X::DOMNode* a2 = map2->item(k);
      if (Lookup(map1, a2) != nullptr) continue;
      OnAttributeMissing(Path(), 1, Narrow(a2->getNodeName()), Narrow(a2->getNodeValue()));
      result = false;
      if (m_stopAtFirstDifference) return finish();
    }
  }
  return finish();
}

}  // namespace Hvd
