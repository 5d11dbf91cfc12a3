// The component registry, and the message capture it reports through.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

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

// A factory of kClassA products that counts its references and never deletes itself, so a
// test can check the registry's balance after the fact.
class FakeFactory : public CitI::IFactory, public CommonI::IRefCount {
 public:
  CitI::IInterface* QueryInterface(const XUID& iid) override {
    if (iid == CommonI::IRefCount::GetIID()) return static_cast<CommonI::IRefCount*>(this);
    const bool asFactory = iid == CitI::IInterface::GetIID() || iid == CitI::IFactory::GetIID();
    return asFactory ? static_cast<CitI::IFactory*>(this) : nullptr;
  }
  CitI::IInterface* CreateInstance(const XUID& clsid) override {
    ++creates;
    return clsid == kClassA ? new Product() : nullptr;
  }
  std::uint64_t AddRef() override { return static_cast<std::uint64_t>(++refs); }
  std::uint64_t Release() override { return static_cast<std::uint64_t>(--refs); }
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

TEST_F(FactoryRegistryTest, RegisteringTakesOneReferenceAndReplacingReleasesTheOldFactory) {
  CitP::Factory::RegisterFactory(kClassA, &a);
  CitP::Factory::RegisterFactory(kClassA, &a);  // the same factory again: still one
  EXPECT_EQ(a.refs, 1);
  EXPECT_TRUE(CitP::Factory::IsRegistered(kClassA) && Creates(kClassA));
  EXPECT_FALSE(CitP::Factory::IsRegistered(kClassB) || Creates(kClassB));  // an unknown id
  CitP::Factory::RegisterFactory(kClassA, &b);
  EXPECT_TRUE(Creates(kClassA));
  EXPECT_EQ(a.refs, 0);
  EXPECT_EQ(b.refs, 1);  // creation keeps no extra reference
  EXPECT_TRUE(a.creates == 1 && b.creates == 1);
}

TEST_F(FactoryRegistryTest, ShutdownReleasesEveryFactoryOnce) {
  b.refs = 5;  // references held elsewhere stay
  CitP::Factory::RegisterFactory(kClassA, &a);
  CitP::Factory::RegisterFactory(kClassB, &b);
  for (int round = 0; round < 2; ++round) {  // the second has nothing left to release
    CitP::Factory::Shutdown();
    EXPECT_EQ(a.refs, 0);
    EXPECT_EQ(b.refs, 5);
    EXPECT_FALSE(CitP::Factory::IsRegistered(kClassA) || CitP::Factory::IsRegistered(kClassB) || Creates(kClassA));
  }
}

TEST_F(FactoryRegistryTest, LoadingAMissingLibraryFailsWithADebugMessageEachTime) {
  for (int attempt = 0; attempt < 2; ++attempt) {  // a failed load is not remembered as loaded
    Port_MsgManData::ClearCaptured();
    EXPECT_FALSE(CitP::Factory::LoadLibraryFactory("NoSuchComponentLibrary_9f3e"));
    const auto records = Port_MsgManData::Captured();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].severity, Severity::Debug);
    EXPECT_NE(records[0].text.find("NoSuchComponentLibrary_9f3e"), std::string::npos);
  }
  EXPECT_FALSE(CitP::Factory::LoadLibraryFactory("") || CitP::Factory::LoadLibraryFactory(nullptr));
  Port_MsgManData::ClearCaptured();
}

TEST(MsgManTest, MessagesAreCapturedWithTheirSourceUntilCleared) {
  Port_MsgManData::ClearCaptured();
  const auto msg = Port_MsgManData::createObject("ProjectMgmt", "Project.cpp", 42, "1.7");
  msg.issueError("cannot open %s (%d)", "a.prj", 13);
  msg.issueWarning("w%d", 1);
  msg.issueInfo("%s", "info");
  msg.issueStatus("%05.2f%%", 2.5);
  Port_MsgManData::debugStub("100%s done\n");  // verbatim, no source
  const std::pair<Severity, std::string> expected[] = {{Severity::Error, "cannot open a.prj (13)"},
                                                       {Severity::Warning, "w1"},
                                                       {Severity::Info, "info"},
                                                       {Severity::Status, "02.50%"},
                                                       {Severity::Debug, "100%s done\n"}};
  const auto records = Port_MsgManData::Captured();
  ASSERT_EQ(records.size(), 5u);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const bool issued = i < 4;
    EXPECT_TRUE(records[i].severity == expected[i].first && records[i].text == expected[i].second) << i;
    EXPECT_TRUE(records[i].category == (issued ? "ProjectMgmt" : "") &&
                records[i].source == (issued ? "Project.cpp" : "") && records[i].line == (issued ? 42 : 0) &&
                records[i].revision == (issued ? "1.7" : ""))
        << i;
  }
  Port_MsgManData::ClearCaptured();
  EXPECT_TRUE(Port_MsgManData::Captured().empty());
}

}  // namespace
