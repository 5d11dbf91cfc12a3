# Two sessions on one project: a second velsh opens it while this one has it open, makes a
# partition and closes. The close here finds its partitions file changed on disk and asks before
# writing over it: "reload" reads the other session's partitions in, saying which of this
# session's it drops, "no" keeps this session's. Unanswered, the close fails and the project
# stays open; so it does when the other file cannot be read in or written over.
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
# Nothing of the project file the other session rewrote changed here: the close leaves it as it
# is, unasked. The partitions file's question, unanswered, fails the close and keeps the project
# open.
fails "unanswered" {project close} "*partitions file*got no answer*"
check "project file not asked about" [lsearch -glob $::velmor::Hvd::asked "The project *"] -1
check "still open" [catch {project get PROP_ProjectDescription}] 0
check "asked" [lsearch -exact -inline $::velmor::Hvd::asked \
    "The partitions file $partitionsFile has changed on disk.\nWould you like to reload?"] \
    "The partitions file $partitionsFile has changed on disk.\nWould you like to reload?"
check "not written" [partitions] /top/u2
lappend ::velmor::Hvd::answers reload
project close
check "read in" [partitions] /top/u2

# A partitions file another program cut short, or a folder in its place, is neither read in
# nor written over: the close fails, and the session's partitions stay with the open project.
set channel [open $partitionsFile r]
set before [read $channel]
close $channel
foreach {spoil module kept} {short /top/u5 {/top/u2 /top/u5} folder /top/u6 {/top/u2 /top/u5 /top/u6}} {
    project open $project
    # A partition of its own, so that the close has one to write.
    pr flavor create keep_$spoil $module
    if {$spoil eq "short"} {
        set channel [open $partitionsFile r]
        set whole [read $channel]
        close $channel
        set channel [open $partitionsFile w]
        puts -nonewline $channel [string range $whole 0 [string first "\n" $whole]]
        close $channel
    } else {
        file delete $partitionsFile
        file mkdir $partitionsFile
    }
    ::velmor::Hvd::hvd_ResetDialogs
    set ::velmor::Hvd::answers {reload}
    fails "$spoil refused" {project close} "*partitions file*"
    check "$spoil still open" [catch {project get PROP_ProjectDescription}] 0
    file delete -force $partitionsFile
    project close
    check "$spoil kept" [partitions] $kept
}
set channel [open $partitionsFile w]
puts -nonewline $channel $before
close $channel

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
