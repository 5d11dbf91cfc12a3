#include "projectfiles/XhlcSnapshot.h"

#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/util/XMLString.hpp>

#include "projectfiles/CProjectSourceXMLWriter.h"
#include "projectfiles/XhlcLayout.h"
#include "projectfiles/XmlNames.h"

namespace X = xercesc;

namespace Hvd {

XhlcSnapshot::~XhlcSnapshot() = default;

std::unique_ptr<XhlcSnapshot> XhlcSnapshot::Make(X::DOMDocument* document, std::string& bytes,
                                                 std::string* canonicalEntries) {
  // A file in another encoding is written back in it by the serializer, from its own document.
  if (bytes.empty() || HasOtherEncoding(document)) return nullptr;
  Xml::DocumentPtr outline = OutlineOf(document);
  if (!outline) return nullptr;
  std::unique_ptr<XhlcSnapshot> snapshot(new XhlcSnapshot);
  if (canonicalEntries != nullptr) {
    snapshot->m_entries = std::move(*canonicalEntries);
    snapshot->m_comparable = true;
    snapshot->m_canonical = true;
  } else if (X::DOMElement* files = CProjectSourceXMLWriter::FilesSectionOf(document->getDocumentElement());
             files != nullptr) {
    snapshot->m_comparable =
        CProjectSourceXMLWriter::EncodeFileEntries(files, snapshot->m_entries, snapshot->m_canonical);
  }
  snapshot->m_entries.shrink_to_fit();
  snapshot->m_outline = std::move(outline);
  snapshot->m_bytes = std::move(bytes);
  snapshot->KeepBytesIfNeeded();
  return snapshot;
}

Xml::DocumentPtr XhlcSnapshot::OutlineOf(X::DOMDocument* document) {
  X::DOMElement* root = document != nullptr ? document->getDocumentElement() : nullptr;
  if (root == nullptr || !Xml::StartPlatform()) return nullptr;
  X::DOMImplementation* implementation = X::DOMImplementationRegistry::getDOMImplementation(u"LS");
  if (implementation == nullptr) return nullptr;
  Xml::DocumentPtr outline;
  try {
    outline.reset(implementation->createDocument());
    X::DOMNode* copy = outline->appendChild(outline->importNode(root, false));
    // The section the save compares the files with is the first of that local name; only its
    // entries are left out.
    const X::DOMElement* files = CProjectSourceXMLWriter::FilesSectionOf(root);
    for (X::DOMNode* child = root->getFirstChild(); child != nullptr; child = child->getNextSibling())
      copy->appendChild(outline->importNode(child, child != files));
  } catch (const X::DOMException&) {
    return nullptr;
  }
  outline->setDocumentURI(document->getDocumentURI());
  return outline;
}

void XhlcSnapshot::KeepBytesIfNeeded() {
  // Entries that a save writes back from its records never send it to the bytes; for a large
  // project they are the better part of what the snapshot would hold.
  if (EntriesCanonical()) {
    std::string().swap(m_bytes);
  } else {
    m_bytes.shrink_to_fit();
  }
}

Xml::DocumentPtr XhlcSnapshot::Parse() const {
  if (m_bytes.empty()) return nullptr;
  Xml::SafeDomParser parser;
  const std::string name = m_outline ? Xml::Utf8Text(m_outline->getDocumentURI()).str() : std::string();
  Xml::DocumentPtr document = parser.ParseBytes(m_bytes, name.empty() ? "buffer" : name.c_str());
  if (document) document->setDocumentURI(m_outline ? m_outline->getDocumentURI() : nullptr);
  return document;
}

void XhlcSnapshot::Written(Xml::DocumentPtr document, std::string* written, std::string* entries) {
  if (!document) return;
  if (written != nullptr) {
    if (Xml::DocumentPtr outline = OutlineOf(document.get()); outline) {
      m_outline = std::move(outline);
      if (entries != nullptr) {
        m_entries = std::move(*entries);
        m_entries.shrink_to_fit();
        m_comparable = true;
        m_canonical = true;
      }
      m_bytes = std::move(*written);
      KeepBytesIfNeeded();
      return;
    }
  }
  // Kept whole, as the document read at open would be.
  m_whole = std::move(document);
  m_outline.reset();
  std::string().swap(m_entries);
  m_comparable = false;
  m_canonical = false;
  std::string().swap(m_bytes);
}

void XhlcSnapshot::Unwritten(Xml::DocumentPtr outline) {
  m_outline = std::move(outline);
  ForgetFile();
}

void XhlcSnapshot::ForgetFile() {
  if (m_whole) m_whole->setDocumentURI(nullptr);
  if (m_outline) m_outline->setDocumentURI(nullptr);
}

}  // namespace Hvd
