# Two shells on one project. A shell that closes a project it did not change writes nothing
# and asks nothing, whatever another shell saved meanwhile, its partitions included. A save that finds only the generated
# file changed names that file when its question goes unanswered, and answered "reload" reads
# the project as it is on disk: what this shell changed since its last save is gone, as the
# warning says, and the project answers as a fresh open of the files does.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh two shells [pid]"]
file delete -force $root
file mkdir $root
set project [file join $root p.xhlc]
set generated [file join $root p.ghlc]
foreach name {a b c} { write [file join $root $name.vhd] "entity $name is end;" }

# What every session is given: the paths, and another shell to run SCRIPT on the project.
set shared [string map [list @ROOT@ [list $root] @PROJECT@ [list $project] @GENERATED@ [list $generated] \
    @VELSH@ [list [info nameofexecutable]]] {
    set root @ROOT@
    set project @PROJECT@
    set generated @GENERATED@
    proc tails {} { lmap path [velfile list] { file tail $path } }
    proc asked {} { expr {[info exists ::velmor::Hvd::asked] ? [llength $::velmor::Hvd::asked] : 0} }
    proc other {name script} {
        set path [file join $::root $name.tcl]
        write $path "project open [list $::project]\n$script\nproject close\n"
        exec @VELSH@ $path << "" 2>@1
    }
    proc stamp {path} { file stat $path info; return [list $info(ino) $info(mtime) $info(size)] }
}]

project open $project
velfile add [file join $root a.vhd]
project close

lassign [piped_session untouched [string cat $shared {
    project open $project
    velfile add [file join $root b.vhd]
    set before [list [stamp $project] [stamp $generated] [contents $project] [contents $generated]]
    other opened {}
    check "a shell that only opens and closes writes nothing" \
        [list [stamp $project] [stamp $generated] [contents $project] [contents $generated]] $before
    check "saved after it" [catch {project save} message] 0
    check "saved unasked" [asked] 0
    project close
    if {$failures == 0} { puts "untouched: all passed" }
}]] status said errors
check "untouched session" $status 0
check "untouched checks" $said "untouched: all passed"

lassign [piped_session generated [string cat $shared {
    project open $project
    project set PROP_ProjectDescription ours
    velfile add [file join $root c.vhd]
    set projectFile [contents $project]
    other saved { project save }
    check "only the generated file rewritten" [contents $project] $projectFile
    fails "unanswered save" { project save } "The generated project file \"$generated\" changed on disk*"
    fails "not the project file" { project save } "The generated project file*"
    lappend ::velmor::Hvd::answers reload
    project save
    check "description dropped" [project get PROP_ProjectDescription] ""
    check "file dropped" [tails] {a.vhd b.vhd}
    check "project file read, not written first" [contents $project] $projectFile
    project close
    project open $project
    check "as a fresh open" [list [project get PROP_ProjectDescription] [tails]] {{} {a.vhd b.vhd}}
    project close
    if {$failures == 0} { puts "generated: all passed" }
}]] status said errors
check "generated session" $status 0
check "generated checks" $said "generated: all passed"
check "dropped said" [string match "*changes made here since it was last saved were dropped*" $errors] 1

# Both files changed by another shell: the unanswered question names both, and so does the error.
write [file join $root d.vhd] "entity d is end;"
lassign [piped_session both [string cat $shared {
    project open $project
    project set PROP_ProjectDescription ours
    other added [list velfile add [file join $root d.vhd]]
    set theirs [list [contents $project] [contents $generated]]
    fails "unanswered save" { project save } "*The project file \"$project\" and the generated project file\
        \"$generated\" changed on disk, and the question whether to read them in or to write this project over\
        them got no answer: *lappend ::velmor::Hvd::answers reload*Nothing was read in or written*"
    check "both asked about" $::velmor::Hvd::asked [list "Both the project $project and the generated project\
        $generated have changed on disk.\nWould you like to reload?"]
    check "theirs kept" [list [contents $project] [contents $generated]] $theirs
    check "ours kept" [project get PROP_ProjectDescription] ours
    project close -nosave
    if {$failures == 0} { puts "both: all passed" }
}]] status said errors
check "both session" $status 0
check "both checks" $said "both: all passed"

# Opened, left unchanged while another shell saves its change, then closed: by `project close`
# and by leaving the shell.
foreach {name leave} {closed {project close} left {}} {
    write [file join $root $name.vhd] "entity $name is end;"
    lassign [piped_session $name [string cat $shared [string map [list @NAME@ $name @LEAVE@ $leave] {
        project open $project
        other changed [list velfile add [file join $root @NAME@.vhd]]
        set theirs [list [contents $project] [contents $generated]]
        check "closed" [catch {@LEAVE@} message] 0
        check "nothing asked" [asked] 0
        check "theirs kept" [list [contents $project] [contents $generated]] $theirs
        if {$failures == 0} { puts "@NAME@: all passed" }
    }]]] status said errors
    check "$name: status" $status 0
    check "$name: checks" $said "$name: all passed"
    check "$name: nothing said" $errors ""
}
project open $project
check "every shell's files" [lmap path [velfile list] { file tail $path }] {a.vhd b.vhd d.vhd closed.vhd left.vhd}
project close

# With partitions: a shell that changed none of them leaves another shell's as they are, unasked.
set partitions [file rootname $project].hdp
project open $project
pr flavor create fast /top/u1
project close
lassign [piped_session partitions [string cat $shared [string map [list @HDP@ [list $partitions]] {
    project open $project
    other flavored {pr flavor create slow /top/u2}
    set theirs [contents @HDP@]
    check "closed" [catch {project close} message] 0
    check "nothing asked" [asked] 0
    check "their partitions kept" [contents @HDP@] $theirs
    if {$failures == 0} { puts "partitions: all passed" }
}]]] status said errors
check "partitions: status" $status 0
check "partitions: checks" $said "partitions: all passed"
check "partitions: both shells' written" [regexp -all -line {^partition /top/u[12]$} [contents $partitions]] 2

file delete -force $root
if {$failures == 0} { puts "two shells: all passed" }
