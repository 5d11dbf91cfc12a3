# Two sessions on one project: a second velsh opens it while this one has it open, makes a
# partition and closes. The close here finds its partitions file changed on disk and asks before
# writing over it: the default answer reads the other session's partitions in, "no" keeps this
# session's.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh partitions [pid]"]
file delete -force $root
file mkdir $root
set project [file join $root {two $[x].xhlc}]
set partitionsFile [file rootname $project].hdp

proc partitions {} {
    set channel [open $::partitionsFile]
    set text [read $channel]
    close $channel
    set names {}
    foreach {- name} [regexp -all -line -inline {^partition (.*)$} $text] { lappend names $name }
    return $names
}
# The other session makes the flavor NAME of the module at PATH, with its partition.
proc other {name path} {
    set script [file join $::root other.tcl]
    write $script [list project open $::project]\n[list pr flavor create $name $path]\n[list project close]
    exec [info nameofexecutable] $script 2>@1
}

project open $project
pr flavor create fast /top/u1
other slow /top/u2
check "other written" [partitions] /top/u2
::velmor::Hvd::hvd_ResetDialogs
# The project file the other session rewrote is read in on a queued answer; the partitions
# file's question takes its default.
lappend ::velmor::Hvd::answers reload
project close
check "asked" [lsearch -exact -inline $::velmor::Hvd::asked \
    "The partitions file $partitionsFile has changed on disk.\nWould you like to reload?"] \
    "The partitions file $partitionsFile has changed on disk.\nWould you like to reload?"
check "read in" [partitions] /top/u2

project open $project
pr flavor create big /top/u3
other small /top/u4
check "other again" [partitions] {/top/u2 /top/u4}
::velmor::Hvd::hvd_ResetDialogs
set ::velmor::Hvd::answers {2 2}
project close
check "asked again" [llength [lsearch -all -glob $::velmor::Hvd::asked "The partitions file*"]] 1
check "written over" [partitions] {/top/u2 /top/u3}

file delete -force $root
if {$failures == 0} { puts "two sessions' partitions: all passed" }
