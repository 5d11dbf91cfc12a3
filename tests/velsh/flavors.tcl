# What a refused flavor or configuration leaves: nothing. A flavor name already taken is
# refused before the module and partition at the instance path are made; parallel lists of
# flavors and instance paths that differ in length are refused before the configuration is.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh flavors [pid]"]
file delete -force $root
file mkdir $root
set project [file join $root static.xhlc]

proc partitions {} {
    set channel [open [file rootname $::project].hdp]
    set text [read $channel]
    close $channel
    set names {}
    foreach {- name} [regexp -all -line -inline {^partition (.*)$} $text] { lappend names $name }
    return $names
}

project open $project
pr flavor create fast /top/u_counter
fails "taken name" {pr flavor create fast /top/u_debounce} "*<fast> exists already*"
check "no flavor at the new path" [pr flavor find fast /top/u_debounce] ""
# A path its partition is refused for leaves no module behind, and the user is told why.
fails "a path not from the top" {pr flavor create quick top/u_debounce} \
    {Could not create a partition at the instance path "top/u_debounce": an instance path begins at the top with "/", as "/top/u_debounce" does.*}
check "no flavor without its partition" [pr flavor find quick] ""
# A configuration has an element for every module: only the first module is there.
pr configuration create all
check "modules" [pr configuration flavors all] {/top/u_counter fast}
fails "taken by a configuration" {pr flavor create all /top/u_debounce} "*<all> exists already*"
check "modules still" [pr configuration flavors all] {/top/u_counter fast}

pr flavor create small /top/u_counter
fails "more flavors than paths" {pr configuration pairs lean {fast small} {/top/u_counter}} \
    "*2 flavors and 1 instance path*"
fails "more paths than flavors" {pr configuration pairs lean {} {/top/u_counter}} \
    "*0 flavors and 1 instance path*"
check "no configuration made" [pr configuration list] all
check "no configuration project" [file exists [file join $root lean]] 0
check "pairs of equal length" [file tail [pr configuration pairs lean {small} {/top/u_counter}]] lean.xhlc
check "lean chooses" [pr configuration flavors lean] {/top/u_counter small}
check "found" [list [pr configuration find lean] [pr configuration find none]] [list [file join $root lean lean.xhlc] {}]

# A NUL in a name, a flavor list or a paired flavor or instance path is refused, named as \x00,
# before anything is made.
foreach {what script} {
    "flavor name" {pr flavor create "f\0x" /top/u_debounce}
    "configuration name" {pr configuration create "c\0x"}
    "flavor list" {pr configuration create cx "fast\0x"}
    "flavor name" {pr configuration pairs cx "fast\0x" /top/u_counter}
    "instance path" {pr configuration pairs cx small "/top/u_counter\0x"}
} {
    fails "NUL in the $what" $script "The $what \"*\\\\x00x\" is refused:*"
}
check "nothing made for a NUL" [list [pr configuration list] [lsort [glob -tails -directory $root *]]] \
    {{all lean} {all fast lean small static.ghlc static.xhlc}}
project close
check "partitions" [partitions] /top/u_counter

# With the older storage the project's objects find its partitions by its repository path, which
# lies in the working directory its file names.
set ::env(VEL_CORVANE_ENABLE_HLC) 1
set moved [file join $root moved.xhlc]
project open $moved
project set PROP_WorkingDirectory wd
project close
project open $moved
check "made in the older storage" [catch {pr flavor create quick /top/u_counter} message] 0
check "found in the older storage" [expr {[pr flavor find quick /top/u_counter] ne ""}] 1
project close
unset ::env(VEL_CORVANE_ENABLE_HLC)

file delete -force $root
if {$failures == 0} { puts "refused flavors and configurations: all passed" }
