// The Verilog and SystemVerilog scanner: unit headers and ports, what is and is not an instance,
// imports, the preprocessor (conditionals, macros, includes) with its bounds, and damaged text.

#include <functional>

#include "hdl/HdlSupport.h"

namespace {

using namespace hdl_test;

constexpr Language kSv = Language::kSystemVerilog;
constexpr Language kV = Language::kVerilog;

constexpr const char* kConditionals =
    "module m;\n`ifdef A\n  a u (x);\n  `ifdef B b u (x); `else not_b u (x); `endif\n`elsif C\n  c u (x);\n"
    "  `define D\n`else\n  none u (x);\n`endif\n`ifndef D d_undefined u (x); `endif\nendmodule";

TEST(VerilogScan, FindsUnitsAndWhatTheyNeed) {
  const Case cases[] = {
      {"every kind of unit, with and without ports", kSv,
       "module m1 (input a); endmodule\nmacromodule m2 (a, b); input a; output b; endmodule\n"
       "module tb; endmodule : tb\nmodule tb2 (); endmodule\n"
       "module automatic m3 #(parameter W = 1) (input [W-1:0] a); endmodule\n"
       "interface bus_if (input clk); endinterface\npackage pkg; endpackage\nprogram prog; endprogram\n"
       "primitive udp (output y, input a); table 0 : 1; 1 : 0; endtable endprimitive",
       "module m1 ports\nmodule m2 ports\nmodule tb\nmodule tb2\nmodule m3 ports\ninterface bus_if ports\n"
       "vpackage pkg\nprogram prog\nprimitive udp ports"},
      {"instances of every form", kSv,
       "module top (input clk);\n  leaf u0 (.a(clk));\n  leaf #(.W(8), .D(2)) u1 (clk), u2 (.a(clk));\n"
       "  leaf #5 u3 [3:0] (clk);\n  bus_if bif ();\n  if (1) leaf u4 (clk); else leaf u5 (clk);\n"
       "  case (2) 1: leaf u6 (clk); default: leaf u7 (clk); endcase\n"
       "  for (genvar i = 0; i < 2; i++) begin : g\n    blk: begin leaf u8 (clk); end\n"
       "    begin leaf u9 (clk); end\n  end\nendmodule",
       "module top ports: inst leaf@u0, inst leaf@u1, inst leaf@u2, inst leaf@u3[3:0], inst bus_if@bif, "
       "inst leaf@u4, inst leaf@u5, inst leaf@u6, inst leaf@u7, inst leaf@g/blk/u8, inst leaf@g/u9"},
      {"what only looks like an instance", kSv,
       "module top (input clk);\n  my_t x; my_t y [3:0]; my_t z = f(x);\n  and g1 (o, a, b);\n  cls #(8) h;\n"
       "  function my_t f(my_t v); mod not_a (v); return v; endfunction\n  task t(); mod not_b (x); endtask\n"
       "  class c; mod not_c (x); function new(); endfunction endclass\n  typedef class c2;\n"
       "  covergroup cg @(posedge clk); coverpoint x; endgroup\n  property p; mod not_d (x); endproperty\n"
       "  assert property (@(posedge clk) x) else $error(\"mod not_e (x);\");\n"
       "  always @(*) begin (* keep *) foo(x); end\n  import \"DPI-C\" function int c_fn(input int a);\n"
       "  specify (a => b) = 1; endspecify\n  real_one u (clk);\nendmodule",
       "module top ports: inst real_one@u"},
      {"comments, strings and escaped names", kSv,
       "// module fake1; endmodule\n/* module fake2; endmodule */\nmodule \\cpu.core (input a);\n"
       "  string s = \"endmodule module fake3;\";\n  \\leaf[0] \\u$1 (a);\nendmodule",
       "module cpu.core ports: inst leaf[0]@u$1"},
      {"imports reach every later unit of the file", kSv,
       "import a_pkg::*, b_pkg::item;\npackage p; import c_pkg::*; endpackage\n"
       "module m import d_pkg::*; #(parameter T = e_pkg::W) (input f_pkg::t x);\n"
       "  assign y = g_pkg::f(x) + std::randomize(z);\n  import a_pkg::*;\nendmodule",
       "vpackage p: import a_pkg, import b_pkg, import c_pkg\n"
       "module m ports: import a_pkg, import b_pkg, import d_pkg, scope e_pkg, scope f_pkg, scope g_pkg"},
      {"interface classes and modport prototypes open no unit", kSv,
       "interface class ic; pure virtual function void f(); endclass\n"
       "interface bus; modport mp (import task ping(), import function int get()); endinterface\n"
       "module after_them; endmodule",
       "interface bus\nmodule after_them"},
      {"no macros", kV, kConditionals, "module m: inst none@u, inst d_undefined@u"},
      {"nested branches", kV, kConditionals, "module m: inst a@u, inst b@u, inst d_undefined@u", {}, {"A", "B=1"}},
      {"a define in a taken branch", kV, kConditionals, "module m: inst c@u", {}, {"C"}},
      {"a taken branch hides the later ones",
       kV,
       kConditionals,
       "module m: inst a@u, inst not_b@u, inst d_undefined@u",
       {},
       {"A", "C"}},
      {"a value from the settings",
       kV,
       "module m; `CELL u (x); `ifdef W w u2 (x); `endif endmodule",
       "module m: inst fast_cell@u, inst w@u2",
       {},
       {"CELL=fast_cell", "W"}},
      {"arguments, defaults and pasting", kV,
       "`define INST(kind, name = u_def) kind``_cell name (x);\n"
       "`define TWO(a, b) \\\n  a u_a (x); \\\n  b u_b (x);\n"
       "module m; `INST(fast, u1) `INST(slow) `TWO(p, q #(1)) endmodule",
       "module m: inst fast_cell@u1, inst slow_cell@u_def, inst p@u_a, inst q@u_b"},
      {"unknown macros, undefined ones and one naming itself stand for nothing", kV,
       "`define GONE g\n`undef GONE\n`define SELF `SELF\nmodule m; `UNKNOWN(a, (b, c)) `GONE `SELF leaf u (x); "
       "endmodule",
       "module m: inst leaf@u"},
      {"a macro called in its own argument is no recursion", kV,
       "`define A(x) x\n`define INST(k, n) `A(k) n (x);\nmodule m; `A(`A(mid)) u1 (x); `INST(`A(leaf), u2) endmodule",
       "module m: inst mid@u1, inst leaf@u2"},
      {"a name that runs into a macro's use, or out of its text, is one name", kV,
       "`define A(x) x\n`define B b2\n`define CELL(n) leaf u_``n (x);\n`define KIND(n) n``_cell\n"
       "module m; `CELL(`B) `CELL(`A(a1)) `KIND(`A(fast)) u3 (x); endmodule",
       "module m: inst leaf@u_b2, inst leaf@u_a1, inst fast_cell@u3"},
      {"a name made of macros' texts", kV,
       "`define A(x) x\n`define B b2\n`define C `B\nmodule m; leaf `A(u)`C (x); leaf `B`A(z)_`B (x); endmodule",
       "module m: inst leaf@ub2, inst leaf@b2z_b2"},
      {"bind, in a module and outside one, names the module it binds", kSv,
       "module tb;\n  bind dut: u, v.w[1] chk #(.W(2)) c2 (.a(x)), c3 (x);\n  leaf u2 (x);\nendmodule\n"
       "bind dut.u[0].core mon m0 (.a(a));",
       "module tb: bind chk, inst leaf@u2, bind mon"},
      {"a unit header from a macro", kV, "`define HEAD module gen_m (input a);\n`HEAD endmodule", "module gen_m ports"},
      {"truncated in a body",
       kV,
       "module a; endmodule\nmodule b (input x);\n  leaf u (x",
       "module a\nmodule b ports incomplete: inst leaf@u",
       {kTruncated}},
      {"a missing endmodule",
       kV,
       "module a;\n  leaf u (x);\nmodule b; endmodule",
       "module a incomplete: inst leaf@u\nmodule b",
       {kSyntax}},
      {"a function without its end",
       kV,
       "module a;\n  function f;\nendmodule\nmodule b; endmodule",
       "module a\nmodule b",
       {kSyntax}},
      {"an open conditional", kV, "`ifdef X\nmodule a; endmodule\n", "", {kTruncated}},
      {"a stray endif", kV, "`endif\nmodule a; endmodule", "module a", {kSyntax}},
      {"an unended comment", kV, "module a; endmodule /* module b; endmodule", "module a", {kTruncated}},
  };
  for (const Case& c : cases) Check(c);
}

TEST(VerilogScan, IncludesSearchTheFilesDirectoryThenTheIncludeDirectoriesAndAreBounded) {
  MemoryFiles files;
  const auto scan = [&](const std::string& path, std::vector<std::string> includeDirs = {}, int depth = 8) {
    ScanOptions options;
    options.reader = files.GetReader();
    options.includeDirs = std::move(includeDirs);
    options.maxIncludeDepth = depth;
    return ScanFile(path, Language::kAuto, options);
  };
  files.Set("/p/src/top.v", "`include \"a.vh\"\n`include \"sub/../b.vh\"\nmodule top; `A u1 (x); `B u2 (x); endmodule");
  files.Set("/p/src/a.vh", "`define A local_a");
  files.Set("/p/inc1/a.vh", "`define A wrong_a");
  files.Set("/p/inc1/b.vh", "`define B first_b");
  files.Set("/p/inc2/b.vh", "`define B second_b");
  ScanResult result = scan("/p/src/top.v", {"/p/inc1", "/p/inc2"});
  EXPECT_EQ(Summary(result), "module top: inst local_a@u1, inst first_b@u2");
  EXPECT_EQ(result.includes, (std::vector<std::string>{"/p/src/a.vh", "/p/inc1/b.vh"}));
  EXPECT_TRUE(result.messages.empty());

  // A missing include and a bare one go on; a message in an include names the included file.
  files.Set("top.v", "`include \"nowhere.vh\"\n`include\n`include \"bad.vh\"\nmodule top; endmodule");
  files.Set("bad.vh", "\n\n`endif\n");
  result = scan("top.v");
  EXPECT_EQ(Summary(result), "module top");
  ASSERT_EQ(Kinds(result.messages), (std::vector<MessageKind>{MessageKind::kIncludeNotFound, kSyntax, kSyntax}));
  EXPECT_EQ(result.messages[0].line, 1u);
  EXPECT_TRUE(result.messages[2].path == "bad.vh" && result.messages[2].line == 3u);

  files.Set("self.v", "`include \"self.v\"\nmodule self_m; endmodule");
  result = scan("self.v");
  EXPECT_EQ(Summary(result), "module self_m");
  EXPECT_EQ(Kinds(result.messages), std::vector<MessageKind>{MessageKind::kIncludeCycle});

  // A chain deeper than the bound: each file includes the next one.
  for (int i = 0; i < 20; ++i) {
    const std::string n = std::to_string(i);
    files.Set("d" + n + ".vh", "`include \"d" + std::to_string(i + 1) + ".vh\"\nleaf u" + n + " (x);\n");
  }
  files.Set("deep.v", "module deep;\n`include \"d0.vh\"\nendmodule");
  result = scan("deep.v");
  ASSERT_EQ(result.units.size(), 1u);
  EXPECT_EQ(result.units[0].references.size(), 8u);
  ASSERT_EQ(Kinds(result.messages), std::vector<MessageKind>{MessageKind::kIncludeDepth});
  EXPECT_EQ(result.messages[0].path, "d7.vh");

  // Every file includes the next one twice: 2^16 inclusions unless reading and counting are bounded.
  for (int i = 0; i < 16; ++i) {
    const std::string next = "`include \"f" + std::to_string(i + 1) + ".vh\"\n";
    files.Set("f" + std::to_string(i) + ".vh", next + next);
  }
  files.Set("f16.vh", "leaf u (x);\n");
  files.Set("fan.v", "module top;\n`include \"f0.vh\"\nendmodule\nmodule after_it; endmodule");
  result = scan("fan.v", {}, 32);
  ASSERT_EQ(result.units.size(), 2u);
  EXPECT_GT(result.units[0].references.size(), 100u);
  for (int i = 0; i <= 16; ++i) EXPECT_EQ(files.Reads("f" + std::to_string(i) + ".vh"), 1);
  EXPECT_EQ(Kinds(result.messages), std::vector<MessageKind>{MessageKind::kExpansionLimit});
}

// A word only SystemVerilog reserves is a name where Verilog-2005 reads one: a testbench that
// names a block "checker" or a wire "sequence" keeps its end and its instances, and is the top.
// SystemVerilog constructs in .v files are read where they stand.
TEST(VerilogScan, WordsOnlySystemVerilogReservesAreNamesWhereVerilogReadsOne) {
  using Design = std::vector<std::pair<std::string, std::string>>;
  // Each top with its hierarchy, "instance:unit (children)", then the ports of `units`, then the messages.
  const auto answers = [](const Design& design, std::vector<std::string> units = {}) {
    MemoryFiles files;
    Project project;
    project.SetReader(files.GetReader());
    for (std::size_t i = 0; i < design.size(); ++i) {
      files.Set(design[i].first, design[i].second);
      EXPECT_TRUE(project.AddFile(static_cast<FileHandle>(i + 1), design[i].first, static_cast<std::int64_t>(i + 1)));
    }
    const std::function<std::string(const HierarchyNode&)> tree = [&](const HierarchyNode& node) {
      std::string text = node.instanceName + ":" + node.unitName;
      for (const HierarchyNode& child : node.children) text += (&child == &node.children[0] ? " (" : " ") + tree(child);
      return text + (node.children.empty() ? "" : ")");
    };
    std::vector<std::string> lines;
    for (const TopCandidate& top : project.TopCandidates()) lines.push_back(tree(*project.Hierarchy(top.unit.name)));
    for (const std::string& unit : units) {
      const std::optional<Interface> interface = project.InterfaceOf(unit);
      for (const Declaration& port : interface->ports) lines.push_back(port.mode + "|" + port.type + "|" + port.name);
    }
    for (const Message& message : project.Messages()) lines.push_back(message.text);
    return lines;
  };
  const Design testbench = {
      {"tb.v",
       "module tb;\n  reg clk; wire sequence; reg property, interface; wire [7:0] data;\n"
       "  aes_core dut (.clk(clk), .sequence(sequence), .data(data));\n"
       "  always begin : checker\n    @(posedge clk or sequence);\n    if (data !== 8'h00) disable checker;\n  end\n"
       "  initial begin fork : program\n    property = 1'b0;\n    #10 property <= sequence & !interface;\n"
       "    $display(\"%b\", tb.checker.x, dut.sequence);\n  join end\n"
       "  monitor mon (.seq(sequence), .prop(property));\n  counter checker (.clk(clk));\nendmodule\n"},
      {"cores.v",
       "module aes_core (input clk, input sequence, output [7:0] data); endmodule\n"
       "module monitor (property, type); input property; input [1:0] type; endmodule\n"
       "module counter (input clk, output reg [3:0] program); endmodule\n"},
  };
  EXPECT_EQ(answers(testbench, {"aes_core", "monitor", "counter"}),
            (std::vector<std::string>{":tb (dut:aes_core mon:monitor checker:counter)", "input||clk", "input||sequence",
                                      "output|[7:0]|data", "input||property", "input|[1:0]|type", "input||clk",
                                      "output|reg [3:0]|program"}));
  // SystemVerilog in .v files, a file of each kind.
  const Design soc = {
      {"bus_pkg.v", "package bus_pkg; typedef logic [7:0] word_t; endpackage\n"},
      {"bus_if.v", "interface bus_if (input logic clk); logic valid; modport src (output valid); endinterface\n"},
      {"src.v",
       "checker stable_chk (logic v, event e); a1: assert property (@e v |=> v); endchecker\n"
       "module src (input logic clk, bus_if.src bus); always_ff @(posedge clk) bus.valid <= 1'b1; endmodule\n"},
      {"soc.v",
       "module soc import bus_pkg::*; (input logic clk);\n  bus_if bus (.clk(clk));\n"
       "  checker in_soc (logic v); endchecker\n  property p_valid; @(posedge clk) bus.valid |-> ##1 !bus.valid; "
       "endproperty\n  sequence s_one; bus.valid ##1 !bus.valid; endsequence\n  assert property (p_valid);\n"
       "  word_t count;\n  always_ff @(posedge clk) count <= count + 1;\n  src u_src (.clk(clk), .bus(bus));\n"
       "endmodule\n"},
  };
  EXPECT_EQ(answers(soc, {"src"}), (std::vector<std::string>{":soc (bus:bus_if u_src:src)", "input|logic|clk", "|bus_if.src|bus"}));
  const Case cases[] = {
      {"a generate block's label and an end label", kV,
       "module m;\n  for (genvar i = 0; i < 2; i = i + 1) begin : sequence leaf u (x); end : sequence\n"
       "  initial begin sequence[0] = 1; end\n  leaf v (x);\nendmodule",
       "module m: inst leaf@sequence/u, inst leaf@v"},
      {"a unit's name", kV, "module checker (input a); endmodule\nmodule program; endmodule", "module checker ports\nmodule program"},
      {"after a bare delay, a gate type, a strength or an instance list's comma", kV,
       "module m;\n  leaf #5 checker (.a(x)), bit (x);\n  buf sequence (o, a);\n"
       "  and (strong0, strong1) #1 property (o, a, b);\n  leaf u (x);\nendmodule",
       "module m: inst leaf@checker, inst leaf@bit, inst leaf@u"},
  };
  for (const Case& c : cases) Check(c);

  // An instance named by an operator, a value or an end word, in each form an instance takes.
  const char* const words[] = {"until",    "iff",        "implies",     "within",     "inside",   "with",
                               "dist",     "before",     "throughout",  "intersect",  "matches",  "this",
                               "super",    "return",     "break",       "continue",   "join_any", "join_none",
                               "endclass", "endchecker", "endsequence", "endproperty"};
  const char* const forms[][2] = {
      {"leaf ", " ();"}, {"leaf #(1) ", " (.a());"}, {"leaf #2 ", " [1:0] ();"}, {"leaf x (), ", " ();"}};
  std::string tb = "module tb;", summary = "module tb:";
  for (std::size_t i = 0; i < std::size(words); ++i) {
    tb += forms[i % 4][0] + std::string(words[i]) + forms[i % 4][1];
    summary += std::string(i % 4 == 3 ? " inst leaf@x," : "") + " inst leaf@" + words[i] +
               (i % 4 == 2 ? "[1:0]," : ",");
  }
  summary.pop_back();
  Check({"instances named by such words", kV, (tb + " endmodule").c_str(), summary.c_str()});
}

// Where compilers read on: a macro goes on past a one-line comment that ends in a backslash, also
// where lines end in CR LF, and such a comment on a file's last line ends the file; an
// assertion's property or sequence outside a unit declares nothing; "fork ... join" without
// "begin" ends its statement.
TEST(VerilogScan, ReadsMacroCommentsAssertionsAndForkJoinAsCompilersDo) {
  const Case cases[] = {
      {"a macro past its comments", kSv,
       "`define CHECK(n, p) \\\n  // a comment \\\n  n: assert property (p) \\\n    else $error(\"failed\"); \\\n"
       "  leaf u1 (p);\n`define CELL leaf // a comment that ends it\nmodule prim (input clk);\n  `CHECK(a1, clk)\n"
       "  `CELL u2 (.a(clk));\nendmodule",
       "module prim ports: inst leaf@u1, inst leaf@u2"},
      {"assertions and a declaration outside a unit", kSv,
       "a1: assert property (p) else $error(\"x\");\ncover sequence (s);\n"
       "property p; leaf not_u (x); endproperty\nmodule m; leaf u (x); endmodule",
       "module m: inst leaf@u"},
      {"fork and join", kV,
       "module tb;\n  initial fork clk = 0; #5 clk = 1; join\n  leaf u1 (.a(clk));\n"
       "  initial fork : f #1 clk = 0; join : f\n  leaf u2 (.a(clk));\nendmodule",
       "module tb: inst leaf@u1, inst leaf@u2"},
      {"join_any and join_none", kSv,
       "module m;\n  initial fork a = 1; join_any\n  leaf u1 (x);\n  initial fork a = 1; join_none : f\n"
       "  leaf u2 (x);\nendmodule",
       "module m: inst leaf@u1, inst leaf@u2"},
      {"lines ended by CR LF, the last by a comment that ends in a backslash", kV,
       "`define CELL(n) \\\r\n  // a comment \\\r\n  leaf n (x);\r\nmodule m; `CELL(u) endmodule\r\n`define D // \\\r",
       "module m: inst leaf@u"},
      {"the last line a comment that ends in a backslash", kV, "module m; leaf u (x); endmodule\n`define D // \\",
       "module m: inst leaf@u"},
  };
  for (const Case& c : cases) Check(c);
}

// Each macro doubles the text of the next: twenty levels would give a million copies. A thousand
// messages are cut at their bound.
TEST(VerilogBounds, ExpansionAndMessagesStopAtTheirBounds) {
  std::string text, endifs;
  for (int i = 0; i < 20; ++i) {
    text += "`define M" + std::to_string(i) + " `M" + std::to_string(i + 1) + " `M" + std::to_string(i + 1) + "\n";
  }
  text += "`define M20 x\nmodule m; `M0 endmodule\nmodule after_it; endmodule";
  ScanOptions options;
  options.maxExpansionBytes = 1 << 16;
  ScanResult result = ScanText(text, kV, "bomb.v", options);
  EXPECT_EQ(Summary(result), "module m\nmodule after_it");
  EXPECT_EQ(Kinds(result.messages), std::vector<MessageKind>{MessageKind::kExpansionLimit});
  for (int i = 0; i < 1000; ++i) endifs += "`endif\n";
  result = ScanText(endifs + "module m; endmodule", kV, "many.v", ScanOptions{});
  EXPECT_EQ(result.units.size(), 1u);
  ASSERT_EQ(result.messages.size(), 201u);
  EXPECT_EQ(result.messages.back().text, "more messages are left out");
}

}  // namespace
