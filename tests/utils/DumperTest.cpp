// The diagnostic dumper: the bytes of a trace, its escaping of any text, and the trace calls by name.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IDumper.h"
#include "Prjrep/StandIns.h"
#include "utils/Factory.h"
#include "utils/DmUtils.h"
#include "utils/DumperComp.h"

namespace {

using Hvd::kFailure;
using Hvd::kSuccess;
using Prjrep::AutoRelease;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class DumperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    std::filesystem::create_directories(m_dir);
    // Made through the factory, as the code that opens a trace makes it.
    m_dumper = AutoRelease<Hvd::IDumper>(CitP::Factory::CreateInstance(Hvd::ClassId::DumperComp()));
  }
  void TearDown() override {
    m_dumper = nullptr;
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    std::filesystem::remove_all(m_dir);
  }
  // The closed trace, every timestamp as "N".
  std::string Trace() {
    std::ignore = m_dumper->Close();
    return std::regex_replace(ReadAll(m_path), std::regex("timestamp=\"[0-9]+\""), "timestamp=\"N\"");
  }

  AutoRelease<Hvd::IDumper> m_dumper;
  std::string m_dir = ::testing::TempDir() + "dumper_" + std::to_string(getpid()), m_path = m_dir + "/pr_audit.xml";
};

// Markup becomes entities; bytes XML cannot hold are written as visible "\xNN". Trace calls for a name without
// a dumper, and audit records even with one, write nothing; an unmatched end marker leaves the root open.
TEST_F(DumperTest, TraceCallsByteForByteEscapingWhatXmlCannotHoldAndSkippingWhatHasNoDumper) {
  AutoRelease<CitI::IInterface> other(CitP::Factory::CreateInstance(Hvd::ClassId::ProjRefUtils()));
  const AutoRelease<CitI::IInterface> registry = Hvd::GetNamedObjectRegistryCLSID();
  ASSERT_TRUE(Hvd::RegisterNamedObject(registry, "not_a_dumper", other.Get(), true) == kSuccess &&
              Hvd::RegisterNamedObject(registry, "pr_audit", m_dumper.Get(), true) == kSuccess);
  ASSERT_EQ(m_dumper->Open(m_path), kSuccess);
  for (const char* name : {"unregistered", "not_a_dumper", ""}) {
    Hvd::ScopedDumpMarker(name, "T").Note("n");
    Hvd::DumpNoteAttribute(name, "k", "v");
  }
  Hvd::AuditRecord("pr_audit", "Save").Note("saving");
  {
    Hvd::ScopedDumpMarker marker("pr_audit", "T");
    marker.NoteAttribute("file", "..\\lib\\b.v");  // marker notes write backslashes as slashes
  }
  Hvd::DumpEndMarker("pr_audit");
  Hvd::DumpNoteAttribute("pr_audit", "raw", "x\\y");
  Hvd::DumpNote("pr_audit", std::string("a<b & \"c\">d &amp;|bell\x07 nul") + '\0' +
                                "\x1f|tab\tline\r\n|del\x7f|utf8 \xc3\xa9 \xf0\x9f\x98\x80|bad \xff\xc3|"
                                "surrogate \xed\xa0\x80|\xef\xbf\xbf");
  EXPECT_EQ(Trace(),
            "<Dumper ><task \n  name=\"T\"><begin_marker \n  timestamp=\"N\"/>\n"
            "<note \n  timestamp=\"N\"\n  file=\"../lib/b.v\"/>\n<end_marker \n  timestamp=\"N\"/>\n</task>\n"
            "<end_marker \n  timestamp=\"N\"/>\n"
            "<note \n  timestamp=\"N\"\n  raw=\"x\\y\"/>\n<note \n  timestamp=\"N\"\n  message=\"a&lt;b &amp; "
            "&quot;c&quot;&gt;d &amp;amp;|bell\\x07 nul\\x00\\x1f|tab&#9;line&#13;&#10;|del\x7f|utf8 \xc3\xa9 "
            "\xf0\x9f\x98\x80|bad \\xff\\xc3|surrogate \\xed\\xa0\\x80|\\xef\\xbf\\xbf\"/>\n</Dumper>\n");
  const std::string raw = ReadAll(m_path);  // the timestamp is the wall clock in seconds
  EXPECT_NEAR(std::stoll(raw.substr(raw.find("timestamp=\"") + 11)), static_cast<long long>(std::time(nullptr)), 5);
}

// A FIFO at the name is refused at once instead of waiting for a reader. Should the open wait,
// a reader comes after ten seconds to release it, so that the test fails instead of hanging.
TEST_F(DumperTest, AFifoIsRefusedWithoutWaiting) {
  const std::string fifo = m_dir + "/fifo.xml";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto before = std::signal(SIGPIPE, SIG_IGN);
  std::atomic<bool> done{false};
  Hvd::Status opened = kSuccess;
  std::thread opener([&] {
    opened = m_dumper->Open(fifo);
    done = true;
  });
  for (int wait = 0; wait < 2000 && !done; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const bool waited = !done;
  while (!done) {
    if (const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); fd >= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      ::close(fd);
    }
  }
  opener.join();
  std::ignore = m_dumper->Close();
  std::signal(SIGPIPE, before);
  EXPECT_FALSE(waited);
  EXPECT_EQ(opened, kFailure);
  EXPECT_TRUE(m_dumper->IsClosed());
}

// Open appends; a path it cannot write leaves the dumper inert. Names cannot be escaped: one that is not an XML
// name, or an attribute the element has already, is refused and writes nothing; so is an attribute after text.
TEST_F(DumperTest, OpenAppendsElementsAttributesAndTextThroughTheInterface) {
  std::ofstream(m_path) << "earlier\n";
  for (const std::string& bad : {m_dir + "/missing/dir/trace.xml", m_dir, std::string()}) {
    EXPECT_TRUE(m_dumper->Open(bad) == kFailure && m_dumper->IsClosed() && m_dumper->BeginElement("a") == kFailure &&
                m_dumper->Close() == kSuccess)
        << bad;
  }
  const std::string names[] = {"a", "_x", "n:s", "\xc3\xa9t\xc3\xa9", "a-1.b\xc2\xb7\xcc\x80", "\xe5\x90\x8d"};
  const std::string notNames[] = {"", "a b", "a<b", "1a", ".a", "\xff", "a\xc3", "\u0300a", "a\xc3\x97", {"a\0", 2}};
  ASSERT_EQ(m_dumper->Open(m_path), kSuccess);
  EXPECT_EQ(m_dumper->Open(m_dir + "/other.xml"), kFailure) << "a second Open leaves the open file alone";
  EXPECT_FALSE(std::filesystem::exists(m_dir + "/other.xml") || std::filesystem::exists(m_dir + "/missing"));
  ASSERT_EQ(m_dumper->BeginElement("e"), kSuccess);
  for (const std::string& name : notNames) {
    EXPECT_TRUE(m_dumper->BeginElement(name) == kFailure && m_dumper->AddAttribute(name, "v") == kFailure) << name;
  }
  for (const std::string& name : names) EXPECT_EQ(m_dumper->AddAttribute(name, "v"), kSuccess) << name;
  ASSERT_TRUE(m_dumper->AddAttribute("_x", "again") == kFailure && m_dumper->BeginElement(names[5]) == kSuccess);
  EXPECT_TRUE(m_dumper->AddAttribute("_x", "own") == kSuccess && m_dumper->EndElement() == kSuccess) << "its own";
  EXPECT_TRUE(m_dumper->AddText("x&y\r\n\t") == kSuccess && m_dumper->AddAttribute("late", "x") == kFailure);
  EXPECT_TRUE(m_dumper->EndElement() == kSuccess && m_dumper->EndElement() == kFailure) << "the root is left to Close";
  EXPECT_EQ(Trace(),
            "earlier\n<Dumper ><e \n  a=\"v\"\n  _x=\"v\"\n  n:s=\"v\"\n  \xc3\xa9t\xc3\xa9=\"v\"\n  "
            "a-1.b\xc2\xb7\xcc\x80=\"v\"\n  \xe5\x90\x8d=\"v\"><\xe5\x90\x8d \n  _x=\"own\"/>\nx&amp;y&#13;\n\t</e>\n"
            "</Dumper>\n");
}

// Raw text goes out byte for byte, markup and entities as they are, and only while the file is open.
TEST_F(DumperTest, RawTextIsWrittenAsItIsWhileTheFileIsOpen) {
  m_dumper->WriteRaw("closed\n");
  ASSERT_EQ(m_dumper->Open(m_path), kSuccess);
  ASSERT_EQ(m_dumper->AddText(""), kSuccess);
  m_dumper->WriteRaw("<raw a=\"&amp;\">x < y</raw>\n");
  ASSERT_EQ(m_dumper->BeginElement("e"), kSuccess);
  EXPECT_EQ(Trace(), "<Dumper ><raw a=\"&amp;\">x < y</raw>\n<e />\n</Dumper>\n");
  m_dumper->WriteRaw("closed again\n");
  EXPECT_EQ(ReadAll(m_path), "<Dumper ><raw a=\"&amp;\">x < y</raw>\n<e />\n</Dumper>\n");
}

}  // namespace
