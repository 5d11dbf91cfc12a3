// libFuzzer target: the input is scanned as VHDL-93, VHDL-2008 and SystemVerilog, then handed to a
// project as three files. In the scans every include resolves to the input itself or to its second
// half, so the preprocessor's bounds are reached too.

#include <cstddef>
#include <cstdint>
#include <string>

#include "HdlScan/Project.h"
#include "HdlScan/Scan.h"

using namespace Hdl::scan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // The input's second half also serves as an include file, so that includes hold fuzzed text.
  const std::string half = text.substr(size / 2);
  Reader reader = [&](const std::string& path, std::string* out) {
    if (path.find("missing") != std::string::npos) return ReadStatus::kMissing;
    *out = path.find("half") != std::string::npos ? half : text;
    return ReadStatus::kOk;
  };
  ScanOptions options;
  options.reader = reader;
  options.macros = {"FAST", "WIDTH=8", "CELL=leaf"};
  options.includeDirs = {"inc"};
  options.maxExpansionBytes = std::size_t{1} << 18;
  ScanText(text, Language::kVhdl, "f.vhd", options);
  options.vhdlStandard = VhdlStandard::k2008;
  ScanText(text, Language::kVhdl, "f.vhd", options);
  ScanText(text, Language::kSystemVerilog, "f.sv", options);

  // The project reads the input as its three files; its includes hold only a little text, as the
  // scans above already took includes to their bounds.
  Project project;
  project.SetReader([&](const std::string& path, std::string* out) {
    if (path == "a.vhd" || path == "b.sv") {
      *out = text;
    } else if (path == "half.v") {
      *out = half;
    } else if (path.find("missing") != std::string::npos) {
      return ReadStatus::kMissing;
    } else {
      *out = "`define CELL leaf\nmodule included; endmodule\n";
    }
    return ReadStatus::kOk;
  });
  project.SetVhdlStandard(VhdlStandard::k2008);
  project.SetMacros(options.macros);
  project.SetMaxHierarchyNodes(10000);
  project.AddFile(1, "a.vhd", 1);
  project.AddFile(2, "b.sv", 2);
  project.AddFile(3, "half.v", 3, "other");
  project.GetCompileOrder();
  for (const TopCandidate& top : project.TopCandidates()) {
    project.Hierarchy(top.unit.name, top.unit.library);
    project.GetCompileOrder(top.unit.name);
    project.InterfaceOf(top.unit.name, top.unit.library);
  }
  project.Messages();
  return 0;
}
