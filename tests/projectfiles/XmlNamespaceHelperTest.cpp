// The DOM helper as the project-file writer uses it, and the text that passes through it:
// UTF-8 in, XMLCh in the document, the same UTF-8 out of the serializer and back in.

#include <gtest/gtest.h>

#include <string>

#include "XmlTestSupport.h"
#include "projectfiles/XMLNamespaceHelper.h"
#include "utils/XmlSerializer.h"

namespace {

namespace N = Hvd::XmlNames;
using Hvd::XMLNamespaceHelper;
using XmlTest::Narrow;

int CountChildren(const xercesc::DOMNode* parent, const XMLCh* localName) {
  int count = 0;
  for (auto* c = parent->getFirstChild(); c != nullptr; c = c->getNextSibling())
    count += xercesc::XMLString::equals(c->getLocalName(), localName) ? 1 : 0;
  return count;
}

TEST(XMLNamespaceHelperTest, FindNameThroughAttributeChildElementOrNone) {
  const std::string ns = std::string(" xmlns:k='") + N::kNamespaceUri + "' xmlns='" + N::kNamespaceUri + "'";
  const struct {
    const char *entry, *name;  // null: no key
  } cases[] = {
      {"<e k:name='attr'><name>child</name></e>", "attr"},
      {"<e k:name=''><x/><name>child</name><name>second</name></e>", "child"},
      {"<e><name/></e>", nullptr},
      {"<e name='not in the namespace'/>", ""},
  };
  for (const auto& c : cases) {
    auto document = XmlTest::Parse(std::string(c.entry).insert(2, ns));
    ASSERT_TRUE(document);
    const XMLCh* key = XMLNamespaceHelper(document.get(), N::kNamespaceUriW).FindName(document->getDocumentElement());
    EXPECT_EQ(key ? Narrow(key) : "(none)", c.name ? c.name : "(none)") << c.entry;
  }
  EXPECT_EQ(XMLNamespaceHelper().FindName(nullptr), nullptr);
}

TEST(XMLNamespaceHelperTest, ChildElementsAreFoundCreatedAndReplacedOnce) {
  auto document = XmlTest::NewDocument();
  ASSERT_TRUE(document);
  const XMLNamespaceHelper helper(document.get(), N::kNamespaceUriW);
  xercesc::DOMElement* root = document->getDocumentElement();

  // A null parent gets nothing, and nothing is created anywhere.
  EXPECT_TRUE(helper.GetOrCreateChildElement(nullptr, N::kFilesW) == nullptr &&
              helper.GetOrCreateNamedChildElement(nullptr, N::kFileW, u"a") == nullptr &&
              helper.ReplaceOrAppendChildElement(nullptr, N::kFilesW) == nullptr && root->getFirstChild() == nullptr);

  xercesc::DOMElement* files = helper.GetOrCreateChildElement(root, N::kFilesW);
  ASSERT_NE(files, nullptr);
  EXPECT_EQ(helper.GetOrCreateChildElement(root, N::kFilesW), files);
  EXPECT_EQ(Narrow(files->getNamespaceURI()), N::kNamespaceUri);

  xercesc::DOMElement* a = helper.GetOrCreateNamedChildElement(files, N::kFileW, u"a.vhd");
  xercesc::DOMElement* b = helper.GetOrCreateNamedChildElement(files, N::kFileW, u"b.vhd");
  EXPECT_EQ(helper.GetOrCreateNamedChildElement(files, N::kFileW, u"a.vhd"), a);
  EXPECT_TRUE(helper.FindNamedChildElement(files, N::kFileW, u"b.vhd") == b &&
              helper.FindNamedChildElement(files, N::kFileW, u"c.vhd") == nullptr);
  EXPECT_EQ(CountChildren(files, N::kFileW), 2);
  // Replacing a named entry keeps its place among its siblings.
  xercesc::DOMElement* a2 = helper.ReplaceOrAppendNamedChildElement(files, N::kFileW, u"a.vhd");
  EXPECT_TRUE(files->getFirstChild() == a2 && a2->getNextSibling() == b);

  // With two sections of one name, only the first is replaced.
  xercesc::DOMElement* second = helper.CreateElement(N::kFiles);
  root->appendChild(second);
  helper.AppendText(second, "kept");
  xercesc::DOMElement* fresh = helper.ReplaceOrAppendChildElement(root, N::kFilesW);
  EXPECT_EQ(CountChildren(root, N::kFilesW), 2);
  EXPECT_TRUE(root->getFirstChild() == fresh && fresh->getFirstChild() == nullptr && fresh->getNextSibling() == second);
  xercesc::DOMElement* bindings = helper.ReplaceOrAppendChildElement(root, N::kBindingsW);
  EXPECT_EQ(root->getLastChild(), bindings);  // appended when missing
  xercesc::DOMNodeList* all = helper.GetDocumentElementsByTagName(N::kFilesW);
  EXPECT_TRUE(all != nullptr && all->getLength() == 2u);
  EXPECT_EQ(helper.GetElementsByTagName(nullptr, N::kFilesW), nullptr);

  // Without a URI the helper works in the empty namespace, which the DOM stores as none.
  const XMLNamespaceHelper plain(document.get());
  xercesc::DOMElement* element = plain.CreateElement("plain");
  ASSERT_NE(element, nullptr);
  plain.SetAttribute(element, "key", "value");
  EXPECT_TRUE(element->getNamespaceURI() == nullptr && Narrow(plain.GetAttribute(element, "key")) == "value" &&
              Narrow(element->getAttribute(u"key")) == "value");
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
  // UTF-8 itself, not character references.
  for (const std::string& part : {std::string("encoding=\"UTF-8\""), std::string("xmlns=\"") + N::kNamespaceUri + "\"",
                                  std::string("xmlns:vel_kv="), text.substr(0, 7)}) {
    EXPECT_NE(bytes.find(part), std::string::npos) << part << " in " << bytes;
  }
  auto back = XmlTest::Parse(bytes);
  ASSERT_TRUE(back);
  const XMLNamespaceHelper reader(back.get(), N::kNamespaceUriW);
  xercesc::DOMElement* read = reader.FindChildElement(back->getDocumentElement(), N::kPropertyW);
  ASSERT_NE(read, nullptr);
  EXPECT_TRUE(Narrow(reader.GetAttribute(read, N::kValue)) == text && Narrow(read->getTextContent()) == text);
}

}  // namespace
