# Flavors and configurations made again after a close and an open in the same shell answer as
# a new shell on the same files does: the configuration chooses the flavor it names, through a
# link to the project's folder too. Run once as it is and once with VEL_CORVANE_ENABLE_HLC set.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh reconfigured [pid]"]
file delete -force $root
file mkdir $root
set design [file normalize [file join [file dirname [info script]] .. .. examples design]]
set project [file join $root static.xhlc]

project open $project
foreach source {counter_pkg.vhd counter.vhd debounce.v top.vhd} { velfile add [file join $design $source] }
project close

# One round: the flavors and configurations made, what they choose printed, the project closed.
set round {
    project open $project
    pr flavor create fast /top/u_counter
    pr flavor create small /top/u_counter
    pr configuration create speed fast
    puts "speed: [pr configuration flavors speed]"
    pr configuration pairs lean {small} {/top/u_counter}
    puts "lean: [pr configuration flavors lean]"
    pr configuration assign speed small
    puts "assigned: [pr configuration flavors speed]"
    puts "configurations: [pr configuration list]"
    project close
}
set answers [join {
    "speed: /top/u_counter fast" "lean: /top/u_counter small"
    "assigned: /top/u_counter small" "configurations: speed lean"
} \n]
set prelude "set project [list $project]\n"

lassign [piped_session twice "$prelude$round\nputs ==\n$round"] status said told
check "two rounds in one shell" $status 0
check "each round chooses as the first" $said "$answers\n==\n$answers"
check "nothing is missed" [string match "*reconfigurable*" $told] 0
lassign [piped_session fresh "$prelude$round"] status said told
check "a new shell" [list $status $said] [list 0 $answers]

# A pair the configuration cannot choose is warned about and left out; the configuration is
# made with the rest.
lassign [piped_session odd "project open [list $project]
pr flavor create fast /top/u_counter
pr configuration pairs odd {quick fast} {/top/u_counter /top/u_nowhere}
puts \[pr configuration flavors odd\]
project close -nosave"] status said told
check "unchosen pairs: made with the rest" [list $status $said] {0 {/top/u_counter fast}}
check "unchosen pairs: each told" [list [string match "*Did not find reconfigurable module <quick> at </top/u_counter>.*" $told] \
    [string match "*Could not find reconfigurable partition at </top/u_nowhere>.*" $told]] {1 1}
project open $project
pr flavor create fast /top/u_counter
# A name of a flavor list that no flavor has is left out, as before: the rest is made.
check "a list with an unknown name" [catch {pr configuration create some {fast|quick}}] 0
check "the rest chosen" [pr configuration flavors some] {/top/u_counter fast}
project close

# Opened through a link to its folder, the project makes and chooses flavors as by its real path.
set linked "$root link"
file delete $linked
file link -symbolic $linked $root
project open [file join $linked static.xhlc]
check "a flavor through a link to the folder" [catch {pr flavor create nimble /top/u_counter} said] 0
check "made in the real folder" [file dirname $said] [file join $root nimble]
check "chosen through the link" [catch {pr configuration create brisk nimble}] 0
check "what it chooses" [pr configuration flavors brisk] {/top/u_counter nimble}
project close -nosave
file delete $linked

file delete -force $root
if {$failures == 0} { puts "reconfigured again: all passed" }
