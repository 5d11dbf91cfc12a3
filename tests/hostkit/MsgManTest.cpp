#include "Port/MsgMan.h"

#include <gtest/gtest.h>

namespace {

using Severity = Port_MsgManData::Severity;

TEST(MsgManTest, MessagesAreCapturedWithTheirSourceUntilCleared) {
  Port_MsgManData::ClearCaptured();
  const auto msg = Port_MsgManData::createObject("ProjectMgmt", "Project.cpp", 42, "1.7");
  msg.issueError("cannot open %s (%d)", "a.prj", 13);
  msg.issueWarning("w%d", 1);
  msg.issueInfo("%s", "info");
  msg.issueStatus("%05.2f%%", 2.5);
  Port_MsgManData::debugStub("100%s done\n");  // verbatim, no source

  const auto records = Port_MsgManData::Captured();
  ASSERT_EQ(records.size(), 5u);
  const Severity severities[] = {Severity::Error, Severity::Warning, Severity::Info, Severity::Status,
                                 Severity::Debug};
  const char* texts[] = {"cannot open a.prj (13)", "w1", "info", "02.50%", "100%s done\n"};
  for (std::size_t i = 0; i < records.size(); ++i) {
    const bool issued = i < 4;
    EXPECT_EQ(records[i].severity, severities[i]) << i;
    EXPECT_EQ(records[i].text, texts[i]) << i;
    EXPECT_EQ(records[i].category, issued ? "ProjectMgmt" : "") << i;
    EXPECT_EQ(records[i].source, issued ? "Project.cpp" : "") << i;
    EXPECT_EQ(records[i].line, issued ? 42 : 0) << i;
    EXPECT_EQ(records[i].revision, issued ? "1.7" : "") << i;
  }

  Port_MsgManData::ClearCaptured();
  EXPECT_TRUE(Port_MsgManData::Captured().empty());
  msg.issueWarning("z");
  ASSERT_EQ(Port_MsgManData::Captured().size(), 1u);
  EXPECT_EQ(Port_MsgManData::Captured()[0].text, "z");
  Port_MsgManData::ClearCaptured();
}

}  // namespace
