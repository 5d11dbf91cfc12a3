# Many libraries that share unit names: one VHDL core of 53 files (5 packages, 45 entities in a
# hierarchy of four levels, two spare variants and a testbench) copied K times, each copy into a library of its own, added one
# `velfile add FILE -library libK` at a time to a new project, as a user scripts it.
#
#   velsh bench/velsh/libraries.tcl ?COPIES? ?FOLDER?
#
# Prints the time of one add of the last copy at 530 files (10 copies) and at the end (COPIES,
# 40 by default: 2,120 files), and their ratio. Goal: at 2,120 files at most 2.5 times that at
# 530, and under 1 ms.

set copies [expr {$argc > 0 ? [lindex $argv 0] : 40}]
set folder [file normalize [expr {$argc > 1 ? [lindex $argv 1] : "build/bench_libraries"}]]
file delete -force $folder
file mkdir $folder/core

proc write {path text} {
  set out [open $path w]
  puts -nonewline $out $text
  close $out
}

# The core: packages first, then the leaves, the blocks, the subsystems, the top, two spare
# variants that nothing instantiates and the testbench, each entity in a file of its own, in the
# order a script would add them.
proc core {folder} {
  set files {}
  foreach p {types consts util regs bus} {
    write $folder/pkg_$p.vhd "library ieee;\nuse ieee.std_logic_1164.all;\n\npackage pkg_$p is\n  constant WIDTH_$p : natural := 8;\n  function inc_$p (v : natural) return natural;\nend package;\n\npackage body pkg_$p is\n  function inc_$p (v : natural) return natural is\n  begin\n    return v + 1;\n  end function;\nend package body;\n"
    lappend files $folder/pkg_$p.vhd
  }
  set port "  port (clk : in std_logic; d : in std_logic; q : out std_logic);"
  set head "library ieee;\nuse ieee.std_logic_1164.all;\nuse work.pkg_types.all;\n"
  set map "port map (clk => clk, d => d, q => open);\n"
  proc entity {folder name uses declarations body} {
    upvar files files port port head head
    write $folder/$name.vhd "$head$uses\nentity $name is\n$port\nend entity;\n\narchitecture rtl of $name is\n${declarations}begin\n$body  q <= d;\nend architecture;\n"
    lappend files $folder/$name.vhd
  }
  for {set i 0} {$i < 28} {incr i} {
    entity $folder leaf_$i "" "" ""
  }
  for {set b 0} {$b < 12} {incr b} {
    set body ""
    for {set m 0} {$m < 5} {incr m} {
      append body "  u$m : entity work.leaf_[expr {($b * 5 + $m) % 28}] $map"
    }
    entity $folder block_$b "use work.pkg_util.all;\n" "" $body
  }
  for {set s 0} {$s < 4} {incr s} {
    set body "  l0 : entity work.leaf_[expr {$s * 7}] $map"
    set declarations ""
    for {set m 0} {$m < 3} {incr m} {
      set blk block_[expr {$s * 3 + $m}]
      append declarations "  component $blk is\n$port\n  end component;\n"
      append body "  u$m : $blk $map"
    }
    entity $folder sub_$s "use work.pkg_regs.all;\n" $declarations $body
  }
  set body ""
  for {set s 0} {$s < 4} {incr s} {
    append body "  u$s : entity work.sub_$s $map"
  }
  entity $folder core_top "use work.pkg_bus.all;\nuse work.pkg_consts.all;\n" "" $body
  for {set a 0} {$a < 2} {incr a} {
    entity $folder alt_$a "" "" "  u0 : entity work.leaf_$a $map  u1 : entity work.leaf_[expr {$a + 2}] $map"
  }
  write $folder/tb_core.vhd "$head\nentity tb_core is\nend entity;\n\narchitecture sim of tb_core is\n  signal clk, d, q : std_logic := '0';\nbegin\n  dut : entity work.core_top port map (clk => clk, d => d, q => q);\n  clk <= not clk after 5 ns;\nend architecture;\n"
  lappend files $folder/tb_core.vhd
  return $files
}

set files {}
for {set k 1} {$k <= $copies} {incr k} {
  file mkdir $folder/copy$k
  lappend files [core $folder/copy$k]
}

project open $folder/libraries.xhlc
set report {}
for {set k 1} {$k <= $copies} {incr k} {
  set copy [lindex $files [expr {$k - 1}]]
  set started [clock microseconds]
  foreach file $copy {
    velfile add $file -library lib$k
  }
  set perAdd [expr {([clock microseconds] - $started) / double([llength $copy]) / 1000.0}]
  if {$k == 10 || $k == $copies} {
    set count [expr {$k * [llength $copy]}]
    lappend report $count $perAdd
    puts [format "%5d files: %.3f ms an add (the last copy's), top %s" $count $perAdd [project top]]
  }
}
if {[llength $report] == 4} {
  puts [format "ratio %d/%d files: %.2f" [lindex $report 2] [lindex $report 0] \
            [expr {[lindex $report 3] / [lindex $report 1]}]]
}
project close
file delete -force $folder
