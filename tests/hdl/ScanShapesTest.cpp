// Shapes of text that once cost the scanner more than their length: what it keeps of them stays
// what it was, and grows only with the text.

#include <gtest/gtest.h>

#include <string>

#include "HdlSupport.h"

namespace {

using namespace hdl_test;

// Repeats are dropped by a set now, not by a walk over the list: each package is still listed
// once, where it is first named, in any case for VHDL and per kind.
TEST(ScanShapesTest, PackagesAreListedOnceInTheOrderFirstNamed) {
  const Case cases[] = {
      {"VHDL use and context clauses",
       Language::kVhdl,
       "library lib; context lib.c; use WORK.B.all; use work.a.all; use work.b.x; use LIB.C.all;\n"
       "entity e is end; architecture r of e is begin end;\n"
       "use work.b.all; use work.b.all; entity f is end;",
       "entity e: context lib.c, use WORK.B, use work.a, use LIB.C\narchitecture r of e\nentity f: use work.b",
       {},
       {},
       VhdlStandard::k2008},
      {"SystemVerilog imports and scopes", Language::kSystemVerilog,
       "import b::*; import a::x;\nmodule m; import c::*; import a::*; assign y = c::f + d::g + b::h; endmodule\n"
       "module n; import d::*; endmodule",
       "module m: import b, import a, import c, scope d\nmodule n: import b, import a, import d"},
  };
  for (const Case& c : cases) Check(c);
}

// Instances inside named blocks nested as deep as they are many: each block's label is kept once,
// so what the scan keeps grows with the text, and an instance's full label is built when asked.
TEST(ScanShapesTest, NestedNamedBlocksAreKeptOnceEach) {
  constexpr int kDepth = 3000;
  std::string verilog = "module m (input x);\n", vhdl = "architecture r of e is begin\n";
  for (int i = 0; i < kDepth; ++i) {
    verilog += "if (1) begin : b" + std::to_string(i) + "\n  leaf u" + std::to_string(i) + " (.a(x));\n";
    vhdl += "b" + std::to_string(i) + " : block begin\n  u" + std::to_string(i) + " : entity work.leaf;\n";
  }
  for (int i = 0; i < kDepth; ++i) {
    verilog += "end\n";
    vhdl += "end block;\n";
  }
  std::string deepest;
  for (int i = 0; i < kDepth; ++i) deepest += "b" + std::to_string(i) + "/";
  deepest += "u" + std::to_string(kDepth - 1);
  for (const auto& [language, text] :
       {std::pair{Language::kVerilog, verilog + "endmodule\n"}, std::pair{Language::kVhdl, vhdl + "end;\n"}}) {
    const ScanResult result = ScanText(text, language, "t", ScanOptions());
    ASSERT_EQ(result.units.size(), 1u);
    const Unit& unit = result.units[0];
    ASSERT_EQ(unit.references.size(), static_cast<std::size_t>(kDepth));
    std::size_t kept = 0;
    for (const Reference& ref : unit.references) kept += ref.label.size();
    for (const Scope& scope : unit.scopes) kept += scope.label.size();
    EXPECT_LT(kept, text.size()) << "label bytes kept";
    EXPECT_EQ(ScopedLabel(unit, unit.references.front()), "b0/u0");
    EXPECT_EQ(ScopedLabel(unit, unit.references.back()), deepest);
  }
}

}  // namespace
