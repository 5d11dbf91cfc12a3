# A close with nothing changed writes nothing, unless what is on disk no longer reads: a project
# file or partitions file that another program cut short, or a folder put at its name, and a
# whole project file of a schema this version does not read leave the open project the only
# whole copy. That is a change on disk like any other: the close asks, and unanswered it fails,
# keeping the project open and the file as it is, and says "no" keeps it; answered "no", or with
# the folder gone, it writes the project whole again. A working directory set and saved is
# written whole by that save: an open and a close after it write nothing, here or in another shell.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh unchanged close [pid]"]
file delete -force $root
file mkdir $root
set project [file join $root p.xhlc]
set partitions [file rootname $project].hdp
write [file join $root a.vhd] "entity a is end;"
proc stamp {path} { file stat $path info; return [list $info(ino) $info(mtime) $info(size)] }
proc is_open {} { expr {![catch {project get PROP_ProjectDescription}]} }

project open $project
velfile add [file join $root a.vhd]
pr flavor create fast /top/u1
project close
set wholeProject [contents $project]
set wholePartitions [contents $partitions]

foreach {name path whole} [list project $project $wholeProject partitions $partitions $wholePartitions] {
    foreach spoil {short folder schema} {
        if {$spoil eq "schema" && $name ne "project"} continue
        set what "$name $spoil"
        project open $project
        if {$spoil ne "folder"} {
            set channel [open $path wb]
            if {$spoil eq "short"} {
                puts -nonewline $channel [string range $whole 0 [expr {[string length $whole] / 2}]]
            } else {
                puts -nonewline $channel [string map {schema_version="2" schema_version="9"} $whole]
            }
            close $channel
            set spoiled [contents $path]
        } else {
            file delete $path
            file mkdir $path
        }
        ::velmor::Hvd::hvd_ResetDialogs
        fails "$what: unanswered" {project close} "*$path*changed on disk*got no answer*"
        check "$what: asked once" [llength $::velmor::Hvd::asked] 1
        check "$what: still open" [is_open] 1
        if {$name eq "project"} {
            # Read in, it fails, and says that answering no keeps this project.
            set ::velmor::Hvd::answers {reload}
            fails "$what: not read in" {project close} "*To keep this project, answer \"no\"*writes this project over*"
        }
        if {$spoil ne "folder"} {
            check "$what: left as it is" [contents $path] $spoiled
            set ::velmor::Hvd::answers {no}
        } else {
            check "$what: left as it is" [file isdirectory $path] 1
            file delete $path
        }
        check "$what: closed" [catch {project close} message] 0
        check "$what: closed as asked" $message ""
        check "$what: written whole" [contents $path] $whole
    }
}

# The working directory set and saved: an open and a close write nothing after it, here, and in
# another shell while this one holds the project with a change to save.
proc saved_with_working_directory {name} {
    set path [file join $::root $name $name.xhlc]
    project open $path
    project set PROP_WorkingDirectory work
    project close
    return $path
}
set here [saved_with_working_directory here]
set saved [list [stamp $here] [contents $here]]
project open $here
project close
check "working directory: an open and a close write nothing" [list [stamp $here] [contents $here]] $saved

set there [saved_with_working_directory there]
set saved [list [stamp $there] [contents $there]]
project open $there
project set PROP_ProjectDescription ours
set script [file join $root other.tcl]
write $script "[list project open $there]\nproject close"
exec [info nameofexecutable] $script 2>@1
check "working directory: another shell writes nothing" [list [stamp $there] [contents $there]] $saved
::velmor::Hvd::hvd_ResetDialogs
check "working directory: saved" [catch {project save} message] 0
check "working directory: saved unasked" [list $message $::velmor::Hvd::asked] {{} {}}
project close
project open $there
check "working directory: kept" [list [project get PROP_WorkingDirectory] [project get PROP_ProjectDescription]] {work ours}
project close

# The parser's log is no different: an open, a question and a close with nothing changed leave it
# as it was; a file removed changes what it holds, and the close writes it again.
set gone [file join $root gone.vhd]
write $gone "architecture r of a is begin u : entity work.gone; end;"
project open $project
velfile add $gone
project close
set log [file join $root hdlparser.log]
set before [list [stamp $log] [contents $log]]
after 1100
project open $project
project top
project close
check "log: an open, a question and a close leave it" [list [stamp $log] [contents $log]] $before
project open $project
velfile remove $gone
project close
check "log: written again once a file is removed" \
    [list [string match *work.gone* [lindex $before 1]] [string match *work.gone* [contents $log]]] {1 0}

# Include folders are set after each open, which finds the headers only then, in another order
# than the shell that saved them: another shell that opens the project, sets them, asks and closes
# writes none of its files, nor after a header was removed and added back.
set headed [file join $root headed]
file mkdir [file join $headed inc]
write [file join $headed top.v] "`include \"defs.vh\"\nmodule top;\n  gone u ();\nendmodule"
write [file join $headed inc defs.vh] "`include \"a.vh\"\n`include \"b.vh\""
foreach name {a b} { write [file join $headed inc $name.vh] "`define [string toupper $name] 1" }
set folders {foreach v {VIEW_AbstractSynthesis VIEW_AbstractSimulation} { project set -view $v QLBVERIINCLUDEDIR inc }}
proc states {} {
    lmap name {p.xhlc p.ghlc hdlparser.log} { list [stamp [file join $::headed $name]] [contents [file join $::headed $name]] }
}
set defs [file join $headed inc defs.vh]
set top [file join $headed top.v]
foreach {what edit} [list "include folders set after the open" "[list velfile add $top]; [list velfile add $defs]" \
        "a header removed and added back" "[list velfile remove $defs]; project order; [list velfile add $defs]"] {
    project open [file join $headed p.xhlc]
    eval $folders
    eval $edit
    project close
    set before [states]
    after 1100
    write [file join $root other.tcl] \
        "[list project open [file join $headed p.xhlc]]\n$folders\nvelfile list\nproject order\nproject close"
    exec [info nameofexecutable] [file join $root other.tcl] 2>@1
    check "$what: another shell writes none of the files" [states] $before
}

file delete -force $root
if {$failures == 0} { puts "unchanged close: all passed" }
