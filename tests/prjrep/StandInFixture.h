#pragma once
// What the stand-in library's tests share: short names, class ids, creation by class id,
// the path autonym, and a fixture with the components registered and a directory to write.

#include <gtest/gtest.h>

#include <string>

#include "CitP/Factory.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IName.h"
#include "Prjrep/StandIns.h"
#include "core/Holders.h"
#include "hostkit/TempDir.h"
#include "support/Records.h"

namespace testing_support {

using Text = Port::StringBase<char>;
using Object = Prjrep::AutoRelease<CitI::IInterface>;

template <class I>
Prjrep::AutoRelease<I> Create(const Port::XUID& clsid) {
  return Prjrep::AutoRelease<I>(CitP::Factory::CreateInstance(clsid));
}

// An autonym that stands for the repository of the file at `path`.
inline Prjrep::AutoRelease<Prjrep::IAutonym> PathNym(const std::string& path) {
  auto nym = Create<Prjrep::IAutonym>(Prjrep::ClassId::SimpleAutonym());
  std::ignore = Prjrep::AutoCast<Prjrep::IName>(nym.Get())->SetName(path.c_str());
  return nym;
}

class StandInFixture : public ::testing::Test {
 protected:
  void SetUp() override { Prjrep::RegisterComponents(); }
  void TearDown() override {
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    EXPECT_EQ(CRecord::s_alive, 0);
  }
  TempDir dir;
};

}  // namespace testing_support
