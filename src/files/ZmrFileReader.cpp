#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNodeList.hpp>

#include "CitP/Factory.h"
#include "core/Diagnostics.h"
#include "files/CZmrFileReader.h"

namespace Hvd {

namespace {

// A constraint file is left out for these purposes, which bring their own constraints.
bool SkipsConstraints(const std::string& purpose) { return purpose == "quenlox" || purpose == "tevrak"; }

}  // namespace

CZmrFileReader::CZmrFileReader() : m_result(CitP::Factory::CreateInstance(Prjrep::ClassId::StringSet())) {}

Status CZmrFileReader::XIZmrFileReader::Load(const Port::StringBase<char>& path) {
  CZmrFileReader& self = This();
  self.m_document = self.m_parser.ParseFile(path.c_str());
  if (!self.m_document)
    return Fail(kFailure, "CZmrFileReader::Load - cannot read \"%s\":\n%s\n", path.c_str(),
                self.m_parser.Message().c_str());
  return kSuccess;
}

Status CZmrFileReader::XIZmrFileReader::GetFiles(const Port::StringBase<char>& purpose,
                                                 Prjrep::IStringIterator** files) {
  CZmrFileReader& self = This();
  if (files == nullptr) return Fail(kInvalidParameter, "CZmrFileReader::GetFiles - no output given\n");
  *files = nullptr;
  if (!self.m_result) return Fail(kComponentNotCreated, "CZmrFileReader::GetFiles - no string set could be made\n");
  std::ignore = self.m_result->Clear();

  const xercesc::DOMElement* root = self.m_document ? self.m_document->getDocumentElement() : nullptr;
  const Status read = root != nullptr ? kSuccess : Fail(kNotSetUp, "CZmrFileReader::GetFiles - no file was loaded\n");
  if (root != nullptr) {
    const xercesc::DOMNodeList* elements = root->getElementsByTagName(Xml::XmlText("File"));
    const Xml::XmlText url("URL");
    const Xml::XmlText type("Type");
    const bool skipConstraints = SkipsConstraints(purpose.str());
    // The list is live: its length walks the whole tree each time it is asked, so it is asked
    // once; items in order are found from the last one.
    const XMLSize_t count = elements != nullptr ? elements->getLength() : 0;
    for (XMLSize_t i = 0; i < count; ++i) {
      const auto* element = static_cast<const xercesc::DOMElement*>(elements->item(i));
      if (skipConstraints && Xml::Utf8Text(element->getAttribute(type)).str() == "UCF") continue;
      std::ignore = self.m_result->Add(Xml::Utf8Text(element->getAttribute(url)).str());
    }
  }
  // The list is handed out also when nothing was loaded: an empty one.
  const Status listed = self.m_result->GetIterator(files);
  return read != kSuccess ? read : listed;
}

}  // namespace Hvd
