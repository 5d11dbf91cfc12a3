// The HLC file-type helper: reads a project source file (.xhlc) and answers where the project's
// implementation top stands in the design, as the file records it.

#include <filesystem>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/SecurityManager.hpp>

#include "BaseData.h"
#include "DomText.h"
#include "Hvd/IHlcFileTypeHelper.h"
#include "core/Factory.h"
#include "core/XmlStart.h"

namespace Hvd::base {
namespace {

namespace X = xercesc;

constexpr char16_t kProjectNamespace[] = u"http://www.velmor.com/XMLSchema";
// The property under which a project file records its implementation top's instance path.
constexpr char kTopInstancePath[] = "Implementation Top Instance Path";
// Project files nest a few levels; the library's own reader refuses the same depth.
constexpr int kMaxDepth = 256;

bool IsProjectElement(const X::DOMElement& e, const char16_t* name) {
  return X::XMLString::equals(e.getNamespaceURI(), kProjectNamespace) && X::XMLString::equals(e.getLocalName(), name);
}

// The value of the project property `name`, empty when the file is no readable project file or
// has no such property. The file is data: no document type, entity or external file is followed.
std::string ReadProjectProperty(const std::string& path, std::string_view name) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error) || !StartXmlPlatform()) return {};
  try {
    X::SecurityManager security;
    X::XercesDOMParser parser;
    dom::SetUpDataParser(parser, security, true);
    parser.parse(path.c_str());
    const X::DOMDocument* doc = parser.getDocument();
    const X::DOMElement* root = doc != nullptr ? doc->getDocumentElement() : nullptr;
    if (parser.getErrorCount() != 0 || doc->getDoctype() != nullptr || root == nullptr ||
        !IsProjectElement(*root, u"project") || !dom::WithinDepth(*root, kMaxDepth))
      return {};
    std::string value;
    bool found = false;
    for (auto* list = root->getFirstElementChild(); list != nullptr && !found; list = list->getNextElementSibling()) {
      if (!IsProjectElement(*list, u"properties")) continue;
      for (auto* e = list->getFirstElementChild(); e != nullptr && !found; e = e->getNextElementSibling()) {
        if (!IsProjectElement(*e, u"property") || dom::Utf8(e->getAttributeNS(kProjectNamespace, u"name")) != name)
          continue;
        value = dom::Utf8(e->getAttributeNS(kProjectNamespace, u"value"));
        found = true;
      }
    }
    return value;
  } catch (...) {
    return {};
  }
}

class CHlcFileTypeHelper final : public TComponent<CHlcFileTypeHelper> {
 public:
  static const Port::XUID& GetCLSID() { return HlcFileTypeHelperClassId(); }

  auto QueryTable() {
    return Table(Row<IHlcFileTypeHelper>(&m_XIHlcFileTypeHelper), Row<Prjrep::IRefCount>(&m_count),
                 Row<Prjrep::IRefCountV1>(&m_count), Row<CitI::IInterface>(this));
  }

 private:
  struct XIHlcFileTypeHelper : TNested<CHlcFileTypeHelper, IHlcFileTypeHelper> {
    using TNested::TNested;
    Status SetFileName(const Text& path) override {
      CHlcFileTypeHelper& self = This();
      self.m_pathInDesign.clear();
      std::error_code error;
      if (path.empty() || !std::filesystem::is_regular_file(path.str(), error)) return kFailure;
      const std::string recorded = ReadProjectProperty(path.str(), kTopInstancePath);
      // The design's root is the locator's own "/".
      self.m_pathInDesign = recorded.substr(std::min(recorded.find_first_not_of('/'), recorded.size()));
      return kSuccess;
    }
    Status GetPathInDesign(Text* path) override {
      if (path == nullptr) return kInvalidParameter;
      *path = Text(This().m_pathInDesign);
      return kSuccess;
    }
  } m_XIHlcFileTypeHelper{this};
  Prjrep::TRefCountHelper<CHlcFileTypeHelper> m_count{this};
  std::string m_pathInDesign;
};

}  // namespace

void RegisterHlcFileTypeHelper() { RegisterFactoriesOf<CHlcFileTypeHelper>(); }

}  // namespace Hvd::base
