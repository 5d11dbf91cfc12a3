// The host's road: load the component library by name, create by class id, release.

#include <gtest/gtest.h>

#include <vector>

#include "CitP/Factory.h"
#include "CommonI/IRefCount.h"
#include "Prjrep/IRefCount.h"
#include "library/RegisteredClasses.h"

namespace {

const std::vector<Port::XUID> kClassIds = Hvd::ClassIdsOf(Hvd::RegisteredClasses{});

TEST(HostRoadTest, LoadCreateQueryReleaseShutDownAndUnknownLibrariesAreRefused) {
  EXPECT_FALSE(CitP::Factory::LoadLibraryFactory("libNoSuchComponentLibrary"));
  EXPECT_FALSE(CitP::Factory::LoadLibraryFactory(""));
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_DesignData"));
  EXPECT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_DesignData"));  // once is enough
  for (const Port::XUID& clsid : kClassIds) {
    SCOPED_TRACE(clsid.GetAsString().c_str());
    ASSERT_TRUE(CitP::Factory::IsRegistered(clsid));
    CitI::IInterface* root = CitP::Factory::CreateInstance(clsid);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->QueryInterface(CitI::IInterface::GetIID()), root);
    auto* count = static_cast<Prjrep::IRefCount*>(root->QueryInterface(Prjrep::IRefCount::GetIID()));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->GetRefCount(), 1);
    std::ignore = count->Release();
  }
  CitP::Factory::Shutdown();
  EXPECT_EQ(CitP::Factory::CreateInstance(kClassIds[0]), nullptr);

  // After a shutdown the library registers again when loaded again.
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_DesignData"));
  CitI::IInterface* root = CitP::Factory::CreateInstance(kClassIds[1]);
  ASSERT_NE(root, nullptr);
  std::ignore = static_cast<Prjrep::IRefCount*>(root->QueryInterface(Prjrep::IRefCount::GetIID()))->Release();
  CitP::Factory::Shutdown();
}

}  // namespace
