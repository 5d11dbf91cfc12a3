# A save that finds its project file changed on disk by another program asks whether to read it
# in. A velsh with no terminal and no queued answer has no one to ask: the save fails, naming
# the file and how to answer, and leaves the project in memory and the files on disk as they
# were. A queued "no" writes this project over the change; a queued "reload" reads the change
# in and says that the unsaved changes were dropped.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh unanswered [pid]"]
file delete -force $root
file mkdir [file join $root design]
set project [file join $root ask.xhlc]
set generated [file join $root ask.ghlc]
foreach name {a b cc d e} {
    write [file join $root design $name.vhd] "entity $name is end;"
}
proc source_of {name} { return [file join $::root design $name.vhd] }
proc bytes {path} {
    set channel [open $path rb]
    set text [read $channel]
    close $channel
    return $text
}

# What each session shares: the project's files in memory, and another program's rewrite of the
# project file, which puts cc.vhd in a.vhd's place.
set shared {
    proc names {} { lmap path [velfile list] { file tail $path } }
    proc bytes {path} {
        set channel [open $path rb]
        set text [read $channel]
        close $channel
        return $text
    }
    proc rewrite {path} {
        set text [string map {/a.vhd /cc.vhd} [bytes $path]]
        set channel [open $path wb]
        puts -nonewline $channel $text
        close $channel
        return $text
    }
}

project open $project
velfile add [source_of a]
project save
project close

lassign [piped_session unanswered [string map [list @PATH@ $project @PROJECT@ [list $project] @GENERATED@ [list $generated] \
    @B@ [list [source_of b]]] [string cat $shared {
    project open @PROJECT@
    velfile add @B@
    set generated [bytes @GENERATED@]
    set theirs [rewrite @PROJECT@]
    fails "unanswered save" { project save } "*@PATH@*changed on disk*lappend ::velmor::Hvd::answers reload*"
    check "kept in memory" [names] {a.vhd b.vhd}
    check "project file left as the other program wrote it" [bytes @PROJECT@] $theirs
    check "generated file left as it was" [bytes @GENERATED@] $generated
    fails "asked again" { project save } "*@PATH@*changed on disk*"
    fails "unanswered close" { project close } "*@PATH@*changed on disk*"
    check "still open after the close failed" [names] {a.vhd b.vhd}
    lappend ::velmor::Hvd::answers no
    project save
    check "ours written" [string match *cc.vhd* [bytes @PROJECT@]] 0
    check "ours kept" [names] {a.vhd b.vhd}
    if {$failures == 0} { puts "unanswered: all passed" }
}]]] status said errors
check "unanswered session" $status 0
check "unanswered checks" $said "unanswered: all passed"

lassign [piped_session reload [string map [list @PROJECT@ [list $project] @D@ [list [source_of d]]] [string cat $shared {
    project open @PROJECT@
    velfile add @D@
    rewrite @PROJECT@
    lappend ::velmor::Hvd::answers reload
    project save
    check "read in" [names] {cc.vhd b.vhd}
    if {$failures == 0} { puts "reloaded: all passed" }
}]]] status said errors
check "reload session" $status 0
check "reload checks" $said "reloaded: all passed"
check "dropped said" [string match "*any changes made here since it was last saved were dropped*" $errors] 1

# Leaving the shell with a change to save and the question unanswered: the exit fails, saying
# why in words.
lassign [piped_session leaving [string map [list @PROJECT@ [list $project] @E@ [list [source_of e]]] [string cat $shared {
    project open @PROJECT@
    velfile add @E@
    rewrite @PROJECT@
}]]] status said errors
check "leaving unanswered" $status 1
check "leaving says why" [string match "*could not be saved on leaving the shell: *changed on disk*" $errors] 1
check "leaving gives no bare status" [string match "*status 0x*" $errors] 0

file delete -force $root
if {$failures == 0} { puts "unanswered questions: all passed" }
