// The differencer decides whether the project source file is rewritten: indentation alone must
// not count, while any change of content below a section's own element must.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "XmlTestSupport.h"
#include "projectfiles/XMLDifferencer.h"

namespace {

using Hvd::XMLDifferencer;
using XmlTest::Parse;

bool Same(const std::string& a, const std::string& b, bool stopAtFirst) {
  auto first = Parse(a);
  auto second = Parse(b);
  if (!first || !second) return false;
  XMLDifferencer differencer(stopAtFirst);
  return differencer.Compare(first->getDocumentElement(), second->getDocumentElement());
}

TEST(XMLDifferencerTest, ComparesSectionsIgnoringIndentationOnly) {
  const struct {
    const char* what;
    const char *first, *second;
    bool equal;
  } cases[] = {
      {"indentation", "<s><a x='1'><b/></a></s>", "<s>\n  <a x='1'>\n    <b/>\n  </a>\n</s>", true},
      {"indentation before and after", "<s>\n <a/></s>", "<s><a/>\n\t</s>", true},
      {"whitespace-only CDATA", "<s><a/></s>", "<s><![CDATA[  ]]><a/></s>", true},
      {"starting element's attributes", "<s v='1' w='2'><a/></s>", "<s v='2'><a/></s>", true},
      {"attribute order", "<s><a x='1' y='2'/></s>", "<s><a y='2' x='1'/></s>", true},
      {"same comment", "<s><!-- c --><a/></s>", "<s>\n<!-- c -->\n<a/></s>", true},
      {"attribute value below", "<s><a x='1'/></s>", "<s><a x='2'/></s>", false},
      {"attribute missing at depth, equal counts", "<s><a><b x='1' y='2'/></a></s>", "<s><a><b x='1' z='2'/></a></s>",
       false},
      {"attribute added at depth", "<s><a><b x='1'/></a></s>", "<s><a><b x='1' y='2'/></a></s>", false},
      {"attribute removed at depth", "<s><a><b x='1' y='2'/></a></s>", "<s><a><b x='1'/></a></s>", false},
      {"child order", "<s><a/><b/></s>", "<s><b/><a/></s>", false},
      {"extra child", "<s><a/></s>", "<s><a/><a/></s>", false},
      {"missing child", "<s><a/><b/></s>", "<s><a/></s>", false},
      {"comment text", "<s><!-- one --><a/></s>", "<s><!-- two --><a/></s>", false},
      {"comment against element", "<s><!-- a --></s>", "<s><a/></s>", false},
      {"text", "<s><a>x</a></s>", "<s><a>y</a></s>", false},
      {"element name", "<s><a/></s>", "<s><b/></s>", false},
  };
  for (const auto& c : cases) {
    for (const bool stop : {true, false}) {
      EXPECT_EQ(Same(c.first, c.second, stop), c.equal) << c.what << (stop ? "" : " (full walk)");
      EXPECT_EQ(Same(c.second, c.first, stop), c.equal) << c.what << " (swapped)";
    }
  }
}

TEST(XMLDifferencerTest, NullIsNeverEqualAndCloneIsAlwaysEqual) {
  auto document = Parse("<s><a x='1'>t<!-- c --><b/></a></s>");
  ASSERT_TRUE(document);
  XMLDifferencer differencer;
  EXPECT_FALSE(differencer.Compare(document->getDocumentElement(), nullptr));
  EXPECT_FALSE(differencer.Compare(nullptr, document->getDocumentElement()));
  xercesc::DOMNode* clone = document->getDocumentElement()->cloneNode(true);
  EXPECT_TRUE(differencer.Compare(document->getDocumentElement(), clone));
  clone->release();
}

// Differences reach the hooks with the path of the node they were found on.
class Recorder : public XMLDifferencer {
 public:
  Recorder() : XMLDifferencer(false) {}
  std::vector<std::string> seen;

 protected:
  void OnAttributeMissing(const String& path, int side, const String& name, const String& value) override {
    seen.push_back("missing " + path.str() + " " + std::to_string(side) + " " + name.str() + "=" + value.str());
  }
  void OnAttributeValueDiffers(const String& path, const String& name, const String& a, const String& b) override {
    seen.push_back("value " + path.str() + " " + name.str() + " " + a.str() + "/" + b.str());
  }
  void OnChildMissing(const String& path, const xercesc::DOMNode* a, const xercesc::DOMNode* b) override {
    seen.push_back("child " + path.str() + (a != nullptr ? " first" : " second"));
  }
  void OnContentDiffers(const String& path, const xercesc::DOMNode*, const xercesc::DOMNode*) override {
    seen.push_back("content " + path.str());
  }
};

TEST(XMLDifferencerTest, FullWalkReportsEachDifferenceWithItsPath) {
  auto first = Parse("<s><a><b x='1' y='2'/></a><c>t</c><d/></s>");
  auto second = Parse("<s><a><b x='1' z='3'/></a><c>u</c></s>");
  ASSERT_TRUE(first && second);
  Recorder recorder;
  EXPECT_FALSE(recorder.Compare(first->getDocumentElement(), second->getDocumentElement()));
  EXPECT_EQ(recorder.seen, (std::vector<std::string>{"missing /s/a/b 2 y=2", "missing /s/a/b 1 z=3", "content /s/c",
                                                     "child /s first"}));
}

}  // namespace
