#pragma once
// Documents, scratch directories and their listings for the XML tests.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "hostkit/TempDir.h"
#include "projectfiles/XmlNames.h"
#include "utils/XmlPlatform.h"

namespace XmlTest {

using Strings = std::vector<std::string>;

inline Hvd::Xml::DocumentPtr NewDocument() {
  if (!Hvd::Xml::StartPlatform()) return nullptr;
  xercesc::DOMImplementation* implementation = xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core");
  return Hvd::Xml::DocumentPtr(
      implementation->createDocument(Hvd::XmlNames::kNamespaceUriW, Hvd::XmlNames::kProjectW, nullptr));
}

inline Hvd::Xml::DocumentPtr Parse(const std::string& text) {
  std::string message;
  Hvd::Xml::DocumentPtr document = Hvd::Xml::ParseXmlBytes(text, &message);
  if (!document) ADD_FAILURE() << "unparsable test document: " << message << "\n" << text;
  return document;
}

inline std::string Narrow(const XMLCh* text) { return Hvd::Xml::Utf8Text(text).str(); }

// The names of the files in a directory.
inline Strings Names(const TempDir& dir) {
  Strings names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) names.push_back(entry.path().filename());
  return names;
}

}  // namespace XmlTest
