#pragma once
// Small reads and lookups that the project source file's reader and writer share.

#include <string_view>
#include <unordered_map>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "Hvd/IDesign.h"
#include "Hvd/IProject.h"
#include "Hvd/ISourceLibrary.h"
#include "Port/StringBase.h"
#include "core/Holders.h"
#include "projectfiles/XMLNamespaceHelper.h"

namespace Hvd {

// An attribute in the helper's namespace as UTF-8; a missing one reads as "".
Port::StringBase<char> AttributeText(const XMLNamespaceHelper& xml, const xercesc::DOMElement* element,
                                     const XMLCh* localName);
// Every element below `root` (a document: the document element too) whose namespace is `uri`
// and local name `localName`, in document order: what getElementsByTagNameNS lists, without
// the document's pool of live lists, whose lookups grow with the number of lists made.
std::vector<xercesc::DOMElement*> ElementsNamed(const xercesc::DOMNode* root, const XMLCh* uri, const XMLCh* localName);
// ElementsNamed over a whole document from one walk of it: a reader looks up each section below
// the root, and a walk per section crosses the whole files list each time. Valid while the
// document is not changed; whoever may change it drops the index.
class ElementIndex {
 public:
  explicit ElementIndex(const xercesc::DOMNode* root);
  std::vector<xercesc::DOMElement*> Named(const XMLCh* uri, const XMLCh* localName) const;

 private:
  // By local name, in document order; the names point into the document's own string pool.
  std::unordered_map<std::u16string_view, std::vector<xercesc::DOMElement*>> m_byName;
};
// The same, by qualified tag name, as getElementsByTagName lists them.
std::vector<xercesc::DOMElement*> ElementsByTagName(const xercesc::DOMNode* root, const XMLCh* tagName);

// Sets the attribute `localName` in the helper's namespace under the prefix "vel_kv".
void SetPrefixedAttribute(const XMLNamespaceHelper& xml, xercesc::DOMElement* element, const XMLCh* localName,
                          const Port::StringBase<char>& value);

// The name of a fileSet or file: its name attribute, else its "name" child's text.
Port::StringBase<char> NameText(const XMLNamespaceHelper& xml, const xercesc::DOMNode* node);
// The value of the node's first child, as UTF-8.
Port::StringBase<char> ElementText(const xercesc::DOMNode* node);

// "work" and "verilog", compared exactly: the libraries the system makes and the file does not
// list. A user's "Work" is another library on this host and is kept.
bool IsSystemLibraryName(const Port::StringBase<char>& name);
// The library of that name, made when the project has none yet.
Prjrep::AutoRelease<ISourceLibrary> FindOrCreateLibrary(ISourceLibraryManager* libraries,
                                                        const Port::StringBase<char>& name);

// The project's design, borrowed from the project that keeps it; null when it has none.
IDesign* DesignOf(IProject* project);

}  // namespace Hvd
