# Single edits as a user scripts them: the design of edit_bench (a binary tree of N VHDL entities,
# unit_i instantiating unit_2i+1 and unit_2i+2) added to a new project one `velfile add` at a
# time, then taken out again one `velfile remove` at a time, in the order it was added. With
# `-design mixed`, hdl_bench's design of N files instead: VHDL and SystemVerilog cells with
# `timescale and package imports, packages, leaves and a testbench, in the order it lists them.
# With `-design headers`, header_design.tcl's design of N files: Verilog and VHDL cells, the VHDL
# ones in four libraries (`velfile add FILE -library NAME`), a quarter of the Verilog ones
# including their block's guarded define header, which lies beside them and is no project file;
# added in sorted order, then taken out in that order and, after the same adds into a new
# project, in the reverse order.
#
#   velsh bench/velsh/single_edits.tcl ?-design tree|mixed|headers? ?N ...?      (default: tree 200 2000)
#
# Prints the milliseconds of the adds and of the removals for each N, the removals also per fifth
# of the project from the full one down, and each size's cost against the first size's.

set kind tree
set args $argv
if {[lindex $args 0] eq "-design"} {
  set kind [lindex $args 1]
  set args [lrange $args 2 end]
  if {$kind ni {tree mixed headers}} { error "unknown design \"$kind\": tree, mixed or headers" }
}
set sizes [expr {[llength $args] > 0 ? $args : {200 2000}}]
set root [file join [expr {[info exists env(TMPDIR)] ? $env(TMPDIR) : "/tmp"}] "single_edits_[pid]"]
file delete -force $root

proc design {count} {
  set dir [file join $::root design$count]
  file mkdir $dir
  set files {}
  for {set i 0} {$i < $count} {incr i} {
    set path [file join $dir unit_$i.vhd]
    lappend files $path
    set text "library ieee;\nuse ieee.std_logic_1164.all;\n\nentity unit_$i is\n"
    append text "  port (clk : in std_logic; q : out std_logic);\nend entity;\n\n"
    append text "architecture rtl of unit_$i is\nbegin\n"
    foreach child [list [expr {2 * $i + 1}] [expr {2 * $i + 2}]] {
      if {$child < $count} {
        append text "  u$child : entity work.unit_$child port map (clk => clk, q => open);\n"
      }
    }
    append text "  q <= clk;\nend architecture;\n"
    set f [open $path w]
    puts -nonewline $f $text
    close $f
  }
  return $files
}

# hdl_bench's design (its Generate): VHDL packages with bodies, SystemVerilog packages, leaves, VHDL
# and SystemVerilog cells in a binary tree and a testbench, `count` files in all, in its order.
proc mixed_vhdl_cell {i cells packages} {
  set t "-- Generated cell $i: a registered datapath slice with a small state machine.\n"
  append t "-- Its children are the cells below it in the tree; VHDL ones are bound directly, Verilog ones\n"
  append t "-- through components.\nlibrary ieee;\nuse ieee.std_logic_1164.all;\nuse ieee.numeric_std.all;\n"
  append t "use work.pkg_[expr {$i % $packages}].all;\n\n"
  append t "entity cell_$i is\n  generic (W : integer := 8; DEPTH : integer := 4);\n"
  append t "  port (\n    clk   : in  std_logic;\n    rst   : in  std_logic;\n    din   : in  std_logic_vector(W - 1 downto 0);\n"
  append t "    valid : in  std_logic;\n    dout  : out std_logic_vector(W - 1 downto 0);\n    ready : out std_logic);\n"
  append t "end entity cell_$i;\n\narchitecture rtl of cell_$i is\n"
  append t "  type state_t is (IDLE, LOAD, RUN, DONE);\n  signal state : state_t := IDLE;\n"
  append t "  signal acc, nxt : unsigned(W - 1 downto 0) := (others => '0');\n  signal count : integer range 0 to DEPTH := 0;\n"
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
      append t "entity work.cell_$c\(rtl)\n    generic map (W => W)\n"
    } else {
      append t "cell_$c\n"
    }
    append t "    port map (clk => clk, rst => rst, din => din, valid => valid,\n"
    append t "              dout => $side, ready => open);\n"
  }
  append t "  g_leaf : for j in 0 to 1 generate\n    u_leaf : entity work.leaf_h[expr {$i % 4}] port map (a => din(j), y => open);\n  end generate g_leaf;\n"
  append t "  process (clk) is\n  begin\n    if rising_edge(clk) then\n      if rst = '1' then\n"
  append t "        state <= IDLE; acc <= (others => '0'); count <= 0;\n      else\n        case state is\n"
  append t "          when IDLE => if valid = '1' then state <= LOAD; end if;\n"
  append t "          when LOAD => acc <= unsigned(din) + unsigned(left_q); state <= RUN;\n"
  append t "          when RUN  =>\n            if count = DEPTH then state <= DONE; else count <= count + 1; end if;\n"
  append t "            acc <= acc xor unsigned(right_q);\n          when DONE => state <= IDLE; count <= 0;\n"
  append t "        end case;\n      end if;\n    end if;\n  end process;\n"
  append t "  dout <= std_logic_vector(acc) when state = DONE else (others => 'Z');\n"
  append t "  ready <= '1' when state = IDLE else '0';\nend architecture rtl;\n"
  return [list rtl/cell_$i.vhd $t]
}

proc mixed_verilog_cell {i cells svPackages} {
  set t "// Generated cell $i: a registered datapath slice with a small state machine.\n"
  append t "// Its children are the cells below it in the tree, Verilog and VHDL alike.\n"
  append t "`timescale 1ns / 1ps\nimport svpkg_[expr {$i % $svPackages}]::*;\n\n"
  append t "module cell_$i #(parameter W = 8, parameter DEPTH = 4) (\n"
  append t "    input  logic         clk,\n    input  logic         rst,\n    input  logic \[W-1:0\] din,\n"
  append t "    input  logic         valid,\n    output logic \[W-1:0\] dout,\n    output logic         ready);\n\n"
  append t "  typedef enum logic \[1:0\] {IDLE, LOAD, RUN, DONE} state_t;\n  state_t state;\n"
  append t "  logic \[W-1:0\] acc, left_q, right_q;\n  logic \[\$clog2(DEPTH+1)-1:0\] count;\n\n"
  foreach k {0 1} side {left_q right_q} {
    set c [expr {2 * $i + 1 + $k}]
    if {$c >= $cells} {
      append t "  assign $side = acc;\n"
      continue
    }
    append t "  cell_$c[expr {$c % 2 == 1 ? { #(.W(W), .DEPTH(DEPTH))} : {}}] u_$c"
    append t " (\n      .clk(clk), .rst(rst), .din(din), .valid(valid),\n      .dout($side), .ready());\n"
  }
  append t "  genvar j;\n  generate\n    for (j = 0; j < 2; j = j + 1) begin : g_leaf\n"
  append t "      leaf_v[expr {$i % 4}] u_leaf (.a(din\[j\]), .y());\n    end\n  endgenerate\n\n"
  append t "  always_ff @(posedge clk) begin\n    if (rst) begin\n      state <= IDLE;\n      acc <= '0;\n"
  append t "      count <= '0;\n    end else begin\n      case (state)\n        IDLE: if (valid) state <= LOAD;\n"
  append t "        LOAD: begin acc <= din + left_q; state <= RUN; end\n"
  append t "        RUN: begin\n          if (count == DEPTH) state <= DONE; else count <= count + 1'b1;\n"
  append t "          acc <= acc ^ right_q;\n        end\n        DONE: begin state <= IDLE; count <= '0; end\n"
  append t "      endcase\n    end\n  end\n\n  assign dout = (state == DONE) ? acc : 'z;\n"
  append t "  assign ready = (state == IDLE);\nendmodule : cell_$i\n"
  return [list rtl/cell_$i.sv $t]
}

proc mixed_texts {count} {
  set packages [expr {max(2, $count / 20)}]
  set svPackages [expr {max(1, $count / 40)}]
  set cells [expr {max(4, $count - $packages - $svPackages - 9)}]
  set out {}
  for {set p 0} {$p < $packages} {incr p} {
    set t "-- Generated package $p.\nlibrary ieee;\nuse ieee.std_logic_1164.all;\n\n"
    append t "package pkg_$p is\n  constant WIDTH_$p : integer := 8;\n"
    append t "  function parity(v : std_logic_vector) return std_logic;\nend package pkg_$p;\n\n"
    append t "package body pkg_$p is\n  function parity(v : std_logic_vector) return std_logic is\n"
    append t "    variable p : std_logic := '0';\n  begin\n    for i in v'range loop\n      p := p xor v(i);\n"
    append t "    end loop;\n    return p;\n  end function parity;\nend package body pkg_$p;\n"
    lappend out pkg/pkg_$p.vhd $t
  }
  for {set p 0} {$p < $svPackages} {incr p} {
    set t "// Generated package $p.\npackage svpkg_$p;\n  typedef logic \[7:0\] byte_t;\n"
    append t "  function automatic byte_t swap(byte_t b);\n    return {b\[3:0\], b\[7:4\]};\n  endfunction\nendpackage\n"
    lappend out pkg/svpkg_$p.sv $t
  }
  for {set k 0} {$k < 4} {incr k} {
    lappend out leaf/leaf_v$k.v "module leaf_v$k (input a, output y);\n  assign y = ~a;\nendmodule\n"
    lappend out leaf/leaf_h$k.vhd "entity leaf_h$k is\n  port (a : in bit; y : out bit);\nend entity;\narchitecture rtl of leaf_h$k is\nbegin\n  y <= not a;\nend architecture;\n"
  }
  for {set i 0} {$i < $cells} {incr i} {
    if {$i % 2 == 0} {
      lappend out {*}[mixed_vhdl_cell $i $cells $packages]
    } else {
      lappend out {*}[mixed_verilog_cell $i $cells $svPackages]
    }
  }
  lappend out tb/tb_top.vhd "library ieee;\nuse ieee.std_logic_1164.all;\n\nentity tb_top is\nend entity;\n\narchitecture sim of tb_top is\n  signal clk : std_logic := '0';\nbegin\n  clk <= not clk after 5 ns;\n  dut : entity work.cell_0 port map (clk => clk, rst => '0', din => x\"00\", valid => '1',\n                                  dout => open, ready => open);\nend architecture;\n"
  return $out
}

proc mixed_design {count} {
  set dir [file join $::root design$count]
  set files {}
  foreach {relative text} [mixed_texts $count] {
    set path [file join $dir $relative]
    file mkdir [file dirname $path]
    lappend files $path
    set f [open $path w]
    puts -nonewline $f $text
    close $f
  }
  return $files
}

source [file join [file dirname [info script]] header_design.tcl]

proc ms {since} { expr {([clock microseconds] - $since) / 1000.0} }

# The design's files with their libraries, in the order they are added.
proc files_of {kind n} {
  if {$kind eq "headers"} { return [lsort -index 0 [header_design [file join $::root design$n] $n]] }
  set files {}
  foreach path [expr {$kind eq "mixed" ? [mixed_design $n] : [design $n]}] { lappend files [list $path work] }
  return $files
}

# Adds `files` to a new project `name` and takes them out again in `order` (add or reverse):
# the milliseconds of the adds and of the removals, the top after the adds, and the removals per
# fifth of the project.
proc edits {files n name order} {
  project open [file join $::root design$n $name]
  set start [clock microseconds]
  foreach pair $files {
    lassign $pair path library
    if {$library eq "work"} { velfile add $path } else { velfile add $path -library $library }
  }
  set adds [ms $start]
  set top [project top]

  set fifth [expr {max(1, $n / 5)}]
  set parts {}
  set start [clock microseconds]
  set part [clock microseconds]
  set k 0
  foreach pair [expr {$order eq "reverse" ? [lreverse $files] : $files}] {
    velfile remove [lindex $pair 0]
    if {[incr k] % $fifth == 0} {
      lappend parts [format %.0f [ms $part]]
      set part [clock microseconds]
    }
  }
  set removals [ms $start]
  foreach pair $files { set added([lindex $pair 0]) 1 }
  foreach path [velfile list] {
    if {[info exists added($path)]} { error "files left after the removals" }
  }
  project close
  return [list $adds $removals $top $parts]
}

set results {}
foreach n $sizes {
  set files [files_of $kind $n]
  lassign [edits $files $n edits.xhlc add] adds removals top parts
  puts [format "N=%-6d adds %9.1f ms  removals %9.1f ms  (top %s; removals per fifth: %s ms)" \
            $n $adds $removals $top [join $parts " "]]
  set reverse {}
  if {$kind eq "headers"} {
    lassign [edits $files $n reverse.xhlc reverse] again reverse top parts
    puts [format "N=%-6d adds %9.1f ms  removals in reverse order %9.1f ms  (top %s; removals per fifth: %s ms)" \
              $n $again $reverse $top [join $parts " "]]
  }
  lappend results [list $n $adds $removals $reverse]
}

lassign [lindex $results 0] n0 adds0 removals0 reverse0
foreach result [lrange $results 1 end] {
  lassign $result n adds removals reverse
  set also [expr {$reverse eq "" ? "" : [format ", removals in reverse order %.1f times" [expr {$reverse / $reverse0}]]}]
  puts [format "N=%d against N=%d: adds %.1f times, removals %.1f times%s (linear: %.1f)" \
            $n $n0 [expr {$adds / $adds0}] [expr {$removals / $removals0}] $also [expr {double($n) / $n0}]]
}
file delete -force $root
