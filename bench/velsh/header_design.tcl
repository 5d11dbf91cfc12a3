# The design with define headers that single_edits.tcl and open.tcl take with `-design headers`,
# the files bench/MixedDesign.h's GenerateWithHeaders makes, byte for byte: a binary tree of cells
# in eight blocks (a folder each), VHDL cells (even numbers) in the libraries lib0 to lib3, Verilog
# cells (odd numbers) in "work", VHDL packages, leaves and a testbench. Each block keeps its
# settings in a guarded header beside its cells, which is no project file; a quarter of the
# Verilog cells include their block's header and use its width, depth and option.
#
#   header_design FOLDER COUNT
#
# writes the COUNT design files (and the eight headers) under FOLDER and returns a list of
# {path library} pairs, in the order the generator lists them; "work" for the Verilog files.

proc header_block {i} { expr {$i / 2 % 8} }
proc header_library {i} { return lib[expr {[header_block $i] % 4}] }
proc header_includer {i} { expr {$i % 2 == 1 && $i / 16 % 4 == 0} }

proc header_text {b} {
  set t "// Block $b's settings, shared by the cells of the block that include them.\n"
  append t "`ifndef BLK${b}_DEFS_VH\n`define BLK${b}_DEFS_VH\n"
  append t "`define BLK${b}_WIDTH [expr {8 + 2 * $b}]\n"
  append t "`define BLK${b}_DEPTH [expr {4 + $b % 4}]\n"
  if {$b % 2 == 1} { append t "`define BLK${b}_PARITY\n" }
  append t "`endif\n"
  return $t
}

proc header_vhdl_cell {i cells packages} {
  set package [expr {[header_block $i] % 4 + 4 * ($i % ($packages / 4))}]
  set t "-- Generated cell $i of block [header_block $i]: a registered datapath slice with a small state machine.\n"
  append t "-- Its VHDL children are bound directly in their libraries, its Verilog ones through components.\n"
  append t "library ieee;\nlibrary lib0, lib1, lib2, lib3;\nuse ieee.std_logic_1164.all;\nuse ieee.numeric_std.all;\n"
  append t "use work.pkg_$package.all;\n\n"
  append t "entity cell_$i is\n  generic (W : integer := 8; DEPTH : integer := 4);\n"
  append t "  port (\n    clk   : in  std_logic;\n    rst   : in  std_logic;\n    din   : in  std_logic_vector(W - 1 downto 0);\n"
  append t "    valid : in  std_logic;\n    dout  : out std_logic_vector(W - 1 downto 0);\n    ready : out std_logic);\n"
  append t "end entity cell_$i;\n\narchitecture rtl of cell_$i is\n"
  append t "  type state_t is (IDLE, LOAD, RUN, DONE);\n  signal state : state_t := IDLE;\n"
  append t "  signal acc : unsigned(W - 1 downto 0) := (others => '0');\n  signal count : integer range 0 to DEPTH := 0;\n"
  append t "  signal left_q, right_q : std_logic_vector(W - 1 downto 0);\n"
  foreach c [list [expr {2 * $i + 1}] [expr {2 * $i + 2}]] {
    if {$c < $cells && $c % 2 == 1} {
      append t "  component cell_$c is\n    port (clk, rst : in std_logic; din : in std_logic_vector;\n"
      append t "          valid : in std_logic; dout : out std_logic_vector; ready : out std_logic);\n  end component;\n"
    }
  }
  append t "begin\n"
  foreach k {0 1} side {left_q right_q} {
    set c [expr {2 * $i + 1 + $k}]
    if {$c >= $cells} {
      append t "  $side <= std_logic_vector(acc);\n"
      continue
    }
    append t "  u_$c : "
    if {$c % 2 == 0} {
      append t "entity [header_library $c].cell_$c\(rtl)\n    generic map (W => W)\n"
    } else {
      append t "cell_$c\n"
    }
    append t "    port map (clk => clk, rst => rst, din => din, valid => valid,\n"
    append t "              dout => $side, ready => open);\n"
  }
  set leaf [expr {$i / 2 % 4}]
  append t "  g_leaf : for j in 0 to 1 generate\n    u_leaf : entity lib$leaf.leaf_h$leaf port map (a => din(j), y => open);\n  end generate g_leaf;\n"
  append t "  process (clk) is\n  begin\n    if rising_edge(clk) then\n      if rst = '1' then\n"
  append t "        state <= IDLE; acc <= (others => '0'); count <= 0;\n      else\n        case state is\n"
  append t "          when IDLE => if valid = '1' then state <= LOAD; end if;\n"
  append t "          when LOAD => acc <= unsigned(din) + unsigned(left_q); state <= RUN;\n"
  append t "          when RUN  =>\n            if count = DEPTH then state <= DONE; else count <= count + 1; end if;\n"
  append t "            acc <= acc xor unsigned(right_q);\n          when DONE => state <= IDLE; count <= 0;\n"
  append t "        end case;\n      end if;\n    end if;\n  end process;\n"
  append t "  dout <= std_logic_vector(acc) when state = DONE else (others => 'Z');\n"
  append t "  ready <= '1' when state = IDLE else '0';\nend architecture rtl;\n"
  return $t
}

proc header_verilog_cell {i cells} {
  set b [header_block $i]
  set includes [header_includer $i]
  set t "// Generated cell $i of block $b: a registered datapath slice with a small state machine.\n"
  append t "// Its children are the cells below it in the tree, Verilog and VHDL alike.\n`timescale 1ns / 1ps\n"
  if {$includes} { append t "`include \"blk${b}_defs.vh\"\n" }
  append t "\nmodule cell_$i #(parameter W = [expr {$includes ? "`BLK${b}_WIDTH" : 8}],\
            parameter DEPTH = [expr {$includes ? "`BLK${b}_DEPTH" : 4}]) (\n"
  append t "    input              clk,\n    input              rst,\n    input      \[W-1:0\] din,\n"
  append t "    input              valid,\n    output     \[W-1:0\] dout,\n    output             ready);\n\n"
  append t "  localparam IDLE = 2'd0, LOAD = 2'd1, RUN = 2'd2, DONE = 2'd3;\n"
  append t "  reg  \[1:0\]   state;\n  reg  \[W-1:0\] acc;\n  reg  \[7:0\]   count;\n  wire \[W-1:0\] left_q, right_q;\n\n"
  foreach k {0 1} side {left_q right_q} {
    set c [expr {2 * $i + 1 + $k}]
    if {$c >= $cells} {
      append t "  assign $side = acc;\n"
      continue
    }
    append t "  cell_$c[expr {$c % 2 == 1 ? { #(.W(W), .DEPTH(DEPTH))} : { #(.W(W))}}] u_$c"
    append t " (\n      .clk(clk), .rst(rst), .din(din), .valid(valid),\n      .dout($side), .ready());\n"
  }
  append t "  genvar j;\n  generate\n    for (j = 0; j < 2; j = j + 1) begin : g_leaf\n"
  append t "      leaf_v[expr {$i / 2 % 4}] u_leaf (.a(din\[j\]), .y());\n    end\n  endgenerate\n"
  if {$includes} {
    append t "`ifdef BLK${b}_PARITY\n  leaf_v[expr {($i / 2 + 1) % 4}] u_parity (.a(^acc), .y());\n`endif\n"
  }
  append t "\n  always @(posedge clk) begin\n    if (rst) begin\n      state <= IDLE;\n      acc <= {W{1'b0}};\n"
  append t "      count <= 8'd0;\n    end else begin\n      case (state)\n        IDLE: if (valid) state <= LOAD;\n"
  append t "        LOAD: begin acc <= din + left_q; state <= RUN; end\n"
  append t "        RUN: begin\n          if (count == DEPTH) state <= DONE; else count <= count + 8'd1;\n"
  append t "          acc <= acc ^ right_q;\n        end\n        DONE: begin state <= IDLE; count <= 8'd0; end\n"
  append t "      endcase\n    end\n  end\n\n  assign dout = (state == DONE) ? acc : {W{1'bz}};\n"
  append t "  assign ready = (state == IDLE);\nendmodule\n"
  return $t
}

proc header_write {path text} {
  file mkdir [file dirname $path]
  set f [open $path w]
  puts -nonewline $f $text
  close $f
}

proc header_design {folder count} {
  set packages [expr {4 * max(1, $count / 80)}]
  set cells [expr {max(8, $count - $packages - 9)}]
  set out {}
  for {set b 0} {$b < 8} {incr b} {
    header_write [file join $folder blk$b blk${b}_defs.vh] [header_text $b]
  }
  for {set p 0} {$p < $packages} {incr p} {
    set t "-- Generated package $p.\nlibrary ieee;\nuse ieee.std_logic_1164.all;\n\n"
    append t "package pkg_$p is\n  constant WIDTH_$p : integer := 8;\n"
    append t "  function parity(v : std_logic_vector) return std_logic;\nend package pkg_$p;\n\n"
    append t "package body pkg_$p is\n  function parity(v : std_logic_vector) return std_logic is\n"
    append t "    variable p : std_logic := '0';\n  begin\n    for i in v'range loop\n      p := p xor v(i);\n"
    append t "    end loop;\n    return p;\n  end function parity;\nend package body pkg_$p;\n"
    header_write [file join $folder pkg pkg_$p.vhd] $t
    lappend out [list [file join $folder pkg pkg_$p.vhd] lib[expr {$p % 4}]]
  }
  for {set k 0} {$k < 4} {incr k} {
    header_write [file join $folder leaf leaf_v$k.v] "module leaf_v$k (input a, output y);\n  assign y = ~a;\nendmodule\n"
    lappend out [list [file join $folder leaf leaf_v$k.v] work]
    header_write [file join $folder leaf leaf_h$k.vhd] "entity leaf_h$k is\n  port (a : in bit; y : out bit);\nend entity;\narchitecture rtl of leaf_h$k is\nbegin\n  y <= not a;\nend architecture;\n"
    lappend out [list [file join $folder leaf leaf_h$k.vhd] lib$k]
  }
  for {set i 0} {$i < $cells} {incr i} {
    set path [file join $folder blk[header_block $i] cell_$i]
    if {$i % 2 == 0} {
      header_write $path.vhd [header_vhdl_cell $i $cells $packages]
      lappend out [list $path.vhd [header_library $i]]
    } else {
      header_write $path.v [header_verilog_cell $i $cells]
      lappend out [list $path.v work]
    }
  }
  header_write [file join $folder tb tb_top.vhd] "library ieee;\nuse ieee.std_logic_1164.all;\n\nentity tb_top is\nend entity;\n\narchitecture sim of tb_top is\n  signal clk : std_logic := '0';\nbegin\n  clk <= not clk after 5 ns;\n  dut : entity work.cell_0 port map (clk => clk, rst => '0', din => x\"00\", valid => '1',\n                                  dout => open, ready => open);\nend architecture;\n"
  lappend out [list [file join $folder tb tb_top.vhd] lib0]
  return $out
}
