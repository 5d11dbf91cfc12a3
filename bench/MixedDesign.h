// hdl_bench's generated mixed design: VHDL and SystemVerilog cells in a binary tree (so 200 files
// are already 7 levels deep), VHDL packages with bodies, SystemVerilog packages, shared leaf cells
// and a testbench. Shared by the benchmarks that measure the scanner and single edits on it. Beside
// it, the same tree in plain Verilog and VHDL whose Verilog cells include guarded define headers
// (GenerateWithHeaders).

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
  std::unordered_map<std::string, std::string> libraries;  // by path; a path not there: "work"
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

// The design with define headers: cells in a binary tree as above, in eight blocks (a folder each),
// VHDL cells (even numbers) in four libraries, Verilog cells (odd numbers) in "work". Each block
// keeps its settings in a guarded header beside its cells (`ifndef BLKb_DEFS_VH `define BLKb_DEFS_VH
// ... `endif): a parameter width and depth, and in odd blocks a parity option. A quarter of the
// Verilog cells include their block's header and use all three, so that the macros they find where
// they start decide what they read; the others use none. bench/velsh/header_design.tcl writes the
// same files.
inline int HeaderBlock(int cell) { return cell / 2 % 8; }
inline std::string HeaderLibrary(int cell) { return "lib" + std::to_string(HeaderBlock(cell) % 4); }
inline bool IncludesHeader(int cell) { return cell % 2 == 1 && cell / 16 % 4 == 0; }

inline std::string HeaderText(int block) {
  const std::string b = std::to_string(block);
  std::string t = "// Block " + b + "'s settings, shared by the cells of the block that include them.\n";
  t += "`ifndef BLK" + b + "_DEFS_VH\n`define BLK" + b + "_DEFS_VH\n";
  t += "`define BLK" + b + "_WIDTH " + std::to_string(8 + 2 * block) + "\n";
  t += "`define BLK" + b + "_DEPTH " + std::to_string(4 + block % 4) + "\n";
  if (block % 2 == 1) t += "`define BLK" + b + "_PARITY\n";
  t += "`endif\n";
  return t;
}

inline std::string HeaderVhdlCell(int i, int cells, int packages) {
  const std::string library = HeaderLibrary(i);
  // A package of the cell's own library: package p lies in library p % 4.
  const int package = HeaderBlock(i) % 4 + 4 * (i % (packages / 4));
  std::string t;
  t += "-- Generated cell " + std::to_string(i) + " of block " + std::to_string(HeaderBlock(i)) +
       ": a registered datapath slice with a small state machine.\n";
  t += "-- Its VHDL children are bound directly in their libraries, its Verilog ones through components.\n";
  t += "library ieee;\nlibrary lib0, lib1, lib2, lib3;\nuse ieee.std_logic_1164.all;\nuse ieee.numeric_std.all;\n";
  t += "use work.pkg_" + std::to_string(package) + ".all;\n\n";
  t += "entity cell_" + std::to_string(i) + " is\n  generic (W : integer := 8; DEPTH : integer := 4);\n";
  t += "  port (\n    clk   : in  std_logic;\n    rst   : in  std_logic;\n    din   : in  std_logic_vector(W - 1 "
       "downto 0);\n";
  t += "    valid : in  std_logic;\n    dout  : out std_logic_vector(W - 1 downto 0);\n    ready : out std_logic);\n";
  t += "end entity cell_" + std::to_string(i) + ";\n\narchitecture rtl of cell_" + std::to_string(i) + " is\n";
  t += "  type state_t is (IDLE, LOAD, RUN, DONE);\n  signal state : state_t := IDLE;\n";
  t += "  signal acc : unsigned(W - 1 downto 0) := (others => '0');\n  signal count : integer range 0 to DEPTH := "
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
    t += c % 2 == 0 ? "entity " + HeaderLibrary(c) + ".cell_" + std::to_string(c) + "(rtl)\n    generic map (W => W)\n"
                    : "cell_" + std::to_string(c) + "\n";
    t += "    port map (clk => clk, rst => rst, din => din, valid => valid,\n";
    t += "              dout => " + std::string(side[k]) + ", ready => open);\n";
  }
  const std::string leaf = std::to_string(i / 2 % 4);
  t += "  g_leaf : for j in 0 to 1 generate\n    u_leaf : entity lib" + leaf + ".leaf_h" + leaf +
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
  return t;
}

inline std::string HeaderVerilogCell(int i, int cells) {
  const std::string b = std::to_string(HeaderBlock(i));
  const bool includes = IncludesHeader(i);
  std::string t;
  t += "// Generated cell " + std::to_string(i) + " of block " + b +
       ": a registered datapath slice with a small state machine.\n";
  t += "// Its children are the cells below it in the tree, Verilog and VHDL alike.\n`timescale 1ns / 1ps\n";
  if (includes) t += "`include \"blk" + b + "_defs.vh\"\n";
  t += "\nmodule cell_" + std::to_string(i) + " #(parameter W = " + (includes ? "`BLK" + b + "_WIDTH" : "8") +
       ", parameter DEPTH = " + (includes ? "`BLK" + b + "_DEPTH" : "4") + ") (\n";
  t += "    input              clk,\n    input              rst,\n    input      [W-1:0] din,\n";
  t += "    input              valid,\n    output     [W-1:0] dout,\n    output             ready);\n\n";
  t += "  localparam IDLE = 2'd0, LOAD = 2'd1, RUN = 2'd2, DONE = 2'd3;\n";
  t += "  reg  [1:0]   state;\n  reg  [W-1:0] acc;\n  reg  [7:0]   count;\n  wire [W-1:0] left_q, right_q;\n\n";
  const char* side[] = {"left_q", "right_q"};
  for (int k = 0; k < 2; ++k) {
    const int c = 2 * i + 1 + k;
    if (c >= cells) {
      t += "  assign " + std::string(side[k]) + " = acc;\n";
      continue;
    }
    t += "  cell_" + std::to_string(c) + (c % 2 == 1 ? " #(.W(W), .DEPTH(DEPTH))" : " #(.W(W))") + " u_" +
         std::to_string(c);
    t += " (\n      .clk(clk), .rst(rst), .din(din), .valid(valid),\n      .dout(" + std::string(side[k]) +
         "), .ready());\n";
  }
  t += "  genvar j;\n  generate\n    for (j = 0; j < 2; j = j + 1) begin : g_leaf\n";
  t += "      leaf_v" + std::to_string(i / 2 % 4) + " u_leaf (.a(din[j]), .y());\n    end\n  endgenerate\n";
  if (includes) {
    t += "`ifdef BLK" + b + "_PARITY\n  leaf_v" + std::to_string((i / 2 + 1) % 4) +
         " u_parity (.a(^acc), .y());\n`endif\n";
  }
  t += "\n  always @(posedge clk) begin\n    if (rst) begin\n      state <= IDLE;\n      acc <= {W{1'b0}};\n";
  t += "      count <= 8'd0;\n    end else begin\n      case (state)\n        IDLE: if (valid) state <= LOAD;\n";
  t += "        LOAD: begin acc <= din + left_q; state <= RUN; end\n";
  t += "        RUN: begin\n          if (count == DEPTH) state <= DONE; else count <= count + 8'd1;\n";
  t += "          acc <= acc ^ right_q;\n        end\n        DONE: begin state <= IDLE; count <= 8'd0; end\n";
  t += "      endcase\n    end\n  end\n\n  assign dout = (state == DONE) ? acc : {W{1'bz}};\n";
  t += "  assign ready = (state == IDLE);\nendmodule\n";
  return t;
}

// `files` design files in all, the headers besides: packages, leaves and a testbench, the rest cells.
inline Design GenerateWithHeaders(int files) {
  Design d;
  const int packages = 4 * std::max(1, files / 80);
  const int cells = std::max(8, files - packages - 9);
  const auto add = [&d](const std::string& path, std::string text, const std::string& library) {
    d.paths.push_back(path);
    d.texts[path] = std::move(text);
    if (!library.empty()) d.libraries[path] = library;
  };
  for (int block = 0; block < 8; ++block) {
    const std::string path = "/gen/blk" + std::to_string(block) + "/blk" + std::to_string(block) + "_defs.vh";
    d.texts[path] = HeaderText(block);
  }
  for (int p = 0; p < packages; ++p) {
    const std::string n = std::to_string(p);
    std::string t = "-- Generated package " + n + ".\nlibrary ieee;\nuse ieee.std_logic_1164.all;\n\n";
    t += "package pkg_" + n + " is\n  constant WIDTH_" + n + " : integer := 8;\n";
    t += "  function parity(v : std_logic_vector) return std_logic;\nend package pkg_" + n + ";\n\n";
    t += "package body pkg_" + n + " is\n  function parity(v : std_logic_vector) return std_logic is\n";
    t += "    variable p : std_logic := '0';\n  begin\n    for i in v'range loop\n      p := p xor v(i);\n";
    t += "    end loop;\n    return p;\n  end function parity;\nend package body pkg_" + n + ";\n";
    add("/gen/pkg/pkg_" + n + ".vhd", std::move(t), "lib" + std::to_string(p % 4));
  }
  for (int k = 0; k < 4; ++k) {
    const std::string n = std::to_string(k);
    add("/gen/leaf/leaf_v" + n + ".v", "module leaf_v" + n + " (input a, output y);\n  assign y = ~a;\nendmodule\n", "");
    add("/gen/leaf/leaf_h" + n + ".vhd",
        "entity leaf_h" + n + " is\n  port (a : in bit; y : out bit);\nend entity;\narchitecture rtl of leaf_h" + n +
            " is\nbegin\n  y <= not a;\nend architecture;\n",
        "lib" + n);
  }
  for (int i = 0; i < cells; ++i) {
    const std::string folder = "/gen/blk" + std::to_string(HeaderBlock(i)) + "/cell_" + std::to_string(i);
    if (i % 2 == 0) {
      add(folder + ".vhd", HeaderVhdlCell(i, cells, packages), HeaderLibrary(i));
    } else {
      add(folder + ".v", HeaderVerilogCell(i, cells), "");
    }
  }
  d.middle = d.paths.size() - static_cast<std::size_t>(cells) / 2;
  add("/gen/tb/tb_top.vhd",
      "library ieee;\nuse ieee.std_logic_1164.all;\n\nentity tb_top is\nend entity;\n\narchitecture sim of tb_top is\n"
      "  signal clk : std_logic := '0';\nbegin\n  clk <= not clk after 5 ns;\n"
      "  dut : entity work.cell_0 port map (clk => clk, rst => '0', din => x\"00\", valid => '1',\n"
      "                                  dout => open, ready => open);\nend architecture;\n",
      "lib0");
  for (const auto& [path, text] : d.texts) d.bytes += text.size();
  return d;
}

}  // namespace bench_support
