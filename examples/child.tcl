# A child project in the main example: the core project core/core.xhlc (one VHDL file, its
# implementation stopping after synthesis, made for another device) is added to the counter
# project as a source. Its file joins the counter's views, recorded as the core's; taking the
# core's project file out again takes its file out of the views. Then the same core as a second
# child, netlist/core.xhlc, whose implementation stops at "Structural": the counter takes it as a
# netlist, and a black box of the core's top, made beside that child, declares the top's generics
# and ports for the counter's synthesis.
set here [file normalize [file dirname [info script]]]
set work [file join [pwd] build child_example]
file delete -force $work
file mkdir [file join $work core]

# Paths are shown from the example's folder and the work folder, so the output reads the same
# on every machine.
proc shown {paths} {
    set names {}
    foreach path $paths { lappend names [string map [list "$::here/" "" "$::work/" ""] $path] }
    return $names
}
proc show {title} {
    puts "== $title"
    puts "files: [shown [velfile list]]"
    foreach view {VIEW_AbstractSynthesis VIEW_AbstractSimulation} {
        puts "$view: [shown [lsort [velfile list -view $view]]]"
    }
}

# The child: its own project beside the parent's.
set coreFile [file join $work core core.xhlc]
project open $coreFile
velfile add [file join $here core blinker.vhd]
project set PROP_StopImpView VIEW_AbstractSynthesis
project set {Device Family} Orvanta
project close

# The second child: the same core, taken as a netlist.
set netlistFile [file join $work netlist core.xhlc]
file mkdir [file dirname $netlistFile]
project open $netlistFile
velfile add [file join $here core blinker.vhd]
project set PROP_StopImpView VIEW_Structural
project close

# The parent: the main example's design.
project open [file join $work counter.xhlc]
foreach name {counter_pkg.vhd counter.vhd debounce.v top.vhd} {
    velfile add [file join $here design $name]
}
show "counter.xhlc"
velfile add $coreFile
show "with core/core.xhlc"
velfile remove $coreFile
show "without core/core.xhlc"
velfile add $netlistFile
puts "== with netlist/core.xhlc, which stops at Structural"
puts "files: [shown [velfile list]]"
set blackBox [file join $work netlist blinker_blackbox.vhd]
puts "[shown [list $blackBox]]:"
set channel [open $blackBox]
foreach line [split [string trimright [read $channel] \n] \n] { puts [string trimright "  $line"] }
close $channel
project close
