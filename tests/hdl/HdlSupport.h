#pragma once
// Helpers of the HDL scanner tests: files held in memory, read through the scanner's reader hook,
// a one-line-per-unit rendering of a scan that tables compare against, and a table-driven check.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "HdlScan/Project.h"
#include "HdlScan/Scan.h"

namespace hdl_test {

using namespace Hdl::scan;
constexpr MessageKind kTruncated = MessageKind::kTruncated, kSyntax = MessageKind::kSyntax;

// Projects scan on several threads, so the reader takes a lock.
class MemoryFiles {
 public:
  void Set(const std::string& path, std::string text) {
    const std::lock_guard<std::mutex> hold(m_lock);
    m_files[path] = std::move(text);
  }
  int Reads(const std::string& path) {
    const std::lock_guard<std::mutex> hold(m_lock);
    return m_reads[path];
  }
  Reader GetReader() {
    return [this](const std::string& path, std::string* text) {
      const std::lock_guard<std::mutex> hold(m_lock);
      ++m_reads[path];
      const auto found = m_files.find(path);
      if (found == m_files.end()) return ReadStatus::kMissing;
      *text = found->second;
      return ReadStatus::kOk;
    };
  }

 private:
  std::mutex m_lock;
  std::map<std::string, std::string> m_files;
  std::map<std::string, int> m_reads;
};

// "entity core ports: use ieee.std_logic_1164, inst leaf@u1" with one line per unit; an
// architecture shows "of entity", an unfinished unit "incomplete". Library clauses are left out.
inline std::string Summary(const ScanResult& result) {
  static const char* const kKinds[] = {"entity", "architecture", "package",  "body",    "configuration", "context",
                                       "module", "interface",    "vpackage", "program", "primitive"};
  static const char* const kRefs[] = {"use",         "context",     "inst", "entity", "config",
                                      "bind-entity", "bind-config", "arch", "import", "scope",
                                      "library",     "bind"};
  std::string text;
  for (const Unit& unit : result.units) {
    text += (text.empty() ? "" : "\n") + std::string(kKinds[static_cast<int>(unit.kind)]) + " " + unit.name;
    if (!unit.primary.empty() && unit.kind != UnitKind::kVhdlPackageBody) text += " of " + unit.primary;
    text += std::string(unit.hasPorts ? " ports" : "") + (unit.complete ? "" : " incomplete");
    const char* separator = ": ";
    for (const Reference& ref : unit.references) {
      // Library clauses name no unit, nor need selected names the project settles; read from the
      // references where asked.
      if (ref.kind == RefKind::kLibrary || ref.kind == RefKind::kSelected) continue;
      text += separator + std::string(kRefs[static_cast<int>(ref.kind)]) + " ";
      separator = ", ";
      text += (ref.library.empty() ? "" : ref.library + ".") + ref.name;
      if (!ref.secondary.empty()) text += "(" + ref.secondary + ")";
      if (!ref.label.empty()) text += "@" + ScopedLabel(unit, ref);
    }
  }
  return text;
}

inline std::vector<MessageKind> Kinds(const std::vector<Message>& messages) {
  std::vector<MessageKind> kinds;
  for (const Message& message : messages) kinds.push_back(message.kind);
  return kinds;
}

inline int CountMessages(const std::vector<Message>& messages, MessageKind kind) {
  const std::vector<MessageKind> kinds = Kinds(messages);
  return static_cast<int>(std::count(kinds.begin(), kinds.end(), kind));
}

inline std::vector<std::string> Labels(const std::vector<UnitInfo>& units) {
  std::vector<std::string> labels;
  for (const UnitInfo& unit : units) labels.push_back(unit.Label());
  return labels;
}

// A text scanned alone: its summary and the kinds of its messages, each placed in the file.
struct Case {
  const char* what;
  Language language;
  const char* text;
  const char* summary;
  std::vector<MessageKind> messages = {};
  std::vector<std::string> macros = {};
  VhdlStandard standard = VhdlStandard::k93;
};

inline void Check(const Case& c) {
  SCOPED_TRACE(c.what);
  ScanOptions options;
  options.macros = c.macros;
  options.vhdlStandard = c.standard;
  const ScanResult result = ScanText(c.text, c.language, "t.hdl", options);
  EXPECT_EQ(Summary(result), c.summary);
  EXPECT_EQ(Kinds(result.messages), c.messages);
  for (const Message& message : result.messages) EXPECT_TRUE(message.path == "t.hdl" && message.line > 0);
}

}  // namespace hdl_test
