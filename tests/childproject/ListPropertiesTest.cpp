// "|"-separated list properties of a parent and its child, and named-property access.

#include "ChildSupport.h"
#include "childproject/FileComposer.h"
#include "childproject/ListProperties.h"

namespace {

using namespace child_testing;
using Hvd::GetPropertyValueByName, Hvd::SetPropertyValueByName, Hvd::ListPropertyMerger;

class ListPropertiesTest : public ChildProjectTest {
 protected:
  void SetUp() override {
    ChildProjectTest::SetUp();
    m_parent = Open("proj/p.xhlc");
    m_child = Open("proj/core/core.xhlc");
  }
  std::string Get(Hvd::IProject* project, const char* name) { return GetPropertyValueByName(project, name).str(); }
  void Set(Hvd::IProject* project, const char* name, const std::string& value) {
    std::ignore = SetPropertyValueByName(project, name, value.c_str());
    ASSERT_EQ(Get(project, name), value) << name;
  }
  Hvd::IProject* m_parent = nullptr;
  Hvd::IProject* m_child = nullptr;
};

TEST_F(ListPropertiesTest, NamedAccess) {
  EXPECT_FALSE(Hvd::FindPropertyInstance(m_parent, "PROP_NoSuchProperty"));
  EXPECT_FALSE(Hvd::FindPropertyInstance(nullptr, "PROP_qlbVerilogMacros"));
  EXPECT_EQ(Get(m_parent, "PROP_NoSuchProperty"), "");
  EXPECT_EQ(SetPropertyValueByName(m_parent, "PROP_NoSuchProperty", "v").str(), "v");
  Set(m_child, "PROP_ProjectGeneratorType", "Moldrix");
  EXPECT_EQ(Hvd::GetGeneratorType(m_child).str(), "Moldrix");
  EXPECT_EQ(ListPropertyMerger(m_parent, m_child).ProjectDirectory(m_child).str(), PathOf("proj/core/"));
}

// One parent entry per child entry; empty entries vanish on the way.
TEST_F(ListPropertiesTest, StringListsLoseTheChildsEntries) {
  Set(m_parent, "PROP_qlbVerilogMacros", "a|b|a");
  Set(m_child, "PROP_qlbVerilogMacros", "a");
  Set(m_parent, "PROP_qlbGenericsParameters", "x||y");
  Set(m_parent, "PROP_ovraSpecifyDefMacroAndValue", "M=1|N=2");
  Set(m_child, "PROP_ovraSpecifyDefMacroAndValue", "m=1|N=2");  // compared as strings, exactly
  EXPECT_EQ(Hvd::RemoveChildListProperties(m_parent, m_child), kSuccess);
  EXPECT_EQ(Get(m_parent, "PROP_qlbVerilogMacros"), "b|a");
  EXPECT_EQ(Get(m_parent, "PROP_qlbGenericsParameters"), "x|y");
  EXPECT_EQ(Get(m_parent, "PROP_ovraSpecifyDefMacroAndValue"), "M=1");
  EXPECT_EQ(Get(m_child, "PROP_qlbVerilogMacros"), "a");
  EXPECT_EQ(Hvd::RemoveChildListProperties(nullptr, m_child), kFailure);
  EXPECT_EQ(Hvd::RemoveChildListProperties(m_parent, nullptr), kFailure);
}

// The child's relative entries are rebased on its directory and then matched; the child's
// directory itself leaves too; the user's own entries stay.
TEST_F(ListPropertiesTest, PathListsLoseTheChildsEntriesAsPaths) {
  const std::string core = PathOf("proj/core");
  Set(m_parent, "PROP_ovraSpecifySearchDirectory", core + "/inc|" + PathOf("proj/mine") + "|" + core + "/");
  Set(m_child, "PROP_ovraSpecifySearchDirectory", "inc");
  Set(m_parent, "PROP_velmTrnbldMacro", core + "/sub/../macros|" + core + "/macros");
  Set(m_child, "PROP_velmTrnbldMacro", "macros");
  Set(m_parent, "PROP_TralorSearchPathForSource", core);  // without the trailing separator: kept
  ASSERT_EQ(Hvd::RemoveChildListProperties(m_parent, m_child), kSuccess);
  EXPECT_EQ(Get(m_parent, "PROP_ovraSpecifySearchDirectory"), PathOf("proj/mine"));
  // Entries of the parent are compared as they stand.
  EXPECT_EQ(Get(m_parent, "PROP_velmTrnbldMacro"), core + "/sub/../macros");
  EXPECT_EQ(Get(m_parent, "PROP_TralorSearchPathForSource"), core);
}

TEST_F(ListPropertiesTest, PathListsGainWhatTheyLack) {
  Set(m_child, "PROP_ovraSpecifySearchDirectory", "lib|lib|" + PathOf("shared"));
  Set(m_parent, "PROP_ovraSpecifySearchDirectory", "");
  ListPropertyMerger merger(m_parent, m_child);
  merger.MergePathListProperty("PROP_ovraSpecifySearchDirectory", nullptr, false);
  const std::string merged = PathOf("proj/core/lib") + "|" + PathOf("shared");
  EXPECT_EQ(Get(m_parent, "PROP_ovraSpecifySearchDirectory"), merged);
  merger.MergePathListProperty("PROP_ovraSpecifySearchDirectory", nullptr, false);
  EXPECT_EQ(Get(m_parent, "PROP_ovraSpecifySearchDirectory"), merged);  // nothing twice
  merger.MergePathListProperty("PROP_ovraSpecifySearchDirectory", "extra", true);
  EXPECT_EQ(Get(m_parent, "PROP_ovraSpecifySearchDirectory"),
            merged + "|" + PathOf("proj/core/extra") + "|" + PathOf("proj/core/"));
  // A property the target lacks changes nothing.
  merger.MergePathListProperty("PROP_NoSuchProperty", "x", true);
}

// The second project's value goes to the first; a property that either project lacks, or a
// missing project, changes nothing.
TEST_F(ListPropertiesTest, APropertyValueIsCopiedFromTheSecondProjectToTheFirst) {
  Set(m_parent, "PROP_qlbVerilogMacros", "MINE");
  Set(m_child, "PROP_qlbVerilogMacros", "THEIRS=1");
  Hvd::CopyPropertyValueBetween(m_parent, m_child, "PROP_qlbVerilogMacros");
  EXPECT_EQ(Get(m_parent, "PROP_qlbVerilogMacros"), "THEIRS=1");
  EXPECT_EQ(Get(m_child, "PROP_qlbVerilogMacros"), "THEIRS=1");
  Set(m_child, "PROP_qlbVerilogMacros", "");
  Hvd::CopyPropertyValueBetween(m_parent, m_child, "PROP_qlbVerilogMacros");
  EXPECT_EQ(Get(m_parent, "PROP_qlbVerilogMacros"), "") << "an empty value is a value";

  Set(m_parent, "PROP_qlbVerilogMacros", "MINE");
  Set(m_child, "PROP_qlbVerilogMacros", "THEIRS=2");
  Hvd::CopyPropertyValueBetween(m_parent, nullptr, "PROP_qlbVerilogMacros");
  Hvd::CopyPropertyValueBetween(nullptr, m_child, "PROP_qlbVerilogMacros");
  Hvd::CopyPropertyValueBetween(m_parent, m_child, "PROP_NoSuchProperty");
  EXPECT_EQ(Get(m_parent, "PROP_qlbVerilogMacros"), "MINE");
  EXPECT_EQ(Get(m_parent, "PROP_NoSuchProperty"), "");
  EXPECT_EQ(Get(m_child, "PROP_qlbVerilogMacros"), "THEIRS=2");
}

}  // namespace
