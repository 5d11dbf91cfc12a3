// The generics, parameters and ports a unit declares, as written: VHDL entities, Verilog modules
// with ports in the header or in the body, SystemVerilog types, macros and comments among them,
// and the bounds that hostile lists meet.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "HdlSupport.h"

namespace {

using namespace hdl_test;

// One line a clause or declaration: "use ieee.std_logic_1164.all;", "g W||integer||8",
// "p din|in|std_logic_vector(7 downto 0)||".
std::vector<std::string> Lines(const Interface& interface) {
  std::vector<std::string> lines = interface.context;
  for (const auto& [prefix, list] : {std::pair{"g ", &interface.generics}, std::pair{"p ", &interface.ports}}) {
    for (const Declaration& d : *list) {
      lines.push_back(prefix + d.name + "|" + d.mode + "|" + d.type + "|" + d.dims + "|" + d.value);
    }
  }
  return lines;
}

Interface Scan(const std::string& text, Language language, VhdlStandard standard = VhdlStandard::k93) {
  ScanOptions options;
  options.vhdlStandard = standard;
  options.macros = {"W=8"};
  const ScanResult result = ScanText(text, language, "t.hdl", options);
  EXPECT_FALSE(result.units.empty());
  return result.units.empty() ? Interface{} : result.units.front().interface;
}

TEST(InterfaceScan, AVhdlEntityGivesItsClausesGenericsAndPortsAsWritten) {
  const Interface fifo = Scan(
      "library ieee;  -- the standard one\n"
      "use ieee.std_logic_1164.all;\n"
      "use IEEE.numeric_std.all;\n"
      "entity fifo is\n"
      "  generic (\n"
      "    WIDTH : positive := 8;  -- data width\n"
      "    DEPTH : natural := 2 ** 4;\n"
      "    constant NAME : string := \"f;i--fo\"\n"
      "  );\n"
      "  port (\n"
      "    clk, rst : in std_logic;\n"
      "    din      : in  std_logic_vector(WIDTH - 1\n"
      "                     downto 0);\n"
      "    dout     : OUT std_logic_vector(WIDTH-1 downto 0) := (others => '0');\n"
      "    level    : buffer unsigned(4 downto 0);  signal sel : std_logic  -- two on a line, the last without mode\n"
      "  );\n"
      "end entity fifo;\n"
      "architecture rtl of fifo is begin end;\n",
      Language::kVhdl);
  EXPECT_EQ(Lines(fifo), (std::vector<std::string>{
                             "library ieee;",
                             "use ieee.std_logic_1164.all;",
                             "use IEEE.numeric_std.all;",
                             "g WIDTH||positive||8",
                             "g DEPTH||natural||2 ** 4",
                             "g NAME||string||\"f;i--fo\"",
                             "p clk|in|std_logic||",
                             "p rst|in|std_logic||",
                             "p din|in|std_logic_vector(WIDTH - 1 downto 0)||",
                             "p dout|out|std_logic_vector(WIDTH-1 downto 0)||(others => '0')",
                             "p level|buffer|unsigned(4 downto 0)||",
                             "p sel|in|std_logic||",
                         }));
  EXPECT_TRUE(fifo.complete);

  // VHDL-2008 generic types and subprograms keep their declarations; clauses before a package are
  // not the next entity's; an entity without lists has none.
  ScanOptions vhdl2008;
  vhdl2008.vhdlStandard = VhdlStandard::k2008;
  const ScanResult result = ScanText(
      "library ieee; use ieee.std_logic_1164.all; package p is end;\n"
      "entity g is generic (type T; impure function f return T is <>; N : integer);\n"
      "  port (d : in T; \\Odd Name\\ : out bit_vector(N downto 0)); end;\n"
      "entity e is end;\n",
      Language::kVhdl, "t.vhd", vhdl2008);
  ASSERT_EQ(result.units.size(), 3u);
  EXPECT_EQ(Lines(result.units[1].interface),
            (std::vector<std::string>{"g T|type|||", "g f|impure function|return T is <>||", "g N||integer||",
                                      "p d|in|T||", "p \\Odd Name\\|out|bit_vector(N downto 0)||"}));
  EXPECT_TRUE(Lines(result.units[2].interface).empty());
  EXPECT_FALSE(result.units[2].hasPorts);
}

TEST(InterfaceScan, VerilogPortsInTheHeaderContinueTheOneBefore) {
  const Interface fifo = Scan(
      "module fifo #(\n"
      "  parameter WIDTH = 8,   // data width\n"
      "  parameter integer DEPTH = 16, ADDR = $clog2(DEPTH),\n"
      "  localparam LAST = DEPTH - 1\n"
      ") (\n"
      "  input  wire             clk, rst,\n"
      "  input  wire [WIDTH-1:0] din,\n"
      "  output reg  [WIDTH-1:0] dout,\n"
      "  output                  full, /* flags */ empty,\n"
      "  input  signed [`W - 1:0] sample, input [`UNDEFINED:0] raw\n"
      ");\n"
      "  leaf u (.a(clk));\n"
      "endmodule\n",
      Language::kVerilog);
  EXPECT_EQ(Lines(fifo), (std::vector<std::string>{
                             "g WIDTH|parameter|||8",
                             "g DEPTH|parameter|integer||16",
                             "g ADDR|parameter|integer||$clog2(DEPTH)",
                             "g LAST|localparam|||DEPTH - 1",
                             "p clk|input|wire||",
                             "p rst|input|wire||",
                             "p din|input|wire [WIDTH-1:0]||",
                             "p dout|output|reg [WIDTH-1:0]||",
                             "p full|output|||",
                             "p empty|output|||",
                             "p sample|input|signed [`W - 1:0]||",
                             "p raw|input|[`UNDEFINED:0]||",
                         }));
  EXPECT_TRUE(fifo.ansi);
}

TEST(InterfaceScan, SystemVerilogTypesImportsAndInterfacePorts) {
  const Interface dma = Scan(
      "import bus_pkg::*;\n"
      "module dma import cfg_pkg::*; #(parameter type T = logic [7:0], int unsigned N = 4) (\n"
      "  input  logic            clk,\n"
      "  input  T                data [N],\n"
      "  output logic [3:0][7:0] packed_out,\n"
      "  axi_if.master           bus,\n"
      "  ref    int              counter,\n"
      "  input  bus_pkg::req_t   req = '0\n"
      ");\n"
      "endmodule\n",
      Language::kSystemVerilog);
  EXPECT_EQ(Lines(dma), (std::vector<std::string>{
                            "import bus_pkg::*;",
                            "import cfg_pkg::*;",
                            "g T|parameter|type||logic [7:0]",
                            "g N|parameter|int unsigned||4",
                            "p clk|input|logic||",
                            "p data|input|T|[N]|",
                            "p packed_out|output|logic [3:0][7:0]||",
                            "p bus||axi_if.master||",
                            "p counter|ref|int||",
                            "p req|input|bus_pkg::req_t||'0",
                        }));
  // A first port of a data type without a direction is an inout; one made by a macro is read as
  // the macro gives it.
  EXPECT_EQ(Lines(Scan("`define PORTS input a, output [`W-1:0] y\nmodule m (logic [1:0] x, `PORTS); endmodule",
                       Language::kSystemVerilog)),
            (std::vector<std::string>{"p x|inout|logic [1:0]||", "p a|input|||", "p y|output|[8-1:0]||"}));
}

// A header that only names its ports: the body's declarations give directions and types in the
// header's order, a net or variable declaration the type a port declaration left out, and the
// local parameters the ports need are kept with the parameters.
TEST(InterfaceScan, VerilogPortsDeclaredInTheBody) {
  const Interface counter = Scan(
      "module counter (clk, rst, q, carry, mem);\n"
      "  parameter W = 4;\n"
      "  localparam MSB = W - 1, TOP = MSB;  // TOP only counts\n"
      "  localparam UNUSED = 3;\n"
      "  input clk, rst;\n"
      "  output [TOP:0] q;\n"
      "  output carry;\n"
      "  inout [7:0] mem;\n"
      "  reg [TOP:0] q;\n"
      "  wire carry = q == {W{1'b1}};\n"
      "  always @(posedge clk) begin : count\n"
      "    integer rst;\n"
      "    q <= q + 1;\n"
      "  end\n"
      "endmodule\n",
      Language::kVerilog);
  EXPECT_FALSE(counter.ansi);
  EXPECT_EQ(Lines(counter), (std::vector<std::string>{
                                "g W|parameter|||4",
                                "g MSB|localparam|||W - 1",
                                "g TOP|localparam|||MSB",
                                "p clk|input|||",
                                "p rst|input|||",
                                "p q|output|[TOP:0]||",
                                "p carry|output|wire||",
                                "p mem|inout|[7:0]||",
                            }));
  // With a parameter list in the header, parameters in the body are local.
  EXPECT_EQ(Lines(Scan("module m #(parameter A = 1) (a); parameter B = 2; input [B:0] a; endmodule",
                       Language::kVerilog)),
            (std::vector<std::string>{"g A|parameter|||1", "g B|localparam|||2", "p a|input|[B:0]||"}));
}

// Lists as large as the input allows stay bounded: entries, their text, and what one declaration
// may hold; the unit says it was cut, and what follows it is still read.
TEST(InterfaceScan, HostileListsAreCutAtTheirBounds) {
  std::string many = "module m (input ";
  std::string vhdl = "entity e is port (";
  for (int i = 0; i < 10000; ++i) {
    many += (i > 0 ? ", p" : "p") + std::to_string(i);
    vhdl += "p" + std::to_string(i) + " : in bit;";
  }
  // One wide type shared by many names: each copy counts.
  const std::string wide = "[" + std::string(300000, '1') + ":0] ";
  std::string copies = "module w (input " + wide + "a", parameters = "module w (a); parameter " + wide + "a = 1";
  std::string nets = "module w (a); wire " + wide + "n";
  for (int i = 0; i < 1000; ++i) {
    copies += ", b" + std::to_string(i);
    parameters += ", b" + std::to_string(i) + " = 1";
    nets += ", n" + std::to_string(i);
  }
  for (const auto& [text, language, cut] :
       {std::tuple{many + "); endmodule module later; endmodule", Language::kVerilog, true},
        std::tuple{vhdl + "); end; entity later is end;", Language::kVhdl, true},
        std::tuple{copies + "); endmodule module later; endmodule", Language::kVerilog, true},
        std::tuple{parameters + "; input a; endmodule module later; endmodule", Language::kVerilog, true},
        std::tuple{nets + "; input a; endmodule module later; endmodule", Language::kVerilog, false}}) {
    const ScanResult result = ScanText(text, language, "t", ScanOptions{});
    ASSERT_EQ(result.units.size(), 2u);
    const Interface& interface = result.units[0].interface;
    EXPECT_EQ(interface.complete, !cut);
    std::size_t bytes = 0;
    for (const auto* list : {&interface.generics, &interface.ports}) {
      for (const Declaration& d : *list) bytes += d.name.size() + d.type.size() + d.value.size();
    }
    EXPECT_LE(interface.ports.size(), 4096u);
    EXPECT_LE(bytes, std::size_t{1} << 20);
    EXPECT_EQ(result.units[1].name, "later");
  }
}

TEST(InterfaceScan, AProjectGivesTheInterfaceOfAUnitByName) {
  MemoryFiles files;
  files.Set("a.vhd", "entity top is port (x : in bit); end;\nconfiguration cfg of top is for a end for; end;\n");
  files.Set("b.v", "module leaf (input [3:0] d); endmodule\n");
  Project project;
  project.SetReader(files.GetReader());
  ASSERT_TRUE(project.AddFile(1, "a.vhd", 1) && project.AddFile(2, "b.v", 2));
  const auto lines = [&](std::string_view name) {
    const std::optional<Interface> found = project.InterfaceOf(name);
    return found ? Lines(*found) : std::vector<std::string>{"none"};
  };
  EXPECT_EQ(lines("TOP"), std::vector<std::string>{"p x|in|bit||"});
  EXPECT_EQ(lines("cfg"), std::vector<std::string>{"p x|in|bit||"});
  EXPECT_EQ(lines("leaf"), std::vector<std::string>{"p d|input|[3:0]||"});
  EXPECT_EQ(lines("nothing"), std::vector<std::string>{"none"});
  files.Set("b.v", "module leaf (input [7:0] d); endmodule\n");
  ASSERT_TRUE(project.SetModified(2));
  EXPECT_EQ(lines("leaf"), std::vector<std::string>{"p d|input|[7:0]||"});
}

}  // namespace
