# The main road: create a project for the example design, add its files, choose the device,
# show what each view holds, save and close, then open it again and show the same answers;
# a device refused and a top chosen by hand; take the testbench out, see the synthesis view's
# order and top follow, save that, and save once more with nothing changed, which leaves the file as it is; a save after another program
# changed the file asks first, and writes only when answered. Then what a user keeps of it:
# the saved file read without opening it, a snapshot taken, a change undone by restoring it, a
# copy under another name and an archive, the restored copies of the sources edited and taken off
# the disk in between and seen at once, one kept in its views through a close and a reopen while
# it is gone; a spare variant of a unit added, compiled before the one the design uses.
set here [file normalize [file dirname [info script]]]
set design [file join $here design]
set work [file join [pwd] build example]
file delete -force $work
file mkdir $work
set projectFile [file join $work counter.xhlc]

# Paths are shown from the example's folder, so the output reads the same on every machine.
proc shown {paths} {
    set names {}
    foreach path $paths { lappend names [string map [list "$::here/" ""] $path] }
    return $names
}
proc show {title} {
    puts "== $title"
    puts "files:   [shown [velfile list]]"
    foreach view {VIEW_AbstractSynthesis VIEW_AbstractSimulation} {
        puts "$view"
        puts "  files: [shown [lsort [velfile list -view $view]]]"
        puts "  order: [shown [project order -view $view]]"
        puts "  top:   [project top -view $view]"
    }
    puts "device:  [project get {Device Family}] [project get Device] [project get Package] [project get {Speed Grade}]"
}

project open $projectFile
foreach name {counter_pkg.vhd counter.vhd debounce.v top.vhd tb_top.vhd} {
    velfile add [file join $design $name]
}
project set {Device Family} Orvanta
project set Device OV250
show "created [file tail $projectFile]"
project save
project close

project open $projectFile
show "reopened [file tail $projectFile]"
# A device the family does not have is refused, with the values it has, and so is a description
# that no project file can hold (an escape sequence), shown escaped. The synthesis view chooses
# the testbench as its top; the user chooses by hand the board it tests, by its instance path,
# and the view keeps that top until the choice is handed back to it.
puts "== settings"
catch {project set Device OV-250} refused
puts "  refused:     $refused"
catch {project set PROP_ProjectDescription "counter\x1b\[31m"} refused
puts "  refused:     $refused"
project set -view VIEW_AbstractSynthesis AUTOTOP false
project set -view VIEW_AbstractSynthesis TOPINSTANCEPATH /tb_top/dut
puts "  top by hand: [project top]"
project set -view VIEW_AbstractSynthesis AUTOTOP true
puts "  handed back: [project top]"
velfile remove [file join $design tb_top.vhd]
puts "== without the testbench"
puts "  order: [shown [project order]]"
puts "  top:   [project top]"
project save
# The file's identity and time: a save that has nothing to change must not write it.
proc stamp {path} {
    file stat $path info
    return [list $info(ino) $info(mtime)]
}
set before [stamp $projectFile]
after 1100
project save
puts "saved unchanged: [expr {[stamp $projectFile] eq $before ? {file left as it was} : {file written again}}]"
puts "generated file:  [file tail [glob -directory $work *.ghlc]]"

# Another program changes the project file behind the session's back. The next save asks whether
# to read that in: left unanswered, as in a script, it fails and changes neither side; the answer
# "no" writes this project over the change.
proc contents {path} {
    set channel [open $path r]
    set text [read $channel]
    close $channel
    return $text
}
set theirs [string map {{"OV250"} {"OV100"}} [contents $projectFile]]
set channel [open $projectFile w]
puts -nonewline $channel $theirs
close $channel
puts "changed on disk: the save [expr {[catch {project save}] ? {stops, asking} : {goes ahead}}],\
    [expr {[contents $projectFile] eq $theirs ? {their file left as it is} : {their file written over}}]"
lappend ::velmor::Hvd::answers no
project save
puts "  answered no:   [expr {[contents $projectFile] eq $theirs ? {their change kept} : {this project written}}], device [project get Device]"
# Changed once more, and read in: the project then answers as a fresh open of their file does.
set theirs [string map {{"OV250"} {"OV100"}} [contents $projectFile]]
set channel [open $projectFile w]
puts -nonewline $channel $theirs
close $channel
lappend ::velmor::Hvd::answers reload
project save
puts "  answered reload: device [project get Device], top [project top], [llength [project order]] files in order"

set info [project info $projectFile]
puts "== read without opening"
puts "  version:   [dict get $info version]"
puts "  generator: [dict get $info generator]"
puts "  device:    [dict get $info properties {Device Family}]"

# The project's own description; the snapshot keeps its own, and a restore leaves the project's.
project set PROP_ProjectDescription "a counter with a debouncer"
project snapshot take first "the design without its testbench"
puts "== snapshot taken: [project snapshot list]"
velfile add [file join $design tb_top.vhd]
puts "  changed: [llength [velfile list]] files, top [project top]"
project snapshot restore first
puts "  restored: [llength [velfile list]] files, top [project top]"
puts "  description: [project get PROP_ProjectDescription]"

# The project's sources are now its own copies: one edited on disk is read again before the next
# answer, and one taken off the disk leaves the order (a warning names it) until it is back,
# whether the project stayed open or was closed and opened again meanwhile.
proc tails {paths} { lmap path $paths {file tail $path} }
set copied [lindex [velfile list] [lsearch -glob [velfile list] */top.vhd]]
set original [contents $copied]
set channel [open $copied w]
puts -nonewline $channel [string map {"entity top is" "entity board is" "of top is" "of board is"} $original]
close $channel
puts "== top.vhd edited on disk, its entity renamed board"
puts "  top:   [project top]"
set debouncer [lindex [velfile list] [lsearch -glob [velfile list] */debounce.v]]
file rename $debouncer $debouncer.away
puts "  debounce.v gone: [tails [project order]]"
# Saved and closed while it is gone, it stays in its views in the project file, so it is back in
# them and in the order when it is back, after a reopen too.
project close
project open $projectFile
puts "  reopened, gone:  [tails [project order]]"
file rename $debouncer.away $debouncer
set channel [open $copied w]
puts -nonewline $channel $original
close $channel
puts "  both back:       [tails [project order]], top [project top]"
# A spare variant that defines the counter again, as a library's vendor and dummy variants do:
# the first in file order is the one used, so the spare is compiled before it, and the top stays.
set spare [file join $work counter_spare.vhd]
set channel [open $spare w]
puts $channel "library ieee;\nuse ieee.std_logic_1164.all;\nentity counter is\n  port (clk : in std_logic);\nend entity;\narchitecture spare of counter is\nbegin\nend architecture;"
close $channel
velfile add $spare
puts "  a spare counter: [tails [project order]], top [project top]"
velfile remove $spare
file delete $spare

# What a copy and an archive hold, by file name: the project's two files and its sources,
# which the restore brought into the project's folder under "remote_sources" (save-as copies
# only the sources inside the project's folder); the archive takes the project's folder too,
# with the parser's log.
proc names {paths} {
    set tails {}
    foreach path $paths { if {![string match */ $path]} { lappend tails [file tail $path] } }
    return [lsort $tails]
}
set copy [file join [pwd] build example_copy]
file delete -force $copy
project saveas [file join $copy counter_copy.xhlc]
puts "== saved as counter_copy.xhlc: [names [exec find $copy -type f]]"
project archive [file join $work counter.zip]
puts "== archived counter.zip: [names [exec unzip -Z1 [file join $work counter.zip]]]"
project close
