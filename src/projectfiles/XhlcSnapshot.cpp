#include "projectfiles/XhlcSnapshot.h"

#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/util/XMLString.hpp>

#include "projectfiles/CProjectSourceXMLWriter.h"
#include "projectfiles/XmlNames.h"

namespace X = xercesc;

namespace Hvd {

XhlcSnapshot::~XhlcSnapshot() = default;

std::unique_ptr<XhlcSnapshot> XhlcSnapshot::Make(X::DOMDocument* document, std::string& bytes) {
  std::unique_ptr<XhlcSnapshot> snapshot(new XhlcSnapshot);
  if (!snapshot->Take(document, bytes)) return nullptr;
  return snapshot;
}

bool XhlcSnapshot::Take(X::DOMDocument* document, std::string& bytes) {
  X::DOMElement* root = document != nullptr ? document->getDocumentElement() : nullptr;
  if (root == nullptr || bytes.empty() || !Xml::StartPlatform()) return false;
  X::DOMImplementation* implementation = X::DOMImplementationRegistry::getDOMImplementation(u"LS");
  if (implementation == nullptr) return false;
  Xml::DocumentPtr outline;
  std::u16string entries;
  bool comparable = false;
  try {
    outline.reset(implementation->createDocument());
    X::DOMNode* copy = outline->appendChild(outline->importNode(root, false));
    // The section the save compares the files with is the first of that local name; only its
    // entries are left out.
    X::DOMElement* files = CProjectSourceXMLWriter::FilesSectionOf(root);
    for (X::DOMNode* child = root->getFirstChild(); child != nullptr; child = child->getNextSibling())
      copy->appendChild(outline->importNode(child, child != files));
    if (files != nullptr) comparable = CProjectSourceXMLWriter::EncodeFileEntries(files, entries);
  } catch (const X::DOMException&) {
    return false;
  }
  outline->setDocumentURI(document->getDocumentURI());
  m_outline = std::move(outline);
  m_entries = std::move(entries);
  m_entries.shrink_to_fit();
  m_comparable = comparable;
  m_bytes = std::move(bytes);
  m_whole.reset();
  return true;
}

Xml::DocumentPtr XhlcSnapshot::Parse() const {
  Xml::SafeDomParser parser;
  const std::string name = m_outline ? Xml::Utf8Text(m_outline->getDocumentURI()).str() : std::string();
  Xml::DocumentPtr document = parser.ParseBytes(m_bytes, name.empty() ? "buffer" : name.c_str());
  if (document) document->setDocumentURI(m_outline ? m_outline->getDocumentURI() : nullptr);
  return document;
}

void XhlcSnapshot::Written(Xml::DocumentPtr document, std::string* written) {
  if (!document) return;
  if (written != nullptr && Take(document.get(), *written)) return;
  // Kept whole, as the document read at open would be.
  m_whole = std::move(document);
  m_outline.reset();
  m_entries.clear();
  m_comparable = false;
  std::string().swap(m_bytes);
}

void XhlcSnapshot::ForgetFile() {
  if (m_whole) m_whole->setDocumentURI(nullptr);
  if (m_outline) m_outline->setDocumentURI(nullptr);
}

}  // namespace Hvd
