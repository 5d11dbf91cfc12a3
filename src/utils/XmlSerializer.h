#pragma once
// Writing a DOM document out: to bytes, and from there to a file that is replaced atomically.

#include <string>
#include <xercesc/dom/DOMNode.hpp>

#include "Hvd/Status.h"

namespace Hvd::Xml {

// What a writer may ask of the serializer beyond its defaults.
struct SerializeOptions {
  const XMLCh* newLine = nullptr;  // the serializer's own line end when null
  bool namespaces = false;         // namespace fix-up asked for, where the serializer offers it
};

// The node (usually a document) pretty-printed with an XML declaration. A document read from a
// file keeps the encoding it was read with; any other is written as UTF-8. On failure `message`
// (when given) says why.
Status SerializeDocument(const xercesc::DOMNode* node, std::string& bytes, std::string* message = nullptr,
                         const SerializeOptions& options = {});

// SerializeDocument, then WriteFileAtomically: `path` holds either its old bytes or all the new.
Status WriteDocumentFile(const xercesc::DOMNode* node, const std::string& path, std::string* message = nullptr,
                         const SerializeOptions& options = {});

}  // namespace Hvd::Xml
