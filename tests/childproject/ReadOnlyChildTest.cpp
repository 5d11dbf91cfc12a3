// A child project whose file cannot be written refuses the saving close that would drop its
// changes: whoever asked for the close, the child stays as it was, open, a sub-project and bound
// to its helper, until a close can write it.

#include "ChildSupport.h"
#include "Hvd/ICheckpoint.h"
#include "Hvd/IProjectHelper.h"
#include "Port/FaultInjection.h"
#include "Prjrep/IAutonym.h"
#include "utils/DmUtils.h"
#include "utils/PropertyAccessor.h"

namespace {

using namespace child_testing;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Said(const std::string& part) {
  for (const auto& record : Port_MsgManData::Captured())
    if (record.text.find(part) != std::string::npos) return true;
  return false;
}

bool IsOpen(Hvd::IProject* project) {
  bool open = false;
  return project->IsOpen(&open) == kSuccess && open;
}

// p, with one source and the project file of c, which has one source of its own.
class ReadOnlyChildTest : public ChildProjectTest {
 protected:
  void SetUp() override {
    ChildProjectTest::SetUp();
    const auto project = [this](const std::string& name, const std::string& files) {
      WriteText(m_root / name / "unit.vhd", "entity unit_" + name + " is end;\n");
      WriteText(m_root / name / (name + ".xhlc"),
                "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
                "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n"
                "<header/><version vel_kv:hlc_version=\"14.1\" vel_kv:schema_version=\"2\"/><files>"
                "<file vel_kv:name=\"unit.vhd\" vel_kv:type=\"FILE_VHDL\"/>" +
                    files + "</files><autoManagedFiles/><properties/><bindings/><libraries/></project>\n");
    };
    project("c", "");
    project("p", "<file vel_kv:name=\"../c/c.xhlc\" vel_kv:type=\"FILE_XHLC\"/>");
    m_parent = Open("p/p.xhlc");
    ASSERT_TRUE(m_parent);
    AutoRelease<Hvd::IHdlFile> entry = Find(m_parent, PathOf("c/c.xhlc"));
    ASSERT_TRUE(entry);
    m_child = Hvd::GetOwningProject(entry.Get());
    ASSERT_TRUE(m_child);
    m_helper = Hvd::GetCvfProject(m_child.Get(), false);
    ASSERT_TRUE(m_helper);
    ASSERT_TRUE(IsSubProject());
  }
  void TearDown() override {
    // A child that stayed open is closed with the parent, or here.
    if (m_child && IsOpen(m_child.Get())) std::ignore = m_child->ProjectClose(false);
    m_helper = nullptr;
    m_child = nullptr;
    ChildProjectTest::TearDown();
  }

  bool IsSubProject() {
    AutoRelease<CitI::IInterface> gate;
    std::ignore = Hvd::FindNamedObject("OperationGate", gate.Receive());
    AutoCast<Prjrep::ISimpleNamedLookup> keys(gate.Get());
    AutoRelease<CitI::IInterface> found;
    if (keys) std::ignore = keys->Find(Hvd::MakeInterfaceKey("subproject", m_child.Get()), found.Receive());
    return static_cast<bool>(found);
  }
  std::string Description() {
    return Hvd::PropertyAccessor(m_child.Get()).GetPropertyValue("PROP_ProjectDescription").str();
  }
  // A change in memory, then the child's file made unwritable.
  void ChangeAndLock() {
    Hvd::PropertyAccessor(m_child.Get()).SetPropertyValue("PROP_ProjectDescription", "in memory");
    Port::FaultInjection::Fail("canwrite", 0, "/c/c.xhlc");
    Port_MsgManData::ClearCaptured();
  }
  // What a refused close leaves: the child as it was, found by and bound to its helper on its
  // own file, and its change not written.
  void ExpectAsItWas() {
    EXPECT_TRUE(IsOpen(m_child.Get()));
    EXPECT_TRUE(IsSubProject());
    EXPECT_EQ(Description(), "in memory");
    AutoRelease<Hvd::IProjectHelper> found = Hvd::GetCvfProject(m_child.Get(), false);
    EXPECT_EQ(Identity(found.Get()), Identity(m_helper.Get()));
    AutoRelease<CitI::IInterface> bound;
    EXPECT_EQ(m_helper->GetProject(bound.Receive()), kSuccess);
    EXPECT_EQ(Identity(bound.Get()), Identity(m_child.Get()));
    Text path;
    EXPECT_EQ(AutoCast<Hvd::IProject2>(m_child.Get())->GetProjectFilePath(&path), kSuccess);
    EXPECT_TRUE(fs::equivalent(path.str(), m_root / "c" / "c.xhlc")) << path.str();
    EXPECT_EQ(ReadText(m_root / "c" / "c.xhlc").find("in memory"), std::string::npos);
  }
  // Once the file can be written, the helper's close writes the change and lets the child go.
  void ExpectClosedByHelperAndWritten() {
    EXPECT_EQ(m_helper->CloseProject(), kSuccess);
    EXPECT_FALSE(IsOpen(m_child.Get()));
    EXPECT_FALSE(IsSubProject());
    EXPECT_NE(ReadText(m_root / "c" / "c.xhlc").find("in memory"), std::string::npos);
  }

  // The parent's close lets go of the child, which refuses to close: the parent closes, the
  // child stays as it was, and refuses again while its file cannot be written.
  void CloseParentAndKeepChild(bool save) {
    {
      Port::FaultInjection::Scope faults;
      ChangeAndLock();
      EXPECT_EQ(m_parent->ProjectClose(save), kSuccess);
      EXPECT_FALSE(IsOpen(m_parent));
      EXPECT_TRUE(Said("The project stays open"));
      ExpectAsItWas();
      EXPECT_EQ(Hvd::CloseOwningCvfProject(m_child.Get(), nullptr), Hvd::kProjectReadOnly);
      ExpectAsItWas();
    }
    ExpectClosedByHelperAndWritten();
  }

  Hvd::IProject* m_parent = nullptr;
  AutoRelease<Hvd::IProject> m_child;
  AutoRelease<Hvd::IProjectHelper> m_helper;
};

TEST_F(ReadOnlyChildTest, TheParentsCloseWithoutSavingLeavesARefusingChildAsItWas) { CloseParentAndKeepChild(false); }

TEST_F(ReadOnlyChildTest, TheParentsSavingCloseLeavesARefusingChildAsItWas) { CloseParentAndKeepChild(true); }

// The restore of the child's snapshot begins with the child's close: refused, the restore
// answers so and the child is left as it was.
TEST_F(ReadOnlyChildTest, ASnapshotRestoreLeavesARefusingChildAsItWas) {
  AutoCast<Hvd::ICheckpointManager> snapshots(m_child.Get());
  ASSERT_TRUE(snapshots);
  AutoRelease<Hvd::ICheckpoint> snapshot;
  ASSERT_EQ(snapshots->CreateCheckpoint("s", "", snapshot.Receive()), kSuccess);
  ASSERT_EQ(snapshot->CreateCheckpointProject(), kSuccess);
  {
    Port::FaultInjection::Scope faults;
    ChangeAndLock();
    AutoRelease<Hvd::IProject> restored;
    EXPECT_EQ(snapshot->RestoreCheckpointProject(restored.Receive(), 0, nullptr), Hvd::kProjectReadOnly);
    EXPECT_FALSE(restored);
    ExpectAsItWas();
    EXPECT_TRUE(IsOpen(m_parent));
  }
  ExpectClosedByHelperAndWritten();
}

}  // namespace
