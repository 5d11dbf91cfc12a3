// The differencer decides whether the project source file is rewritten: indentation alone must
// not count, while any change of content below a section's own element must.

#include <gtest/gtest.h>

#include <string>

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
      {"whitespace-only CDATA", "<s><a/></s>", "<s><![CDATA[  ]]><a/></s>", true},
      {"starting element's attributes", "<s v='1' w='2'><a/></s>", "<s v='2'><a/></s>", true},
      {"attribute order", "<s><a x='1' y='2'/></s>", "<s><a y='2' x='1'/></s>", true},
      {"same comment", "<s><!-- c --><a/></s>", "<s>\n<!-- c -->\n<a/></s>", true},
      {"attribute value below", "<s><a x='1'/></s>", "<s><a x='2'/></s>", false},
      {"attribute missing at depth, equal counts", "<s><a><b x='1' y='2'/></a></s>", "<s><a><b x='1' z='2'/></a></s>",
       false},
      {"attribute added at depth", "<s><a><b x='1'/></a></s>", "<s><a><b x='1' y='2'/></a></s>", false},
      {"child order", "<s><a/><b/></s>", "<s><b/><a/></s>", false},
      {"extra child", "<s><a/></s>", "<s><a/><a/></s>", false},
      {"comment text", "<s><!-- one --><a/></s>", "<s><!-- two --><a/></s>", false},
      {"element name", "<s><a/></s>", "<s><b/></s>", false},
  };
  for (const auto& c : cases) {
    for (const bool stop : {true, false}) {
      EXPECT_EQ(Same(c.first, c.second, stop), c.equal) << c.what << (stop ? "" : " (full walk)");
      EXPECT_EQ(Same(c.second, c.first, stop), c.equal) << c.what << " (swapped)";
    }
  }
  // Null is never equal, a clone always.
  auto document = Parse("<s><a x='1'>t<!-- c --><b/></a></s>");
  ASSERT_TRUE(document);
  XMLDifferencer differencer;
  xercesc::DOMElement* root = document->getDocumentElement();
  EXPECT_FALSE(differencer.Compare(root, nullptr) || differencer.Compare(nullptr, root));
  xercesc::DOMNode* clone = root->cloneNode(true);
  EXPECT_TRUE(differencer.Compare(root, clone));
  clone->release();
}

}  // namespace
