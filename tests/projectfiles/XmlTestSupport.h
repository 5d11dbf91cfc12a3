#pragma once
// Documents and scratch directories for the XML tests.

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "projectfiles/XmlNames.h"
#include "projectfiles/XmlPlatform.h"

namespace XmlTest {

inline Hvd::Xml::DocumentPtr NewDocument(const XMLCh* uri = Hvd::XmlNames::kNamespaceUriW,
                                         const XMLCh* root = Hvd::XmlNames::kProjectW) {
  if (!Hvd::Xml::StartPlatform()) return nullptr;
  xercesc::DOMImplementation* implementation = xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core");
  return Hvd::Xml::DocumentPtr(implementation->createDocument(uri, root, nullptr));
}

inline Hvd::Xml::DocumentPtr Parse(const std::string& text) {
  std::string message;
  Hvd::Xml::DocumentPtr document = Hvd::Xml::ParseXmlBytes(text, &message);
  if (!document) ADD_FAILURE() << "unparsable test document: " << message << "\n" << text;
  return document;
}

inline std::string Narrow(const XMLCh* text) { return Hvd::Xml::Utf8Text(text).str(); }

// A fresh directory, removed with its files at the end of the test.
class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/hvd_xml_XXXXXX";
    m_path = ::mkdtemp(pattern);
  }
  ~ScratchDir() {
    for (const std::string& name : Names()) ::unlink((m_path + "/" + name).c_str());
    ::rmdir(m_path.c_str());
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string operator/(const std::string& name) const { return m_path + "/" + name; }
  const std::string& path() const { return m_path; }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(m_path.c_str())) {
      while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      ::closedir(dir);
    }
    return names;
  }

 private:
  std::string m_path;
};

inline void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace XmlTest
