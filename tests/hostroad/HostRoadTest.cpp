// The host's road: load the component library by name, create by class id, release.

#include <gtest/gtest.h>

#include "CitP/Factory.h"
#include "CommonI/IRefCount.h"
#include "Prjrep/IRefCount.h"

namespace {

const char* const kClassIds[] = {
    "{C51AD7FF-32CC-4d05-A02A-336C1B38A077}", "{8DD3C446-4013-42fb-89D7-C16806C906C4}",
    "{B74F4C88-9DF2-4b54-961F-8BD4D3C3083F}", "{FC89F9A3-B8AC-45e6-87E1-B4EFB7A25FA1}",
    "{CCD946C3-0A31-4325-B004-6017AB1F3CD8}", "{78179803-01DB-4f43-B67F-E83C6C856443}",
    "{E9B1C16B-62EF-4732-A7CA-00C1EFBD4051}", "{D4D73882-E473-45b4-994B-35041B8437FA}",
    "{1D685613-9E12-4282-94F5-8A0BB091F861}", "{ab757b66-4434-4cec-9985-c5074f24c4e9}",
    "{f093fe1e-b41e-42ff-a190-aed963afb728}", "{c9a3df2a-9813-43fc-baf0-39f9cf3769d1}",
    "{5162a4ab-ce2e-483e-a7aa-518730a2579e}", "{4df56ccf-c1f8-4a5d-b0a4-dab69d9e1289}",
    "{3fef7f3a-4fc0-4954-98ab-3c94fd8840b5}", "{223a7093-955a-4263-959b-c72779fcee9b}",
    "{791ed710-3d20-467e-8384-f42dfc37dcda}", "{1e940816-44f9-4116-b2a8-84a70c06b1f8}",
    "{c81c0659-8fea-4ec2-b9fa-e08fdc9a32f9}", "{46d13bb4-32d0-4956-ad01-ca173eb43e22}",
    "{53419825-3824-4e5b-b2df-895f30149960}", "{c770af8b-4548-41c5-bb3e-a69f1293f75d}",
    "{984d0d44-4f54-4cae-bb96-f1614150722f}", "{a59c675a-e7ca-49ac-a590-3803615c2b26}"};

TEST(HostRoadTest, LoadCreateQueryReleaseShutDown) {
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_DesignData"));
  EXPECT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_DesignData"));  // once is enough
  for (const char* text : kClassIds) {
    SCOPED_TRACE(text);
    const Port::XUID clsid(text);
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
  EXPECT_EQ(CitP::Factory::CreateInstance(Port::XUID(kClassIds[0])), nullptr);

  // After a shutdown the library registers again when loaded again.
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_DesignData"));
  CitI::IInterface* root = CitP::Factory::CreateInstance(Port::XUID(kClassIds[1]));
  ASSERT_NE(root, nullptr);
  std::ignore = static_cast<Prjrep::IRefCount*>(root->QueryInterface(Prjrep::IRefCount::GetIID()))->Release();
  CitP::Factory::Shutdown();
}

TEST(HostRoadTest, UnknownLibraryIsRefused) {
  EXPECT_FALSE(CitP::Factory::LoadLibraryFactory("libNoSuchComponentLibrary"));
  EXPECT_FALSE(CitP::Factory::LoadLibraryFactory(""));
}

}  // namespace
