// The diagnostic dumper: the bytes of a trace, its escaping, and the trace calls by name.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IDumper.h"
#include "Prjrep/StandIns.h"
#include "core/Holders.h"
#include "framework/Factory.h"
#include "utils/DmUtils.h"
#include "utils/DumperComp.h"

namespace {

using Hvd::kFailure;
using Hvd::kSuccess;
using Prjrep::AutoRelease;
using Strings = std::vector<std::string>;
namespace X = xercesc;

std::string ReadAll(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

std::string Utf8(const XMLCh* text) {
  X::TranscodeToStr bytes(text, "UTF-8");
  return std::string(reinterpret_cast<const char*>(bytes.str()), bytes.length());
}

// The parse errors, the root's tag, then each element below it in document order as tag|name|message.
// Xerces lives only while one trace is read, so nothing of it is left for LeakSanitizer.
Strings Parse(const std::string& text) {
  Strings out;
  X::XMLPlatformUtils::Initialize();
  {
    X::XercesDOMParser parser;
    parser.setLoadExternalDTD(false);
    parser.setDisableDefaultEntityResolution(true);
    parser.parse(X::MemBufInputSource(reinterpret_cast<const XMLByte*>(text.data()), text.size(), "trace"));
    out.push_back("errors=" + std::to_string(parser.getErrorCount()));
    if (parser.getErrorCount() == 0) {
      const X::DOMElement* root = parser.getDocument()->getDocumentElement();
      out.push_back(Utf8(root->getTagName()));
      const X::DOMNodeList* below = root->getElementsByTagName(u"*");
      for (XMLSize_t i = 0; i < below->getLength(); ++i) {
        const auto* e = static_cast<const X::DOMElement*>(below->item(i));
        out.push_back(Utf8(e->getTagName()) + "|" + Utf8(e->getAttribute(u"name")) + "|" +
                      Utf8(e->getAttribute(u"message")));
      }
    }
  }
  X::XMLPlatformUtils::Terminate();
  return out;
}

class DumperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    std::filesystem::create_directories(m_dir);
    // Made through the factory, as the code that opens a trace makes it.
    m_dumper = AutoRelease<Hvd::IDumper>(CitP::Factory::CreateInstance(Hvd::ClassId::DumperComp()));
    ASSERT_NE(m_dumper.Get(), nullptr);
  }
  void TearDown() override {
    m_dumper = nullptr;
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    std::filesystem::remove_all(m_dir);
  }
  // Opens the dumper on the trace file and registers it as "pr_audit", where the trace calls find it.
  void Register() {
    ASSERT_EQ(m_dumper->Open(m_path), kSuccess);
    ASSERT_EQ(Hvd::RegisterNamedObject(Registry(), "pr_audit", m_dumper.Get(), true), kSuccess);
  }
  // The closed trace, every timestamp as "N".
  std::string Trace() {
    std::ignore = m_dumper->Close();
    return std::regex_replace(ReadAll(m_path), std::regex("timestamp=\"[0-9]+\""), "timestamp=\"N\"");
  }
  static AutoRelease<CitI::IInterface> Registry() { return Hvd::GetNamedObjectRegistryCLSID(); }

  AutoRelease<Hvd::IDumper> m_dumper;
  std::string m_dir = ::testing::TempDir() + "dumper_" + std::to_string(getpid());
  std::string m_path = m_dir + "/pr_audit.xml";
};

// Markup becomes entities; bytes XML cannot hold are written as visible "\xNN".
TEST_F(DumperTest, TasksAndNotesByteForByteEscapingWhatXmlCannotHold) {
  Register();
  {
    Hvd::ScopedDumpMarker marker("pr_audit", "T");
    marker.Note("C:\\work\\a.vhd");  // marker notes write backslashes as slashes
    marker.NoteAttribute("file", "..\\lib\\b.v");
  }
  Hvd::DumpNoteAttribute("pr_audit", "raw", "x\\y");
  Hvd::DumpNote("pr_audit", "a<b & \"c\">d &amp;");
  Hvd::DumpNote("pr_audit", std::string("bell\x07 nul") + '\0' + "\x1f|tab\tline\r\n|del\x7f");
  Hvd::DumpNote("pr_audit",
                "utf8 \xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80|bad \xff\xc3|surrogate \xed\xa0\x80|\xef\xbf\xbf");
  EXPECT_EQ(Trace(),
            "<Dumper ><task \n  name=\"T\"><begin_marker \n  timestamp=\"N\"/>\n"
            "<note \n  timestamp=\"N\"\n  message=\"C:/work/a.vhd\"/>\n"
            "<note \n  timestamp=\"N\"\n  file=\"../lib/b.v\"/>\n"
            "<end_marker \n  timestamp=\"N\"/>\n</task>\n"
            "<note \n  timestamp=\"N\"\n  raw=\"x\\y\"/>\n"
            "<note \n  timestamp=\"N\"\n  message=\"a&lt;b &amp; &quot;c&quot;&gt;d &amp;amp;\"/>\n"
            "<note \n  timestamp=\"N\"\n  message=\"bell\\x07 nul\\x00\\x1f|tab&#9;line&#13;&#10;|del\x7f\"/>\n"
            "<note \n  timestamp=\"N\"\n  message=\"utf8 \xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80|bad \\xff\\xc3|"
            "surrogate \\xed\\xa0\\x80|\\xef\\xbf\\xbf\"/>\n</Dumper>\n");
  // The timestamp is the wall clock in seconds.
  std::smatch stamp;
  const std::string raw = ReadAll(m_path);
  ASSERT_TRUE(std::regex_search(raw, stamp, std::regex("timestamp=\"([0-9]+)\"")));
  EXPECT_NEAR(std::stoll(stamp[1]), static_cast<std::int64_t>(std::time(nullptr)), 5);
}

TEST_F(DumperTest, OpenAppendsAnEmptyRootAndUnwritablePathsLeaveTheDumperInert) {
  { std::ofstream(m_path) << "earlier\n"; }
  for (const std::string& bad : {m_dir + "/missing/dir/trace.xml", m_dir, std::string()}) {
    EXPECT_EQ(m_dumper->Open(bad), kFailure) << bad;
    EXPECT_TRUE(m_dumper->IsClosed());
    EXPECT_EQ(m_dumper->BeginElement("a"), kFailure);
    EXPECT_EQ(m_dumper->Close(), kSuccess);
  }
  EXPECT_FALSE(std::filesystem::exists(m_dir + "/missing"));
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(m_dumper->Open(m_path), kSuccess);
    EXPECT_EQ(m_dumper->Open(m_dir + "/other.xml"), kFailure) << "a second Open leaves the open file alone";
    EXPECT_FALSE(m_dumper->IsClosed());
    EXPECT_EQ(m_dumper->Close(), kSuccess);
    EXPECT_TRUE(m_dumper->IsClosed());
  }
  EXPECT_FALSE(std::filesystem::exists(m_dir + "/other.xml"));
  EXPECT_EQ(ReadAll(m_path), "earlier\n<Dumper />\n<Dumper />\n");
}

// Trace calls for a name without a dumper, and audit records even with one, write nothing; an
// unmatched end marker leaves the root open for what follows.
TEST_F(DumperTest, TraceCallsWithoutADumperAuditRecordsAndAnUnmatchedEndLeaveTheRootAlone) {
  Register();
  AutoRelease<CitI::IInterface> other(CitP::Factory::CreateInstance(Hvd::ClassId::ProjRefUtils()));
  std::ignore = Hvd::RegisterNamedObject(Registry(), "not_a_dumper", other.Get(), true);
  for (const char* name : {"unregistered", "not_a_dumper", ""}) {
    Hvd::ScopedDumpMarker marker(name, "T");
    marker.Note("n");
    Hvd::DumpNoteAttribute(name, "k", "v");
    Hvd::DumpBeginMarker(name, "U");
    Hvd::DumpEndMarker(name);
  }
  Hvd::AuditRecord record("pr_audit", "Save");
  record.Note("saving");
  record.SetAttribute("path", "/p/a.xhlc");
  Hvd::DumpEndMarker("pr_audit");
  Hvd::DumpNote("pr_audit", "after");
  EXPECT_EQ(
      Trace(),
      "<Dumper ><end_marker \n  timestamp=\"N\"/>\n<note \n  timestamp=\"N\"\n  message=\"after\"/>\n</Dumper>\n");
}

// Names cannot be escaped: one that is not an XML name, or an attribute the element has
// already, is refused and writes nothing. An attribute after text is refused too.
TEST_F(DumperTest, ElementsAttributesAndTextThroughTheInterface) {
  const Strings names = {"a", "_x", "n:s", "\xc3\xa9t\xc3\xa9", "a-1.b\xc2\xb7\xcc\x80", "\xe5\x90\x8d"};
  const Strings notNames = {"",   "a b",  "a<b",  "k&",    "1a",      "-a",        ".a",      "a\"",
                            "a=", "a\tb", "\xff", "a\xc3", "\u0300a", "a\xc3\x97", {"a\0", 2}};
  ASSERT_EQ(m_dumper->Open(m_path), kSuccess);
  for (const std::string& name : notNames) EXPECT_EQ(m_dumper->BeginElement(name), kFailure) << name;
  ASSERT_EQ(m_dumper->BeginElement("e"), kSuccess);
  for (const std::string& name : notNames) EXPECT_EQ(m_dumper->AddAttribute(name, "v"), kFailure) << name;
  for (const std::string& name : names) EXPECT_EQ(m_dumper->AddAttribute(name, "v"), kSuccess) << name;
  EXPECT_EQ(m_dumper->AddAttribute("_x", "again"), kFailure);
  ASSERT_EQ(m_dumper->BeginElement(names.back()), kSuccess);
  EXPECT_EQ(m_dumper->AddAttribute("_x", "own"), kSuccess) << "each element has its own attributes";
  EXPECT_EQ(m_dumper->EndElement(), kSuccess);
  std::ignore = m_dumper->AddText("x&y\r\n\t");
  EXPECT_EQ(m_dumper->AddAttribute("late", "dropped"), kFailure);
  EXPECT_EQ(m_dumper->EndElement(), kSuccess);
  EXPECT_EQ(m_dumper->EndElement(), kFailure) << "the root is left to Close";
  EXPECT_EQ(Trace(),
            "<Dumper ><e \n  a=\"v\"\n  _x=\"v\"\n  n:s=\"v\"\n  \xc3\xa9t\xc3\xa9=\"v\"\n"
            "  a-1.b\xc2\xb7\xcc\x80=\"v\"\n  \xe5\x90\x8d=\"v\"><\xe5\x90\x8d \n  _x=\"own\"/>\n"
            "x&amp;y&#13;\n\t</e>\n</Dumper>\n");
}

// Printable text with markup and multibyte characters survives unchanged; arbitrary bytes,
// which XML cannot always hold, still give a parseable trace.
TEST_F(DumperTest, TracesOfArbitraryTextParseAndRoundTripWhatXmlCanHold) {
  Strings fragments = {"&amp;", "]]>", "?>", "<!--", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "\r\n", "  "};
  for (const char c : std::string("aZ &<>\"'\\/=\t\n\r")) fragments.emplace_back(1, c);
  std::mt19937 random(20261206);
  Strings holdable, arbitrary;
  for (int i = 0; i < 40; ++i) {
    std::string text, bytes(random() % 16, '\0');
    for (int k = static_cast<int>(random() % 12); k > 0; --k) text += fragments[random() % fragments.size()];
    for (char& c : bytes) c = static_cast<char>(random() % 256);
    holdable.push_back(text);
    arbitrary.push_back(bytes);
  }
  Register();
  {
    Hvd::ScopedDumpMarker marker("pr_audit", "Round & <trip>");
    for (const Strings* texts : {&holdable, &arbitrary}) {
      for (const std::string& text : *texts) Hvd::DumpNote("pr_audit", text);
    }
    for (const char* name : {"timestamp", "", "a b"}) Hvd::DumpNoteAttribute("pr_audit", name, "refused");
  }
  const Strings parsed = Parse(Trace());
  ASSERT_EQ(parsed.size(), 8 + holdable.size() + arbitrary.size()) << ReadAll(m_path);
  EXPECT_EQ(Strings(parsed.begin(), parsed.begin() + 4),
            (Strings{"errors=0", "Dumper", "task|Round & <trip>|", "begin_marker||"}));
  for (std::size_t i = 0; i < holdable.size(); ++i) EXPECT_EQ(parsed[4 + i], "note||" + holdable[i]);
  EXPECT_EQ(Strings(parsed.end() - 4, parsed.end()), (Strings{"note||", "note||", "note||", "end_marker||"}));
}

}  // namespace
