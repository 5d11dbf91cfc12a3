// The Verilog and SystemVerilog scanner: unit headers and ports, what is and is not an instance,
// imports, and the preprocessor (conditionals, macros, includes) with its bounds.

#include <gtest/gtest.h>

#include "hdl/HdlSupport.h"

namespace {

using namespace hdl_test;

struct Case {
  const char* what;
  const char* text;
  const char* summary;
};

class VerilogScanTest : public testing::TestWithParam<Case> {};

TEST_P(VerilogScanTest, FindsUnitsAndWhatTheyNeed) {
  const ScanResult result = ScanText(GetParam().text, Language::kSystemVerilog, "t.sv", ScanOptions{});
  EXPECT_EQ(Summary(result), GetParam().summary);
  for (const Message& message : result.messages) ADD_FAILURE() << message.line << ": " << message.text;
}

INSTANTIATE_TEST_SUITE_P(
    Units, VerilogScanTest,
    testing::Values(
        Case{"every kind of unit, with and without ports",
             "module m1 (input a); endmodule\n"
             "macromodule m2 (a, b); input a; output b; endmodule\n"
             "module tb; endmodule : tb\n"
             "module tb2 (); endmodule\n"
             "module automatic m3 #(parameter W = 1) (input [W-1:0] a); endmodule\n"
             "interface bus_if (input clk); endinterface\n"
             "package pkg; endpackage\n"
             "program prog; endprogram\n"
             "primitive udp (output y, input a); table 0 : 1; 1 : 0; endtable endprimitive",
             "module m1 ports\nmodule m2 ports\nmodule tb\nmodule tb2\nmodule m3 ports\ninterface bus_if ports\n"
             "vpackage pkg\nprogram prog\nprimitive udp ports"},
        Case{"instances of every form",
             "module top (input clk);\n"
             "  leaf u0 (.a(clk));\n"
             "  leaf #(.W(8), .D(2)) u1 (clk), u2 (.a(clk));\n"
             "  leaf #5 u3 [3:0] (clk);\n"
             "  bus_if bif ();\n"
             "  if (1) leaf u4 (clk); else leaf u5 (clk);\n"
             "  case (2) 1: leaf u6 (clk); default: leaf u7 (clk); endcase\n"
             "  for (genvar i = 0; i < 2; i++) begin : g\n"
             "    blk: begin leaf u8 (clk); end\n"
             "    begin leaf u9 (clk); end\n"
             "  end\n"
             "endmodule",
             "module top ports: inst leaf@u0, inst leaf@u1, inst leaf@u2, inst leaf@u3[3:0], inst bus_if@bif, "
             "inst leaf@u4, inst leaf@u5, inst leaf@u6, inst leaf@u7, inst leaf@g/blk/u8, inst leaf@g/u9"},
        Case{"what only looks like an instance",
             "module top (input clk);\n"
             "  my_t x; my_t y [3:0]; my_t z = f(x);\n"
             "  and g1 (o, a, b);\n"
             "  cls #(8) h;\n"
             "  function my_t f(my_t v); mod not_a (v); return v; endfunction\n"
             "  task t(); mod not_b (x); endtask\n"
             "  class c; mod not_c (x); function new(); endfunction endclass\n"
             "  typedef class c2;\n"
             "  covergroup cg @(posedge clk); coverpoint x; endgroup\n"
             "  property p; mod not_d (x); endproperty\n"
             "  assert property (@(posedge clk) x) else $error(\"mod not_e (x);\");\n"
             "  always @(*) begin (* keep *) foo(x); end\n"
             "  import \"DPI-C\" function int c_fn(input int a);\n"
             "  specify (a => b) = 1; endspecify\n"
             "  real_one u (clk);\n"
             "endmodule",
             "module top ports: inst real_one@u"},
        Case{"comments, strings and escaped names",
             "// module fake1; endmodule\n"
             "/* module fake2; endmodule */\n"
             "module \\cpu.core (input a);\n"
             "  string s = \"endmodule module fake3;\";\n"
             "  \\leaf[0] \\u$1 (a);\n"
             "endmodule",
             "module cpu.core ports: inst leaf[0]@u$1"},
        Case{"imports reach every later unit of the file",
             "import a_pkg::*, b_pkg::item;\n"
             "package p; import c_pkg::*; endpackage\n"
             "module m import d_pkg::*; #(parameter T = e_pkg::W) (input f_pkg::t x);\n"
             "  assign y = g_pkg::f(x) + std::randomize(z);\n"
             "  import a_pkg::*;\n"
             "endmodule",
             "vpackage p: import a_pkg, import b_pkg, import c_pkg\n"
             "module m ports: import a_pkg, import b_pkg, import d_pkg, scope e_pkg, scope f_pkg, scope g_pkg"},
        Case{"interface classes and modport prototypes open no unit",
             "interface class ic; pure virtual function void f(); endclass\n"
             "interface bus; modport mp (import task ping(), import function int get()); endinterface\n"
             "module after_them; endmodule",
             "interface bus\nmodule after_them"}),
    [](const testing::TestParamInfo<Case>& info) { return TestName(info.param.what); });

struct Preprocess {
  const char* what;
  std::vector<std::string> macros;
  const char* text;
  const char* summary;
};

class VerilogPreprocessTest : public testing::TestWithParam<Preprocess> {};

TEST_P(VerilogPreprocessTest, ConditionalsAndMacros) {
  ScanOptions options;
  options.macros = GetParam().macros;
  const ScanResult result = ScanText(GetParam().text, Language::kVerilog, "p.v", options);
  EXPECT_EQ(Summary(result), GetParam().summary);
  for (const Message& message : result.messages) ADD_FAILURE() << message.line << ": " << message.text;
}

constexpr const char* kConditionals =
    "module m;\n"
    "`ifdef A\n"
    "  a u (x);\n"
    "  `ifdef B b u (x); `else not_b u (x); `endif\n"
    "`elsif C\n"
    "  c u (x);\n"
    "  `define D\n"
    "`else\n"
    "  none u (x);\n"
    "`endif\n"
    "`ifndef D d_undefined u (x); `endif\n"
    "endmodule";

INSTANTIATE_TEST_SUITE_P(
    Preprocess, VerilogPreprocessTest,
    testing::Values(
        Preprocess{"no macros", {}, kConditionals, "module m: inst none@u, inst d_undefined@u"},
        Preprocess{"the first branch", {"A"}, kConditionals, "module m: inst a@u, inst not_b@u, inst d_undefined@u"},
        Preprocess{"nested branches", {"A", "B=1"}, kConditionals, "module m: inst a@u, inst b@u, inst d_undefined@u"},
        Preprocess{"a define in a taken branch", {"C"}, kConditionals, "module m: inst c@u"},
        Preprocess{"a taken branch hides the later ones",
                   {"A", "C"},
                   kConditionals,
                   "module m: inst a@u, inst not_b@u, inst d_undefined@u"},
        Preprocess{"a value from the settings",
                   {"CELL=fast_cell", "W"},
                   "module m; `CELL u (x); `ifdef W w u2 (x); `endif endmodule",
                   "module m: inst fast_cell@u, inst w@u2"},
        Preprocess{"arguments, defaults and pasting",
                   {},
                   "`define INST(kind, name = u_def) kind``_cell name (x);\n"
                   "`define TWO(a, b) \\\n  a u_a (x); \\\n  b u_b (x);\n"
                   "module m; `INST(fast, u1) `INST(slow) `TWO(p, q #(1)) endmodule",
                   "module m: inst fast_cell@u1, inst slow_cell@u_def, inst p@u_a, inst q@u_b"},
        Preprocess{"unknown macros and undefined ones stand for nothing",
                   {},
                   "`define GONE g\n`undef GONE\nmodule m; `UNKNOWN(a, (b, c)) `GONE leaf u (x); endmodule",
                   "module m: inst leaf@u"},
        Preprocess{"a macro that names itself stops",
                   {},
                   "`define SELF `SELF\nmodule m; `SELF leaf u (x); endmodule",
                   "module m: inst leaf@u"},
        Preprocess{"a unit header from a macro",
                   {},
                   "`define HEAD module gen_m (input a);\n`HEAD endmodule",
                   "module gen_m ports"}),
    [](const testing::TestParamInfo<Preprocess>& info) { return TestName(info.param.what); });

class VerilogIncludeTest : public testing::Test {
 protected:
  ScanResult Scan(const std::string& path) {
    ScanOptions options;
    options.reader = files.GetReader();
    options.includeDirs = includeDirs;
    options.maxIncludeDepth = 8;
    return ScanFile(path, Language::kAuto, options);
  }
  MemoryFiles files;
  std::vector<std::string> includeDirs;
};

TEST_F(VerilogIncludeTest, SearchesTheFilesDirectoryThenTheIncludeDirectoriesInOrder) {
  files.Set("/p/src/top.v", "`include \"a.vh\"\n`include \"sub/../b.vh\"\nmodule top; `A u1 (x); `B u2 (x); endmodule");
  files.Set("/p/src/a.vh", "`define A local_a");
  files.Set("/p/inc1/a.vh", "`define A wrong_a");
  files.Set("/p/inc1/b.vh", "`define B first_b");
  files.Set("/p/inc2/b.vh", "`define B second_b");
  includeDirs = {"/p/inc1", "/p/inc2"};
  const ScanResult result = Scan("/p/src/top.v");
  EXPECT_EQ(Summary(result), "module top: inst local_a@u1, inst first_b@u2");
  EXPECT_EQ(result.includes, (std::vector<std::string>{"/p/src/a.vh", "/p/inc1/b.vh"}));
  EXPECT_TRUE(result.messages.empty());
}

TEST_F(VerilogIncludeTest, AMissingIncludeIsReportedAndTheScanGoesOn) {
  files.Set("top.v", "`include \"nowhere.vh\"\n`include\nmodule top; endmodule");
  const ScanResult result = Scan("top.v");
  EXPECT_EQ(Summary(result), "module top");
  ASSERT_EQ(result.messages.size(), 2u);
  EXPECT_EQ(result.messages[0].kind, MessageKind::kIncludeNotFound);
  EXPECT_EQ(result.messages[0].line, 1u);
  EXPECT_EQ(result.messages[1].kind, MessageKind::kSyntax);
}

TEST_F(VerilogIncludeTest, CyclesAndDepthAreBounded) {
  files.Set("self.v", "`include \"self.v\"\nmodule self_m; endmodule");
  ScanResult result = Scan("self.v");
  EXPECT_EQ(Summary(result), "module self_m");
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0].kind, MessageKind::kIncludeCycle);

  // A chain deeper than the bound: each file includes the next one.
  for (int i = 0; i < 20; ++i) {
    files.Set("d" + std::to_string(i) + ".vh",
              "`include \"d" + std::to_string(i + 1) + ".vh\"\nleaf u" + std::to_string(i) + " (x);\n");
  }
  files.Set("deep.v", "module deep;\n`include \"d0.vh\"\nendmodule");
  result = Scan("deep.v");
  ASSERT_EQ(result.units.size(), 1u);
  EXPECT_EQ(result.units[0].references.size(), 8u);
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0].kind, MessageKind::kIncludeDepth);
  EXPECT_EQ(result.messages[0].path, "d7.vh");
}

TEST_F(VerilogIncludeTest, MessagesInAnIncludeNameTheIncludedFile) {
  files.Set("top.v", "`include \"bad.vh\"\nmodule top; endmodule");
  files.Set("bad.vh", "\n\n`endif\n");
  const ScanResult result = Scan("top.v");
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0].path, "bad.vh");
  EXPECT_EQ(result.messages[0].line, 3u);
}

struct Damage {
  const char* what;
  const char* text;
  const char* summary;
  MessageKind message;
};

class VerilogDamageTest : public testing::TestWithParam<Damage> {};

TEST_P(VerilogDamageTest, KeepsTheUnitsBeforeTheDamage) {
  const ScanResult result = ScanText(GetParam().text, Language::kVerilog, "d.v", ScanOptions{});
  EXPECT_EQ(Summary(result), GetParam().summary);
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0].kind, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, VerilogDamageTest,
    testing::Values(Damage{"truncated in a body", "module a; endmodule\nmodule b (input x);\n  leaf u (x",
                           "module a\nmodule b ports incomplete: inst leaf@u", MessageKind::kTruncated},
                    Damage{"a missing endmodule", "module a;\n  leaf u (x);\nmodule b; endmodule",
                           "module a incomplete: inst leaf@u\nmodule b", MessageKind::kSyntax},
                    Damage{"a function without its end", "module a;\n  function f;\nendmodule\nmodule b; endmodule",
                           "module a\nmodule b", MessageKind::kSyntax},
                    Damage{"an open conditional", "`ifdef X\nmodule a; endmodule\n", "", MessageKind::kTruncated},
                    Damage{"a stray endif", "`endif\nmodule a; endmodule", "module a", MessageKind::kSyntax},
                    Damage{"an unended comment", "module a; endmodule /* module b; endmodule", "module a",
                           MessageKind::kTruncated}),
    [](const testing::TestParamInfo<Damage>& info) { return TestName(info.param.what); });

// Each macro doubles the text of the next: twenty levels would give a million copies.
TEST(VerilogBounds, ExpansionStopsAtItsBound) {
  std::string text;
  for (int i = 0; i < 20; ++i) {
    text += "`define M" + std::to_string(i) + " `M" + std::to_string(i + 1) + " `M" + std::to_string(i + 1) + "\n";
  }
  text += "`define M20 x\nmodule m; `M0 endmodule\nmodule after_it; endmodule";
  ScanOptions options;
  options.maxExpansionBytes = 1 << 16;
  const ScanResult result = ScanText(text, Language::kVerilog, "bomb.v", options);
  EXPECT_EQ(Summary(result), "module m\nmodule after_it");
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0].kind, MessageKind::kExpansionLimit);
}

// Every file includes the next one twice: 2^16 inclusions unless reading and counting are bounded.
TEST(VerilogBounds, IncludeFanOutReadsEachFileOnceAndStops) {
  MemoryFiles files;
  for (int i = 0; i < 16; ++i) {
    const std::string next = "`include \"f" + std::to_string(i + 1) + ".vh\"\n";
    files.Set("f" + std::to_string(i) + ".vh", next + next);
  }
  files.Set("f16.vh", "leaf u (x);\n");
  files.Set("top.v", "module top;\n`include \"f0.vh\"\nendmodule\nmodule after_it; endmodule");
  ScanOptions options;
  options.reader = files.GetReader();
  const ScanResult result = ScanFile("top.v", Language::kAuto, options);
  ASSERT_EQ(result.units.size(), 2u);
  EXPECT_GT(result.units[0].references.size(), 100u);
  for (int i = 0; i <= 16; ++i) EXPECT_EQ(files.Reads("f" + std::to_string(i) + ".vh"), 1);
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0].kind, MessageKind::kExpansionLimit);
}

TEST(VerilogBounds, MessagesStopAfterTheirBound) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "`endif\n";
  const ScanResult result = ScanText(text + "module m; endmodule", Language::kVerilog, "many.v", ScanOptions{});
  EXPECT_EQ(result.units.size(), 1u);
  ASSERT_EQ(result.messages.size(), 201u);
  EXPECT_EQ(result.messages.back().text, "more messages are left out");
}

}  // namespace
