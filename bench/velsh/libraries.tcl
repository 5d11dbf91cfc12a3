# Many libraries that share unit names: one VHDL core of 53 files (5 packages, 48 entities in a
# hierarchy of four levels) copied K times, each copy into a library of its own, added one
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

# The core: packages first, then the leaves, the blocks, the subsystems and the top, each entity
# in a file of its own, in the order a script would add them.
proc core {folder} {
  set files {}
  foreach p {types consts util regs bus} {
    write $folder/pkg_$p.vhd "library ieee;\nuse ieee.std_logic_1164.all;\n\npackage pkg_$p is\n  constant WIDTH_$p : natural := 8;\n  function inc_$p (v : natural) return natural;\nend package;\n\npackage body pkg_$p is\n  function inc_$p (v : natural) return natural is\n  begin\n    return v + 1;\n  end function;\nend package body;\n"
    lappend files $folder/pkg_$p.vhd
  }
  set port "  port (clk : in std_logic; d : in std_logic; q : out std_logic);"
  set head "library ieee;\nuse ieee.std_logic_1164.all;\nuse work.pkg_types.all;\n"
  for {set i 0} {$i < 31} {incr i} {
    write $folder/leaf_$i.vhd "$head\nentity leaf_$i is\n$port\nend entity;\n\narchitecture rtl of leaf_$i is\nbegin\n  q <= d when rising_edge(clk);\nend architecture;\n"
    lappend files $folder/leaf_$i.vhd
  }
  for {set b 0} {$b < 12} {incr b} {
    set body ""
    for {set m 0} {$m < 3} {incr m} {
      set leaf [expr {($b * 3 + $m) % 31}]
      append body "  u$m : entity work.leaf_$leaf port map (clk => clk, d => d, q => open);\n"
    }
    write $folder/block_$b.vhd "$head\nuse work.pkg_util.all;\n\nentity block_$b is\n$port\nend entity;\n\narchitecture rtl of block_$b is\nbegin\n$body  q <= d;\nend architecture;\n"
    lappend files $folder/block_$b.vhd
  }
  for {set s 0} {$s < 4} {incr s} {
    set body ""
    for {set m 0} {$m < 3} {incr m} {
      set blk [expr {$s * 3 + $m}]
      append body "  u$m : block_$blk port map (clk => clk, d => d, q => open);\n"
    }
    write $folder/sub_$s.vhd "$head\nuse work.pkg_regs.all;\n\nentity sub_$s is\n$port\nend entity;\n\narchitecture rtl of sub_$s is\n  component block_[expr {$s * 3}] is\n$port\n  end component;\nbegin\n$body  q <= d;\nend architecture;\n"
    lappend files $folder/sub_$s.vhd
  }
  set body ""
  for {set s 0} {$s < 4} {incr s} {
    append body "  u$s : entity work.sub_$s port map (clk => clk, d => d, q => open);\n"
  }
  write $folder/core_top.vhd "$head\nuse work.pkg_bus.all;\nuse work.pkg_consts.all;\n\nentity core_top is\n$port\nend entity;\n\narchitecture rtl of core_top is\nbegin\n$body  q <= d;\nend architecture;\n"
  lappend files $folder/core_top.vhd
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
