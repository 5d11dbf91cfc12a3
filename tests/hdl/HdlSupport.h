#pragma once
// Helpers of the HDL scanner tests: files held in memory, read through the scanner's reader hook,
// and a one-line-per-unit rendering of a scan that tables can compare against.

#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "HdlScan/Project.h"
#include "HdlScan/Scan.h"

namespace hdl_test {

using namespace Hdl::scan;

class MemoryFiles {
 public:
  void Set(const std::string& path, std::string text) { m_files[path] = std::move(text); }
  void Erase(const std::string& path) { m_files.erase(path); }
  int Reads(const std::string& path) const {
    const auto found = m_reads.find(path);
    return found == m_reads.end() ? 0 : found->second;
  }
  int TotalReads() const {
    int total = 0;
    for (const auto& [path, count] : m_reads) total += count;
    return total;
  }
  Reader GetReader() {
    return [this](const std::string& path, std::string* text) {
      ++m_reads[path];
      const auto found = m_files.find(path);
      if (found == m_files.end()) return ReadStatus::kMissing;
      *text = found->second;
      return ReadStatus::kOk;
    };
  }

 private:
  std::map<std::string, std::string> m_files;
  std::map<std::string, int> m_reads;
};

inline const char* KindName(UnitKind kind) {
  switch (kind) {
    case UnitKind::kVhdlEntity:
      return "entity";
    case UnitKind::kVhdlArchitecture:
      return "architecture";
    case UnitKind::kVhdlPackage:
      return "package";
    case UnitKind::kVhdlPackageBody:
      return "body";
    case UnitKind::kVhdlConfiguration:
      return "configuration";
    case UnitKind::kVhdlContext:
      return "context";
    case UnitKind::kVerilogModule:
      return "module";
    case UnitKind::kVerilogInterface:
      return "interface";
    case UnitKind::kVerilogPackage:
      return "vpackage";
    case UnitKind::kVerilogProgram:
      return "program";
    case UnitKind::kVerilogPrimitive:
      return "primitive";
  }
  return "?";
}

inline const char* RefName(RefKind kind) {
  switch (kind) {
    case RefKind::kUse:
      return "use";
    case RefKind::kContext:
      return "context";
    case RefKind::kInstance:
      return "inst";
    case RefKind::kEntityInstance:
      return "entity";
    case RefKind::kConfigurationInstance:
      return "config";
    case RefKind::kEntityBinding:
      return "bind-entity";
    case RefKind::kConfigurationBinding:
      return "bind-config";
    case RefKind::kArchitecture:
      return "arch";
    case RefKind::kImport:
      return "import";
    case RefKind::kScope:
      return "scope";
  }
  return "?";
}

// "entity core ports: use ieee.std_logic_1164, inst leaf@u1" with one line per unit; an
// architecture shows "of entity", an unfinished unit "incomplete".
inline std::string Summary(const ScanResult& result) {
  std::string text;
  for (const Unit& unit : result.units) {
    if (!text.empty()) text += "\n";
    text += std::string(KindName(unit.kind)) + " " + unit.name;
    if (!unit.primary.empty() && unit.kind != UnitKind::kVhdlPackageBody) text += " of " + unit.primary;
    if (unit.hasPorts) text += " ports";
    if (!unit.complete) text += " incomplete";
    const char* separator = ": ";
    for (const Reference& ref : unit.references) {
      text += separator;
      separator = ", ";
      text += std::string(RefName(ref.kind)) + " ";
      if (!ref.library.empty()) text += ref.library + ".";
      text += ref.name;
      if (!ref.secondary.empty()) text += "(" + ref.secondary + ")";
      if (!ref.label.empty()) text += "@" + ref.label;
    }
  }
  return text;
}

// A test name from a case's description.
inline std::string TestName(const char* what) {
  std::string name;
  for (const char* c = what; *c; ++c) name.push_back(std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_');
  return name;
}

inline int CountMessages(const std::vector<Message>& messages, MessageKind kind) {
  int count = 0;
  for (const Message& message : messages) count += message.kind == kind ? 1 : 0;
  return count;
}

}  // namespace hdl_test
