// The test designs under tests/data/hdl, each checked against the expectations in its EXPECT file:
// order constraints, top candidates, hierarchy nodes and messages. The order must not depend on
// how the files were handed to the project, nor change when everything is scanned again.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "hdl/HdlSupport.h"

namespace {

using namespace hdl_test;
namespace fs = std::filesystem;

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::vector<std::string> Labels(const std::vector<UnitInfo>& units) {
  std::vector<std::string> labels;
  for (const UnitInfo& unit : units) labels.push_back(unit.Label());
  return labels;
}

MessageKind KindOf(const std::string& name) {
  static const std::pair<const char*, MessageKind> kKinds[] = {
      {"cycle", MessageKind::kCycle},
      {"filecycle", MessageKind::kFileCycle},
      {"missing", MessageKind::kMissingUnit},
      {"duplicate", MessageKind::kDuplicateUnit},
      {"includenotfound", MessageKind::kIncludeNotFound},
      {"includecycle", MessageKind::kIncludeCycle},
      {"truncated", MessageKind::kTruncated},
  };
  for (const auto& [text, kind] : kKinds) {
    if (name == text) return kind;
  }
  ADD_FAILURE() << "unknown message kind " << name;
  return MessageKind::kSyntax;
}

const HierarchyNode* FindNode(const HierarchyNode& node, const std::string& path) {
  if (node.path == path) return &node;
  for (const HierarchyNode& child : node.children) {
    if (path.compare(0, child.path.size(), child.path) == 0) {
      if (const HierarchyNode* found = FindNode(child, path)) return found;
    }
  }
  return nullptr;
}

class DesignTest : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    dir = fs::path(HDL_TEST_DATA) / GetParam();
    std::ifstream in(dir / "EXPECT");
    ASSERT_TRUE(in) << dir;
    for (std::string line; std::getline(in, line);) {
      std::vector<std::string> words = Words(line);
      if (words.empty() || words[0][0] == '#') continue;
      if (words[0] == "macro") {
        macros.push_back(words.at(1));
      } else if (words[0] == "incdir") {
        includeDirs.push_back((dir / words.at(1)).string());
      } else {
        expectations.push_back(std::move(words));
      }
    }
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.is_regular_file() && LanguageOfPath(entry.path().string()) != Language::kUnknown) {
        fileNames.push_back(entry.path().filename().string());
      }
    }
    std::sort(fileNames.begin(), fileNames.end());
  }

  // Handles are handed out in `sequence`; the order index is always the name order.
  void Fill(Project& project, const std::vector<std::size_t>& sequence) {
    project.SetMacros(macros);
    project.SetIncludeDirs(includeDirs);
    for (std::size_t i : sequence) {
      ASSERT_TRUE(project.AddFile(100 + i, (dir / fileNames[i]).string(), static_cast<std::int64_t>(i)));
    }
  }

  fs::path dir;
  std::vector<std::string> fileNames;
  std::vector<std::string> macros;
  std::vector<std::string> includeDirs;
  std::vector<std::vector<std::string>> expectations;
};

TEST_P(DesignTest, MeetsItsExpectations) {
  std::vector<std::size_t> sequence(fileNames.size());
  for (std::size_t i = 0; i < sequence.size(); ++i) sequence[i] = i;
  Project project;
  Fill(project, sequence);
  const CompileOrder order = project.GetCompileOrder();
  const std::vector<std::string> labels = Labels(order.units);
  const std::vector<TopCandidate> tops = project.TopCandidates();
  const std::vector<Message> messages = project.Messages();
  auto at = [&](const std::string& label) {
    const auto found = std::find(labels.begin(), labels.end(), label);
    EXPECT_NE(found, labels.end()) << label << " is not in the compile order";
    return found - labels.begin();
  };
  std::vector<std::pair<std::string, bool>> expectedTops;
  for (const std::vector<std::string>& e : expectations) {
    SCOPED_TRACE(testing::PrintToString(e));
    if (e[0] == "before") {
      EXPECT_LT(at(e.at(1)), at(e.at(2)));
    } else if (e[0] == "last") {
      EXPECT_EQ(at(e.at(1)), static_cast<long>(labels.size()) - 1);
    } else if (e[0] == "units") {
      EXPECT_EQ(labels.size(), std::stoul(e.at(1)));
    } else if (e[0] == "top") {
      expectedTops.emplace_back(e.at(1), e.size() > 2 && e[2] == "testbench");
    } else if (e[0] == "node") {
      const std::string top = e.at(1).substr(0, e[1].find('/'));
      const std::optional<HierarchyNode> tree = project.Hierarchy(top);
      ASSERT_TRUE(tree.has_value());
      const HierarchyNode* node = FindNode(*tree, e[1]);
      ASSERT_NE(node, nullptr);
      EXPECT_EQ(node->instanceName, e[1].substr(e[1].rfind('/') + 1));
      EXPECT_EQ(node->unit ? node->unit->Label() : "-", e.at(2));
      if (e.size() > 3) {
        EXPECT_EQ(node->architecture ? node->architecture->Label() : "-", e[3]);
      }
    } else if (e[0] == "order-for") {
      const std::vector<std::string> expected(e.begin() + 2, e.end());
      EXPECT_EQ(Labels(project.GetCompileOrder(e.at(1)).units), expected);
    } else if (e[0] == "message") {
      EXPECT_EQ(CountMessages(messages, KindOf(e.at(1))), std::stoi(e.at(2)));
    } else if (e[0] == "nomessages") {
      for (const Message& message : messages)
        ADD_FAILURE() << message.path << ":" << message.line << " " << message.text;
    } else {
      ADD_FAILURE() << "unknown expectation";
    }
  }
  std::vector<std::pair<std::string, bool>> actualTops;
  for (const TopCandidate& top : tops) actualTops.emplace_back(std::string(top.unit.name), top.testbench);
  EXPECT_EQ(actualTops, expectedTops);

  // Every file of a unit comes in the file order, each once.
  EXPECT_EQ(order.files.size(), fileNames.size());

  // The same design handed over backwards, and scanned again, orders the same.
  std::vector<std::size_t> backwards(sequence.rbegin(), sequence.rend());
  Project again;
  Fill(again, backwards);
  EXPECT_EQ(Labels(again.GetCompileOrder().units), labels);
  EXPECT_EQ(again.GetCompileOrder().files, order.files);
  for (std::size_t i = 0; i < fileNames.size(); ++i) again.SetModified(100 + i);
  EXPECT_EQ(again.Update(), fileNames.size());
  EXPECT_EQ(Labels(again.GetCompileOrder().units), labels);
}

INSTANTIATE_TEST_SUITE_P(Designs, DesignTest,
                         testing::Values("vhdl_only", "verilog_only", "mixed", "cycle", "missing", "includes_macros"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
