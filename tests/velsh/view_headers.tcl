# A header that the Verilog sources include is a file of every view that takes those sources, as
# soon as it is included: listing a view gives the same files before and after its order is asked,
# and after a reopen, and it goes from every view with its last includer.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh view headers [pid]"]
file delete -force $root
file mkdir $root
write [file join $root defs.vh] "`define WIDTH 8"
write [file join $root alu.v] "`include \"defs.vh\"\nmodule alu (input wire \[`WIDTH-1:0\] a);\nendmodule"
write [file join $root core.v] "`include \"defs.vh\"\nmodule core;\n  alu u_alu (.a(8'd0));\nendmodule"
set views {VIEW_AbstractSimulation VIEW_PreSimulation VIEW_AbstractSynthesis VIEW_PreSynthesis}
proc listed {when want} {
    foreach view $::views {
        check "$when: $view" [lsort [lmap path [velfile list -view $view] {file tail $path}]] $want
    }
}

project open [file join $root cpu.xhlc]
foreach name {alu.v core.v} { velfile add [file join $root $name] }
listed "added" {alu.v core.v defs.vh}
check "the header is no file of the order" [lmap path [project order -view VIEW_AbstractSimulation] {file tail $path}] \
    {alu.v core.v}
listed "order asked" {alu.v core.v defs.vh}
project close
project open [file join $root cpu.xhlc]
listed "reopened" {alu.v core.v defs.vh}
velfile remove [file join $root core.v]
listed "one includer left" {alu.v defs.vh}
velfile remove [file join $root alu.v]
listed "no includer left" {}
project close

file delete -force $root
if {$failures == 0} { puts "view headers: all passed" }
