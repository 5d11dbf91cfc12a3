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
#include "framework/Holders.h"
#include "utils/DmUtils.h"
#include "utils/DumperComp.h"

namespace {

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
    EXPECT_EQ(dumper->Open(m_path), 1u);
    EXPECT_EQ(Hvd::RegisterNamedObject(Registry(), "pr_audit", dumper.Get(), true), 1u);
    write();
    dumper->Close();
    return std::regex_replace(ReadAll(m_path), std::regex("timestamp=\"[0-9]+\""), "timestamp=\"N\"");
  }
  static AutoRelease<CitI::IInterface> Registry() {
    return AutoRelease<CitI::IInterface>(Hvd::GetNamedObjectRegistryCLSID());
  }

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
              Hvd::DumpNote("pr_audit", std::string("bell\x07 nul") + '\0' + "\x1f|tab\tline\n|del\x7f");
              Hvd::DumpNote("pr_audit", "utf8 \xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80|bad \xff\xc3|"
                                        "surrogate \xed\xa0\x80|\xef\xbf\xbf");
            }),
            "<Dumper ><note \n  timestamp=\"N\"\n  message=\"a&lt;b &amp; &quot;c&quot;&gt;d &amp;amp;\"/>\n"
            "<note \n  timestamp=\"N\"\n  message=\"bell\\x07 nul\\x00\\x1f|tab\tline\n|del\x7f\"/>\n"
            "<note \n  timestamp=\"N\"\n  message=\"utf8 \xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80|bad \\xff\\xc3|"
            "surrogate \\xed\\xa0\\x80|\\xef\\xbf\\xbf\"/>\n</Dumper>\n");
}

// Element and attribute names are escaped too; an attribute after text is refused.
TEST_F(DumperTest, ElementsAttributesAndTextThroughTheInterface) {
  AutoRelease<Hvd::IDumper> dumper = NewDumper();
  ASSERT_EQ(dumper->Open(m_path), 1u);
  dumper->BeginElement("a<b");
  EXPECT_EQ(dumper->AddAttribute("k&", "v"), 1u);
  dumper->AddText("x&y");
  EXPECT_EQ(dumper->AddAttribute("late", "dropped"), 0u);
  EXPECT_EQ(dumper->EndElement(), 1u);
  EXPECT_EQ(dumper->EndElement(), 0u) << "the root is left to Close";
  dumper->Close();
  EXPECT_EQ(ReadAll(m_path), "<Dumper ><a&lt;b \n  k&amp;=\"v\">x&amp;y</a&lt;b>\n</Dumper>\n");
}

TEST_F(DumperTest, OpenAppendsAnEmptyRootAndUnwritablePathsLeaveTheDumperInert) {
  { std::ofstream(m_path) << "earlier\n"; }
  AutoRelease<Hvd::IDumper> dumper = NewDumper();
  for (const std::string& bad : {m_dir + "/missing/dir/trace.xml", m_dir, std::string()}) {
    EXPECT_EQ(dumper->Open(bad), 0u) << bad;
    EXPECT_TRUE(dumper->IsClosed());
    EXPECT_EQ(dumper->BeginElement("a"), 0u);
    EXPECT_EQ(dumper->Close(), 1u);
  }
  EXPECT_FALSE(std::filesystem::exists(m_dir + "/missing"));
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(dumper->Open(m_path), 1u);
    EXPECT_EQ(dumper->Open(m_dir + "/other.xml"), 0u) << "a second Open leaves the open file alone";
    EXPECT_FALSE(dumper->IsClosed());
    EXPECT_EQ(dumper->Close(), 1u);
    EXPECT_TRUE(dumper->IsClosed());
  }
  EXPECT_FALSE(std::filesystem::exists(m_dir + "/other.xml"));
  EXPECT_EQ(ReadAll(m_path), "earlier\n<Dumper />\n<Dumper />\n");
}

// Trace calls for a name without a dumper, and audit records even with one, write nothing.
TEST_F(DumperTest, TraceCallsWithoutADumperAndAuditRecordsWriteNothing) {
  AutoRelease<CitI::IInterface> other(CitP::Factory::CreateInstance(Hvd::ClassId::ProjRefUtils()));
  Hvd::RegisterNamedObject(Registry(), "not_a_dumper", other.Get(), true);
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

TEST_F(DumperTest, TracesOfArbitraryTextParseAndRoundTripWhatXmlCanHold) {
  std::mt19937 random(20261206);
  // Printable text with markup and multibyte characters survives unchanged; arbitrary bytes,
  // which XML cannot always hold, still give a parseable trace.
  const std::vector<std::string> fragments = {"a", "Z", " ", "&", "<", ">", "\"", "'", "&amp;", "]]>", "\\", "/",
                                           "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "=", "?>", "<!--"};
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
  }));
  ASSERT_EQ(parsed.size(), 5 + holdable.size() + arbitrary.size()) << ReadAll(m_path);
  EXPECT_EQ(std::vector<std::string>(parsed.begin(), parsed.begin() + 4),
            (std::vector<std::string>{"errors=0", "Dumper", "task|Round & <trip>|", "begin_marker||"}));
  for (std::size_t i = 0; i < holdable.size(); ++i) EXPECT_EQ(parsed[4 + i], "note||" + holdable[i]);
  EXPECT_EQ(parsed.back(), "end_marker||");
}

TEST_F(DumperTest, AnUnmatchedEndMarkerLeavesTheRootOpen) {
  EXPECT_EQ(Parse(Traced([] {
              Hvd::DumpEndMarker("pr_audit");
              Hvd::DumpNote("pr_audit", "after");
            })),
            (std::vector<std::string>{"errors=0", "Dumper", "end_marker||", "note||after"}));
}

}  // namespace
