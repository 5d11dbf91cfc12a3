#include "utils/XmlSerializer.h"

#include <memory>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMError.hpp>
#include <xercesc/dom/DOMErrorHandler.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMLSOutput.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "utils/XmlPlatform.h"
#include "core/AtomicFile.h"

namespace X = xercesc;

namespace Hvd::Xml {

namespace {

struct Release {
  template <class T>
  void operator()(T* object) const noexcept {
    object->release();
  }
};

class CollectingErrors final : public X::DOMErrorHandler {
 public:
  bool handleError(const X::DOMError& error) override {
    if (!m_text.empty()) m_text += '\n';
    m_text += Utf8Text(error.getMessage()).str();
    return error.getSeverity() == X::DOMError::DOM_SEVERITY_WARNING;  // go on after warnings only
  }
  const std::string& Text() const noexcept { return m_text; }

 private:
  std::string m_text;
};

Status Failed(std::string* message, const std::string& why) {
  if (message != nullptr) *message = why;
  return kFailure;
}

const XMLCh* EncodingOf(const X::DOMNode* node) {
  static constexpr XMLCh kUtf8[] = u"UTF-8";
  const X::DOMDocument* document = node->getNodeType() == X::DOMNode::DOCUMENT_NODE
                                       ? static_cast<const X::DOMDocument*>(node)
                                       : node->getOwnerDocument();
  if (document != nullptr) {
    for (const XMLCh* encoding : {document->getXmlEncoding(), document->getInputEncoding()}) {
      if (encoding != nullptr && *encoding != 0) return encoding;
    }
  }
  return kUtf8;
}

}  // namespace

Status SerializeDocument(const X::DOMNode* node, std::string& bytes, std::string* message,
                         const SerializeOptions& options) {
  bytes.clear();
  if (node == nullptr) return Failed(message, "no document to write");
  if (!StartPlatform()) return Failed(message, "the XML platform is not available");
  try {
    static constexpr XMLCh kLs[] = u"LS";
    X::DOMImplementation* implementation = X::DOMImplementationRegistry::getDOMImplementation(kLs);
    if (implementation == nullptr) return Failed(message, "no DOM serializer available");
    const std::unique_ptr<X::DOMLSSerializer, Release> serializer(implementation->createLSSerializer());
    const std::unique_ptr<X::DOMLSOutput, Release> output(implementation->createLSOutput());
    CollectingErrors errors;
    X::DOMConfiguration* config = serializer->getDomConfig();
    config->setParameter(X::XMLUni::fgDOMErrorHandler, &errors);
    if (config->canSetParameter(X::XMLUni::fgDOMWRTFormatPrettyPrint, true)) {
      config->setParameter(X::XMLUni::fgDOMWRTFormatPrettyPrint, true);
    }
    if (options.namespaces && config->canSetParameter(X::XMLUni::fgDOMNamespaces, true)) {
      config->setParameter(X::XMLUni::fgDOMNamespaces, true);
    }
    if (options.newLine != nullptr) serializer->setNewLine(options.newLine);
    X::MemBufFormatTarget target;
    output->setByteStream(&target);
    output->setEncoding(EncodingOf(node));
    if (!serializer->write(node, output.get())) {
      return Failed(message, errors.Text().empty() ? "the document could not be written" : errors.Text());
    }
    bytes.assign(reinterpret_cast<const char*>(target.getRawBuffer()), target.getLen());
  } catch (const X::XMLException& e) {
    return Failed(message, Utf8Text(e.getMessage()).str());
  } catch (const X::DOMException& e) {
    return Failed(message, Utf8Text(e.getMessage()).str());
  } catch (...) {
    return Failed(message, "the document could not be written");
  }
  return kSuccess;
}

Status WriteDocumentFile(const X::DOMNode* node, const std::string& path, std::string* message,
                         const SerializeOptions& options) {
  std::string bytes;
  if (SerializeDocument(node, bytes, message, options) != kSuccess) return kFailure;
  return WriteFileAtomically(path, bytes, message);
}

}  // namespace Hvd::Xml
