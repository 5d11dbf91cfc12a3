#include "projectfiles/XhlcText.h"

#include <string>
#include <xercesc/util/XMLString.hpp>

#include "projectfiles/XmlNames.h"
#include "utils/XmlPlatform.h"

namespace X = xercesc;

namespace Hvd {

using Text = Port::StringBase<char>;

namespace {

// Every element below `root` that `wanted` takes, in document order.
template <class Wanted>
std::vector<X::DOMElement*> ElementsWhere(const X::DOMNode* root, Wanted wanted) {
  std::vector<X::DOMElement*> found;
  if (root == nullptr) return found;
  // Depth first, without recursion: a document nests only as deep as the parser allows, but
  // an edited one need not keep to it.
  const X::DOMNode* node = root->getFirstChild();
  while (node != nullptr) {
    if (node->getNodeType() == X::DOMNode::ELEMENT_NODE && wanted(node))
      found.push_back(const_cast<X::DOMElement*>(static_cast<const X::DOMElement*>(node)));
    if (node->getFirstChild() != nullptr) {
      node = node->getFirstChild();
      continue;
    }
    while (node != nullptr && node != root && node->getNextSibling() == nullptr) node = node->getParentNode();
    node = node == nullptr || node == root ? nullptr : node->getNextSibling();
  }
  return found;
}

}  // namespace

std::vector<X::DOMElement*> ElementsNamed(const X::DOMNode* root, const XMLCh* uri, const XMLCh* localName) {
  return ElementsWhere(root, [uri, localName](const X::DOMNode* node) {
    return X::XMLString::equals(node->getLocalName(), localName) && X::XMLString::equals(node->getNamespaceURI(), uri);
  });
}

ElementIndex::ElementIndex(const X::DOMNode* root) {
  ElementsWhere(root, [this](const X::DOMNode* node) {
    if (const XMLCh* name = node->getLocalName(); name != nullptr && *name != 0)
      m_byName[name].push_back(const_cast<X::DOMElement*>(static_cast<const X::DOMElement*>(node)));
    return false;
  });
}

std::vector<X::DOMElement*> ElementIndex::Named(const XMLCh* uri, const XMLCh* localName) const {
  std::vector<X::DOMElement*> found;
  const auto at = m_byName.find(localName);
  if (at == m_byName.end()) return found;
  for (X::DOMElement* element : at->second) {
    if (X::XMLString::equals(element->getNamespaceURI(), uri)) found.push_back(element);
  }
  return found;
}

std::vector<X::DOMElement*> ElementsByTagName(const X::DOMNode* root, const XMLCh* tagName) {
  return ElementsWhere(root, [tagName](const X::DOMNode* node) {
    return X::XMLString::equals(static_cast<const X::DOMElement*>(node)->getTagName(), tagName);
  });
}

Text AttributeText(const XMLNamespaceHelper& xml, const X::DOMElement* element, const XMLCh* localName) {
  return Text(Xml::Utf8Text(xml.GetAttribute(element, localName)).str());
}

void SetPrefixedAttribute(const XMLNamespaceHelper& xml, X::DOMElement* element, const XMLCh* localName,
                          const Text& value) {
  std::u16string qualified = XmlNames::kAttributePrefixW;
  qualified += u':';
  qualified += localName;
  xml.SetAttribute(element, qualified.c_str(), value.c_str());
}

Text NameText(const XMLNamespaceHelper& xml, const X::DOMNode* node) {
  return Text(Xml::Utf8Text(xml.FindName(node)).str());
}

Text ElementText(const X::DOMNode* node) {
  const X::DOMNode* child = node != nullptr ? node->getFirstChild() : nullptr;
  return Text(Xml::Utf8Text(child != nullptr ? child->getNodeValue() : nullptr).str());
}

bool IsSystemLibraryName(const Text& name) { return name == "work" || name == "verilog"; }

Prjrep::AutoRelease<ISourceLibrary> FindOrCreateLibrary(ISourceLibraryManager* libraries, const Text& name) {
  Prjrep::AutoRelease<ISourceLibrary> library;
  if (libraries == nullptr) return library;
  if (libraries->FindSourceLibrary(name, library.Receive()) == kSuccess && library) return library;
  std::ignore = libraries->CreateSourceLibrary(name, library.ReleaseAndReceive());
  return library;
}

IDesign* DesignOf(IProject* project) {
  IDesign* design = nullptr;
  if (project == nullptr || project->GetDesign(&design) != kSuccess) return nullptr;
  return design;
}

}  // namespace Hvd
