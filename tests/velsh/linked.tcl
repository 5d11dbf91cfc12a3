# A project opened through a link to its folder, from another depth: its relative source names
# lead from the folder where it really is, so it answers as opened by its real path, a close with
# nothing changed writes nothing, and a file added through the link is found by the real path.
# A copy saved through a link to its folder names the sources from where that folder really is.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh linked [pid]"]
file delete -force $root
file mkdir [file join $root real prj] [file join $root real src] [file join $root real copy] [file join $root links a]
file link -symbolic [file join $root links a prj] ../../real/prj
file link -symbolic [file join $root links a copy] ../../real/copy
proc source_of {name} { return [file join $::root real src $name] }
write [source_of leaf.vhd] "entity leaf is end;\narchitecture a of leaf is begin end;"
write [source_of top.vhd] "entity top is end;\narchitecture a of top is begin\n  u: entity work.leaf;\nend;"
write [source_of tb.vhd] "entity tb is end;\narchitecture a of tb is begin\n  u: entity work.top;\nend;"
write [source_of added.vhd] "entity added is end;\narchitecture a of added is begin end;"
set real [file join $root real prj linked.xhlc]
set linked [file join $root links a prj linked.xhlc]

proc answer {script} {
    if {[catch {uplevel 1 $script} result]} { return "error: $result" }
    return $result
}
proc answers {} {
    set all [list [answer {lsort [velfile list]}]]
    foreach view {VIEW_AbstractSynthesis VIEW_AbstractSimulation} {
        lappend all $view [answer {lsort [velfile list -view $view]}] [answer {project order -view $view}] \
            [answer {project top -view $view}]
    }
    return $all
}

project open $real
foreach name {leaf.vhd top.vhd tb.vhd} { velfile add [source_of $name] }
project close
set saved [contents $real]
project open $real
set byRealPath [answers]
project close

project open $linked
check "answers through the link" [answers] $byRealPath
project close
check "close with nothing changed" [expr {[contents $real] eq $saved}] 1

project open $real
project saveas [file join $root links a copy saved.xhlc]
project close
project open [file join $root real copy saved.xhlc]
check "saved through the link" [answers] $byRealPath
project close

project open $linked
velfile add [source_of added.vhd]
project close
check "added recorded from the real folder" [regexp {vel_kv:name="../src/added.vhd"} [contents $real]] 1
project open $real
check "added found by the real path" [expr {[source_of added.vhd] in [velfile list]}] 1
check "added in its view" [expr {[source_of added.vhd] in [velfile list -view VIEW_AbstractSimulation]}] 1
project close

file delete -force $root
if {$failures == 0} { puts "linked project folder: all passed" }
