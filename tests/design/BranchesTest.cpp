// The numbers a view's BRANCH stands for, and the Tcl text of a view's files: every layout must
// read back in Tcl as the values it was made from, whatever the names hold.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "Hvd/IKeyedPropertySet.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "design/view/CView.h"

namespace branches_test {
namespace {

using Hvd::kSuccess, Hvd::Status;
using Text = Port::StringBase<char>;

struct Setting final : Hvd::TComponent<Setting, Hvd::IPropertyInstance> {
  explicit Setting(std::string value) : value(std::move(value)) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IPropertyInstance>(this), Hvd::Row<Prjrep::IRefCount>(&m_count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Status GetName(Text*) override { return Hvd::kNotSupported; }
  Status GetValue(Text* out) override { return *out = Text(value), kSuccess; }
  Status SetValue(const Text&) override { return Hvd::kNotSupported; }
  Status GetTemplate(Hvd::IPropertyTemplate**) override { return Hvd::kNotSupported; }
  Status IsDefault(bool*) override { return Hvd::kNotSupported; }
  std::string value;
  Prjrep::TRefCountHelper<Setting> m_count{this};
};

// Settings by key; a lookup hands out a new instance with one reference.
struct Settings final : Hvd::TComponent<Settings, Hvd::IKeyedPropertySet> {
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IKeyedPropertySet>(this), Hvd::Row<Prjrep::IRefCount>(&m_count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::IPropertyInstance* Lookup(const Text& key) override {
    const auto found = values.find(key.str());
    return found == values.end() ? nullptr : new Setting(found->second);
  }
  std::map<std::string, std::string> values;
  Prjrep::TRefCountHelper<Settings> m_count{this};
};

std::pair<std::uint32_t, std::uint32_t> Numbers(Settings& settings) {
  std::uint32_t target = 99, id = 99;
  EXPECT_EQ(Hvd::CView::GetViewSequenceIDTarget(&settings, &target), kSuccess);
  EXPECT_EQ(Hvd::CView::GetAutoManageViewID(&settings, &id), kSuccess);
  return {target, id};
}

TEST(BranchesTest, BranchNamesGiveTheirNumbersInAnyCaseAndAnythingElseTheDefaults) {
  Settings settings;
  using Pair = std::pair<std::uint32_t, std::uint32_t>;
  const std::map<std::string, Pair> expected = {
      {"Implementation", {2, 1}},          {"IMPLEMENTATION", {2, 1}},
      {"BehavioralSimulation", {1, 0}},    {"postsynthesissimulation", {3, 2}},
      {"PostTranslateSimulation", {4, 3}}, {"PostMapSimulation", {5, 4}},
      {"PostRouteSimulation", {6, 5}},     {"", {7, 1}},
      {"Implementation2", {7, 1}},
  };
  for (const auto& [branch, numbers] : expected) {
    settings.values["BRANCH"] = branch;
    EXPECT_EQ(Numbers(settings), numbers) << branch;
  }
  settings.values.clear();  // no BRANCH at all
  EXPECT_EQ(Numbers(settings), (Pair{7, 1}));

  std::uint32_t untouched = 42;
  EXPECT_EQ(Hvd::CView::GetViewSequenceIDTarget(nullptr, &untouched), Hvd::kBadParameters);
  EXPECT_EQ(Hvd::CView::GetAutoManageViewID(nullptr, &untouched), Hvd::kBadParameters);
  EXPECT_EQ(untouched, 42u);
}

Hvd::ViewFileRecord Record(const char* path, const char* language, const char* library, std::vector<Text> units = {}) {
  return Hvd::ViewFileRecord{Text(path), Text(language), Text(library), Text("UserSource"), std::move(units)};
}

TEST(BranchesTest, PlainNamesKeepTheirLayoutsInEveryMode) {
  const std::vector<Hvd::ViewFileRecord> files = {
      Record("/p/top.vhd", "vhdl", "work", {Text("top"), Text("top"), Text("helper")}),
      Record("/p/net.edf", "", "work"),
      Record("/p/core.v", "verilog", "lib1", {Text("core")}),
  };
  // An EDIF file has no language, so the source list leaves it out.
  EXPECT_EQ(Hvd::FormatViewFileRecords(files, Text("qlbprjsourcelist")).str(),
            "{vhdl work \"/p/top.vhd\"} {verilog lib1 \"/p/core.v\"} ");
  // Two units of one name in one file are listed once.
  EXPECT_EQ(Hvd::FormatViewFileRecords(files, Text("ModuleList")).str(),
            "top;/p/top.vhd$helper;/p/top.vhd$core;/p/core.v$");
  EXPECT_EQ(Hvd::FormatViewFileRecords(files, Text("anything")).str(),
            "work;/p/top.vhd;UserSource$work;/p/net.edf;UserSource$lib1;/p/core.v;UserSource$");
  EXPECT_EQ(Hvd::FormatViewFileRecords({}, Text("ModuleList")).str(), "");
}

TEST(BranchesTest, NamesWithTclCharactersAndSeparatorsAreEscaped) {
  const std::vector<Hvd::ViewFileRecord> files = {
      Record("/p/my dir/a{b}[c].vhd", "vhdl", "lib }x", {Text("u;$v")}),
  };
  // Braces inside the record are escaped, so the element ends at the last brace only, and
  // the quoted path and the library read back as single words.
  EXPECT_EQ(Hvd::FormatViewFileRecords(files, Text("QlbPrjSourceList")).str(),
            "{vhdl lib\\ \\}x \"/p/my\\ dir/a\\{b\\}\\[c\\].vhd\"} ");
  // A separator inside a value is always escaped; only a bare one separates.
  EXPECT_EQ(Hvd::FormatViewFileRecords(files, Text("ModuleList")).str(), "u\\;\\$v;/p/my\\ dir/a\\{b\\}\\[c\\].vhd$");
  EXPECT_EQ(Hvd::FormatViewFileRecords(files, Text("")).str(),
            "lib\\ \\}x;/p/my\\ dir/a\\{b\\}\\[c\\].vhd;UserSource$");
}

}  // namespace
}  // namespace branches_test
