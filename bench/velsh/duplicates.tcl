# Adds into a project that holds units defined twice: a design of N VHDL files (a package, then
# entities that each use it and instantiate two earlier entities) added one `velfile add` at a
# time to a new project, once as it is and once after D files that define again D of its entities
# (spare variants, with other ports), added first, as a library with vendor and dummy variants
# of some of its units is added.
#
#   velsh bench/velsh/duplicates.tcl ?N? ?D?      (default: 1000 50)
#
# Prints, for each design, the milliseconds of every hundred adds and in all; then the totals'
# ratio and, for each, the last hundred adds against the first. Goal: the design with the units
# defined twice at most 1.5 times the other in all, and its last hundred adds at most 4 times its
# first hundred.

set count [expr {$argc > 0 ? [lindex $argv 0] : 1000}]
set twice [expr {$argc > 1 ? [lindex $argv 1] : 50}]
source [file join [file dirname [info script]] adds.tcl]
set root [bench_root duplicates]

set port "  port (clk : in std_logic; d : in std_logic; q : out std_logic);"

# The design's files in the order they are added: the package, then unit_1 ... unit_N-1, each
# unit_i from unit_3 on instantiating unit_i/2 and unit_i/3, so that a hierarchy stays small.
proc design {dir count} {
  global port
  file mkdir $dir
  write $dir/pkg.vhd "library ieee;\nuse ieee.std_logic_1164.all;\n\npackage pkg is\n  constant WIDTH : natural := 8;\n  function inc (v : natural) return natural;\nend package;\n\npackage body pkg is\n  function inc (v : natural) return natural is\n  begin\n    return v + 1;\n  end function;\nend package body;\n"
  set files [list $dir/pkg.vhd]
  for {set i 1} {$i < $count} {incr i} {
    set body ""
    if {$i > 2} {
      foreach child [list [expr {$i / 2}] [expr {$i / 3}]] {
        append body "  u$child : entity work.unit_$child port map (clk => clk, d => d, q => open);\n"
      }
    }
    write $dir/unit_$i.vhd "library ieee;\nuse ieee.std_logic_1164.all;\nuse work.pkg.all;\n\nentity unit_$i is\n$port\nend entity;\n\narchitecture rtl of unit_$i is\nbegin\n$body  q <= d;\nend architecture;\n"
    lappend files $dir/unit_$i.vhd
  }
  return $files
}

# Spare variants of `twice` entities spread over the design, with ports of their own.
proc variants {dir count twice} {
  file mkdir $dir
  set files {}
  for {set k 0} {$k < $twice} {incr k} {
    set i [expr {1 + $k * (($count - 1) / $twice)}]
    write $dir/unit_${i}_dummy.vhd "library ieee;\nuse ieee.std_logic_1164.all;\n\nentity unit_$i is\n  port (clk : in std_logic; y : out std_logic);\nend entity;\n\narchitecture rtl of unit_$i is\nbegin\n  y <= clk;\nend architecture;\n"
    lappend files $dir/unit_${i}_dummy.vhd
  }
  return $files
}

proc run {name files} {
  set stamps [add_one_by_one [file join $::root $name $name.xhlc] $files]
  set top [project top]
  project close
  set n [llength $files]
  set ms [lmap a [lrange $stamps 0 end-1] b [lrange $stamps 1 end] { expr {($b - $a) / 1000.0} }]
  set total [expr {([lindex $stamps end] - [lindex $stamps 0]) / 1000.0}]
  set span [expr {min(100, $n)}]
  set first [expr {([lindex $stamps $span] - [lindex $stamps 0]) / 1000.0}]
  set last [expr {([lindex $stamps end] - [lindex $stamps end-$span]) / 1000.0}]
  set line [format "%-8s %5d adds: %8.1f ms in all, first hundred %.1f, last hundred %.1f, top %s\n  ms a hundred:" \
                $name $n $total $first $last $top]
  for {set k 0} {$k < $n} {incr k 100} {
    append line [format " %.1f" [tcl::mathop::+ 0 {*}[lrange $ms $k [expr {$k + 99}]]]]
  }
  puts $line
  return [list $total $first $last]
}

set plain [design $root/files $count]
set spare [variants $root/variants $count $twice]
set without [run without $plain]
set with [run twice [concat $spare $plain]]
puts [format "twice/without in all: %.2f (goal at most 1.5)" [expr {[lindex $with 0] / [lindex $without 0]}]]
foreach {name figures} [list without $without twice $with] {
  puts [format "%s: last hundred/first hundred: %.2f (goal at most 4)" $name \
            [expr {[lindex $figures 2] / [lindex $figures 1]}]]
}
file delete -force $root
