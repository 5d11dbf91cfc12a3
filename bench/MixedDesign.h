// hdl_bench's generated mixed design: VHDL and SystemVerilog cells in a binary tree (so 200 files
// are already 7 levels deep), VHDL packages with bodies, SystemVerilog packages, shared leaf cells
// and a testbench. Shared by the benchmarks that measure the scanner and single edits on it.

#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace bench_support {

struct Design {
  std::vector<std::string> paths;
  std::unordered_map<std::string, std::string> texts;
  std::size_t bytes = 0;
  std::size_t middle = 0;  // a cell file halfway down the tree, the one re-parsed
};

inline void AddVhdlCell(Design& d, int i, int cells, int packages) {
  std::string t;
  t += "-- Generated cell " + std::to_string(i) + ": a registered datapath slice with a small state machine.\n";
  t += "-- Its children are the cells below it in the tree; VHDL ones are bound directly, Verilog ones\n";
  t += "-- through components.\nlibrary ieee;\nuse ieee.std_logic_1164.all;\nuse ieee.numeric_std.all;\n";
  t += "use work.pkg_" + std::to_string(i % packages) + ".all;\n\n";
  t += "entity cell_" + std::to_string(i) + " is\n  generic (W : integer := 8; DEPTH : integer := 4);\n";
  t += "  port (\n    clk   : in  std_logic;\n    rst   : in  std_logic;\n    din   : in  std_logic_vector(W - 1 "
       "downto 0);\n";
  t += "    valid : in  std_logic;\n    dout  : out std_logic_vector(W - 1 downto 0);\n    ready : out std_logic);\n";
  t += "end entity cell_" + std::to_string(i) + ";\n\narchitecture rtl of cell_" + std::to_string(i) + " is\n";
  t += "  type state_t is (IDLE, LOAD, RUN, DONE);\n  signal state : state_t := IDLE;\n";
  t += "  signal acc, nxt : unsigned(W - 1 downto 0) := (others => '0');\n  signal count : integer range 0 to DEPTH := "
       "0;\n";
  t += "  signal left_q, right_q : std_logic_vector(W - 1 downto 0);\n";
  for (int c : {2 * i + 1, 2 * i + 2}) {
    if (c < cells && c % 2 == 1) {
      t += "  component cell_" + std::to_string(c) +
           " is\n    port (clk, rst : in std_logic; din : in std_logic_vector;\n";
      t += "          valid : in std_logic; dout : out std_logic_vector; ready : out std_logic);\n  end component;\n";
    }
  }
  t += "begin\n";
  const char* side[] = {"left_q", "right_q"};
  for (int k = 0; k < 2; ++k) {
    const int c = 2 * i + 1 + k;
    if (c >= cells) {
      t += "  " + std::string(side[k]) + " <= std_logic_vector(acc);\n";
      continue;
    }
    t += "  u_" + std::to_string(c) + " : ";
    t += c % 2 == 0 ? "entity work.cell_" + std::to_string(c) + "(rtl)\n    generic map (W => W)\n"
                    : "cell_" + std::to_string(c) + "\n";
    t += "    port map (clk => clk, rst => rst, din => din, valid => valid,\n";
    t += "              dout => " + std::string(side[k]) + ", ready => open);\n";
  }
  t += "  g_leaf : for j in 0 to 1 generate\n    u_leaf : entity work.leaf_h" + std::to_string(i % 4) +
       " port map (a => din(j), y => open);\n  end generate g_leaf;\n";
  t += "  process (clk) is\n  begin\n    if rising_edge(clk) then\n      if rst = '1' then\n";
  t += "        state <= IDLE; acc <= (others => '0'); count <= 0;\n      else\n        case state is\n";
  t += "          when IDLE => if valid = '1' then state <= LOAD; end if;\n";
  t += "          when LOAD => acc <= unsigned(din) + unsigned(left_q); state <= RUN;\n";
  t += "          when RUN  =>\n            if count = DEPTH then state <= DONE; else count <= count + 1; end if;\n";
  t += "            acc <= acc xor unsigned(right_q);\n          when DONE => state <= IDLE; count <= 0;\n";
  t += "        end case;\n      end if;\n    end if;\n  end process;\n";
  t += "  dout <= std_logic_vector(acc) when state = DONE else (others => 'Z');\n";
  t += "  ready <= '1' when state = IDLE else '0';\nend architecture rtl;\n";
  const std::string path = "/gen/rtl/cell_" + std::to_string(i) + ".vhd";
  d.paths.push_back(path);
  d.texts[path] = std::move(t);
}

inline void AddVerilogCell(Design& d, int i, int cells, int svPackages) {
  std::string t;
  t += "// Generated cell " + std::to_string(i) + ": a registered datapath slice with a small state machine.\n";
  t += "// Its children are the cells below it in the tree, Verilog and VHDL alike.\n";
  t += "`timescale 1ns / 1ps\nimport svpkg_" + std::to_string(i % svPackages) + "::*;\n\n";
  t += "module cell_" + std::to_string(i) + " #(parameter W = 8, parameter DEPTH = 4) (\n";
  t += "    input  logic         clk,\n    input  logic         rst,\n    input  logic [W-1:0] din,\n";
  t += "    input  logic         valid,\n    output logic [W-1:0] dout,\n    output logic         ready);\n\n";
  t += "  typedef enum logic [1:0] {IDLE, LOAD, RUN, DONE} state_t;\n  state_t state;\n";
  t += "  logic [W-1:0] acc, left_q, right_q;\n  logic [$clog2(DEPTH+1)-1:0] count;\n\n";
  const char* side[] = {"left_q", "right_q"};
  for (int k = 0; k < 2; ++k) {
    const int c = 2 * i + 1 + k;
    if (c >= cells) {
      t += "  assign " + std::string(side[k]) + " = acc;\n";
      continue;
    }
    t += "  cell_" + std::to_string(c) + (c % 2 == 1 ? " #(.W(W), .DEPTH(DEPTH))" : "") + " u_" + std::to_string(c);
    t += " (\n      .clk(clk), .rst(rst), .din(din), .valid(valid),\n      .dout(" + std::string(side[k]) +
         "), .ready());\n";
  }
  t += "  genvar j;\n  generate\n    for (j = 0; j < 2; j = j + 1) begin : g_leaf\n";
  t += "      leaf_v" + std::to_string(i % 4) + " u_leaf (.a(din[j]), .y());\n    end\n  endgenerate\n\n";
  t += "  always_ff @(posedge clk) begin\n    if (rst) begin\n      state <= IDLE;\n      acc <= '0;\n";
  t += "      count <= '0;\n    end else begin\n      case (state)\n        IDLE: if (valid) state <= LOAD;\n";
  t += "        LOAD: begin acc <= din + left_q; state <= RUN; end\n";
  t += "        RUN: begin\n          if (count == DEPTH) state <= DONE; else count <= count + 1'b1;\n";
  t += "          acc <= acc ^ right_q;\n        end\n        DONE: begin state <= IDLE; count <= '0; end\n";
  t += "      endcase\n    end\n  end\n\n  assign dout = (state == DONE) ? acc : 'z;\n";
  t += "  assign ready = (state == IDLE);\nendmodule : cell_" + std::to_string(i) + "\n";
  const std::string path = "/gen/rtl/cell_" + std::to_string(i) + ".sv";
  d.paths.push_back(path);
  d.texts[path] = std::move(t);
}

// `files` design files in all: packages, leaves and a testbench, the rest cells.
inline Design Generate(int files) {
  Design d;
  const int packages = std::max(2, files / 20);
  const int svPackages = std::max(1, files / 40);
  const int cells = std::max(4, files - packages - svPackages - 9);
  for (int p = 0; p < packages; ++p) {
    const std::string n = std::to_string(p);
    std::string t = "-- Generated package " + n + ".\nlibrary ieee;\nuse ieee.std_logic_1164.all;\n\n";
    t += "package pkg_" + n + " is\n  constant WIDTH_" + n + " : integer := 8;\n";
    t += "  function parity(v : std_logic_vector) return std_logic;\nend package pkg_" + n + ";\n\n";
    t += "package body pkg_" + n + " is\n  function parity(v : std_logic_vector) return std_logic is\n";
    t += "    variable p : std_logic := '0';\n  begin\n    for i in v'range loop\n      p := p xor v(i);\n";
    t += "    end loop;\n    return p;\n  end function parity;\nend package body pkg_" + n + ";\n";
    d.paths.push_back("/gen/pkg/pkg_" + n + ".vhd");
    d.texts[d.paths.back()] = std::move(t);
  }
  for (int p = 0; p < svPackages; ++p) {
    const std::string n = std::to_string(p);
    std::string t = "// Generated package " + n + ".\npackage svpkg_" + n + ";\n  typedef logic [7:0] byte_t;\n";
    t += "  function automatic byte_t swap(byte_t b);\n    return {b[3:0], b[7:4]};\n  endfunction\nendpackage\n";
    d.paths.push_back("/gen/pkg/svpkg_" + n + ".sv");
    d.texts[d.paths.back()] = std::move(t);
  }
  for (int k = 0; k < 4; ++k) {
    const std::string n = std::to_string(k);
    d.paths.push_back("/gen/leaf/leaf_v" + n + ".v");
    d.texts[d.paths.back()] = "module leaf_v" + n + " (input a, output y);\n  assign y = ~a;\nendmodule\n";
    d.paths.push_back("/gen/leaf/leaf_h" + n + ".vhd");
    d.texts[d.paths.back()] = "entity leaf_h" + n +
                              " is\n  port (a : in bit; y : out bit);\nend entity;\n"
                              "architecture rtl of leaf_h" +
                              n + " is\nbegin\n  y <= not a;\nend architecture;\n";
  }
  for (int i = 0; i < cells; ++i) {
    if (i % 2 == 0) {
      AddVhdlCell(d, i, cells, packages);
    } else {
      AddVerilogCell(d, i, cells, svPackages);
    }
  }
  d.middle = d.paths.size() - static_cast<std::size_t>(cells) / 2;
  d.paths.push_back("/gen/tb/tb_top.vhd");
  d.texts[d.paths.back()] =
      "library ieee;\nuse ieee.std_logic_1164.all;\n\nentity tb_top is\nend entity;\n\narchitecture sim of tb_top is\n"
      "  signal clk : std_logic := '0';\nbegin\n  clk <= not clk after 5 ns;\n"
      "  dut : entity work.cell_0 port map (clk => clk, rst => '0', din => x\"00\", valid => '1',\n"
      "                                  dout => open, ready => open);\nend architecture;\n";
  for (const auto& [path, text] : d.texts) d.bytes += text.size();
  return d;
}

}  // namespace bench_support
