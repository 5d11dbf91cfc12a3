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
file delete -force $root
if {$failures == 0} { puts "top kept: all passed" }
