// The Tcl project of an object: found through the partial-reconfiguration helper by the
// object's path, and handed out as the part that answers the Tcl project's own id.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IConfiguration.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "support/FakeProject.h"
#include "support/Records.h"
#include "utils/DmUtils.h"

namespace {

using Prjrep::AutoOut;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

// The Tcl side's project interface, as far as these tests need it: a part of its own.
class ITclProjectPart : public CitI::IInterface {
 public:
  static const Port::XUID& GetIID() {
    static constexpr Port::XUID s_iid{0x9bd2871ff36941f3ull, 0xad7abd114008d664ull};
    return s_iid;
  }
  virtual int Tag() = 0;
};

// A Tcl project whose Tcl interface is a nested part, apart from its root.
class CTclProjectDouble : public Hvd::TComponent<CTclProjectDouble> {
 public:
  CTclProjectDouble() { ++s_alive; }
  ~CTclProjectDouble() override { --s_alive; }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<ITclProjectPart>(&m_XITcl), Hvd::Row<Prjrep::IRefCount>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }
  struct XITcl : Hvd::TNested<CTclProjectDouble, ITclProjectPart> {
    using TNested::TNested;
    int Tag() override { return 7; }
  } m_XITcl{this};
  Prjrep::TRefCountHelper<CTclProjectDouble> m_refCount{this};
  static inline int s_alive = 0;
};

// The helper hands out what the test put in `s_found` and remembers what it was asked.
class CPRHelperDouble : public Hvd::TComponent<CPRHelperDouble, Hvd::IPRSolutionHelper> {
 public:
  static const Port::XUID& GetCLSID() { return Hvd::ClassId::PRHelper(); }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IPRSolutionHelper>(this), Hvd::Row<Prjrep::IRefCount>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status FindRepositoryObject(const String& repository, const String& name, CitI::IInterface** object) override {
    s_asked = repository.str() + "|" + name.str();
    return AutoOut<CitI::IInterface>(object).Assign(s_found.Get());
  }
  Hvd::Status RunTclCommand(const String&, bool) override { return Hvd::kNotSupported; }
  Hvd::Status GetConfigManager(CitI::IInterface*, bool, CitI::IInterface**) override { return Hvd::kNotSupported; }
  Hvd::Status CreateConfigManager(CitI::IInterface*, CitI::IInterface**) override { return Hvd::kNotSupported; }
  Hvd::Status CreateHvdProject(CitI::IInterface*, const String&, CitI::IInterface**) override {
    return Hvd::kNotSupported;
  }
  Hvd::Status GetContextFullPath(CitI::IInterface*, String*) override { return Hvd::kNotSupported; }
  Hvd::Status GetContextProject(CitI::IInterface*, CitI::IInterface**) override { return Hvd::kNotSupported; }
  Prjrep::TRefCountHelper<CPRHelperDouble> m_refCount{this};

  static inline AutoPtr<CitI::IInterface> s_found;
  static inline std::string s_asked;
};

class CPathProject : public testing_support::FakeProject {
 public:
  explicit CPathProject(std::string path) : m_path(std::move(path)) {}
  Hvd::Status GetProjectFilePath(Text* path) override {
    *path = m_path;
    return Hvd::kSuccess;
  }
  std::string m_path;
};

class TclProjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("VEL_CORVANE_ENABLE_HLC");  // the project's own file names it
    testing_support::RegisterTestFactory<CPRHelperDouble>();
  }
  void TearDown() override {
    CPRHelperDouble::s_found = nullptr;
    CPRHelperDouble::s_asked.clear();
    CitP::Factory::Shutdown();
    EXPECT_EQ(CTclProjectDouble::s_alive, 0);
  }
};

TEST_F(TclProjectTest, HandedOutAsItsTclPartWithOneReferenceOfItsOwn) {
  AutoRelease<CPathProject> project(new CPathProject("/tcltest/a/../top.xhlc"));
  AutoRelease<CTclProjectDouble> tcl(new CTclProjectDouble);
  CPRHelperDouble::s_found = tcl.Get();
  {
    AutoRelease<CitI::IInterface> found = Hvd::GetTclProject(project.Get());
    EXPECT_EQ(CPRHelperDouble::s_asked, "/tcltest/top.xhlc|TclProject") << "asked by the canonical path";
    ASSERT_EQ(found.Get(), static_cast<CitI::IInterface*>(&tcl->m_XITcl)) << "the Tcl part, not the root";
    EXPECT_EQ(static_cast<ITclProjectPart*>(found.Get())->Tag(), 7);
    EXPECT_EQ(tcl->m_refCount.GetRefCount(), 3) << "ours, the helper's and the one handed out";
  }
  EXPECT_EQ(tcl->m_refCount.GetRefCount(), 2) << "the holder gave its reference back";
}

TEST_F(TclProjectTest, NothingForAPathlessObjectOrAnObjectWithoutATclPart) {
  AutoRelease<CPathProject> pathless(new CPathProject(""));
  EXPECT_EQ(Hvd::GetTclProject(pathless.Get()).Get(), nullptr);
  EXPECT_EQ(CPRHelperDouble::s_asked, "") << "a pathless object is not looked up";

  AutoRelease<CPathProject> project(new CPathProject("/tcltest/top.xhlc"));
  EXPECT_EQ(Hvd::GetTclProject(project.Get()).Get(), nullptr) << "nothing registered";
  CPRHelperDouble::s_found = project.Get();
  EXPECT_EQ(Hvd::GetTclProject(project.Get()).Get(), nullptr) << "a project without the Tcl interface";
  CPRHelperDouble::s_found = nullptr;
  EXPECT_EQ(project->count.GetRefCount(), 1) << "the lookup kept nothing";
}

}  // namespace
