// The component registry, and the message capture it reports through.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "CitP/Factory.h"
#include "CommonI/IRefCount.h"
#include "Port/MsgMan.h"

namespace {

using Port::XUID;
using Severity = Port_MsgManData::Severity;

const XUID kClassA("{6f1c2a10-0d3e-4b5a-9c11-000000000001}");
const XUID kClassB("{6f1c2a10-0d3e-4b5a-9c11-000000000002}");

struct Product : CitI::IInterface {
  CitI::IInterface* QueryInterface(const XUID&) override { return this; }
};

// A factory of kClassA products that counts its references and never deletes itself.
class FakeFactory : public CitI::IFactory, public CommonI::IRefCount {
 public:
  CitI::IInterface* QueryInterface(const XUID& iid) override {
    if (iid == CommonI::IRefCount::GetIID()) return static_cast<CommonI::IRefCount*>(this);
    return iid == CitI::IInterface::GetIID() || iid == CitI::IFactory::GetIID() ? static_cast<CitI::IFactory*>(this)
                                                                                : nullptr;
  }
  CitI::IInterface* CreateInstance(const XUID& clsid) override {
    ++creates;
    return clsid == kClassA ? new Product() : nullptr;
  }
  std::uint64_t AddRef() override { return std::uint64_t(++refs); }
  std::uint64_t Release() override { return std::uint64_t(--refs); }
  std::uint64_t GetRefCount(std::int32_t& count) override {
    count = refs;
    return 1;
  }
  int refs = 0, creates = 0;
};

class FactoryRegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { CitP::Factory::Shutdown(); }  // the registry is global: leave no fakes in it
  static bool Creates(const XUID& clsid) {
    return std::unique_ptr<CitI::IInterface>(CitP::Factory::CreateInstance(clsid)) != nullptr;
  }
  FakeFactory a, b;
};

TEST_F(FactoryRegistryTest, RegisteringTakesOneReferenceReplacingAndShutdownReleaseEachFactoryOnce) {
  CitP::Factory::RegisterFactory(kClassA, &a);
  CitP::Factory::RegisterFactory(kClassA, &a);  // the same factory again: still one
  EXPECT_EQ(a.refs, 1);
  EXPECT_TRUE(CitP::Factory::IsRegistered(kClassA) && Creates(kClassA));
  EXPECT_FALSE(CitP::Factory::IsRegistered(kClassB) || Creates(kClassB));  // an unknown id
  b.refs = 5;                                                              // references held elsewhere stay
  CitP::Factory::RegisterFactory(kClassA, &b);
  EXPECT_TRUE(Creates(kClassA));
  EXPECT_TRUE(a.refs == 0 && b.refs == 6) << "creation keeps no extra reference";
  EXPECT_TRUE(a.creates == 1 && b.creates == 1);
  CitP::Factory::RegisterFactory(kClassB, &a);
  for (int round = 0; round < 2; ++round) {  // the second has nothing left to release
    CitP::Factory::Shutdown();
    EXPECT_TRUE(a.refs == 0 && b.refs == 5) << round;
    EXPECT_FALSE(CitP::Factory::IsRegistered(kClassA) || CitP::Factory::IsRegistered(kClassB) || Creates(kClassA));
  }
}

TEST_F(FactoryRegistryTest, LoadingAMissingLibraryFailsWithADebugMessageEachTime) {
  for (int attempt = 0; attempt < 2; ++attempt) {  // a failed load is not remembered as loaded
    Port_MsgManData::ClearCaptured();
    EXPECT_FALSE(CitP::Factory::LoadLibraryFactory("NoSuchComponentLibrary_9f3e"));
    const auto records = Port_MsgManData::Captured();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].severity == Severity::Debug &&
                records[0].text.find("NoSuchComponentLibrary_9f3e") != std::string::npos);
  }
  EXPECT_FALSE(CitP::Factory::LoadLibraryFactory("") || CitP::Factory::LoadLibraryFactory(nullptr));
}

TEST(MsgManTest, MessagesAreCapturedWithTheirSourceUntilCleared) {
  Port_MsgManData::ClearCaptured();
  const auto msg = Port_MsgManData::createObject("ProjectMgmt", "Project.cpp", 42, "1.7");
  msg.issueError("cannot open %s (%d)", "a.prj", 13);
  msg.issueWarning("w%d", 1);
  msg.issueInfo("%s", "info");
  msg.issueStatus("%05.2f%%", 2.5);
  Port_MsgManData::debugStub("100%s done\n");  // verbatim, no source
  std::string seen;                            // severity (Debug, Error, Warning, Info, Status as 0..4), text, source
  for (const auto& r : Port_MsgManData::Captured()) {
    seen += std::to_string(int(r.severity)) + r.text + "@" + r.category + r.source + std::to_string(r.line) +
            r.revision + ";";
  }
  const std::string from = "@ProjectMgmtProject.cpp421.7;";
  EXPECT_EQ(seen,
            "1cannot open a.prj (13)" + from + "2w1" + from + "3info" + from + "402.50%" + from + "0100%s done\n@0;");
  Port_MsgManData::ClearCaptured();
  EXPECT_TRUE(Port_MsgManData::Captured().empty());
}

// A quiet host: the user's messages reach standard error, the developer's lines only when
// shown; both are captured either way.
TEST(MsgManTest, DeveloperLinesReachStandardErrorOnlyWhenShown) {
  Port_MsgManData::ClearCaptured();
  EXPECT_FALSE(Port_MsgManData::DebugShown());
  const auto msg = Port_MsgManData::createObject("ProjectMgmt", "Project.cpp", 7, "");
  testing::internal::CaptureStderr();
  Port_MsgManData::debugStub("developer line\n");
  msg.issueWarning("user warning\n");
  msg.issueError("user error\n");
  std::string written = testing::internal::GetCapturedStderr();
  EXPECT_EQ(written, "Warning (ProjectMgmt): user warning\nError (ProjectMgmt): user error\n");

  Port_MsgManData::ShowDebug(true);
  testing::internal::CaptureStderr();
  Port_MsgManData::debugStub("developer line\n");
  written = testing::internal::GetCapturedStderr();
  Port_MsgManData::ShowDebug(false);
  EXPECT_EQ(written, "developer line\n");
  const auto records = Port_MsgManData::Captured();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_TRUE(records[0].severity == Severity::Debug && records[3].severity == Severity::Debug);
  Port_MsgManData::ClearCaptured();
}

}  // namespace
