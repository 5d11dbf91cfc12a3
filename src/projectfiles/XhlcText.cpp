#include "projectfiles/XhlcText.h"

#include "utils/XmlPlatform.h"

namespace X = xercesc;

namespace Hvd {

using Text = Port::StringBase<char>;

Text AttributeText(const XMLNamespaceHelper& xml, const X::DOMElement* element, const XMLCh* localName) {
  return Text(Xml::Utf8Text(xml.GetAttribute(element, localName)).str());
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
