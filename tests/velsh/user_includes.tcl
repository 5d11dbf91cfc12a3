# A file the user added stays the user's: managed while a source includes it (out of the order),
# back in the order once nothing does, also across a save and a reopen. Adding a file that a
# source pulled in is no error: it makes it the user's. Each view answers as a new session on the
# saved file does.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh user includes [pid]"]
file delete -force $root
file mkdir [file join $root lib]
set project [file join $root p.xhlc]
proc at {name} { return [file join $::root $name] }
# The project's files, then each view's order (which checks the sources on disk) and files.
set answers {proc answers {} {
    set said [list [lsort [lmap path [velfile list] {file tail $path}]]]
    foreach view {VIEW_AbstractSimulation VIEW_PreSimulation VIEW_AbstractSynthesis VIEW_PreSynthesis} {
        lappend said [lmap path [project order -view $view] {file tail $path}] \
            [lsort [lmap path [velfile list -view $view] {file tail $path}]]
    }
    return $said
}}
eval $answers
proc reopen {} { project save; project close; project open $::project }
proc m2 {include} { write [at m2.v] "${include}module m2 (input wire \[`WIDTH-1:0\] a);\nendmodule" }
set include "`include \"m1.v\"\n"
write [at m1.v] "`define WIDTH 8"

# The includer removed, before or after a reopen, or after the file it includes.
foreach {how steps kept} {"includer removed" {m2.v} m1.v "includer removed after a reopen" {reopen m2.v} m1.v
                          "included file removed first" {m1.v m2.v} {}} {
    file delete -force $project
    m2 $include
    project open $project
    foreach name {m1.v m2.v} { velfile add [at $name] }
    foreach step $steps {
        check "$how: the order before $step" [lindex [answers] 1] m2.v
        if {$step eq "reopen"} { reopen } else { velfile remove [at $step] }
    }
    check "$how: the order" [lindex [answers] 1] $kept
    reopen
    check "$how: reopened" [lrange [answers] 0 1] [list $kept $kept]
    project close
}

# The includer edited to include the file, to drop it and to include it again.
file delete -force $project
m2 ""
project open $project
foreach name {m1.v m2.v} { velfile add [at $name] }
foreach {how text order} [list included $include m2.v "no longer included" "" {m1.v m2.v} \
                               "included again" $include m2.v] {
    after 10
    m2 $text
    set mine [answers]
    check "$how: the order" [lindex $mine 1] $order
    project save
    file copy -force $project [at fresh.xhlc]
    write [at fresh.tcl] "$answers\nproject open [list [at fresh.xhlc]]\nputs \"answers: \[answers\]\""
    catch {exec [info nameofexecutable] [at fresh.tcl] 2>@1} said
    check "$how: a new session" [lsearch -inline [split $said \n] "answers: *"] "answers: $mine"
}
project close

# Dropped from the includer after every view had read it there: the synthesis view, asked first,
# has the file back in its order where the simulation view has not read the includer again yet.
file delete -force $project
m2 $include
project open $project
foreach name {m1.v m2.v} { velfile add [at $name] }
answers
after 10
m2 ""
foreach view {VIEW_AbstractSynthesis VIEW_AbstractSimulation} {
    check "no longer included, $view" [lmap path [project order -view $view] {file tail $path}] {m1.v m2.v}
}
project close

# A loop adding a folder reaches a header that the file before it pulled in, and goes on.
write [at lib/a.v] "`include \"b.vh\"\nmodule a; endmodule"
write [at lib/b.vh] "`define B 1"
write [at lib/c.v] "module c; endmodule"
set project [at lib.xhlc]
write [at loop.tcl] "project open [list $project]
foreach path \[lsort \[glob -directory [list [at lib]] *\]\] { velfile add \$path }"
catch {exec [info nameofexecutable] [at loop.tcl] 2>@1} said
check "the loop made the header the user's" [string match "*Info (velsh): velfile add: [at lib/b.vh] was in the\
    project only as a file that a source includes: it is now one you added*" $said] 1
project open $project
velfile remove [at lib/a.v]
set mine [answers]
check "the header stays" [lindex $mine 0] {b.vh c.v}
reopen
check "the header stays after a reopen" [answers] $mine
project close

file delete -force $root
if {$failures == 0} { puts "user includes: all passed" }
