# Single edits as a user scripts them: the design of edit_bench (a binary tree of N VHDL entities,
# unit_i instantiating unit_2i+1 and unit_2i+2) added to a new project one `velfile add` at a
# time, then taken out again one `velfile remove` at a time, in the order it was added.
#
#   velsh bench/velsh/single_edits.tcl ?N ...?      (default: 200 2000)
#
# Prints the milliseconds of the adds and of the removals for each N, the removals also per fifth
# of the project from the full one down, and each size's cost against the first size's.

set sizes [expr {$argc > 0 ? $argv : {200 2000}}]
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

proc ms {since} { expr {([clock microseconds] - $since) / 1000.0} }

set results {}
foreach n $sizes {
  set files [design $n]
  project open [file join $::root design$n edits.xhlc]
  set start [clock microseconds]
  foreach path $files { velfile add $path }
  set adds [ms $start]
  set top [project top]

  set fifth [expr {max(1, $n / 5)}]
  set parts {}
  set start [clock microseconds]
  set part [clock microseconds]
  set k 0
  foreach path $files {
    velfile remove $path
    if {[incr k] % $fifth == 0} {
      lappend parts [format %.0f [ms $part]]
      set part [clock microseconds]
    }
  }
  set removals [ms $start]
  if {[llength [velfile list]] != 0} { error "files left after the removals" }
  project close
  puts [format "N=%-6d adds %9.1f ms  removals %9.1f ms  (top %s; removals per fifth: %s ms)" \
            $n $adds $removals $top [join $parts " "]]
  lappend results [list $n $adds $removals]
}

lassign [lindex $results 0] n0 adds0 removals0
foreach result [lrange $results 1 end] {
  lassign $result n adds removals
  puts [format "N=%d against N=%d: adds %.1f times, removals %.1f times (linear: %.1f)" \
            $n $n0 [expr {$adds / $adds0}] [expr {$removals / $removals0}] [expr {double($n) / $n0}]]
}
file delete -force $root
