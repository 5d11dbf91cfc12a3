// Closing a chain of child projects: each project is closed and written once, whatever its
// depth, and what is written is what the project holds when it closes.

#include <sys/stat.h>

#include "ChildSupport.h"
#include "Port/FaultInjection.h"
#include "utils/DmUtils.h"

namespace {

using namespace child_testing;

constexpr int kLength = 5;

class ChainCloseTest : public ChildProjectTest {
 protected:
  // p0 .. p4, each in its own folder with one source and, but for the last, the next one's
  // project file.
  void SetUp() override {
    ChildProjectTest::SetUp();
    for (int i = 0; i < kLength; ++i) {
      const std::string name = "p" + std::to_string(i);
      WriteText(m_root / name / "unit.vhd", "entity unit_" + std::to_string(i) + " is end;\n");
      std::string text =
          "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
          "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n"
          "<header/><version vel_kv:hlc_version=\"14.1\" vel_kv:schema_version=\"2\"/><files>"
          "<file vel_kv:name=\"unit.vhd\" vel_kv:type=\"FILE_VHDL\"/>";
      if (i + 1 < kLength) {
        const std::string next = "p" + std::to_string(i + 1);
        text += "<file vel_kv:name=\"../" + next + "/" + next + ".xhlc\" vel_kv:type=\"FILE_XHLC\"/>";
      }
      WriteText(m_root / name / (name + ".xhlc"),
                text + "</files><autoManagedFiles/><properties/><bindings/><libraries/></project>\n");
    }
  }
  static std::string Name(int i) { return "/p" + std::to_string(i) + "/p" + std::to_string(i) + ".ghlc"; }
  // The open child that the project file of project `i` in the chain leads to, if loaded.
  AutoRelease<Hvd::IProject> Loaded(Hvd::IProject* parent, int i) {
    const std::string name = "p" + std::to_string(i);
    AutoRelease<Hvd::IHdlFile> entry = Find(parent, PathOf(name + "/" + name + ".xhlc"));
    return entry ? Hvd::GetOwningProject(entry.Get()) : AutoRelease<Hvd::IProject>();
  }
  // The projects of the chain below `first`, every one already open.
  std::vector<AutoPtr<Hvd::IProject>> Below(Hvd::IProject* first) {
    std::vector<AutoPtr<Hvd::IProject>> chain;
    Hvd::IProject* at = first;
    for (int i = 1; i < kLength; ++i) {
      AutoRelease<Hvd::IProject> next = Loaded(at, i);
      if (!next) break;
      chain.emplace_back(std::move(next));
      at = chain.back().Get();
    }
    return chain;
  }
  std::string Generated(int i) const { return PathOf(Name(i).substr(1)); }
  // Every write replaces the file with a new one.
  static ino_t Inode(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
  }
  static bool WriteRefused(const std::string& name) {
    for (const auto& record : Port_MsgManData::Captured()) {
      if (record.text.find("is not written") != std::string::npos && record.text.find(name) != std::string::npos)
        return true;
    }
    return false;
  }
  // Closes the chain from its first project and checks that each project below it was written
  // once: a second write of any generated file is made to fail, and says so.
  void CloseOnceEach(bool save) {
    AutoRelease<Hvd::IProject> first(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    ASSERT_EQ(first->Open(PathOf("p0/p0.xhlc").c_str()), kSuccess);
    // The open reaches the whole chain.
    EXPECT_EQ(Below(first.Get()).size(), std::size_t{kLength - 1});
    std::vector<ino_t> before;
    for (int i = 0; i < kLength; ++i) before.push_back(Inode(Generated(i)));
    Port::FaultInjection::Scope scope;
    for (int i = 0; i < kLength; ++i) Port::FaultInjection::Fail("write", 2, Name(i));
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(first->ProjectClose(save), kSuccess);
    for (int i = 0; i < kLength; ++i) {
      SCOPED_TRACE(i);
      EXPECT_FALSE(WriteRefused(Name(i)));
      EXPECT_EQ(Inode(Generated(i)) != before[i], i > 0 || save);
    }
  }
};

TEST_F(ChainCloseTest, EachChildIsWrittenOnceWhenTheFirstClosesWithoutSaving) { CloseOnceEach(false); }

TEST_F(ChainCloseTest, EachProjectIsWrittenOnceWhenTheFirstClosesWithASave) { CloseOnceEach(true); }

// A child changed while the chain is open keeps its change through the close of the first.
TEST_F(ChainCloseTest, AChildsChangeIsSavedAtItsClose) {
  AutoRelease<Hvd::IProject> first(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  ASSERT_EQ(first->Open(PathOf("p0/p0.xhlc").c_str()), kSuccess);
  {
    std::vector<AutoPtr<Hvd::IProject>> chain = Below(first.Get());
    ASSERT_EQ(chain.size(), std::size_t{kLength - 1});
    std::ignore = Add(chain[2].Get(), "p3/added.vhd");
  }
  EXPECT_EQ(first->ProjectClose(false), kSuccess);

  AutoRelease<Hvd::IProject> reopened(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  ASSERT_EQ(reopened->Open(PathOf("p3/p3.xhlc").c_str()), kSuccess);
  CloseAtEnd(reopened.Get());
  EXPECT_TRUE(Find(reopened.Get(), PathOf("p3/added.vhd")));
}

}  // namespace
