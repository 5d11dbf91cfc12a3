// Opening a child project from its file: the named objects that were active stay so, and the
// child handed out outlives every other holder.

#include <stdlib.h>

#include "ChildSupport.h"
#include "Hvd/IProjectHelper.h"
#include "Prjrep/ClassIds.h"
#include "childproject/ChildProjectHelp.h"
#include "childproject/FileComposer.h"
#include "utils/DmUtils.h"

namespace {

using namespace child_testing;

AutoRelease<CitI::IInterface> Active(const char* name) {
  AutoRelease<CitI::IInterface> object;
  std::ignore = Hvd::FindNamedObject(name, object.Receive());
  return object;
}

AutoRelease<CitI::IInterface> Registry() {
  return AutoRelease<CitI::IInterface>(CitP::Factory::CreateInstance(Prjrep::ClassId::NamedObjectRegistry()));
}

class OpenChildTest : public ChildProjectTest {
 protected:
  void SetUp() override {
    ChildProjectTest::SetUp();
    // The child on disk, with one file, and closed again.
    AutoRelease<Hvd::IProject> child(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    fs::create_directories(m_root / "proj/core");
    ASSERT_EQ(child->Open(PathOf("proj/core/core.xhlc").c_str()), kSuccess);
    std::ignore = Add(child.Get(), "proj/core/a.vhd");
    ASSERT_EQ(AutoCast<Hvd::IForceSave>(child.Get())->ForceSave(), kSuccess);
    ASSERT_EQ(child->ProjectClose(false), kSuccess);
    m_parent = Open("proj/p.xhlc");
  }
  // The parent's entry of the child's project file; adding it opens the child.
  AutoRelease<Hvd::IHdlFile> AddChildFile() {
    AutoRelease<Hvd::IHdlFile> entry = Add(m_parent, "proj/core/core.xhlc");
    EXPECT_TRUE(Hvd::IsProjectFileType(entry.Get()));
    if (AutoRelease<Hvd::IProject> child = Hvd::OpenChildProjectOfFile(entry.Get()); child) CloseAtEnd(child.Get());
    return entry;
  }
  void MakeParentActive() {
    AutoRelease<CitI::IInterface> registry = Registry();
    m_repository = Hvd::FindAutonymByName(PathOf("proj/p.xhlc").c_str(), false);
    ASSERT_TRUE(m_repository);
    ASSERT_EQ(Hvd::RegisterNamedObject(registry.Get(), "ActiveHvdProject", m_parent, true), kSuccess);
    ASSERT_EQ(Hvd::RegisterNamedObject(registry.Get(), "ActiveRepository", m_repository.Get(), true), kSuccess);
  }
  Hvd::IProject* m_parent = nullptr;
  AutoRelease<Prjrep::IProjectRepository> m_repository;
};

TEST_F(OpenChildTest, TheActiveObjectsStayThoseOfBefore) {
  MakeParentActive();
  AutoRelease<Hvd::IHdlFile> entry = AddChildFile();
  AutoRelease<Hvd::IProject> child = Hvd::OpenChildProjectOfFile(entry.Get());
  ASSERT_TRUE(child);
  EXPECT_EQ(Identity(child.Get()), Identity(Hvd::GetOwningProject(entry.Get()).Get()));
  EXPECT_EQ(FileNames(child.Get()), (std::vector<std::string>{PathOf("proj/core/a.vhd")}));
  EXPECT_TRUE(Hvd::HasOriginatorMatching(child.Get(), entry.Get()));
  EXPECT_EQ(Identity(Active("ActiveHvdProject").Get()), Identity(m_parent));
  EXPECT_EQ(Identity(Active("ActiveRepository").Get()), Identity(m_repository.Get()));
  EXPECT_FALSE(Active("ActiveCvfProject"));  // free before, free after
  // The loaded child is handed out as it is, the named objects untouched.
  AutoRelease<CitI::IInterface> registry = Registry();
  ASSERT_EQ(Hvd::RegisterNamedObject(registry.Get(), "ActiveHvdProject", child.Get(), true), kSuccess);
  EXPECT_EQ(Identity(Hvd::OpenChildProjectOfFile(entry.Get()).Get()), Identity(child.Get()));
  EXPECT_EQ(Identity(Active("ActiveHvdProject").Get()), Identity(child.Get()));
}

TEST_F(OpenChildTest, WithoutAnActiveProjectNoneIsLeftActive) {
  AutoRelease<Hvd::IHdlFile> entry = AddChildFile();
  EXPECT_TRUE(Hvd::OpenChildProjectOfFile(entry.Get()));
  EXPECT_FALSE(Active("ActiveHvdProject"));
  EXPECT_FALSE(Active("ActiveRepository"));
  EXPECT_FALSE(Active("ActiveCvfProject"));
}

TEST_F(OpenChildTest, AMissingChildFileOpensNothing) {
  MakeParentActive();
  AutoRelease<Hvd::IHdlFile> entry = AddChildFile();
  AutoRelease<Hvd::IProject> child = Hvd::OpenChildProjectOfFile(entry.Get());
  ASSERT_TRUE(child);
  ASSERT_EQ(child->ProjectClose(false), kSuccess);
  child = nullptr;
  fs::remove(m_root / "proj/core/core.xhlc");
  EXPECT_FALSE(Hvd::OpenChildProjectOfFile(entry.Get()));
  EXPECT_EQ(Identity(Active("ActiveHvdProject").Get()), Identity(m_parent));
  AutoRelease<Hvd::IHdlFile> plain = Add(m_parent, "proj/plain.vhd");
  EXPECT_FALSE(Hvd::OpenChildProjectOfFile(plain.Get()));
}

// The child handed out is the caller's to hold: it lives on when the registry lets go of its
// repository, helper and all.
TEST_F(OpenChildTest, TheOpenedChildOutlivesEveryOtherHolder) {
  AutoRelease<Hvd::IHdlFile> entry = AddChildFile();
  {
    AutoRelease<Hvd::IProject> loaded = Hvd::OpenChildProjectOfFile(entry.Get());
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->ProjectClose(false), kSuccess);
  }
  AutoRelease<Hvd::IProject> child = Hvd::OpenChildProjectOfFile(entry.Get());
  ASSERT_TRUE(child);
  Prjrep::ResetNamedObjectRegistry();
  bool open = false;
  EXPECT_EQ(child->IsOpen(&open), kSuccess);
  EXPECT_TRUE(open);
  EXPECT_EQ(FileNames(child.Get()).size(), 1u);
  EXPECT_EQ(child->ProjectClose(false), kSuccess);
}

// The active project's Cvf project is found through its repository: by the project-file path,
// or by the repository path when the older storage is in use.
TEST_F(OpenChildTest, TheCompanionCvfProjectIsFoundByTheRightKey) {
  MakeParentActive();
  AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(m_parent, true);
  ASSERT_EQ(Hvd::RegisterNamedObject(m_repository.Get(), "CvfProject", helper.Get(), true), kSuccess);
  AutoRelease<CitI::IInterface> saved(Prjrep::AutoReturn<CitI::IInterface>(m_parent).Get());
  Hvd::RegisterActiveProjects(saved);
  EXPECT_FALSE(saved);
  EXPECT_EQ(Identity(Active("ActiveCvfProject").Get()), Identity(helper.Get()));
  ASSERT_EQ(setenv("VEL_CORVANE_ENABLE_HLC", "1", 1), 0);
  saved = AutoRelease<CitI::IInterface>(Prjrep::AutoReturn<CitI::IInterface>(m_parent).Get());
  Hvd::RegisterActiveProjects(saved);
  unsetenv("VEL_CORVANE_ENABLE_HLC");
  EXPECT_FALSE(Active("ActiveCvfProject"));
  EXPECT_EQ(Identity(Active("ActiveHvdProject").Get()), Identity(m_parent));
  std::ignore = AutoCast<Prjrep::ISimpleNamedLookup>(m_repository.Get())->Unregister("CvfProject");
}

}  // namespace
