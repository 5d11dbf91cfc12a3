// The one parser set-up: a crafted project file must neither make the parser read another file
// nor expand entities without bound, and every failure comes back as a message.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "XmlTestSupport.h"
#include "projectfiles/projectinfo/CXMLReadWriter.h"
#include "utils/XmlBounds.h"
#include "projectfiles/XmlNames.h"

namespace {

namespace N = Hvd::XmlNames;

TEST(SafeDomParserTest, ReadsNamespacedDocumentsAndMalformedOrMissingFilesGiveAMessage) {
  TempDir dir;
  TempDir::Write(dir / "p.xhlc", std::string("<?xml version='1.0'?><project xmlns='") + N::kNamespaceUri +
                                     "' xmlns:vel_kv='" + N::kNamespaceUri +
                                     "'><files><file vel_kv:name='a&amp;b.vhd'/></files></project>");
  std::string message = "stale";
  auto document = Hvd::Xml::ParseXmlFile((dir / "p.xhlc").c_str(), &message);
  ASSERT_TRUE(document) << message;
  EXPECT_TRUE(message.empty());
  const auto* file = document->getDocumentElement()->getFirstElementChild()->getFirstElementChild();
  EXPECT_EQ(XmlTest::Narrow(file->getNamespaceURI()), N::kNamespaceUri);
  EXPECT_EQ(XmlTest::Narrow(file->getAttributeNS(N::kNamespaceUriW, N::kNameW)), "a&b.vhd");

  TempDir::Write(dir / "bad.xhlc", "<project><files></project>");
  for (const std::string& path : {dir / "bad.xhlc", dir / "absent.xhlc", std::string()}) {
    EXPECT_TRUE(!Hvd::Xml::ParseXmlFile(path.c_str(), &message) && !message.empty()) << path;
    message.clear();
  }
  Hvd::Xml::SafeDomParser parser;  // one parser, used again after a failure
  EXPECT_FALSE(parser.ParseBytes("<a>"));
  EXPECT_TRUE(parser.ParseBytes("<a/>") && parser.Message().empty()) << parser.Message();
}

// A name is bytes: one that is not UTF-8 names that file, not the file its repaired spelling names.
TEST(SafeDomParserTest, AFileIsOpenedByTheExactBytesOfItsName) {
  TempDir dir;
  const std::string latin = dir / "na\xEFme.xml", repaired = dir / "na\xEF\xBF\xBDme.xml";
  TempDir::Write(latin, "<latin/>");
  TempDir::Write(repaired, "<repaired/>");
  std::string message;
  auto document = Hvd::Xml::ParseXmlFile(latin.c_str(), &message);
  ASSERT_TRUE(document) << message;
  EXPECT_EQ(XmlTest::Narrow(document->getDocumentElement()->getTagName()), "latin");
  ::unlink(repaired.c_str());
  EXPECT_TRUE(Hvd::Xml::ParseXmlFile(latin.c_str(), &message)) << message;
}

// A pipe with no writer would block the read for ever; a directory or device is no document.
TEST(SafeDomParserTest, OnlyARegularFileIsRead) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo.xhlc").c_str(), 0600), 0);
  for (const std::string& path : {dir / "fifo.xhlc", dir.path(), std::string("/dev/null")}) {
    std::string message;
    EXPECT_FALSE(Hvd::Xml::ParseXmlFile(path.c_str(), &message)) << path;
    EXPECT_NE(message.find("not a regular file"), std::string::npos) << message;
  }
}

// A document is read only up to the bound of the largest project file: a larger one (sparse
// here) is refused from its size, unread, with a message that says why.
TEST(SafeDomParserTest, AFileLargerThanAnyProjectFileIsRefusedUnread) {
  TempDir dir;
  const std::string path = dir / "huge.xhlc";
  TempDir::Write(path, "<project/>");
  std::filesystem::resize_file(path, Hvd::CXMLReadWriter::kMaxFileBytes + 1);
  std::string message;
  EXPECT_FALSE(Hvd::Xml::ParseXmlFile(path.c_str(), &message));
  EXPECT_NE(message.find("too large"), std::string::npos) << message;
  EXPECT_NE(message.find(path), std::string::npos) << message;
}

TEST(SafeDomParserTest, CraftedDocumentsAreRefusedQuicklyWithoutReadingOtherFiles) {
  TempDir dir;
  const std::string secret = dir / "secret.txt";
  TempDir::Write(secret, "TOP-SECRET");
  TempDir::Write(dir / "evil.dtd", "<!ENTITY leak SYSTEM 'file://" + secret + "'>");
  std::string laughs = "<!DOCTYPE r [<!ENTITY l0 'ha'>";
  for (int k = 1; k <= 30; ++k) {
    laughs += "<!ENTITY l" + std::to_string(k) + " '";
    for (int r = 0; r < 10; ++r) laughs += "&l" + std::to_string(k - 1) + ";";
    laughs += "'>";
  }
  laughs += "]><r>&l30;</r>";
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"external entity", "<!DOCTYPE r [<!ENTITY x SYSTEM 'file://" + secret + "'>]><r>&x;</r>"},
      {"parameter entity", "<!DOCTYPE r [<!ENTITY % p SYSTEM 'file://" + dir / "evil.dtd" + "'> %p;]><r>&leak;</r>"},
      {"external DTD", "<!DOCTYPE r SYSTEM 'file://" + dir / "evil.dtd" + "'><r>&leak;</r>"},
      {"billion laughs", laughs},
      {"harmless document type", "<!DOCTYPE r><r/>"},
      {"undeclared entity", "<r>&x;</r>"},
  };
  for (const auto& c : cases) {  // files and bytes go through the one parser set-up
    const auto start = std::chrono::steady_clock::now();
    std::string message;
    EXPECT_FALSE(Hvd::Xml::ParseXmlBytes(c.text, &message)) << c.what;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << c.what;
    EXPECT_TRUE(!message.empty() && message.find("TOP-SECRET") == std::string::npos) << c.what << ": " << message;
  }
}

// Shapes on which the parser, the serializer's indentation or the differencer's recursion grow
// faster than the text are refused from the bytes, whatever the encoding; markup inside comments,
// CDATA, instructions and attribute values is no markup, and closed elements no longer count.
TEST(SafeDomParserTest, DocumentsPastTheDepthOrAttributeBoundsAreRefusedBeforeParsing) {
  using Hvd::Xml::kMaxAttributes;
  using Hvd::Xml::kMaxElementDepth;
  const auto repeat = [](const std::string& text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += text;
    return out;
  };
  const auto nested = [&](std::size_t depth, const std::string& inside = "") {
    return repeat("<e>", depth) + inside + repeat("</e>", depth);
  };
  const auto attributes = [](std::size_t count, const char* prefix) {
    std::string out = "<e";
    for (std::size_t i = 0; i < count; ++i) out += " " + std::string(prefix) + std::to_string(i) + "='1'";
    return out + "/>";
  };
  const auto utf16 = [](const std::string& text) {
    std::string out = "\xFF\xFE";
    for (char c : text) out += std::string{c, '\0'};
    return out;
  };
  const std::string tricky = "<e a='>' b=\"/>\"><!-- <e><e> --><![CDATA[<e><e>]]><?pi <e><e>?><e/></e>";
  const struct {
    const char* what;
    std::string text;
    const char* refusal;  // null: parsed
  } cases[] = {
      {"deepest allowed", nested(kMaxElementDepth), nullptr},
      {"one level deeper", nested(kMaxElementDepth + 1), "deeper than"},
      {"the deep shape that took Xerces minutes", nested(200000), "deeper than"},
      {"closed elements", "<r>" + repeat("<e/><e></e>", 50000) + nested(kMaxElementDepth - 1) + "</r>", nullptr},
      {"markup that is none", nested(kMaxElementDepth - 2, tricky), nullptr},
      {"most attributes allowed", "<r>" + attributes(kMaxAttributes, "a") + "</r>", nullptr},
      {"one attribute more", "<r>" + attributes(kMaxAttributes + 1, "a") + "</r>", "attributes"},
      {"namespace declarations", "<r>" + attributes(kMaxAttributes + 1, "xmlns:p") + "</r>", "attributes"},
      {"UTF-16 within", utf16("<?xml version='1.0' encoding='UTF-16'?>" + nested(kMaxElementDepth)), nullptr},
      {"UTF-16 too deep", utf16(nested(kMaxElementDepth + 1)), "deeper than"},
      {"markup hidden by its encoding", "<?xml version='1.0' encoding='UTF-7'?><r>+ADw-e+AD4-</r>", "encoding"},
      {"EBCDIC", "\x4C\x6F\xA7\x94\x93\x40\xA5\x85\x99\xA2\x89\x96\x95", "EBCDIC"},
  };
  for (const auto& c : cases) {
    std::string message;
    const bool parsed = Hvd::Xml::ParseXmlBytes(c.text, &message) != nullptr;
    EXPECT_EQ(parsed, c.refusal == nullptr) << c.what << ": " << message;
    if (c.refusal != nullptr) {
      EXPECT_NE(message.find(c.refusal), std::string::npos) << c.what << ": " << message;
    }
  }
  TempDir dir;  // files are bounded the same way
  TempDir::Write(dir / "deep.xhlc", nested(kMaxElementDepth + 1));
  std::string message;
  EXPECT_FALSE(Hvd::Xml::ParseXmlFile((dir / "deep.xhlc").c_str(), &message));
  EXPECT_NE(message.find("deep.xhlc: elements nest deeper than"), std::string::npos) << message;
}

// Writes down what it is handed, as a text: "<uri|prefix:name attr=value ...>", "</>", text in
// quotes and "!" for a comment or instruction.
class RecordingDiverter final : public Hvd::Xml::ContentDiverter {
 public:
  explicit RecordingDiverter(std::string name) : m_name(std::move(name)) {}
  bool Diverts(std::size_t depth, const XMLCh* uri, const XMLCh* prefix, const XMLCh* localName) override {
    asked += std::to_string(depth) + XmlTest::Narrow(localName) + " ";
    return XmlTest::Narrow(localName) == m_name && XmlTest::Narrow(uri) == "u" && XmlTest::Narrow(prefix).empty();
  }
  void StartElement(const XMLCh* uri, const XMLCh* prefix, const XMLCh* localName, const Attribute* attributes,
                    std::size_t count) override {
    seen += "<" + XmlTest::Narrow(uri) + "|" + XmlTest::Narrow(prefix) + ":" + XmlTest::Narrow(localName);
    for (std::size_t i = 0; i < count; ++i) {
      seen += " " + XmlTest::Narrow(attributes[i].uri) + "|" + XmlTest::Narrow(attributes[i].prefix) + ":" +
              XmlTest::Narrow(attributes[i].localName) + "=" + XmlTest::Narrow(attributes[i].value);
    }
    seen += ">";
  }
  void EndElement() override { seen += "</>"; }
  void Characters(const XMLCh* text, std::size_t length) override {
    seen += "'" + XmlTest::Narrow(std::u16string(text, length).c_str()) + "'";
  }
  void Other() override { seen += "!"; }

  std::string asked;
  std::string seen;

 private:
  std::string m_name;
};

// The element's children as a text: element names in order, text in quotes.
std::string Children(const xercesc::DOMNode* node) {
  std::string out;
  for (const xercesc::DOMNode* child = node->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
    out += child->getNodeType() == xercesc::DOMNode::ELEMENT_NODE ? XmlTest::Narrow(child->getNodeName()) + " "
                                                                  : "'" + XmlTest::Narrow(child->getNodeValue()) + "' ";
  }
  return out;
}

// The content a diverter asks for reaches it, resolved and in order, and never the document;
// everything around it, and a later element of the same name, is built as ever.
TEST(SafeDomParserTest, DivertedContentGoesToTheDiverterAndTheRestToTheDocument) {
  TempDir dir;
  TempDir::Write(dir / "d.xml",
                 "<r xmlns='u' xmlns:p='u' xmlns:q='w'><a/>"
                 "<s p:k='1&amp;2'> <e q:x='y' z='3'>t&lt;<!--c--><?pi d?><f/></e><p:g/></s>"
                 "<b><s/></b><s><kept/></s><c>after</c></r>");
  RecordingDiverter diverter("s");
  Hvd::Xml::SafeDomParser parser;
  std::string bytes;
  auto document = parser.ParseFile((dir / "d.xml").c_str(), &bytes, &diverter);
  ASSERT_TRUE(document) << parser.Message();
  EXPECT_FALSE(bytes.empty());
  // Asked of every element up to the first yes, never of what it took.
  EXPECT_EQ(diverter.asked, "0r 1a 1s ");
  EXPECT_EQ(diverter.seen,
            "' '<u|:e w|q:x=y |:z=3>'t''<'!!<u|:f></></><u|p:g></>");
  const xercesc::DOMElement* root = document->getDocumentElement();
  EXPECT_EQ(Children(root), "a s b s c ");
  const xercesc::DOMElement* diverted = root->getFirstElementChild()->getNextElementSibling();
  EXPECT_EQ(Children(diverted), "");
  EXPECT_EQ(XmlTest::Narrow(diverted->getAttributeNS(u"u", u"k")), "1&2");
  EXPECT_EQ(Children(diverted->getNextElementSibling()), "s ");
  EXPECT_EQ(Children(diverted->getNextElementSibling()->getNextElementSibling()), "kept ");
  EXPECT_EQ(Children(root->getLastElementChild()), "'after' ");

  // An empty element asked for: nothing handed over, and the parse goes on as ever.
  RecordingDiverter empty("a");
  document = parser.ParseFile((dir / "d.xml").c_str(), &bytes, &empty);
  ASSERT_TRUE(document) << parser.Message();
  EXPECT_EQ(empty.asked, "0r 1a ");
  EXPECT_EQ(empty.seen, "");
  EXPECT_EQ(Children(document->getDocumentElement()), "a s b s c ");
  EXPECT_EQ(Children(document->getDocumentElement()->getFirstElementChild()->getNextElementSibling()), "' ' e p:g ");

  // A parse without one builds the whole document again, and a failed parse gives none.
  document = parser.ParseFile((dir / "d.xml").c_str(), &bytes);
  ASSERT_TRUE(document);
  EXPECT_EQ(Children(document->getDocumentElement()->getFirstElementChild()->getNextElementSibling()), "' ' e p:g ");
  TempDir::Write(dir / "bad.xml", "<r xmlns='u'><s><e></s></r>");
  RecordingDiverter failed("s");
  EXPECT_FALSE(parser.ParseFile((dir / "bad.xml").c_str(), &bytes, &failed));
}

}  // namespace
