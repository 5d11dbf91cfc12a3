// The test designs under tests/data/hdl, each checked against the expectations in its EXPECT file:
// order constraints, top candidates, hierarchy nodes and messages. The order must not depend on
// how the files were handed to the project, nor change when everything is scanned again.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "hdl/HdlSupport.h"

namespace {

using namespace hdl_test;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// Every node below `node` by its path: its unit and architecture, "-" for what is not bound.
using Nodes = std::map<std::string, std::pair<std::string, std::string>>;
void Flatten(const HierarchyNode& node, Nodes& out) {
  for (const HierarchyNode& child : node.children) {
    EXPECT_EQ(child.instanceName, child.path.substr(child.path.rfind('/') + 1));
    out[child.path] = {child.unit ? child.unit->Label() : "-", child.architecture ? child.architecture->Label() : "-"};
    Flatten(child, out);
  }
}

class DesignTest : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    dir = fs::path(HDL_TEST_DATA) / GetParam();
    std::ifstream in(dir / "EXPECT");
    ASSERT_TRUE(in) << dir;
    for (std::string line; std::getline(in, line);) {
      std::istringstream words(line);
      Strings e;
      for (std::string word; words >> word;) e.push_back(word);
      if (e.empty() || e[0][0] == '#') continue;
      if (e[0] == "macro")
        macros.push_back(e.at(1));
      else if (e[0] == "incdir")
        includeDirs.push_back((dir / e.at(1)).string());
      else
        expectations.push_back(std::move(e));
    }
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (LanguageOfPath(entry.path().string()) != Language::kUnknown) fileNames.push_back(entry.path().filename());
    }
    std::sort(fileNames.begin(), fileNames.end());
  }

  // Handles are handed out forwards or backwards; the order index is always the name order.
  void Fill(Project& project, bool backwards) {
    project.SetMacros(macros);
    project.SetIncludeDirs(includeDirs);
    for (std::size_t n = 0; n < fileNames.size(); ++n) {
      const std::size_t i = backwards ? fileNames.size() - 1 - n : n;
      ASSERT_TRUE(project.AddFile(100 + i, (dir / fileNames[i]).string(), static_cast<std::int64_t>(i)));
    }
  }

  fs::path dir;
  Strings fileNames, macros, includeDirs;
  std::vector<Strings> expectations;
};

TEST_P(DesignTest, MeetsItsExpectations) {
  using enum MessageKind;
  static const std::map<std::string, MessageKind> kKinds = {{"cycle", kCycle},
                                                            {"filecycle", kFileCycle},
                                                            {"missing", kMissingUnit},
                                                            {"includenotfound", kIncludeNotFound},
                                                            {"includecycle", kIncludeCycle},
                                                            {"duplicate", kDuplicateUnit}};
  Project project;
  project.SetScanThreads(1);
  Fill(project, false);
  const CompileOrder order = project.GetCompileOrder();
  const Strings labels = Labels(order.units);
  const std::vector<Message> messages = project.Messages();
  auto at = [&](const std::string& label) {
    const auto found = std::find(labels.begin(), labels.end(), label);
    EXPECT_NE(found, labels.end()) << label << " is not in the compile order";
    return found - labels.begin();
  };
  std::vector<std::pair<std::string, bool>> expectedTops, actualTops;
  for (const Strings& e : expectations) {
    SCOPED_TRACE(testing::PrintToString(e));
    if (e[0] == "before") {
      EXPECT_LT(at(e.at(1)), at(e.at(2)));
    } else if (e[0] == "file-before") {
      const auto file = [&](const std::string& name) {
        return std::find_if(order.files.begin(), order.files.end(),
                            [&](FileHandle handle) {
                              return fs::path(std::string(*project.PathOf(handle))).filename() == name;
                            }) -
               order.files.begin();
      };
      EXPECT_LT(file(e.at(1)), file(e.at(2)));
    } else if (e[0] == "last") {
      EXPECT_EQ(at(e.at(1)), static_cast<long>(labels.size()) - 1);
    } else if (e[0] == "units") {
      EXPECT_EQ(labels.size(), std::stoul(e.at(1)));
    } else if (e[0] == "top") {
      expectedTops.emplace_back(e.at(1), e.size() > 2 && e[2] == "testbench");
    } else if (e[0] == "node") {
      const std::optional<HierarchyNode> tree = project.Hierarchy(e.at(1).substr(0, e[1].find('/')));
      ASSERT_TRUE(tree.has_value());
      Nodes nodes;
      Flatten(*tree, nodes);
      ASSERT_EQ(nodes.count(e[1]), 1u);
      EXPECT_EQ(nodes[e[1]].first, e.at(2));
      if (e.size() > 3) {
        EXPECT_EQ(nodes[e[1]].second, e[3]);
      }
    } else if (e[0] == "order-for") {
      EXPECT_EQ(Labels(project.GetCompileOrder(e.at(1)).units), Strings(e.begin() + 2, e.end()));
    } else if (e[0] == "message") {
      ASSERT_EQ(kKinds.count(e.at(1)), 1u);
      EXPECT_EQ(CountMessages(messages, kKinds.at(e[1])), std::stoi(e.at(2)));
    } else if (e[0] == "nomessages") {
      for (const Message& message : messages)
        ADD_FAILURE() << message.path << ":" << message.line << " " << message.text;
    } else {
      ADD_FAILURE() << "unknown expectation";
    }
  }
  for (const TopCandidate& top : project.TopCandidates()) actualTops.emplace_back(top.unit.name, top.testbench);
  EXPECT_EQ(actualTops, expectedTops);
  EXPECT_EQ(order.files.size(), fileNames.size());  // every file in the order, each once

  // The same design handed over backwards and scanned on eight threads, and scanned again, orders
  // and says the same.
  Project again;
  again.SetScanThreads(8);
  Fill(again, true);
  EXPECT_EQ(Labels(again.GetCompileOrder().units), labels);
  EXPECT_EQ(again.GetCompileOrder().files, order.files);
  auto said = [](const std::vector<Message>& list) {
    Strings lines;
    for (const Message& m : list) lines.push_back(m.path + ":" + std::to_string(m.line) + " " + m.text);
    return lines;
  };
  EXPECT_EQ(said(again.Messages()), said(messages));
  actualTops.clear();
  for (const TopCandidate& top : again.TopCandidates()) actualTops.emplace_back(top.unit.name, top.testbench);
  EXPECT_EQ(actualTops, expectedTops);
  for (std::size_t i = 0; i < fileNames.size(); ++i) again.SetModified(100 + i);
  EXPECT_EQ(again.Update(), fileNames.size());
  EXPECT_EQ(Labels(again.GetCompileOrder().units), labels);
}

INSTANTIATE_TEST_SUITE_P(Designs, DesignTest,
                         testing::Values("vhdl_only", "verilog_only", "mixed", "cycle", "missing", "includes_macros",
                                         "tops", "secondary", "mixed_direct", "macros_files"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
