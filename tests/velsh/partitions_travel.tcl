# The partitions file travels with the project: a snapshot, a save-as and a copy take the
# partitions the open project holds, under the copy's name, and a restore brings back the
# snapshot's partitions, or none when it has none.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh partitions [pid]"]
file delete -force $root
set dir [file join $root proj]
file mkdir $dir
set design [file normalize [file join [file dirname [info script]] .. .. examples design]]
set project [file join $dir p.xhlc]
set hdp [file join $dir p.hdp]

proc partitions {path} {
    if {![file exists $path]} { return none }
    set text [read [set channel [open $path]]][close $channel]
    set names {}
    foreach {- name} [regexp -all -line -inline {^partition (.*)$} $text] { lappend names $name }
    return $names
}

project open $project
foreach source {counter_pkg.vhd counter.vhd debounce.v top.vhd} { velfile add [file join $design $source] }
project save
project snapshot take before
check "none taken before" [partitions [file join $dir snapshots before p.hdp]] none

# Made now, held by the open project: on disk only once it closes.
pr flavor create fast /top/u_counter
project snapshot take after
check "snapshot" [partitions [file join $dir snapshots after p.hdp]] /top/u_counter
project saveas [file join $root saved q.xhlc]
check "save-as" [partitions [file join $root saved q.hdp]] /top/u_counter
project copy [file join $root copied c.xhlc]
check "copy" [partitions [file join $root copied c.hdp]] /top/u_counter
check "copy under its own name" [file exists [file join $root copied p.hdp]] 0

project snapshot restore before
check "restored without partitions" [partitions $hdp] none
project close
check "none written back at close" [partitions $hdp] none

project open $project
project snapshot restore after
check "restored with partitions" [partitions $hdp] /top/u_counter
project close
check "kept at close" [partitions $hdp] /top/u_counter

file delete -force $root
if {$failures == 0} {
    puts "project partitions: all passed"
} else {
    exit 1
}
