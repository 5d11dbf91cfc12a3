# Leaving the shell with a project open closes it as `project close` does: the project is saved
# at the end of a script, at `exit` with or without a status, and at the end of the input typed
# at the prompt. A save that fails is told on standard error and ends the shell with status 1.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh leaving [pid]"]
file delete -force $root
file mkdir [file join $root design]
set project [file join $root leave.xhlc]
foreach name {a b c d e} {
    write [file join $root design $name.vhd] "entity $name is end;"
}
proc source_of {name} { return [file join $::root design $name.vhd] }

# Runs another velsh on the script TEXT (none: TEXT is its input) and gives its exit status and
# what it wrote to standard error.
proc session {name text {asScript 1}} {
    set script [file join $::root $name.tcl]
    set errors [file join $::root $name.err]
    set command [list [info nameofexecutable]]
    if {$asScript} {
        write $script $text
        lappend command $script << ""
    } else {
        lappend command << $text
    }
    set status 0
    if {[catch {exec {*}$command 2> $errors} - options]} {
        set code [dict get $options -errorcode]
        set status [expr {[lindex $code 0] eq "CHILDSTATUS" ? [lindex $code 2] : $code}]
    }
    set channel [open $errors]
    set said [read $channel]
    close $channel
    return [list $status $said]
}
proc saved_files {} {
    project open $::project
    set files [velfile list]
    project close
    return $files
}
proc opened {} { return [list project open $::project] }
proc adding {name} { return [list velfile add [source_of $name]] }

check "script ends" [lindex [session ends "[opened]\n[adding a]\n"] 0] 0
check "saved at the end" [saved_files] [list [source_of a]]

check "exit 0" [lindex [session exit0 "[opened]\n[adding b]\nexit 0\nputs unreached\n"] 0] 0
check "saved at exit" [saved_files] [list [source_of a] [source_of b]]

check "exit 3" [lindex [session exit3 "[opened]\n[adding c]\nexit 3\n"] 0] 3
check "saved at exit 3" [llength [saved_files]] 3

check "typed exit" [lindex [session typed "[opened]\n[adding d]\nexit\n" 0] 0] 0
check "saved at typed exit" [llength [saved_files]] 4
check "input ends" [lindex [session input "[opened]\n[adding e]\n" 0] 0] 0
check "saved at the input's end" [llength [saved_files]] 5

# A script that fails still leaves its project saved, with the script's status.
check "script fails" [lindex [session fails "[opened]\n[list velfile remove [source_of e]]\nerror stop\n"] 0] 1
check "saved after a failure" [llength [saved_files]] 4

# The project file turned into a folder while the project is open: its save cannot write it.
set failed [session unsaved "[opened]\n[adding e]\n[list file delete $project]\n[list file mkdir $project]\n"]
check "unsaved status" [lindex $failed 0] 1
check "unsaved told" [string match "*velsh: the project $project could not be saved on leaving the shell*\n" \
    [lindex $failed 1]] 1
check "folder left" [file isdirectory $project] 1

file delete -force $project
project open $project
project close

# The project's folder renamed while the project is open: the save keeps the changes in memory
# and says so, but a close cannot keep them, so it fails and the project stays open; a close
# told not to save drops them, and leaving the shell with them ends it with status 1.
set away [file join [file dirname $root] "[file tail $root] away"]
project open $project
velfile add [source_of a]
file rename $root $away
project save
fails "close with changes" {project close} "*could not be written*folder*is gone*"
check "still open" [catch {project get PROP_ProjectDescription}] 0
fails "close option" {project close -keep} "*project close ?-nosave?*"
project close -nosave
fails "closed" {project get PROP_ProjectDescription} "no project is open"
file rename $away $root
set script [file join [file dirname $root] "[file tail $root] away.tcl"]
write $script "[opened]\n[adding b]\n[list file rename $root $away]\n"
set status [catch {exec [info nameofexecutable] $script << "" 2>@1} said]
file rename $away $root
file delete $script
check "away status" [lindex $::errorCode 0]/[lindex $::errorCode 2] CHILDSTATUS/1
check "away told" [string match "*folder*is gone*velsh: the project $project could not be saved*" $said] 1

fails "bad status" {exit now} "expected integer but got \"now\""
fails "two statuses" {exit 1 2} "wrong # args: should be \"exit ?returnCode?\""

file delete -force $root
if {$failures == 0} { puts "leaving the shell: all passed" }
