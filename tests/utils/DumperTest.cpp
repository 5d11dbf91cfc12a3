// The diagnostic dumper: the bytes of a trace, its escaping, and the trace calls by name.

#include <gtest/gtest.h>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>
#include <unistd.h>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IDumper.h"
#include "Prjrep/StandIns.h"
#include "framework/Factory.h"
#include "core/Holders.h"
#include "utils/DmUtils.h"
#include "utils/DumperComp.h"

namespace {

using Hvd::kFailure;
using Hvd::kSuccess;

namespace X = xercesc;
using Prjrep::AutoRelease;

std::string ReadAll(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

class DumperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    std::filesystem::create_directories(m_dir);
  }
  void TearDown() override {
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    std::filesystem::remove_all(m_dir);
  }

  // A dumper made through the factory, as the code that opens a trace makes it.
  static AutoRelease<Hvd::IDumper> NewDumper() {
    return AutoRelease<Hvd::IDumper>(CitP::Factory::CreateInstance(Hvd::ClassId::DumperComp()));
  }
  // The trace written by `write` to a dumper registered as "pr_audit", every timestamp as "N".
  template <class Write>
  std::string Traced(Write write) {
    AutoRelease<Hvd::IDumper> dumper = NewDumper();
    EXPECT_EQ(dumper->Open(m_path), kSuccess);
    EXPECT_EQ(Hvd::RegisterNamedObject(Registry(), "pr_audit", dumper.Get(), true), kSuccess);
    write();
    std::ignore = dumper->Close();
    return std::regex_replace(ReadAll(m_path), std::regex("timestamp=\"[0-9]+\""), "timestamp=\"N\"");
  }
  static AutoRelease<CitI::IInterface> Registry() { return Hvd::GetNamedObjectRegistryCLSID(); }

  std::string m_dir = ::testing::TempDir() + "dumper_" + std::to_string(getpid());
  std::string m_path = m_dir + "/pr_audit.xml";
};

TEST_F(DumperTest, ScopedMarkerWritesATaskWithNotesByteForByte) {
  const auto before = static_cast<std::int64_t>(std::time(nullptr));
  EXPECT_EQ(Traced([] {
              {
                Hvd::ScopedDumpMarker marker("pr_audit", "T");
                marker.Note("C:\\work\\a.vhd");  // marker notes write backslashes as slashes
                marker.NoteAttribute("file", "..\\lib\\b.v");
              }
              Hvd::DumpNoteAttribute("pr_audit", "raw", "x\\y");
            }),
            "<Dumper ><task \n  name=\"T\"><begin_marker \n  timestamp=\"N\"/>\n"
            "<note \n  timestamp=\"N\"\n  message=\"C:/work/a.vhd\"/>\n"
            "<note \n  timestamp=\"N\"\n  file=\"../lib/b.v\"/>\n"
            "<end_marker \n  timestamp=\"N\"/>\n</task>\n"
            "<note \n  timestamp=\"N\"\n  raw=\"x\\y\"/>\n</Dumper>\n");
  // The timestamp is the wall clock in seconds.
  std::smatch stamp;
  const std::string raw = ReadAll(m_path);
  ASSERT_TRUE(std::regex_search(raw, stamp, std::regex("timestamp=\"([0-9]+)\"")));
  EXPECT_GE(std::stoll(stamp[1]), before);
  EXPECT_LE(std::stoll(stamp[1]), static_cast<std::int64_t>(std::time(nullptr)));
}

TEST_F(DumperTest, MarkupAndCharactersXmlCannotHoldAreEscaped) {
  EXPECT_EQ(Traced([] {
              Hvd::DumpNote("pr_audit", "a<b & \"c\">d &amp;");
              Hvd::DumpNote("pr_audit", std::string("bell\x07 nul") + '\0' + "\x1f|tab\tline\r\n|del\x7f");
              Hvd::DumpNote("pr_audit", "utf8 \xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80|bad \xff\xc3|"
                                        "surrogate \xed\xa0\x80|\xef\xbf\xbf");
            }),
            "<Dumper ><note \n  timestamp=\"N\"\n  message=\"a&lt;b &amp; &quot;c&quot;&gt;d &amp;amp;\"/>\n"
            "<note \n  timestamp=\"N\"\n  message=\"bell\\x07 nul\\x00\\x1f|tab&#9;line&#13;&#10;|del\x7f\"/>\n"
            "<note \n  timestamp=\"N\"\n  message=\"utf8 \xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80|bad \\xff\\xc3|"
            "surrogate \\xed\\xa0\\x80|\\xef\\xbf\\xbf\"/>\n</Dumper>\n");
}

TEST_F(DumperTest, OpenAppendsAnEmptyRootAndUnwritablePathsLeaveTheDumperInert) {
  { std::ofstream(m_path) << "earlier\n"; }
  AutoRelease<Hvd::IDumper> dumper = NewDumper();
  for (const std::string& bad : {m_dir + "/missing/dir/trace.xml", m_dir, std::string()}) {
    EXPECT_EQ(dumper->Open(bad), Hvd::kFailure) << bad;
    EXPECT_TRUE(dumper->IsClosed());
    EXPECT_EQ(dumper->BeginElement("a"), Hvd::kFailure);
    EXPECT_EQ(dumper->Close(), Hvd::kSuccess);
  }
  EXPECT_FALSE(std::filesystem::exists(m_dir + "/missing"));
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(dumper->Open(m_path), Hvd::kSuccess);
    EXPECT_EQ(dumper->Open(m_dir + "/other.xml"), Hvd::kFailure) << "a second Open leaves the open file alone";
    EXPECT_FALSE(dumper->IsClosed());
    EXPECT_EQ(dumper->Close(), Hvd::kSuccess);
    EXPECT_TRUE(dumper->IsClosed());
  }
  EXPECT_FALSE(std::filesystem::exists(m_dir + "/other.xml"));
  EXPECT_EQ(ReadAll(m_path), "earlier\n<Dumper />\n<Dumper />\n");
}

// Trace calls for a name without a dumper, and audit records even with one, write nothing.
TEST_F(DumperTest, TraceCallsWithoutADumperAndAuditRecordsWriteNothing) {
  AutoRelease<CitI::IInterface> other(CitP::Factory::CreateInstance(Hvd::ClassId::ProjRefUtils()));
  std::ignore = Hvd::RegisterNamedObject(Registry(), "not_a_dumper", other.Get(), true);
  EXPECT_EQ(Traced([] {
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
            }),
            "<Dumper />\n");
}

// --- Reading a trace back with an XML parser -------------------------------------------

std::string Utf8(const XMLCh* text) {
  X::TranscodeToStr bytes(text, "UTF-8");
  return std::string(reinterpret_cast<const char*>(bytes.str()), bytes.length());
}

// The parse errors, the root's tag, then each element below it in document order as tag|name|message.
// Xerces lives only while one trace is read, so nothing of it is left for LeakSanitizer.
std::vector<std::string> Parse(const std::string& text) {
  std::vector<std::string> out;
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

// Names cannot be escaped: one that is not an XML name, or an attribute the element has
// already, is refused and writes nothing. An attribute after text is refused too.
TEST_F(DumperTest, ElementsAttributesAndTextThroughTheInterface) {
  const std::vector<std::string> names = {"a", "_x", "n:s", "\xc3\xa9t\xc3\xa9", "a-1.b\xc2\xb7\xcc\x80",
                                          "\xe5\x90\x8d"};
  const std::vector<std::string> notNames = {"",     "a b",  "a<b",       "k&",        "1a",       "-a",
                                             ".a",   "a\"",  "a=",        "a\tb",      "\xff",     "a\xc3",
                                             "\xcc\x80" "a", "a\xc3\x97", {"a\0", 2}};
  AutoRelease<Hvd::IDumper> dumper = NewDumper();
  ASSERT_EQ(dumper->Open(m_path), Hvd::kSuccess);
  for (const std::string& name : notNames) EXPECT_EQ(dumper->BeginElement(name), Hvd::kFailure) << name;
  ASSERT_EQ(dumper->BeginElement("e"), Hvd::kSuccess);
  for (const std::string& name : notNames) EXPECT_EQ(dumper->AddAttribute(name, "v"), Hvd::kFailure) << name;
  for (const std::string& name : names) EXPECT_EQ(dumper->AddAttribute(name, "v"), Hvd::kSuccess) << name;
  EXPECT_EQ(dumper->AddAttribute("_x", "again"), Hvd::kFailure);
  ASSERT_EQ(dumper->BeginElement(names.back()), Hvd::kSuccess);
  EXPECT_EQ(dumper->AddAttribute("_x", "own"), Hvd::kSuccess) << "each element has its own attributes";
  EXPECT_EQ(dumper->EndElement(), Hvd::kSuccess);
  std::ignore = dumper->AddText("x&y\r\n\t");
  EXPECT_EQ(dumper->AddAttribute("late", "dropped"), Hvd::kFailure);
  EXPECT_EQ(dumper->EndElement(), kSuccess);
  EXPECT_EQ(dumper->EndElement(), kFailure) << "the root is left to Close";
  std::ignore = dumper->Close();
  const std::string trace = ReadAll(m_path);
  EXPECT_EQ(trace,
            "<Dumper ><e \n  a=\"v\"\n  _x=\"v\"\n  n:s=\"v\"\n  \xc3\xa9t\xc3\xa9=\"v\"\n"
            "  a-1.b\xc2\xb7\xcc\x80=\"v\"\n  \xe5\x90\x8d=\"v\"><\xe5\x90\x8d \n  _x=\"own\"/>\n"
            "x&amp;y&#13;\n\t</e>\n</Dumper>\n");
  EXPECT_EQ(Parse(trace), (std::vector<std::string>{"errors=0", "Dumper", "e||", "\xe5\x90\x8d||"}));
}

TEST_F(DumperTest, TracesOfArbitraryTextParseAndRoundTripWhatXmlCanHold) {
  std::mt19937 random(20261206);
  // Printable text with markup and multibyte characters survives unchanged; arbitrary bytes,
  // which XML cannot always hold, still give a parseable trace.
  const std::vector<std::string> fragments = {"a", "Z", " ", "&", "<", ">", "\"", "'", "&amp;", "]]>", "\\", "/",
                                           "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "=", "?>", "<!--",
                                           "\t", "\n", "\r", "\r\n", "  "};
  std::vector<std::string> holdable, arbitrary;
  for (int i = 0; i < 40; ++i) {
    std::string text, bytes(random() % 16, '\0');
    for (int k = static_cast<int>(random() % 12); k > 0; --k) text += fragments[random() % fragments.size()];
    for (char& c : bytes) c = static_cast<char>(random() % 256);
    holdable.push_back(text);
    arbitrary.push_back(bytes);
  }

  const std::vector<std::string> parsed = Parse(Traced([&] {
    Hvd::ScopedDumpMarker marker("pr_audit", "Round & <trip>");
    for (const auto* texts : {&holdable, &arbitrary}) {
      for (const std::string& text : *texts) Hvd::DumpNote("pr_audit", text);
    }
    for (const char* name : {"timestamp", "", "a b"}) Hvd::DumpNoteAttribute("pr_audit", name, "refused");
  }));
  ASSERT_EQ(parsed.size(), 8 + holdable.size() + arbitrary.size()) << ReadAll(m_path);
  EXPECT_EQ(std::vector<std::string>(parsed.begin(), parsed.begin() + 4),
            (std::vector<std::string>{"errors=0", "Dumper", "task|Round & <trip>|", "begin_marker||"}));
  for (std::size_t i = 0; i < holdable.size(); ++i) EXPECT_EQ(parsed[4 + i], "note||" + holdable[i]);
  EXPECT_EQ(std::vector<std::string>(parsed.end() - 4, parsed.end()),
            (std::vector<std::string>{"note||", "note||", "note||", "end_marker||"}));
}

TEST_F(DumperTest, AnUnmatchedEndMarkerLeavesTheRootOpen) {
  EXPECT_EQ(Parse(Traced([] {
              Hvd::DumpEndMarker("pr_audit");
              Hvd::DumpNote("pr_audit", "after");
            })),
            (std::vector<std::string>{"errors=0", "Dumper", "end_marker||", "note||after"}));
}

}  // namespace
