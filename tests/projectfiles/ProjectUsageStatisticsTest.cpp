// The project's usage statistics: its id and creation time, where its working directory lies,
// and the statistics file it writes into its working directory.

#include <regex>

#include "XhlcProject.h"
#include "project/UsageStatistics.h"
#include "projectfiles/metrion/XmlReader.h"

namespace xhlc_test {
namespace {

class ProjectUsageStatisticsTest : public XhlcProject {
 protected:
  void Open(const fs::path& path) {
    m_project = AutoRelease<Hvd::IProject>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    ASSERT_TRUE(m_project);
    ASSERT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->SetSaveDelay(0), Hvd::kSuccess);
    ASSERT_EQ(m_project->Open(path.c_str()), Hvd::kSuccess);
  }
  void Reopen() {
    ASSERT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
    m_project = nullptr;
    Open(m_file);
  }
  void Set(const char* name, const char* value) { Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue(name, value); }
  void AddUserFile(const char* name, std::uint32_t origin = 0) {
    WriteText(m_dir / name, "-- x\n");
    AutoRelease<Hvd::IHdlFile> file;
    ASSERT_EQ(Files()->ProjectAddFile((m_dir / name).c_str(), nullptr, file.Receive()), Hvd::kSuccess);
    ASSERT_EQ(AutoCast<Hvd::IFile>(file.Get())->SetOriginState(origin), Hvd::kSuccess);
  }
  Hvd::Status WriteStatistics() { return AutoCast<Hvd::IProject4>(m_project.Get())->WriteUsageStatistics(); }
};

TEST_F(ProjectUsageStatisticsTest, ANewProjectGetsAnIdAndACreationTimeThatReopeningKeeps) {
  Open(m_file);
  const std::string id = Property("PROP_intMtnProjectID");
  const std::string created = Property("PROP_intProjectCreationTimestamp");
  EXPECT_TRUE(std::regex_match(id, std::regex("[0-9A-Fa-f]{32}"))) << id;
  EXPECT_TRUE(std::regex_match(created, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)"))) << created;
  Reopen();
  EXPECT_EQ(Property("PROP_intMtnProjectID"), id);
  EXPECT_EQ(Property("PROP_intProjectCreationTimestamp"), created);

  // The placeholder values count as unset.
  Set("PROP_intMtnProjectID", "0");
  Set("PROP_intProjectCreationTimestamp", "YYYY-MM-DDTHH:MM:SS");
  Reopen();
  const std::string renewed = Property("PROP_intMtnProjectID");
  EXPECT_TRUE(std::regex_match(renewed, std::regex("[0-9A-Fa-f]{32}"))) << renewed;
  EXPECT_NE(renewed, id);
  EXPECT_NE(Property("PROP_intProjectCreationTimestamp"), "YYYY-MM-DDTHH:MM:SS");
}

TEST_F(ProjectUsageStatisticsTest, WhereTheWorkingDirectoryLies) {
  struct Case {
    const char* project;
    const char* working;
    const char* used;
    const char* location;
  };
  const Case cases[] = {
      {"/w/proj", "/w/proj/work", "Yes", "UnderProjDir"},
      {"/w/proj", "/w/other", "Yes", "Parallel"},
      {"/w/proj", "/w/proj", "No", "Same"},
      {"/w/proj", "/w/./proj", "No", "Same"},
      {"/w/proj", "", "No", "Same"},
      {"/x/y", "/a/b/c", "Yes", "OutSideBelow"},
      {"/x/y", "/a", "Yes", "OutSideAbove"},
      {"/x/y", "/a/b", "Yes", "UnableToCalculate"},
      // A name that merely begins like the project directory is not inside it.
      {"/w/proj", "/w/project2/run", "Yes", "OutSideBelow"},
  };
  for (const Case& c : cases) {
    const Hvd::WorkingDirectoryPlace place = Hvd::ClassifyWorkingDirectory(c.project, c.working);
    EXPECT_STREQ(place.used, c.used) << c.project << " " << c.working;
    EXPECT_STREQ(place.location, c.location) << c.project << " " << c.working;
  }

  // The open records it.
  Open(m_file);
  EXPECT_EQ(Property("PROP_intWorkingDirUsed"), "No");
  EXPECT_EQ(Property("PROP_intWorkingDirLocWRTProjDir"), "Same");
  Set("PROP_WorkingDirectory", "work");
  Reopen();
  EXPECT_EQ(Property("PROP_intWorkingDirUsed"), "Yes");
  EXPECT_EQ(Property("PROP_intWorkingDirLocWRTProjDir"), "UnderProjDir");
}

TEST_F(ProjectUsageStatisticsTest, TheStatisticsFileOfAnOpenProject) {
  // A closed project writes nothing.
  m_project = AutoRelease<Hvd::IProject>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  EXPECT_EQ(WriteStatistics(), Hvd::kProjectNotOpen);

  Open(m_file);
  Set("PROP_WorkingDirectory", "work");
  Reopen();
  AddUserFile("a.vhd");
  AddUserFile("b.vhd");
  AddUserFile("c.ucf");
  AddUserFile("generated.vhd", 1);
  Set("PROP_OvraSimDataFileName_behav", "/home/someone/secret & <sim>.dat");
  EXPECT_TRUE(fs::is_directory(m_dir / "work"));  // made by the open that read it
  ASSERT_EQ(WriteStatistics(), Hvd::kSuccess);

  const fs::path file = m_dir / "work" / "metrion_kv.xml";
  ASSERT_TRUE(fs::is_regular_file(file));
  EXPECT_FALSE(fs::exists(m_dir / "metrion_kv.xml"));
  const MtnC::XmlReader reader(file.string());
  ASSERT_EQ(reader.HiddenSections().count("Project Information"), 1u);
  ASSERT_EQ(reader.VisibleSections().count("Project Statistics"), 1u);
  EXPECT_EQ(reader.GetValue("Project Information", "", "ProjectID"), Property("PROP_intMtnProjectID"));
  EXPECT_EQ(reader.GetValue("Project Information", "", "ProjectFile"), m_file.string());
  EXPECT_EQ(reader.GetValue("Project Information", "", "ProjectCreationTimestamp"),
            Property("PROP_intProjectCreationTimestamp"));

  std::map<std::string, std::pair<std::string, std::string>> statistics;  // name: value, type
  for (const auto& table : reader.VisibleSections().at("Project Statistics"))
    for (const MtnC::UsageStatRecord& record : table) statistics[record.name] = {record.value, record.type};
  using Entry = std::pair<std::string, std::string>;
  EXPECT_EQ(statistics["FILE_VHDL"], (Entry{"2", "source"}));
  EXPECT_EQ(statistics["FILE_UCF"], (Entry{"1", "source"}));
  EXPECT_EQ(statistics["PROP_OvraSimDataFileName_behav"], (Entry{"changed", "process"}));
  EXPECT_EQ(statistics["PROP_intWorkingDirLocWRTProjDir"], (Entry{"UnderProjDir", "design"}));
  EXPECT_EQ(statistics.count("PROP_WorkingDirectory"), 0u);
  EXPECT_EQ(statistics.count("PROP_DesignName"), 0u);
  // Process settings at their default are left out; the design ones are always there.
  EXPECT_EQ(statistics.count("PROP_OvraSimDataFileName_par"), 0u);
  EXPECT_EQ(statistics.count("PROP_DevFamily"), 1u);
  // The source counts close the section, in byte order.
  const auto& last = reader.VisibleSections().at("Project Statistics").back();
  ASSERT_GE(last.size(), 2u);
  EXPECT_EQ(last[last.size() - 2].name, "FILE_UCF");
  EXPECT_EQ(last.back().name, "FILE_VHDL");
  EXPECT_EQ(ReadText(file).find("secret"), std::string::npos);

  // The next open takes the iteration back from the file.
  std::string text = ReadText(file);
  const std::string from = "name=\"ProjectIteration\" value=\"" + Property("PROP_intMtnProjectIteration") + "\"";
  ASSERT_NE(text.find(from), std::string::npos) << text;
  text.replace(text.find(from), from.size(), "name=\"ProjectIteration\" value=\"12\"");
  WriteText(file, text);
  Reopen();
  EXPECT_EQ(Property("PROP_intMtnProjectIteration"), "12");
}

}  // namespace
}  // namespace xhlc_test
