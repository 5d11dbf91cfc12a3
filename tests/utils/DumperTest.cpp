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
using String = Port::StringBase<char>;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The trace with every timestamp value replaced by "N".
std::string Normalized(const std::string& text) {
  static const std::regex kStamp("timestamp=\"[0-9]+\"");
  return std::regex_replace(text, kStamp, "timestamp=\"N\"");
}

class DumperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    m_dir = ::testing::TempDir() + "dumper_" + std::to_string(getpid());
    std::filesystem::create_directories(m_dir);
    m_path = m_dir + "/pr_audit.xml";
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
  // A new dumper, open on the trace file and registered under `name`.
  AutoRelease<Hvd::IDumper> Registered(const char* name = "pr_audit") {
    AutoRelease<Hvd::IDumper> dumper = NewDumper();
    EXPECT_EQ(dumper->Open(m_path), 1u);
    AutoRelease<CitI::IInterface> registry(Hvd::GetNamedObjectRegistryCLSID());
    EXPECT_EQ(Hvd::RegisterNamedObject(registry, name, dumper.Get(), true), 1u);
    return dumper;
  }
  std::string Trace() const { return Normalized(ReadAll(m_path)); }

  std::string m_dir, m_path;
};

TEST_F(DumperTest, FactoryMakesAClosedDumperThatAnswersItsFaces) {
  AutoRelease<Hvd::IDumper> dumper = NewDumper();
  ASSERT_NE(dumper.Get(), nullptr);
  CitI::IInterface* self = dumper.Get();
  EXPECT_EQ(self->QueryInterface(CitI::IInterface::GetIID()), self);
  EXPECT_EQ(self->QueryInterface(Hvd::IDumper::GetIID()), self);
  auto* count = static_cast<Prjrep::IRefCount*>(self->QueryInterface(Prjrep::IRefCount::GetIID()));
  ASSERT_NE(count, nullptr);
  EXPECT_NE(static_cast<CitI::IInterface*>(count), self);
  EXPECT_EQ(count->GetRefCount(), 1);
  EXPECT_EQ(self->QueryInterface(Hvd::ClassId::DumperComp()), nullptr);
  EXPECT_TRUE(dumper->IsClosed());
}

TEST_F(DumperTest, OpenAndCloseWriteAnEmptyRootAndReopeningAppendsAnother) {
  { std::ofstream(m_path) << "earlier\n"; }
  AutoRelease<Hvd::IDumper> dumper = NewDumper();
  EXPECT_EQ(dumper->Open(m_path), 1u);
  EXPECT_FALSE(dumper->IsClosed());
  EXPECT_EQ(dumper->Close(), 1u);
  EXPECT_TRUE(dumper->IsClosed());
  EXPECT_EQ(ReadAll(m_path), "earlier\n<Dumper />\n");
  EXPECT_EQ(dumper->Open(m_path), 1u);
  EXPECT_EQ(dumper->Close(), 1u);
  EXPECT_EQ(ReadAll(m_path), "earlier\n<Dumper />\n<Dumper />\n");
}

TEST_F(DumperTest, ScopedMarkerNestsANoteInOneTaskByteForByte) {
  AutoRelease<Hvd::IDumper> dumper = Registered();
  const auto before = static_cast<std::int64_t>(std::time(nullptr));
  {
    Hvd::ScopedDumpMarker marker("pr_audit", "T");
    marker.Note("M");
  }
  const auto after = static_cast<std::int64_t>(std::time(nullptr));
  dumper->Close();
  const std::string raw = ReadAll(m_path);
  EXPECT_EQ(Normalized(raw),
            "<Dumper ><task \n  name=\"T\"><begin_marker \n  timestamp=\"N\"/>\n"
            "<note \n  timestamp=\"N\"\n  message=\"M\"/>\n"
            "<end_marker \n  timestamp=\"N\"/>\n</task>\n</Dumper>\n");
  // The timestamp is the wall clock in seconds.
  std::smatch stamp;
  ASSERT_TRUE(std::regex_search(raw, stamp, std::regex("timestamp=\"([0-9]+)\"")));
  const std::int64_t seconds = std::stoll(stamp[1]);
  EXPECT_GE(seconds, before);
  EXPECT_LE(seconds, after);
}

TEST_F(DumperTest, MarkerNotesWriteBackslashesAsSlashes) {
  AutoRelease<Hvd::IDumper> dumper = Registered();
  {
    Hvd::ScopedDumpMarker marker("pr_audit", "Copy");
    marker.Note("C:\\work\\a.vhd");
    marker.NoteAttribute("file", "..\\lib\\b.v");
  }
  Hvd::DumpNoteAttribute("pr_audit", "raw", "x\\y");
  dumper->Close();
  EXPECT_EQ(Trace(),
            "<Dumper ><task \n  name=\"Copy\"><begin_marker \n  timestamp=\"N\"/>\n"
            "<note \n  timestamp=\"N\"\n  message=\"C:/work/a.vhd\"/>\n"
            "<note \n  timestamp=\"N\"\n  file=\"../lib/b.v\"/>\n"
            "<end_marker \n  timestamp=\"N\"/>\n</task>\n"
            "<note \n  timestamp=\"N\"\n  raw=\"x\\y\"/>\n</Dumper>\n");
}

TEST_F(DumperTest, MarkupAndCharactersXmlCannotHoldAreEscaped) {
  AutoRelease<Hvd::IDumper> dumper = Registered();
  Hvd::DumpNote("pr_audit", "a<b & \"c\">d &amp;");
  Hvd::DumpNote("pr_audit", std::string("bell\x07 nul", 9) + std::string(1, '\0') + "\x1f|tab\tline\n|del\x7f");
  Hvd::DumpNote("pr_audit", "utf8 \xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80|bad \xff\xc3|surrogate \xed\xa0\x80|\xef\xbf\xbf");
  dumper->Close();
  EXPECT_EQ(Trace(),
            "<Dumper ><note \n  timestamp=\"N\"\n  message=\"a&lt;b &amp; &quot;c&quot;&gt;d &amp;amp;\"/>\n"
            "<note \n  timestamp=\"N\"\n  message=\"bell\\x07 nul\\x00\\x1f|tab\tline\n|del\x7f\"/>\n"
            "<note \n  timestamp=\"N\"\n  message=\"utf8 \xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80|bad \\xff\\xc3|"
            "surrogate \\xed\\xa0\\x80|\\xef\\xbf\\xbf\"/>\n</Dumper>\n");
}

TEST_F(DumperTest, ElementsAttributesAndTextThroughTheInterface) {
  AutoRelease<Hvd::IDumper> dumper = NewDumper();
  // Closed: everything is refused or ignored, only AddText still answers 1.
  EXPECT_EQ(dumper->BeginElement("a"), 0u);
  EXPECT_EQ(dumper->AddAttribute("k", "v"), 0u);
  EXPECT_EQ(dumper->EndElement(), 0u);
  EXPECT_EQ(dumper->AddText("t"), 1u);
  dumper->WriteRaw("raw");

  ASSERT_EQ(dumper->Open(m_path), 1u);
  EXPECT_EQ(dumper->BeginElement("a<b"), 1u);
  EXPECT_EQ(dumper->AddAttribute("k", "v"), 1u);
  EXPECT_EQ(dumper->AddText("x&y"), 1u);
  EXPECT_EQ(dumper->AddAttribute("late", "dropped"), 0u) << "the start tag is complete";
  EXPECT_EQ(dumper->BeginElement("c"), 1u);
  EXPECT_EQ(dumper->EndElement(), 1u);
  dumper->WriteRaw("<raw & \"unescaped\">");
  EXPECT_EQ(dumper->EndElement(), 1u);
  EXPECT_EQ(dumper->EndElement(), 0u) << "the root is left to Close";
  EXPECT_EQ(dumper->AddAttribute("k", "v"), 0u);
  EXPECT_EQ(dumper->Close(), 1u);
  EXPECT_EQ(ReadAll(m_path),
            "<Dumper ><a&lt;b \n  k=\"v\">x&amp;y<c />\n<raw & \"unescaped\"></a&lt;b>\n</Dumper>\n");
}

TEST_F(DumperTest, DestructionLeavesOpenElementsUnterminated) {
  {
    AutoRelease<Hvd::IDumper> dumper = NewDumper();
    dumper->Open(m_path);
    dumper->BeginElement("task");
    dumper->AddAttribute("name", "cut");
  }
  EXPECT_EQ(ReadAll(m_path), "<Dumper ><task \n  name=\"cut\"");
}

TEST_F(DumperTest, UnwritableLocationsAreReportedAndLeaveTheDumperInert) {
  AutoRelease<Hvd::IDumper> dumper = NewDumper();
  EXPECT_EQ(dumper->Open(m_dir + "/missing/dir/trace.xml"), 0u);
  EXPECT_TRUE(dumper->IsClosed());
  EXPECT_EQ(dumper->Open(m_dir), 0u) << "a directory";
  EXPECT_EQ(dumper->Open(""), 0u);
  EXPECT_EQ(dumper->BeginElement("a"), 0u);
  EXPECT_EQ(dumper->EndElement(), 0u);
  EXPECT_EQ(dumper->Close(), 1u);
  EXPECT_FALSE(std::filesystem::exists(m_dir + "/missing"));

  // The same dumper still opens a good file afterwards; a second Open leaves it alone.
  ASSERT_EQ(dumper->Open(m_path), 1u);
  EXPECT_EQ(dumper->Open(m_dir + "/other.xml"), 0u);
  EXPECT_FALSE(std::filesystem::exists(m_dir + "/other.xml"));
  dumper->BeginElement("a");
  dumper->Close();
  EXPECT_EQ(ReadAll(m_path), "<Dumper ><a />\n</Dumper>\n");
}

// Trace calls for a name without a dumper, and audit records even with one, write nothing.
TEST_F(DumperTest, TraceCallsWithoutADumperAndAuditRecordsWriteNothing) {
  AutoRelease<Hvd::IDumper> dumper = Registered("pr_audit");
  AutoRelease<CitI::IInterface> registry(Hvd::GetNamedObjectRegistryCLSID());
  AutoRelease<CitI::IInterface> other(CitP::Factory::CreateInstance(Hvd::ClassId::ProjRefUtils()));
  Hvd::RegisterNamedObject(registry, "not_a_dumper", other.Get(), true);
  for (const char* name : {"unregistered", "not_a_dumper", ""}) {
    Hvd::ScopedDumpMarker marker(name, "T");
    marker.Note("n");
    Hvd::DumpNote(name, "n");
    Hvd::DumpNoteAttribute(name, "k", "v");
    Hvd::DumpBeginMarker(name, "U");
    Hvd::DumpEndMarker(name);
  }
  {
    Hvd::AuditRecord record("pr_audit", "Save");
    record.Note("saving");
    record.SetAttribute("path", "/p/a.xhlc");
  }
  dumper->Close();
  EXPECT_EQ(ReadAll(m_path), "<Dumper />\n");
}

// --- Reading a trace back with an XML parser -------------------------------------------

std::string Utf8(const XMLCh* text) {
  X::TranscodeToStr bytes(text, "UTF-8");
  return std::string(reinterpret_cast<const char*>(bytes.str()), bytes.length());
}

std::vector<const X::DOMElement*> Children(const X::DOMElement& parent) {
  std::vector<const X::DOMElement*> children;
  for (const X::DOMElement* e = parent.getFirstElementChild(); e != nullptr; e = e->getNextElementSibling()) {
    children.push_back(e);
  }
  return children;
}

struct ParsedNote {
  std::string name, message;
};
struct Parsed {
  std::size_t errors = 0;
  std::string root, task;
  std::vector<ParsedNote> children;  // of the task: tag and "message" attribute
};

// Xerces lives only while one trace is read, so nothing of it is left for LeakSanitizer.
Parsed Parse(const std::string& text) {
  Parsed parsed;
  X::XMLPlatformUtils::Initialize();
  {
    X::XercesDOMParser parser;
    parser.setLoadExternalDTD(false);
    parser.setDisableDefaultEntityResolution(true);
    X::MemBufInputSource source(reinterpret_cast<const XMLByte*>(text.data()), text.size(), "trace");
    parser.parse(source);
    parsed.errors = parser.getErrorCount();
    const X::DOMDocument* doc = parser.getDocument();
    if (parsed.errors == 0 && doc != nullptr && doc->getDocumentElement() != nullptr) {
      const X::DOMElement& root = *doc->getDocumentElement();
      parsed.root = Utf8(root.getTagName());
      if (const X::DOMElement* task = root.getFirstElementChild()) {
        parsed.task = Utf8(task->getAttribute(u"name"));
        for (const X::DOMElement* child : Children(*task)) {
          parsed.children.push_back({Utf8(child->getTagName()), Utf8(child->getAttribute(u"message"))});
        }
      }
    }
  }
  X::XMLPlatformUtils::Terminate();
  return parsed;
}

TEST_F(DumperTest, TracesOfArbitraryTextParseAndRoundTripWhatXmlCanHold) {
  std::mt19937 random(20261206);
  // Printable text with markup and multibyte characters survives unchanged.
  const std::vector<std::string> pieces = {"a", "Z", " ", "&", "<", ">", "\"", "'", "&amp;", "]]>", "\\", "/",
                                           "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "=", "?>", "<!--"};
  std::vector<std::string> holdable;
  for (int i = 0; i < 40; ++i) {
    std::string text;
    const int length = static_cast<int>(random() % 12);
    for (int k = 0; k < length; ++k) text += pieces[random() % pieces.size()];
    holdable.push_back(text);
  }
  // Arbitrary bytes, which XML cannot always hold, still give a parseable trace.
  std::vector<std::string> arbitrary;
  for (int i = 0; i < 40; ++i) {
    std::string text(random() % 16, '\0');
    for (char& c : text) c = static_cast<char>(random() % 256);
    arbitrary.push_back(text);
  }

  AutoRelease<Hvd::IDumper> dumper = Registered();
  {
    Hvd::ScopedDumpMarker marker("pr_audit", "Round & <trip>");
    for (const std::string& text : holdable) Hvd::DumpNote("pr_audit", text);
    for (const std::string& text : arbitrary) Hvd::DumpNote("pr_audit", text);
  }
  dumper->Close();

  const Parsed parsed = Parse(ReadAll(m_path));
  ASSERT_EQ(parsed.errors, 0u) << ReadAll(m_path);
  EXPECT_EQ(parsed.root, "Dumper");
  EXPECT_EQ(parsed.task, "Round & <trip>");
  ASSERT_EQ(parsed.children.size(), holdable.size() + arbitrary.size() + 2);
  EXPECT_EQ(parsed.children.front().name, "begin_marker");
  EXPECT_EQ(parsed.children.back().name, "end_marker");
  for (std::size_t i = 0; i < holdable.size(); ++i) {
    EXPECT_EQ(parsed.children[i + 1].name, "note");
    EXPECT_EQ(parsed.children[i + 1].message, holdable[i]);
  }
}

TEST_F(DumperTest, AnUnmatchedEndMarkerLeavesTheRootOpen) {
  AutoRelease<Hvd::IDumper> dumper = Registered();
  Hvd::DumpEndMarker("pr_audit");
  Hvd::DumpNote("pr_audit", "after");
  dumper->Close();
  EXPECT_EQ(Trace(),
            "<Dumper ><end_marker \n  timestamp=\"N\"/>\n<note \n  timestamp=\"N\"\n  message=\"after\"/>\n"
            "</Dumper>\n");
  EXPECT_EQ(Parse(ReadAll(m_path)).errors, 0u);
}

}  // namespace
