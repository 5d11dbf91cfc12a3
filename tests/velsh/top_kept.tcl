# The top search weighs every root of the design, and a root that cannot beat the best so far is
# passed over: the current top still keeps its place against an equal root that comes first, and
# a root that is better still is found behind many that are not.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh top kept [pid]"]
file delete -force $root
file mkdir $root
proc top_file {name} {
    set path [file join $::root $name.v]
    write $path "module $name (input wire clk);\n  leaf_$name u_leaf (.clk(clk));\nendmodule\nmodule leaf_$name (input wire clk);\nendmodule"
    return $path
}

project open [file join $root kept.xhlc]
velfile add [top_file b]
check "the only top" [project top] b
# "a" scores as "b" does but for the current top's bonus, and comes before it.
velfile add [top_file a]
check "the current top keeps its place" [project top] b
# Many equal roots, then one of the current top's name that stands above them all.
for {set i 0} {$i < 20} {incr i} { velfile add [top_file c$i] }
check "still the current top" [project top] b
velfile remove [file join $root b.v]
# Without it the equal roots tie, and the first in the parser's order, the latest file's, wins.
check "the first of the equal roots when the top goes" [project top] c19
project close
# An open has no current top: of two roots alike, the first added stays the top, the last at a reopen.
project open [file join $root two.xhlc]
foreach name {d e} { velfile add [top_file $name] }
set live [project top]
project close
project open [file join $root two.xhlc]
check "two roots alike: live, then at a reopen" [list $live [project top]] {d e}
project close

# One add into a named library is one change: the views weigh the new file only where it ends,
# never while it is still in "work" with its instances unbound, so the top after the adds is the
# one a reopen finds. A refused add leaves order and top as they were.
proc vhdl {name body} {
    set path [file join $::root $name.vhd]
    write $path "entity $name is end;\narchitecture a of $name is begin $body end;"
    return $path
}
set lib [file join $root lib.xhlc]
project open $lib
vhdl leaf ""
vhdl mid "u: entity work.leaf;"
vhdl deep "u: entity work.mid;"
vhdl shallow "u: entity work.leaf;"
foreach name {deep mid leaf shallow} { velfile add [file join $root $name.vhd] -library mylib }
check "top after the adds" [project top] deep
set order [project order]
write [file join $root stray.v] "module stray; deep u(); endmodule"
fails "refused" {velfile add [file join $root stray.v] -library mylib} "*"
check "top after a refused add" [project top] deep
check "order after a refused add" [project order] $order
project close
project open $lib
check "top after a reopen" [project top] deep
project close

# A top set by hand that names no unit costs no walk of the hierarchy: below a diamond of twenty
# entities, each instantiating the one before twice, stand a million nodes.
proc peak_kb {} { regexp {VmHWM:\s*(\d+)} [contents /proc/[pid]/status] -> kb; return $kb }
project open [file join $root diamond.xhlc]
set below ""
for {set i 0} {$i < 20} {incr i} { velfile add [vhdl c$i $below]; set below "u0: entity work.c$i; u1: entity work.c$i;" }
check "the diamond's top" [project top] c19
set before [peak_kb]
project set -view VIEW_AbstractSynthesis AUTOTOP false
# Nor does a top spelt otherwise than its entity, which it names: a VHDL name has no case.
foreach top {nosuch C19} {
    project set -view VIEW_AbstractSynthesis TOPDESIGNUNIT $top
    check "a top by hand, $top" [project top] $top
}
check "under 64 MB more at the peak" [expr {[peak_kb] - $before < 65536}] 1
project close

file delete -force $root
if {$failures == 0} { puts "top kept: all passed" }
