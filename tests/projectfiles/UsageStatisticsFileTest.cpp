// The usage-statistics file: the writer's fixed lines, the reader's tables and look-ups, the
// HTML of the visible sections, and what a damaged file leaves.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "Port/FaultInjection.h"
#include "projectfiles/metrion/XmlReader.h"
#include "projectfiles/metrion/XmlWriter.h"

namespace {

namespace fs = std::filesystem;
using MtnC::UsageStatRecord;
using Kind = MtnC::UsageStatRecord::Kind;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// "name" for an item record, "name=value" for a property, per table.
std::vector<std::vector<std::string>> Shape(const MtnC::XmlReader::TableList& tables) {
  std::vector<std::vector<std::string>> shape;
  for (const auto& table : tables) {
    auto& row = shape.emplace_back();
    for (const UsageStatRecord& r : table) row.push_back(r.kind == Kind::Item ? "[" + r.name + "]" : r.name + "=" + r.value);
  }
  return shape;
}

class UsageStatisticsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("metrion_" + std::to_string(getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }

  // A reader of a file that holds `body` between the writer's header and its closing lines.
  MtnC::XmlReader ReadBody(const std::string& body) { return ReadText(kHead + body + kTail); }
  MtnC::XmlReader ReadText(const std::string& text) {
    const fs::path file = m_dir / "metrion_t.xml";
    std::ofstream(file, std::ios::binary) << text;
    return MtnC::XmlReader(file.string());
  }

  const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<document>\n<application name=\"t\">\n";
  const std::string kTail = "</application>\n</document>\n";
  fs::path m_dir;
};

TEST_F(UsageStatisticsFileTest, TheWriterWritesItsFixedLines) {
  MtnC::XmlWriter writer("kv", m_dir.string());
  EXPECT_EQ(writer.FileName(), m_dir.string() + "/metrion_kv.xml");
  EXPECT_EQ(MtnC::XmlWriter("kv", "").FileName(), "metrion_kv.xml");
  EXPECT_EQ(MtnC::XmlWriter("kv").FileName(), "metrion_kv.xml");

  writer.WriteHeader();
  writer.BeginSection("Project Information", false);
  writer.AddProperty("ProjectID", "7", "");
  writer.AddProperty("ProjectFile", "/p/a.xhlc", "project");
  writer.EndSection();
  writer.BeginSection("Empty", true);
  writer.EndSection();
  writer.BeginSection("S", true);
  writer.BeginItem("I");
  writer.AddProperty("P", "v", "design");
  writer.EndItem();
  writer.EndSection();
  ASSERT_TRUE(writer.WriteFile());

  const std::vector<std::string> lines = Lines(Read(writer.FileName()));
  ASSERT_EQ(lines.size(), 19u);
  EXPECT_EQ(lines[0], "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>");
  EXPECT_EQ(lines[1], "<document>");
  EXPECT_EQ(lines[2], "<!--The data in this file is primarily intended for consumption by Velmor tools.");
  EXPECT_EQ(lines[3], "The structure and the elements are likely to change over the next few releases.");
  EXPECT_EQ(lines[4], "This means code written to parse this file will need to be revisited each subsequent release.-->");
  EXPECT_TRUE(std::regex_match(
      lines[5], std::regex(R"(<application name="kv" timeStamp="[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\d \d\d:\d\d:\d\d \d{4}">)")))
      << lines[5];
  const std::vector<std::string> rest(lines.begin() + 6, lines.end());
  EXPECT_EQ(rest, (std::vector<std::string>{
                      "<section name=\"Project Information\" visible=\"false\">",
                      "<property name=\"ProjectID\" value=\"7\"/>",
                      "<property name=\"ProjectFile\" value=\"/p/a.xhlc\" type=\"project\"/>",
                      "</section>",
                      "<section name=\"Empty\" visible=\"true\">",
                      "</section>",
                      "<section name=\"S\" visible=\"true\">",
                      "<item name=\"I\">",
                      "<property name=\"P\" value=\"v\" type=\"design\"/>",
                      "</item>",
                      "</section>",
                      "</application>",
                      "</document>",
                  }));
}

TEST_F(UsageStatisticsFileTest, WhatXmlCannotHoldAsItIsIsEscapedSoEveryFileParses) {
  const std::string markup = "a&b<c>\"d\" 'e'";
  const std::string spaces = "tab\there\nline\r\nend";
  MtnC::XmlWriter writer("kv", m_dir.string());
  writer.WriteHeader();
  writer.BeginSection("S&<\"", true);
  writer.AddProperty("Markup", markup, "process");
  writer.AddProperty("Spaces", spaces, "");
  writer.AddProperty("Control", std::string("x\x01y\x1f") + "\xff" + "z", "");
  writer.AddProperty("Unicode", "\xc3\xa9t\xc3\xa9", "");
  writer.AddProperty("After", "still read", "");
  writer.EndSection();
  ASSERT_TRUE(writer.WriteFile());

  const MtnC::XmlReader reader(writer.FileName());
  EXPECT_EQ(reader.GetValue("S&<\"", "", "Markup"), markup);
  EXPECT_EQ(reader.GetValue("S&<\"", "", "Spaces"), spaces);
  EXPECT_EQ(reader.GetValue("S&<\"", "", "Control"), "x\\x01y\\x1f\\xffz");
  EXPECT_EQ(reader.GetValue("S&<\"", "", "Unicode"), "\xc3\xa9t\xc3\xa9");
  // Nothing after the odd values was lost.
  EXPECT_EQ(reader.GetValue("S&<\"", "", "After"), "still read");
}

TEST_F(UsageStatisticsFileTest, AFailedWriteLeavesTheOldFileWhole) {
  Port::FaultInjection::Scope scope;
  const fs::path file = m_dir / "metrion_kv.xml";
  std::ofstream(file) << "old";
  MtnC::XmlWriter writer("kv", m_dir.string());
  writer.WriteHeader();
  Port::FaultInjection::Fail("write", 1, "metrion_kv.xml");
  EXPECT_FALSE(writer.WriteFile());
  EXPECT_EQ(Read(file), "old");
  EXPECT_NE(writer.Text().find("</document>"), std::string::npos);  // the text stays in memory

  MtnC::XmlWriter nowhere("kv", (m_dir / "missing").string());
  EXPECT_FALSE(nowhere.WriteFile());
}

TEST_F(UsageStatisticsFileTest, TablesSplitAfterEveryItem) {
  const MtnC::XmlReader reader = ReadBody(
      "<section name=\"S\" visible=\"true\">\n"
      "<property name=\"p1\" value=\"1\"/>\n"
      "<item name=\"A\">\n<property name=\"a1\" value=\"2\"/>\n</item>\n"
      "<item name=\"B\">\n<property name=\"b1\" value=\"3\"/>\n</item>\n"
      "<property name=\"p2\" value=\"4\"/>\n"
      "</section>\n"
      "<section name=\"Only\" visible=\"true\">\n<item name=\"C\">\n</item>\n</section>\n");
  ASSERT_EQ(reader.VisibleSections().count("S"), 1u);
  using Shapes = std::vector<std::vector<std::string>>;
  EXPECT_EQ(Shape(reader.VisibleSections().at("S")), (Shapes{{"p1=1", "[A]", "a1=2"}, {"[B]", "b1=3"}, {"p2=4"}}));
  EXPECT_EQ(Shape(reader.VisibleSections().at("Only")), (Shapes{{"[C]"}, {}}));
  EXPECT_TRUE(reader.HiddenSections().empty());
}

TEST_F(UsageStatisticsFileTest, LookUpsBySectionItemAndProperty) {
  const MtnC::XmlReader reader = ReadBody(
      "<section name=\"Project Information\" visible=\"false\">\n"
      "<property name=\"ProjectIteration\" value=\"5\" type=\"project\"/>\n"
      "</section>\n"
      "<section name=\"Stats\" visible=\"TRUE\">\n<property name=\"Where\" value=\"hidden\"/>\n</section>\n"
      "<section name=\"Stats\" visible=\"true\">\n"
      "<property name=\"Project\" value=\"short\"/>\n"
      "<item name=\"Alpha\">\n<property name=\"Size\" value=\"10\"/>\n</item>\n"
      "<item name=\"Beta\">\n<property name=\"Size\" value=\"20\"/>\n</item>\n"
      "<property name=\"Where\" value=\"visible\"/>\n"
      "</section>\n");
  EXPECT_EQ(reader.GetValue("Project Information", "", "ProjectIteration"), "5");
  // The requested name begins with the record's: ProjectIteration also finds Project.
  EXPECT_EQ(reader.GetValue("Stats", "", "ProjectIteration"), "short");
  // The item's name begins with the requested one; the table must begin with that item.
  EXPECT_EQ(reader.GetValue("Stats", "Beta", "Size"), "20");
  EXPECT_EQ(reader.GetValue("Stats", "Al", "Size"), "");  // Alpha's table begins with "Project"
  EXPECT_EQ(reader.GetValue("Stats", "Gamma", "Size"), "");
  // Only a value beginning with "true" makes a section visible; the visible map is asked first.
  EXPECT_EQ(reader.GetValue("Stats", "", "Where"), "visible");
  EXPECT_EQ(reader.HiddenSections().count("Stats"), 1u);
  EXPECT_EQ(reader.GetValue("Nowhere", "", "Size"), "");
  EXPECT_EQ(reader.RenderHtml().find("hidden"), std::string::npos);
}

TEST_F(UsageStatisticsFileTest, TheHtmlOfTheVisibleSections) {
  const MtnC::XmlReader itemOnly = ReadBody(
      "<section name=\"I\" visible=\"true\">\n<item name=\"Run\" value=\"3\">\n"
      "<property name=\"a\" value=\"1\" type=\"process\"/>\n<property name=\"b\" value=\"2\"/>\n"
      "<property name=\"c\" value=\"3\"/>\n<property name=\"d\" value=\"4\"/>\n<property name=\"e\" value=\"5\"/>\n"
      "</item>\n</section>\n"
      "<section name=\"Hidden\" visible=\"false\">\n<property name=\"x\" value=\"y\"/>\n</section>\n");
  const auto cell = [](const std::string& name, const std::string& value) {
    return "<TD><vtag-property-name>" + name + "</vtag-property-name>=<vtag-property-value>" + value +
           "</vtag-property-value></TD>\n";
  };
  EXPECT_EQ(itemOnly.RenderHtml(),
            "\n&nbsp;<BR><TABLE BORDER CELLSPACING=0 WIDTH='100%'>\n<vtag-section name=\"I\">\n"
            "<TR ALIGN=CENTER BGCOLOR='#99CCFF'><TD COLSPAN=4><B>I</B></TD></TR>\n"
            "<TR ALIGN=CENTER><TD COLSPAN=4><B>Run=<vtag-item-value>3</vtag-item-value></B></TD></TR>\n"
            "<TR>\n"
            "<TD><vtag-process-property-name>a</vtag-process-property-name>=<vtag-process-property-value>1"
            "</vtag-process-property-value></TD>\n" +
                cell("b", "2") + cell("c", "3") + cell("d", "4") + "\n</TR><TR>" + cell("e", "5") +
                "<TR>\n</TR></vtag-section></TABLE>\n");

  const MtnC::XmlReader propertiesFirst = ReadBody(
      "<section name=\"P\" visible=\"true\">\n<property name=\"a\" value=\"1\"/>\n<property name=\"b\" value=\"2\"/>\n"
      "<item name=\"It\">\n<property name=\"c\" value=\"3\"/>\n<property name=\"d\" value=\"4\"/>\n</item>\n"
      "</section>\n");
  EXPECT_EQ(propertiesFirst.RenderHtml(),
            "\n&nbsp;<BR><TABLE BORDER CELLSPACING=0 WIDTH='100%'>\n<vtag-section name=\"P\">\n"
            "<TR ALIGN=CENTER BGCOLOR='#99CCFF'><TD COLSPAN=2><B>P</B></TD></TR>\n"
            "<TR>\n" +
                cell("a", "1") + cell("b", "2") + "\n</TR><TR>" + cell("It", "") + cell("c", "3") + "\n</TR><TR>" +
                cell("d", "4") + "<TR>\n</TR></vtag-section></TABLE>\n");

  EXPECT_EQ(ReadBody("<section name=\"H\" visible=\"false\">\n</section>\n").RenderHtml(), "");
}

TEST_F(UsageStatisticsFileTest, TheHtmlEscapesNamesValuesAndTypes) {
  const MtnC::XmlReader reader = ReadBody(
      "<section name=\"&lt;b&gt;S\" visible=\"true\">\n"
      "<property name=\"&lt;script&gt;\" value=\"a&amp;b &quot;c&quot;\" type=\"x&gt;y z\"/>\n"
      "<item name=\"&lt;i&gt;\" value=\"&lt;v&gt;\">\n</item>\n"
      "</section>\n");
  const std::string html = reader.RenderHtml();
  EXPECT_EQ(html.find("<script>"), std::string::npos) << html;
  EXPECT_EQ(html.find("<b>"), std::string::npos) << html;
  EXPECT_EQ(html.find("<i>"), std::string::npos) << html;
  EXPECT_NE(html.find("<vtag-section name=\"&lt;b&gt;S\">"), std::string::npos) << html;
  EXPECT_NE(html.find("<vtag-x_y_z-property-name>&lt;script&gt;</vtag-x_y_z-property-name>="
                      "<vtag-x_y_z-property-value>a&amp;b &quot;c&quot;</vtag-x_y_z-property-value>"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("<vtag-property-name>&lt;i&gt;</vtag-property-name>=<vtag-property-value>&lt;v&gt;"),
            std::string::npos)
      << html;
}

TEST_F(UsageStatisticsFileTest, RecordsOutsideASectionAreIgnored) {
  const MtnC::XmlReader reader = ReadBody(
      "<item name=\"Before\">\n<property name=\"p\" value=\"before\"/>\n</item>\n"
      "<section name=\"S\" visible=\"true\">\n<property name=\"q\" value=\"in\"/>\n</section>\n"
      "<item name=\"After\">\n<property name=\"p\" value=\"after\"/>\n</item>\n"
      "<property name=\"r\" value=\"after\"/>\n");
  using Shapes = std::vector<std::vector<std::string>>;
  EXPECT_EQ(Shape(reader.VisibleSections().at("S")), (Shapes{{"q=in"}}));
  EXPECT_EQ(reader.VisibleSections().size(), 1u);
  EXPECT_EQ(reader.GetValue("S", "", "p"), "");
  EXPECT_EQ(reader.GetValue("S", "", "r"), "");
}

TEST_F(UsageStatisticsFileTest, ADamagedFileKeepsWhatWasReadBeforeTheDamage) {
  const std::string good = "<section name=\"S\" visible=\"true\">\n<property name=\"a\" value=\"1\"/>\n";
  // Broken markup: the parse ends there, what came before stays.
  const MtnC::XmlReader broken = ReadBody(good + "<property name=\"b\" value=\"2\"\n<property name=\"c\" value=\"3\"/>\n");
  EXPECT_EQ(broken.GetValue("S", "", "a"), "1");
  EXPECT_EQ(broken.GetValue("S", "", "c"), "");
  // Cut off in the middle.
  const MtnC::XmlReader truncated = ReadText(kHead + good + "<property name=\"b\" val");
  EXPECT_EQ(truncated.GetValue("S", "", "a"), "1");
  // Not XML, empty, missing, a directory.
  EXPECT_TRUE(ReadText("not xml at all").VisibleSections().empty());
  EXPECT_TRUE(ReadText("").VisibleSections().empty());
  EXPECT_TRUE(MtnC::XmlReader((m_dir / "missing.xml").string()).VisibleSections().empty());
  EXPECT_TRUE(MtnC::XmlReader(m_dir.string()).VisibleSections().empty());
  // A document type is refused before any entity it declares is read or expanded.
  const MtnC::XmlReader typed = ReadText(
      "<?xml version=\"1.0\"?>\n<!DOCTYPE document [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>\n"
      "<document><section name=\"S\" visible=\"true\"><property name=\"a\" value=\"&e;\"/></section></document>\n");
  EXPECT_EQ(typed.GetValue("S", "", "a"), "");
}

TEST_F(UsageStatisticsFileTest, HugeInputsAreReadOrRefusedWithinBounds) {
  // A long value and many items are read.
  const std::string longValue(1 << 20, 'v');
  MtnC::XmlWriter writer("kv", m_dir.string());
  writer.WriteHeader();
  writer.BeginSection("S", true);
  writer.AddProperty("Long", longValue, "");
  for (int i = 0; i < 20000; ++i) {
    writer.BeginItem("I" + std::to_string(i));
    writer.AddProperty("n", std::to_string(i), "");
    writer.EndItem();
  }
  writer.EndSection();
  ASSERT_TRUE(writer.WriteFile());
  const MtnC::XmlReader reader(writer.FileName());
  EXPECT_EQ(reader.GetValue("S", "", "Long"), longValue);
  EXPECT_EQ(reader.GetValue("S", "I19999", "n"), "19999");
  EXPECT_EQ(reader.VisibleSections().at("S").size(), 20001u);

  // Nesting beyond any statistics file is refused before the parser sees it.
  std::string deep = kHead + "<section name=\"S\" visible=\"true\">\n<property name=\"a\" value=\"1\"/>\n";
  for (int i = 0; i < 100000; ++i) deep += "<x>";
  EXPECT_TRUE(ReadText(deep).VisibleSections().empty());

  // A file far larger than any statistics file is not read.
  std::string large = kHead + "<section name=\"S\" visible=\"true\">\n<property name=\"a\" value=\"1\"/>\n";
  large += "<!--" + std::string(17 << 20, ' ') + "-->\n</section>\n" + kTail;
  EXPECT_TRUE(ReadText(large).VisibleSections().empty());
}

}  // namespace
