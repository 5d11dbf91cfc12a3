// The numbers a view's BRANCH stands for, and the Tcl text of a view's files: every layout must
// read back in Tcl as the values it was made from, whatever the names hold.

#include <gtest/gtest.h>

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

// The view's settings with BRANCH alone, or none; a lookup hands out a new instance with one reference.
struct Settings final : Hvd::TComponent<Settings, Hvd::IKeyedPropertySet> {
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IKeyedPropertySet>(this), Hvd::Row<Prjrep::IRefCount>(&m_count),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::IPropertyInstance* Lookup(const Text& key) override {
    return key.str() == "BRANCH" && branch != nullptr ? new Setting(branch) : nullptr;
  }
  const char* branch = nullptr;
  Prjrep::TRefCountHelper<Settings> m_count{this};
};

TEST(BranchesTest, BranchNamesGiveTheirNumbersInAnyCaseAndAnythingElseTheDefaults) {
  const struct {
    const char* branch;  // none for a view without BRANCH
    std::uint32_t target, id;
  } rows[] = {{"Implementation", 2, 1},          {"IMPLEMENTATION", 2, 1},
              {"BehavioralSimulation", 1, 0},    {"postsynthesissimulation", 3, 2},
              {"PostTranslateSimulation", 4, 3}, {"PostMapSimulation", 5, 4},
              {"PostRouteSimulation", 6, 5},     {"", 7, 1},
              {"Implementation2", 7, 1},         {nullptr, 7, 1}};
  Settings settings;
  for (const auto& row : rows) {
    settings.branch = row.branch;
    std::uint32_t target = 99, id = 99;
    EXPECT_TRUE(Hvd::CView::GetViewSequenceIDTarget(&settings, &target) == kSuccess && target == row.target);
    EXPECT_TRUE(Hvd::CView::GetAutoManageViewID(&settings, &id) == kSuccess && id == row.id);
  }
  std::uint32_t untouched = 42;
  EXPECT_EQ(Hvd::CView::GetViewSequenceIDTarget(nullptr, &untouched), Hvd::kBadParameters);
  EXPECT_EQ(Hvd::CView::GetAutoManageViewID(nullptr, &untouched), Hvd::kBadParameters);
  EXPECT_EQ(untouched, 42u);
}

Hvd::ViewFileRecord Record(const char* path, const char* language, const char* library, std::vector<Text> units = {}) {
  return Hvd::ViewFileRecord{Text(path), Text(language), Text(library), Text("UserSource"), std::move(units)};
}

// Every layout reads back as the values it was made from: an EDIF file (no language) is left out
// of the source list, a unit named twice in one file is listed once, and Tcl characters and
// separators inside values are escaped so that only the bare ones delimit.
TEST(BranchesTest, EveryLayoutKeepsPlainNamesAndEscapesHostileOnes) {
  const std::vector<Hvd::ViewFileRecord> plain = {
      Record("/p/top.vhd", "vhdl", "work", {Text("top"), Text("top"), Text("helper")}),
      Record("/p/net.edf", "", "work"),
      Record("/p/core.v", "verilog", "lib1", {Text("core")}),
  };
  const std::vector<Hvd::ViewFileRecord> hostile = {Record("/p/my dir/a{b}[c].vhd", "vhdl", "lib }x", {Text("u;$v")})};
  const struct {
    const std::vector<Hvd::ViewFileRecord>& files;
    const char* mode;
    const char* text;
  } rows[] = {
      {plain, "qlbprjsourcelist", "{vhdl work \"/p/top.vhd\"} {verilog lib1 \"/p/core.v\"} "},
      {plain, "ModuleList", "top;/p/top.vhd$helper;/p/top.vhd$core;/p/core.v$"},
      {plain, "anything", "work;/p/top.vhd;UserSource$work;/p/net.edf;UserSource$lib1;/p/core.v;UserSource$"},
      {hostile, "QlbPrjSourceList", "{vhdl lib\\ \\}x \"/p/my\\ dir/a\\{b\\}\\[c\\].vhd\"} "},
      {hostile, "ModuleList", "u\\;\\$v;/p/my\\ dir/a\\{b\\}\\[c\\].vhd$"},
      {hostile, "", "lib\\ \\}x;/p/my\\ dir/a\\{b\\}\\[c\\].vhd;UserSource$"},
  };
  for (const auto& row : rows) EXPECT_EQ(Hvd::FormatViewFileRecords(row.files, Text(row.mode)).str(), row.text);
  EXPECT_EQ(Hvd::FormatViewFileRecords({}, Text("ModuleList")).str(), "");
}

}  // namespace
}  // namespace branches_test
