#include "CitP/Factory.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "CommonI/IRefCount.h"
#include "Port/MsgMan.h"

namespace {

using Port::XUID;

const XUID kClassA("{6f1c2a10-0d3e-4b5a-9c11-000000000001}");
const XUID kClassB("{6f1c2a10-0d3e-4b5a-9c11-000000000002}");

// What a factory creates: remembers the class id it was made for.
class Product : public CitI::IInterface {
 public:
  explicit Product(const XUID& clsid) : clsid(clsid) {}
  CitI::IInterface* QueryInterface(const XUID& iid) override { return iid == GetIID() ? this : nullptr; }
  XUID clsid;
};

// A factory of one class that counts its references and never deletes itself, so a
// test can check the registry's balance after the fact.
class FakeFactory : public CitI::IFactory, public CommonI::IRefCount {
 public:
  explicit FakeFactory(const XUID& own, bool counted = true) : own(own), counted(counted) {}

  CitI::IInterface* QueryInterface(const XUID& iid) override {
    if (iid == CitI::IInterface::GetIID() || iid == CitI::IFactory::GetIID()) return static_cast<CitI::IFactory*>(this);
    if (counted && iid == CommonI::IRefCount::GetIID()) return static_cast<CommonI::IRefCount*>(this);
    return nullptr;
  }
  CitI::IInterface* CreateInstance(const XUID& clsid) override {
    ++creates;
    asked = clsid;
    return clsid == own ? new Product(clsid) : nullptr;
  }
  std::uint64_t AddRef() override { return static_cast<std::uint64_t>(++refs); }
  std::uint64_t Release() override { return static_cast<std::uint64_t>(--refs); }
  std::uint64_t GetRefCount(std::int32_t& count) override {
    count = refs;
    return 1;
  }

  XUID own;
  bool counted;
  int refs = 0;
  int creates = 0;
  XUID asked;
};

class FactoryRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CitP::Factory::Shutdown();
    Port_MsgManData::ClearCaptured();
  }
  // The registry is global: leave nothing behind that points at this test's fakes.
  void TearDown() override {
    CitP::Factory::Shutdown();
    Port_MsgManData::ClearCaptured();
  }

  static std::unique_ptr<CitI::IInterface> Create(const XUID& clsid) {
    return std::unique_ptr<CitI::IInterface>(CitP::Factory::CreateInstance(clsid));
  }

  FakeFactory a{kClassA};
  FakeFactory b{kClassA};
};

TEST_F(FactoryRegistryTest, RegisterTakesOneReference) {
  CitP::Factory::RegisterFactory(kClassA, &a);
  EXPECT_EQ(a.refs, 1);
  EXPECT_TRUE(CitP::Factory::IsRegistered(kClassA));
  EXPECT_FALSE(CitP::Factory::IsRegistered(kClassB));

  CitP::Factory::RegisterFactory(kClassA, &a);  // same factory again: still one
  EXPECT_EQ(a.refs, 1);
}

TEST_F(FactoryRegistryTest, ReRegisteringReleasesTheReplacedFactory) {
  CitP::Factory::RegisterFactory(kClassA, &a);
  CitP::Factory::RegisterFactory(kClassA, &b);
  EXPECT_EQ(a.refs, 0);
  EXPECT_EQ(b.refs, 1);

  EXPECT_NE(Create(kClassA), nullptr);
  EXPECT_EQ(a.creates, 0);
  EXPECT_EQ(b.creates, 1);
}

TEST_F(FactoryRegistryTest, CreateInstanceAsksTheRegisteredFactory) {
  EXPECT_EQ(Create(kClassA), nullptr);

  CitP::Factory::RegisterFactory(kClassA, &a);
  CitP::Factory::RegisterFactory(kClassB, &b);  // b only makes kClassA objects
  const auto made = Create(kClassA);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(static_cast<Product*>(made.get())->clsid, kClassA);
  EXPECT_EQ(a.asked, kClassA);

  EXPECT_EQ(Create(kClassB), nullptr);  // refused by its factory
  EXPECT_EQ(b.creates, 1);
  EXPECT_EQ(b.asked, kClassB);
  EXPECT_EQ(a.refs, 1);  // creation keeps no extra reference
  EXPECT_EQ(b.refs, 1);
}

TEST_F(FactoryRegistryTest, FactoryWithoutRefCountIsRefused) {
  FakeFactory uncounted(kClassA, /*counted=*/false);
  CitP::Factory::RegisterFactory(kClassA, &uncounted);
  EXPECT_FALSE(CitP::Factory::IsRegistered(kClassA));
  const auto records = Port_MsgManData::Captured();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].severity, Port_MsgManData::Severity::Debug);
}

TEST_F(FactoryRegistryTest, ShutdownReleasesEveryFactoryOnce) {
  FakeFactory c(kClassB);
  c.refs = 5;  // references held elsewhere stay
  CitP::Factory::RegisterFactory(kClassA, &a);
  CitP::Factory::RegisterFactory(kClassB, &c);
  ASSERT_EQ(c.refs, 6);

  CitP::Factory::Shutdown();
  EXPECT_EQ(a.refs, 0);
  EXPECT_EQ(c.refs, 5);
  EXPECT_FALSE(CitP::Factory::IsRegistered(kClassA));
  EXPECT_FALSE(CitP::Factory::IsRegistered(kClassB));
  EXPECT_EQ(Create(kClassA), nullptr);

  CitP::Factory::Shutdown();  // nothing left to release
  EXPECT_EQ(a.refs, 0);
  EXPECT_EQ(c.refs, 5);
}

TEST_F(FactoryRegistryTest, LoadingAMissingLibraryFailsWithDebugMessage) {
  EXPECT_FALSE(CitP::Factory::LoadLibraryFactory("NoSuchComponentLibrary_9f3e"));
  const auto records = Port_MsgManData::Captured();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].severity, Port_MsgManData::Severity::Debug);
  EXPECT_NE(records[0].text.find("LoadLibraryFactory"), std::string::npos);
  EXPECT_NE(records[0].text.find("NoSuchComponentLibrary_9f3e"), std::string::npos);

  // A failed load is not remembered as loaded.
  EXPECT_FALSE(CitP::Factory::LoadLibraryFactory("NoSuchComponentLibrary_9f3e"));
  EXPECT_FALSE(CitP::Factory::LoadLibraryFactory(""));
  EXPECT_FALSE(CitP::Factory::LoadLibraryFactory(nullptr));
}

}  // namespace
