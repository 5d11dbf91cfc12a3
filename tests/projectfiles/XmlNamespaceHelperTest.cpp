// The DOM helper as the project-file writer uses it, and the text that passes through it:
// UTF-8 in, XMLCh in the document, the same UTF-8 out of the serializer and back in.

#include <gtest/gtest.h>

#include <string>

#include "XmlTestSupport.h"
#include "projectfiles/XMLNamespaceHelper.h"
#include "projectfiles/XmlSerializer.h"

namespace {

namespace N = Hvd::XmlNames;
using Hvd::XMLNamespaceHelper;
using XmlTest::Narrow;

int CountChildren(const xercesc::DOMNode* parent, const XMLCh* localName) {
  int count = 0;
  for (auto* child = parent->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
    count += xercesc::XMLString::equals(child->getLocalName(), localName) ? 1 : 0;
  }
  return count;
}

TEST(XMLNamespaceHelperTest, FindNameThroughAttributeChildElementOrNone) {
  const std::string ns = std::string(" xmlns:k='") + N::kNamespaceUri + "' xmlns='" + N::kNamespaceUri + "'";
  const struct {
    const char* entry;
    const char* name;  // null: no key
  } cases[] = {
      {"<e k:name='attr'><name>child</name></e>", "attr"},
      {"<e k:name=''><name>child</name></e>", "child"},
      {"<e><x/><name>child</name><name>second</name></e>", "child"},
      {"<e><name/></e>", nullptr},
      {"<e k:name=''/>", ""},
      {"<e name='not in the namespace'/>", ""},
  };
  for (const auto& c : cases) {
    std::string text = c.entry;
    text.insert(2, ns);
    auto document = XmlTest::Parse(text);
    ASSERT_TRUE(document);
    const XMLNamespaceHelper helper(document.get(), N::kNamespaceUriW);
    const XMLCh* key = helper.FindName(document->getDocumentElement());
    if (c.name == nullptr) {
      EXPECT_EQ(key, nullptr) << c.entry;
    } else {
      EXPECT_EQ(Narrow(key), c.name) << c.entry;
    }
  }
  EXPECT_EQ(XMLNamespaceHelper().FindName(nullptr), nullptr);
}

TEST(XMLNamespaceHelperTest, ChildElementsAreFoundCreatedAndReplacedOnce) {
  auto document = XmlTest::NewDocument();
  ASSERT_TRUE(document);
  const XMLNamespaceHelper helper(document.get(), N::kNamespaceUriW);
  xercesc::DOMElement* root = document->getDocumentElement();

  // A null parent gets nothing, and nothing is created anywhere.
  EXPECT_EQ(helper.GetOrCreateChildElement(nullptr, N::kFilesW), nullptr);
  EXPECT_EQ(helper.GetOrCreateNamedChildElement(nullptr, N::kFileW, u"a"), nullptr);
  EXPECT_EQ(helper.ReplaceOrAppendChildElement(nullptr, N::kFilesW), nullptr);
  EXPECT_EQ(root->getFirstChild(), nullptr);

  xercesc::DOMElement* files = helper.GetOrCreateChildElement(root, N::kFilesW);
  ASSERT_NE(files, nullptr);
  EXPECT_EQ(helper.GetOrCreateChildElement(root, N::kFilesW), files);
  EXPECT_EQ(Narrow(files->getNamespaceURI()), N::kNamespaceUri);

  xercesc::DOMElement* a = helper.GetOrCreateNamedChildElement(files, N::kFileW, u"a.vhd");
  xercesc::DOMElement* b = helper.GetOrCreateNamedChildElement(files, N::kFileW, u"b.vhd");
  EXPECT_EQ(helper.GetOrCreateNamedChildElement(files, N::kFileW, u"a.vhd"), a);
  EXPECT_EQ(helper.FindNamedChildElement(files, N::kFileW, u"b.vhd"), b);
  EXPECT_EQ(helper.FindNamedChildElement(files, N::kFileW, u"c.vhd"), nullptr);
  EXPECT_EQ(CountChildren(files, N::kFileW), 2);

  // Replacing a named entry keeps its place among its siblings.
  xercesc::DOMElement* a2 = helper.ReplaceOrAppendNamedChildElement(files, N::kFileW, u"a.vhd");
  EXPECT_EQ(files->getFirstChild(), a2);
  EXPECT_EQ(a2->getNextSibling(), b);

  // With two sections of one name, only the first is replaced.
  xercesc::DOMElement* second = helper.CreateElement(N::kFiles);
  root->appendChild(second);
  helper.AppendText(second, "kept");
  xercesc::DOMElement* fresh = helper.ReplaceOrAppendChildElement(root, N::kFilesW);
  EXPECT_EQ(CountChildren(root, N::kFilesW), 2);
  EXPECT_EQ(root->getFirstChild(), fresh);
  EXPECT_EQ(fresh->getFirstChild(), nullptr);
  EXPECT_EQ(fresh->getNextSibling(), second);
  xercesc::DOMElement* bindings = helper.ReplaceOrAppendChildElement(root, N::kBindingsW);
  EXPECT_EQ(root->getLastChild(), bindings);

  xercesc::DOMNodeList* all = helper.GetDocumentElementsByTagName(N::kFilesW);
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(all->getLength(), 2u);
  EXPECT_EQ(helper.GetElementsByTagName(nullptr, N::kFilesW), nullptr);
}

TEST(XMLNamespaceHelperTest, HelperWithoutUriUsesTheEmptyNamespace) {
  auto document = XmlTest::NewDocument(nullptr, u"root");
  ASSERT_TRUE(document);
  const XMLNamespaceHelper helper(document.get());
  xercesc::DOMElement* element = helper.CreateElement("plain");
  ASSERT_NE(element, nullptr);
  EXPECT_EQ(element->getNamespaceURI(), nullptr);  // the DOM stores an empty URI as none
  helper.SetAttribute(element, "key", "value");
  EXPECT_EQ(Narrow(helper.GetAttribute(element, "key")), "value");
  EXPECT_EQ(Narrow(element->getAttribute(u"key")), "value");
}

TEST(XMLNamespaceHelperTest, NonAsciiTextRoundTripsThroughTheSerializer) {
  const std::string text =
      "Gr\xC3\xBC\xC3\x9F"
      "e \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9D\x84\x9E & <\"x\">";
  EXPECT_EQ(Hvd::Xml::Utf8Text(Hvd::Xml::XmlText(text.c_str())).str(), text);
  EXPECT_EQ(Hvd::Xml::XmlText("\xC3(").get(), std::u16string(u"\uFFFD("));  // malformed: replaced
  EXPECT_EQ(Hvd::Xml::XmlText(static_cast<const char*>(nullptr)).get(), nullptr);
  EXPECT_TRUE(Hvd::Xml::Utf8Text(nullptr).IsNull());

  auto document = XmlTest::NewDocument();
  ASSERT_TRUE(document);
  const XMLNamespaceHelper helper(document.get(), N::kNamespaceUriW);
  xercesc::DOMElement* root = document->getDocumentElement();
  helper.SetNamespaceDeclaration(root);
  helper.SetNamespacePrefixDeclaration(root, N::kAttributePrefix, N::kNamespaceUriW);
  xercesc::DOMElement* property = helper.CreateElement(N::kProperty);
  root->appendChild(property);
  helper.SetAttribute(property, (std::string(N::kAttributePrefix) + ":" + N::kValue).c_str(), text.c_str());
  helper.AppendText(property, text.c_str());

  std::string bytes, message;
  ASSERT_EQ(Hvd::Xml::SerializeDocument(document.get(), bytes, &message), Hvd::kSuccess) << message;
  EXPECT_NE(bytes.find("encoding=\"UTF-8\""), std::string::npos) << bytes;
  EXPECT_NE(bytes.find(std::string("xmlns=\"") + N::kNamespaceUri + "\""), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("xmlns:vel_kv="), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("Gr\xC3\xBC\xC3\x9F"
                       "e"),
            std::string::npos)
      << "written as UTF-8, not as references";

  auto back = XmlTest::Parse(bytes);
  ASSERT_TRUE(back);
  const XMLNamespaceHelper reader(back.get(), N::kNamespaceUriW);
  xercesc::DOMElement* read = reader.FindChildElement(back->getDocumentElement(), N::kPropertyW);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(Narrow(reader.GetAttribute(read, N::kValue)), text);
  EXPECT_EQ(Narrow(read->getTextContent()), text);

  // Written to a file through the atomic writer, and read back from there.
  XmlTest::ScratchDir dir;
  ASSERT_EQ(Hvd::Xml::WriteDocumentFile(back.get(), dir / "p.xhlc", &message), Hvd::kSuccess) << message;
  EXPECT_EQ(XmlTest::ReadText(dir / "p.xhlc"), bytes);
  EXPECT_TRUE(Hvd::Xml::ParseXmlFile((dir / "p.xhlc").c_str()));
}

TEST(XMLNamespaceHelperTest, CommentLinesArePaddedToTheirWidth) {
  EXPECT_EQ(N::PaddedComment(N::kHeaderComments[0], N::kHeaderWidth).size(), N::kHeaderWidth);
  EXPECT_EQ(N::PaddedComment("", N::kHeaderWidth), std::string(N::kHeaderWidth, ' '));
  EXPECT_EQ(N::PaddedComment(N::kInternalUseComments[1], N::kInternalUseWidth).size(), N::kInternalUseWidth);
  EXPECT_EQ(N::PaddedComment(N::kUnsortedComments[1], N::kUnsortedWidth).find_first_not_of(' '), 10u);
}

}  // namespace
