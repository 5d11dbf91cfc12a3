# Child projects composed into a parent through the shell: a generated core's simulation files
# reach the parent's pre-simulation view in the parent's language, a child's constraints and
# netlists reach the synthesis views, and both stay so when the parent is opened again.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh childviews [pid]"]
file delete -force $root
file mkdir [file join $root core] [file join $root net]
proc at {args} { return [file join $::root {*}$args] }
# Paths from the work folder, sorted, so that the order of the views does not matter.
proc view {name} {
    set names {}
    foreach path [velfile list -view $name] { lappend names [string map [list "$::root/" ""] $path] }
    return [lsort $names]
}

# A generated core, stopping at "Structural" as generated cores are asked to: its simulation
# view holds a VHDL and a Verilog model.
write [at core gen.vhd] "entity gen is end;\narchitecture a of gen is begin end;"
write [at core gen_sim.vhd] "entity gen_sim is end;\narchitecture a of gen_sim is begin end;"
write [at core gen_sim.v] "module gen_sim_v; endmodule"
project open [at core gen.xhlc]
foreach name {gen.vhd gen_sim.vhd gen_sim.v} { velfile add [at core $name] }
project set PROP_ProjectGeneratorType Moldrix
project set PROP_StopImpView Structural
project close

# A child whose implementation stops after synthesis, with its constraints and two netlists.
write [at net net.vhd] "entity net is end;\narchitecture a of net is begin end;"
write [at net pins.ucf] "NET x LOC = P1;"
write [at net sub.ngc] "netlist"
write [at net sub.edf] "(edif sub)"
project open [at net net.xhlc]
foreach name {net.vhd pins.ucf sub.ngc sub.edf} { velfile add [at net $name] }
project set PROP_StopImpView VIEW_AbstractSynthesis
check "the child's synthesis view" [view VIEW_AbstractSynthesis] {net/net.vhd net/pins.ucf net/sub.edf net/sub.ngc}
check "the child's simulation view" [view VIEW_AbstractSimulation] {net/net.vhd}
project close

write [at top.vhd] "entity top is end;\narchitecture a of top is begin end;"
project open [at top.xhlc]
velfile add [at top.vhd]
velfile add [at core gen.xhlc]
velfile add [at net net.xhlc]
set views {VIEW_PreSimulation VIEW_AbstractSimulation VIEW_AbstractSynthesis VIEW_Structural VIEW_Translation}
proc expected {} {
    # The parent prefers VHDL: the core's Verilog model stays out of the simulation views.
    return [list \
        {core/gen.vhd core/gen_sim.vhd net/net.vhd top.vhd} \
        {net/net.vhd top.vhd} \
        {net/net.vhd net/pins.ucf net/sub.edf net/sub.ngc top.vhd} \
        {net/sub.edf net/sub.ngc} \
        {net/pins.ucf net/sub.edf net/sub.ngc}]
}
foreach name $views want [expected] { check "composed: $name" [view $name] $want }
check "the core's Verilog model is in the project" [expr {[at core gen_sim.v] in [velfile list]}] 1
# The child's project file taken out takes what it brought along out of the views; added again,
# it brings it back.
velfile remove [at net net.xhlc]
check "without the child: synthesis" [view VIEW_AbstractSynthesis] {top.vhd}
check "without the child: structural" [view VIEW_Structural] {}
velfile add [at net net.xhlc]
project save
project close

project open [at top.xhlc]
foreach name $views want [expected] { check "reopened: $name" [view $name] $want }
project close

file delete -force $root
if {$failures == 0} { puts "child views: all passed" }
