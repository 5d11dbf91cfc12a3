// Replacing a file must never leave it half written: each step is made to fail in turn.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "Port/FaultInjection.h"
#include "XmlTestSupport.h"
#include "projectfiles/XmlSerializer.h"
#include "utils/AtomicFile.h"

namespace {

TEST(AtomicFileTest, ReplacesContentAndKeepsPermissions) {
  XmlTest::ScratchDir dir;
  const std::string path = dir / "p.xhlc";
  std::string message;
  ASSERT_EQ(Hvd::WriteFileAtomically(path, "first", &message), Hvd::kSuccess) << message;
  EXPECT_EQ(XmlTest::ReadText(path), "first");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(Hvd::WriteFileAtomically(path, std::string(100000, 'x')), Hvd::kSuccess);
  EXPECT_EQ(XmlTest::ReadText(path), std::string(100000, 'x'));
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"p.xhlc"});
  EXPECT_EQ(Hvd::WriteFileAtomically(dir / "missing/p.xhlc", "x", &message), Hvd::kFailure);
  EXPECT_FALSE(message.empty());
}

TEST(AtomicFileTest, AFailedStepLeavesTheOldFileAndNoTemporary) {
  Port::FaultInjection::Scope scope;
  XmlTest::ScratchDir dir;
  const std::string path = dir / "p.xhlc";
  const std::string old = "old \x01\x02 bytes\n";
  for (const char* step : {"mkstemp", "write", "fsync", "close", "rename"}) {
    XmlTest::WriteText(path, old);
    Port::FaultInjection::Fail(step, 1, "p.xhlc");
    std::string message;
    EXPECT_EQ(Hvd::WriteFileAtomically(path, "new content", &message), Hvd::kFailure) << step;
    EXPECT_NE(message.find(step), std::string::npos) << message;
    EXPECT_EQ(XmlTest::ReadText(path), old) << step;
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"p.xhlc"}) << step;
  }
  // Nothing stays armed: the next write goes through.
  EXPECT_EQ(Hvd::WriteFileAtomically(path, "new content"), Hvd::kSuccess);
  EXPECT_EQ(XmlTest::ReadText(path), "new content");
}

TEST(AtomicFileTest, DocumentsAreWrittenThroughTheAtomicWriter) {
  Port::FaultInjection::Scope scope;
  XmlTest::ScratchDir dir;
  const std::string path = dir / "p.xhlc";
  XmlTest::WriteText(path, "<old/>");
  auto document = XmlTest::NewDocument();
  ASSERT_TRUE(document);
  Port::FaultInjection::Fail("rename", 1, "p.xhlc");
  std::string message;
  EXPECT_EQ(Hvd::Xml::WriteDocumentFile(document.get(), path, &message), Hvd::kFailure);
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(XmlTest::ReadText(path), "<old/>");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"p.xhlc"});
  EXPECT_EQ(Hvd::Xml::WriteDocumentFile(nullptr, path, &message), Hvd::kFailure);
}

}  // namespace
