# A child project in the main example: the core project core/core.xhlc (one VHDL file, its
# implementation stopping after synthesis, made for another device) is added to the counter
# project as a source. Its file joins the counter's views, recorded as the core's; taking the
# core's project file out again takes its file out of the views.
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
project close
