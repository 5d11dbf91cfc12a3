#pragma once
// The DOM operations that the project-file readers and writers repeat, all in one namespace.

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/dom/DOMNodeList.hpp>

namespace Hvd {

// A small value object binding a node (a document for the creating operations) to a namespace
// URI. The URI is not owned. Strings given as char* are UTF-8 and are transcoded for the call
// only. Operations given a null node answer null and change nothing.
class XMLNamespaceHelper {
 public:
  XMLNamespaceHelper() noexcept;
  explicit XMLNamespaceHelper(xercesc::DOMNode* node) noexcept;
  XMLNamespaceHelper(xercesc::DOMNode* node, const XMLCh* namespaceUri) noexcept;

  void SetNamespaceURI(const XMLCh* namespaceUri) noexcept { m_uri = namespaceUri; }
  const XMLCh* GetNamespaceURI() const noexcept { return m_uri; }
  xercesc::DOMNode* GetNode() const noexcept { return m_node; }

  // New elements in the helper's namespace, made by the helper's document and not attached.
  xercesc::DOMElement* CreateElement(const XMLCh* qualifiedName) const;
  xercesc::DOMElement* CreateElement(const char* qualifiedName) const;
  // An element holding a "name" child element whose only child is a text node with `name`.
  xercesc::DOMElement* CreateNamedElement(const XMLCh* qualifiedName, const XMLCh* name) const;

  void AppendText(xercesc::DOMElement* element, const XMLCh* text) const;
  void AppendText(xercesc::DOMElement* element, const char* text) const;

  // The value owned by the document (never released by the caller), or null.
  const XMLCh* GetAttribute(const xercesc::DOMElement* element, const XMLCh* localName) const;
  const XMLCh* GetAttribute(const xercesc::DOMElement* element, const char* localName) const;
  void SetAttribute(xercesc::DOMElement* element, const XMLCh* qualifiedName, const char* value) const;
  void SetAttribute(xercesc::DOMElement* element, const char* qualifiedName, const char* value) const;

  // xmlns = the helper's URI; xmlns:prefix = `uri`.
  void SetNamespaceDeclaration(xercesc::DOMElement* element) const;
  void SetNamespacePrefixDeclaration(xercesc::DOMElement* element, const char* prefix, const XMLCh* uri) const;

  // Live lists of the descendants in the helper's namespace with that local name.
  xercesc::DOMNodeList* GetElementsByTagName(const xercesc::DOMElement* element, const XMLCh* localName) const;
  xercesc::DOMNodeList* GetDocumentElementsByTagName(const XMLCh* localName) const;

  // The first child element whose local name matches, in any namespace.
  xercesc::DOMElement* FindChildElement(const xercesc::DOMNode* parent, const XMLCh* localName) const;
  // FindChildElement, else a new element in the helper's namespace appended to `parent`.
  xercesc::DOMElement* GetOrCreateChildElement(xercesc::DOMNode* parent, const XMLCh* localName) const;

  // A node's key: its non-empty "name" attribute, else the text of its first "name" child.
  const XMLCh* FindName(const xercesc::DOMNode* node) const;
  xercesc::DOMElement* FindNamedChildElement(const xercesc::DOMNode* parent, const XMLCh* localName,
                                             const XMLCh* name) const;
  xercesc::DOMElement* GetOrCreateNamedChildElement(xercesc::DOMNode* parent, const XMLCh* localName,
                                                    const XMLCh* name) const;

  // A new element that takes the place of the first matching child, or is appended.
  xercesc::DOMElement* ReplaceOrAppendChildElement(xercesc::DOMNode* parent, const XMLCh* localName) const;
  xercesc::DOMElement* ReplaceOrAppendNamedChildElement(xercesc::DOMNode* parent, const XMLCh* localName,
                                                        const XMLCh* name) const;

 private:
  xercesc::DOMDocument* Document() const noexcept;
  // `child` in place of `old` when there is one, else appended; answers `child`.
  static xercesc::DOMElement* PutInPlace(xercesc::DOMNode* parent, xercesc::DOMNode* old, xercesc::DOMElement* child);

  xercesc::DOMNode* m_node = nullptr;
  const XMLCh* m_uri;
};

}  // namespace Hvd
