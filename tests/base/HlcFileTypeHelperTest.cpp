// The HLC file-type helper, made by class id: what a project file records of its place in a
// design, and the files it reads nothing from.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "CitP/Factory.h"
#include "Hvd/IHlcFileTypeHelper.h"
#include "core/Holders.h"

namespace {

namespace fs = std::filesystem;
using namespace Hvd;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;

class HlcFileTypeHelperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base"));
    helper = AutoRelease<IHlcFileTypeHelper>(CitP::Factory::CreateInstance(HlcFileTypeHelperClassId()));
    ASSERT_TRUE(helper);
    dir = fs::temp_directory_path() / ("hlc_helper_" + std::to_string(getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override {
    helper = nullptr;
    fs::remove_all(dir);
  }
  // A project file with `property` among its properties, in the project namespace unless told.
  std::string Write(const std::string& property, const std::string& before = "",
                    const std::string& ns = "http://www.velmor.com/XMLSchema") {
    const fs::path path = dir / "core.xhlc";
    std::ofstream(path) << "<?xml version=\"1.0\"?>\n" << before << "<project xmlns=\"" << ns
                        << "\" xmlns:vel_kv=\"" << ns << "\"><properties>"
                        << "<property vel_kv:name=\"Device\" vel_kv:value=\"LM2-45\"/>" << property
                        << "</properties></project>\n";
    return path.string();
  }
  std::string Answer(const std::string& path, Status expected = kSuccess) {
    EXPECT_EQ(helper->SetFileName(Text(path)), expected) << path;
    Text answer("stale");
    EXPECT_EQ(helper->GetPathInDesign(&answer), kSuccess);
    return answer.str();
  }

  // First, so that the library goes only after its helper is given back.
  struct ShutdownLast {
    ~ShutdownLast() { CitP::Factory::Shutdown(); }
  } shutdownLast;
  AutoRelease<IHlcFileTypeHelper> helper;
  fs::path dir;
};

TEST_F(HlcFileTypeHelperTest, AnswersTheRecordedPathFromARegularFileAndFollowsNoEntity) {
  const std::string recorded = "<property vel_kv:name=\"Implementation Top Instance Path\" vel_kv:value=\"/top/u\"/>";
  EXPECT_EQ(Answer(Write(recorded)), "top/u");
  // Nothing recorded, or recorded in another vocabulary: nothing to answer.
  EXPECT_EQ(Answer(Write("")), "");
  EXPECT_EQ(Answer(Write(recorded, "", "urn:other")), "");
  // A failed reading forgets what the last file said.
  EXPECT_EQ(Answer(dir.string(), kFailure), "");
  EXPECT_EQ(Answer(Write(recorded)), "top/u");
  EXPECT_EQ(Answer((dir / "missing.xhlc").string(), kFailure), "");
  EXPECT_EQ(Answer("", kFailure), "");
  // The value would come from an entity: the document type is refused, nothing is read.
  std::ofstream(dir / "secret.txt") << "/top/secret";
  const std::string withEntity = Write(
      "<property vel_kv:name=\"Implementation Top Instance Path\" vel_kv:value=\"&x;\"/>",
      "<!DOCTYPE project [<!ENTITY x SYSTEM \"" + (dir / "secret.txt").string() + "\">]>\n");
  EXPECT_EQ(Answer(withEntity), "");
  EXPECT_EQ(Answer(Write("<property vel_kv:name=\"Implementation Top Instance Path\" vel_kv:value=\"/x\">")), "");
}

}  // namespace
