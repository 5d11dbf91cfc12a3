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

}  // namespace
