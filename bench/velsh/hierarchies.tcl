# Adds of designs whose hierarchies hold far more instances than units, past the parser's node
# bound: a chain of N VHDL entities, each with two architectures in two files (the entity and
# `rtl` in one, `beh` in the other) that each instantiate the entity before twice, the first
# instance bound to the other architecture by name, the second to the default (`beh`, compiled
# last), so that each entity is reached through both; beside it a diamond of N entities of one
# architecture, each instantiating the one before twice; and a ring of N Verilog modules that
# come round, each instantiating the one before twice, below a top. Each design is added one
# `velfile add` at a time to a new project, and its top and hierarchy text asked for at the end.
#
#   velsh bench/velsh/hierarchies.tcl ?-peak MB? ?N ...?      (default: 40 200)
#
# Prints, for each design and N, the milliseconds of all adds, of the worst add and which it was,
# the top and the count of hierarchy records; then the process's peak memory (VmHWM) after all of them, in this one run. Goal
# at N=200 on a release build: the worst add under 50 ms and the peak memory under 200 MB.
# With -peak, the peak memory is checked against MB as well: unlike the times it does not depend
# on the machine's load, so a check in CI holds on any machine. The last line says "within the
# bound" or "over the bound", and the script fails over it.

set bound ""
if {[lindex $argv 0] eq "-peak"} {
  set bound [lindex $argv 1]
  set argv [lrange $argv 2 end]
}
set sizes [expr {[llength $argv] > 0 ? $argv : {40 200}}]
source [file join [file dirname [info script]] adds.tcl]
set root [bench_root hierarchies]

# The entity's two instances of the one before, the first bound to an architecture by name.
proc instances {i named} {
  if {$i == 0} { return "" }
  set before "c_[expr {$i - 1}]"
  set first [expr {$named ne "" ? "entity work.$before\($named)" : "entity work.$before"}]
  return "  u0 : $first port map (clk => clk, d => d, q => open);\n  u1 : entity work.$before port map (clk => clk, d => d, q => open);\n"
}

set port "  port (clk : in std_logic; d : in std_logic; q : out std_logic);"
set head "library ieee;\nuse ieee.std_logic_1164.all;\n\n"

proc chain {dir count} {
  global port head
  file mkdir $dir
  set files {}
  for {set i 0} {$i < $count} {incr i} {
    write $dir/c_$i.vhd "${head}entity c_$i is\n$port\nend entity;\n\narchitecture rtl of c_$i is\nbegin\n[instances $i beh]  q <= d;\nend architecture;\n"
    write $dir/c_${i}_beh.vhd "${head}architecture beh of c_$i is\nbegin\n[instances $i rtl]  q <= not d;\nend architecture;\n"
    lappend files $dir/c_$i.vhd $dir/c_${i}_beh.vhd
  }
  return $files
}

proc diamond {dir count} {
  global port head
  file mkdir $dir
  set files {}
  for {set i 0} {$i < $count} {incr i} {
    write $dir/c_$i.vhd "${head}entity c_$i is\n$port\nend entity;\n\narchitecture rtl of c_$i is\nbegin\n[instances $i {}]  q <= d;\nend architecture;\n"
    lappend files $dir/c_$i.vhd
  }
  return $files
}

# Verilog modules that come round: each instantiates the one before twice, the first the last,
# and a top instantiates the last.
proc ring {dir count} {
  file mkdir $dir
  set files {}
  for {set i 0} {$i < $count} {incr i} {
    set before "m_[expr {$i == 0 ? $count - 1 : $i - 1}]"
    write $dir/m_$i.v "module m_$i (input clk);\n  $before ua (clk);\n  $before ub (clk);\nendmodule\n"
    lappend files $dir/m_$i.v
  }
  write $dir/ring_top.v "module ring_top (input clk);\n  m_[expr {$count - 1}] u (clk);\nendmodule\n"
  return [lappend files $dir/ring_top.v]
}

proc peak {} {
  set in [open /proc/[pid]/status r]
  set text [read $in 65536]
  close $in
  regexp {VmHWM:\s*(\d+)} $text -> kb
  return [expr {$kb / 1024.0}]
}

proc run {name files} {
  set stamps [add_one_by_one [file join $::root $name $name.xhlc] $files]
  set top [project top]
  set text [project hierarchy]
  project close
  set worst 0.0
  set which ""
  foreach a [lrange $stamps 0 end-1] b [lrange $stamps 1 end] file $files {
    set ms [expr {($b - $a) / 1000.0}]
    if {$ms > $worst} {
      set worst $ms
      set which [file tail $file]
    }
  }
  set total [expr {([lindex $stamps end] - [lindex $stamps 0]) / 1000.0}]
  puts [format "%-12s %4d adds: %9.1f ms in all, worst add %8.1f ms (%s), top %s, %d hierarchy records, peak so far %.1f MB" \
            $name [llength $files] $total $worst $which $top [expr {[llength [split $text "\$"]] - 1}] [peak]]
  return $worst
}

set worst {}
foreach n $sizes {
  dict set worst $n [list [run chain$n [chain $root/chain$n $n]] [run diamond$n [diamond $root/diamond$n $n]] \
                         [run ring$n [ring $root/ring$n $n]]]
}
set last [lindex $sizes end]
lassign [dict get $worst $last] chainWorst diamondWorst ringWorst
set peak [peak]
set verdict [expr {$bound eq "" ? "" : [format ", %s the bound of %s MB" [expr {$peak <= $bound ? "within" : "over"}] $bound]}]
puts [format "N=%d: worst add %.1f ms (chain), %.1f ms (diamond), %.1f ms (ring), peak memory %.1f MB%s (goal: under 50 ms and 200 MB)" \
          $last $chainWorst $diamondWorst $ringWorst $peak $verdict]
file delete -force $root
if {$bound ne "" && $peak > $bound} { exit 1 }
