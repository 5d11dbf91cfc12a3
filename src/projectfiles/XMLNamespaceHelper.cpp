#include "projectfiles/XMLNamespaceHelper.h"

#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMText.hpp>
#include <xercesc/util/XMLString.hpp>

#include "utils/XmlPlatform.h"

namespace X = xercesc;

namespace Hvd {

namespace {

// Constant XMLCh strings: nothing to transcode, start or release.
constexpr XMLCh kEmpty[] = u"";
constexpr XMLCh kName[] = u"name";
constexpr XMLCh kXmlns[] = u"xmlns";
constexpr XMLCh kXmlnsPrefixed[] = u"xmlns:";
constexpr XMLCh kXmlnsUri[] = u"http://www.w3.org/2000/xmlns/";

bool Equals(const XMLCh* a, const XMLCh* b) { return X::XMLString::equals(a, b); }

X::DOMElement* AsElement(X::DOMNode* node) {
  return node != nullptr && node->getNodeType() == X::DOMNode::ELEMENT_NODE ? static_cast<X::DOMElement*>(node)
                                                                            : nullptr;
}

}  // namespace

XMLNamespaceHelper::XMLNamespaceHelper() noexcept : m_uri(kEmpty) {}
XMLNamespaceHelper::XMLNamespaceHelper(X::DOMNode* node) noexcept : m_node(node), m_uri(kEmpty) {}
XMLNamespaceHelper::XMLNamespaceHelper(X::DOMNode* node, const XMLCh* namespaceUri) noexcept
    : m_node(node), m_uri(namespaceUri) {}

X::DOMDocument* XMLNamespaceHelper::Document() const noexcept {
  if (m_node == nullptr) return nullptr;
  if (m_node->getNodeType() == X::DOMNode::DOCUMENT_NODE) return static_cast<X::DOMDocument*>(m_node);
  return m_node->getOwnerDocument();
}

X::DOMElement* XMLNamespaceHelper::CreateElement(const XMLCh* qualifiedName) const {
  X::DOMDocument* document = Document();
  if (document == nullptr || qualifiedName == nullptr) return nullptr;
  try {
    return document->createElementNS(m_uri, qualifiedName);
  } catch (const X::DOMException&) {
    return nullptr;  // a name that is not a valid qualified name
  }
}

X::DOMElement* XMLNamespaceHelper::CreateElement(const char* qualifiedName) const {
  return CreateElement(Xml::XmlText(qualifiedName).get());
}

X::DOMElement* XMLNamespaceHelper::CreateNamedElement(const XMLCh* qualifiedName, const XMLCh* name) const {
  X::DOMElement* element = CreateElement(qualifiedName);
  X::DOMElement* nameElement = CreateElement(kName);
  if (element == nullptr || nameElement == nullptr) return nullptr;
  AppendText(nameElement, name);
  element->appendChild(nameElement);
  return element;
}

void XMLNamespaceHelper::AppendText(X::DOMElement* element, const XMLCh* text) const {
  X::DOMDocument* document = Document();
  if (element == nullptr || document == nullptr) return;
  element->appendChild(document->createTextNode(text != nullptr ? text : kEmpty));
}

void XMLNamespaceHelper::AppendText(X::DOMElement* element, const char* text) const {
  AppendText(element, Xml::XmlText(text).get());
}

const XMLCh* XMLNamespaceHelper::GetAttribute(const X::DOMElement* element, const XMLCh* localName) const {
  return element != nullptr ? element->getAttributeNS(m_uri, localName) : nullptr;
}

const XMLCh* XMLNamespaceHelper::GetAttribute(const X::DOMElement* element, const char* localName) const {
  return GetAttribute(element, Xml::XmlText(localName).get());
}

void XMLNamespaceHelper::SetAttribute(X::DOMElement* element, const XMLCh* qualifiedName, const char* value) const {
  if (element == nullptr || qualifiedName == nullptr) return;
  try {
    element->setAttributeNS(m_uri, qualifiedName, Xml::XmlText(value != nullptr ? value : "").get());
  } catch (const X::DOMException&) {
    // a name that is not a valid qualified name: nothing is set
  }
}

void XMLNamespaceHelper::SetAttribute(X::DOMElement* element, const char* qualifiedName, const char* value) const {
  SetAttribute(element, Xml::XmlText(qualifiedName).get(), value);
}

void XMLNamespaceHelper::SetNamespaceDeclaration(X::DOMElement* element) const {
  if (element == nullptr) return;
  element->setAttributeNS(kXmlnsUri, kXmlns, m_uri);
}

void XMLNamespaceHelper::SetNamespacePrefixDeclaration(X::DOMElement* element, const char* prefix,
                                                       const XMLCh* uri) const {
  if (element == nullptr || prefix == nullptr) return;
  std::u16string name = kXmlnsPrefixed;
  name += Xml::XmlText(prefix).get();
  try {
    element->setAttributeNS(kXmlnsUri, name.c_str(), uri);
  } catch (const X::DOMException&) {
    // an empty or malformed prefix: nothing is declared
  }
}

X::DOMNodeList* XMLNamespaceHelper::GetElementsByTagName(const X::DOMElement* element, const XMLCh* localName) const {
  return element != nullptr ? element->getElementsByTagNameNS(m_uri, localName) : nullptr;
}

X::DOMNodeList* XMLNamespaceHelper::GetDocumentElementsByTagName(const XMLCh* localName) const {
  X::DOMDocument* document = Document();
  return document != nullptr ? GetElementsByTagName(document->getDocumentElement(), localName) : nullptr;
}

X::DOMElement* XMLNamespaceHelper::FindChildElement(const X::DOMNode* parent, const XMLCh* localName) const {
  if (parent == nullptr) return nullptr;
  for (X::DOMNode* child = parent->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
    if (Equals(child->getLocalName(), localName)) {
      if (X::DOMElement* element = AsElement(child)) return element;
    }
  }
  return nullptr;
}

X::DOMElement* XMLNamespaceHelper::GetOrCreateChildElement(X::DOMNode* parent, const XMLCh* localName) const {
  if (parent == nullptr) return nullptr;  // nothing to attach a new element to
  if (X::DOMElement* found = FindChildElement(parent, localName)) return found;
  return PutInPlace(parent, nullptr, CreateElement(localName));
}

const XMLCh* XMLNamespaceHelper::FindName(const X::DOMNode* node) const {
  if (node == nullptr) return nullptr;
  const XMLCh* attribute = nullptr;
  if (node->getNodeType() == X::DOMNode::ELEMENT_NODE) {
    attribute = static_cast<const X::DOMElement*>(node)->getAttributeNS(m_uri, kName);
    if (attribute != nullptr && *attribute != 0) return attribute;
  }
  for (X::DOMNode* child = node->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
    if (Equals(child->getLocalName(), kName)) {
      X::DOMNode* content = child->getFirstChild();
      return content != nullptr ? content->getNodeValue() : nullptr;
    }
  }
  return attribute;
}

X::DOMElement* XMLNamespaceHelper::FindNamedChildElement(const X::DOMNode* parent, const XMLCh* localName,
                                                         const XMLCh* name) const {
  if (parent == nullptr) return nullptr;
  for (X::DOMNode* child = parent->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
    X::DOMElement* element = AsElement(child);
    if (element != nullptr && Equals(element->getLocalName(), localName) && Equals(FindName(element), name)) {
      return element;
    }
  }
  return nullptr;
}

X::DOMElement* XMLNamespaceHelper::GetOrCreateNamedChildElement(X::DOMNode* parent, const XMLCh* localName,
                                                                const XMLCh* name) const {
  if (parent == nullptr) return nullptr;
  if (X::DOMElement* found = FindNamedChildElement(parent, localName, name)) return found;
  return PutInPlace(parent, nullptr, CreateNamedElement(localName, name));
}

X::DOMElement* XMLNamespaceHelper::ReplaceOrAppendChildElement(X::DOMNode* parent, const XMLCh* localName) const {
  if (parent == nullptr) return nullptr;
  return PutInPlace(parent, FindChildElement(parent, localName), CreateElement(localName));
}

X::DOMElement* XMLNamespaceHelper::ReplaceOrAppendNamedChildElement(X::DOMNode* parent, const XMLCh* localName,
                                                                    const XMLCh* name) const {
  if (parent == nullptr) return nullptr;
  return PutInPlace(parent, FindNamedChildElement(parent, localName, name), CreateNamedElement(localName, name));
}

X::DOMElement* XMLNamespaceHelper::PutInPlace(X::DOMNode* parent, X::DOMNode* old, X::DOMElement* child) {
  if (child == nullptr) return nullptr;
  try {
    if (old != nullptr) {
      parent->replaceChild(child, old);  // the old child stays in the document's memory until it is released
    } else {
      parent->appendChild(child);
    }
  } catch (const X::DOMException&) {
    return nullptr;  // a parent that cannot hold an element, e.g. a document with a root already
  }
  return child;
}

}  // namespace Hvd
