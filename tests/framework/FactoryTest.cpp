// Creation by class id of a path-name helper.

#include <gtest/gtest.h>

#include "utils/Factory.h"
#include "support/FakeNames.h"
#include "support/Records.h"

using namespace testing_support;

namespace {

// A component that is a path-name helper.
class CFakeNamer : public Hvd::TComponent<CFakeNamer, FakeFileNameHelperBase> {
 public:
  CITI_DECLARE_CLSID("{5E5E5E5E-0000-4000-8000-000000000001}")
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IFileNameHelper>(this), Hvd::Row<CitI::IInterface>(this),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount));
  }
  Prjrep::TRefCountHelper<CFakeNamer> m_refCount{this};
};

TEST(FactoryTest, FileNameHelperIsHandedOutOrGivenUp) {
  RegisterTestFactory<CFakeNamer>();
  CRecord::Register();
  Prjrep::IFileNameHelper* helper = reinterpret_cast<Prjrep::IFileNameHelper*>(0x1);
  EXPECT_TRUE(Hvd::CreateFileNameHelper(CFakeNamer::GetCLSID(), &helper));
  ASSERT_NE(helper, nullptr);
  Prjrep::ReleaseInterface(helper);
  EXPECT_FALSE(Hvd::CreateFileNameHelper(CRecord::GetCLSID(), &helper));  // a record is no path-name helper
  EXPECT_EQ(helper, nullptr);
  EXPECT_EQ(CRecord::s_alive, 0) << "created, then given up again";
  EXPECT_FALSE(Hvd::CreateFileNameHelper(Port::XUID::New(), &helper));
  EXPECT_FALSE(Hvd::CreateFileNameHelper(CFakeNamer::GetCLSID(), nullptr));
  CitP::Factory::Shutdown();
}

}  // namespace
