# Partial reconfiguration: a project for the example design, two flavors of the module at
# the instance path /top/u_counter, and a configuration that chooses one of them, composed,
# with its project on disk beside the static project's.
set here [file normalize [file dirname [info script]]]
set design [file join $here design]
set work [file join [pwd] build reconfiguration]
file delete -force $work
file mkdir $work
set projectFile [file join $work static.xhlc]

# Paths are shown from the work folder, so the output reads the same on every machine.
proc shown {path} { return [string map [list "$::work/" ""] $path] }

project open $projectFile
foreach source {counter_pkg.vhd counter.vhd debounce.v top.vhd} {
    velfile add [file join $design $source]
}
project save

puts "flavor fast: [shown [pr flavor create fast /top/u_counter]]"
puts "flavor small: [shown [pr flavor create small /top/u_counter]]"
set made [pr configuration create speed fast]
puts "configuration speed: [shown $made]"
puts "on disk: [file exists [file rootname $made].xhlc]"
puts "chooses: [pr configuration flavors speed]"
puts "found: [shown [pr flavor find small /top/u_counter]]"
if {[catch {pr configuration create fast small} message]} { puts "refused: $message" }

# Another flavor for the module, chosen in the configuration that exists.
pr configuration assign speed small
puts "now chooses: [pr configuration flavors speed]"
# The same from parallel lists of flavors and instance paths.
puts "configuration lean: [shown [pr configuration pairs lean {small} {/top/u_counter}]]"
puts "lean chooses: [pr configuration flavors lean]"
puts "configurations: [pr configuration list]"
project close

# On disk: each project lists what composing and dividing the design put into it (shown by
# file name; the project keeps them relative to itself where it can).
proc files {path} {
    set text [read [set channel [open $path]]][close $channel]
    set names {}
    foreach {- name} [regexp -all -inline {<file vel_kv:name="([^"]*)"} $text] { lappend names [file tail $name] }
    return $names
}
puts "speed project files: [files [file join $work speed speed.xhlc]]"
puts "fast project files: [files [file join $work fast fast.xhlc]]"

# Each project keeps its partitions beside its project file, in the .hdp file of its
# hierarchical-design project: the module's partition made for the flavors in the static
# project, pulled into each configuration under the module's instance path, and pushed back to
# the flavors (under their own top) when the configurations were taken apart.
proc partitions {path} {
    set file [file rootname $path].hdp
    if {![file exists $file]} { return {} }
    set text [read [set channel [open $file]]][close $channel]
    set names {}
    foreach {- name} [regexp -all -line -inline {^partition (.*)$} $text] { lappend names $name }
    return $names
}
foreach {name path} [list static $projectFile fast [file join $work fast fast.xhlc] \
        small [file join $work small small.xhlc] speed [file join $work speed speed.xhlc] \
        lean [file join $work lean lean.xhlc]] {
    puts "$name partitions: [partitions $path]"
}
puts "reconfiguration example: done"
