# What a plain session prints: the user's messages, and none of the library's developer lines
# unless VELSH_DEBUG asks for them. The road goes through an unchanged save, a read without
# opening, a reload, a snapshot and an archive; a folder is refused as a source on the way.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh quiet [pid]"]
file delete -force $root
file mkdir [file join $root design]
set project [file join $root q.xhlc]
set source [file join $root design a.vhd]
write $source "entity a is end;"

project open $project
velfile add $source
fails "folder" {velfile add [file join $root design]} "*design is a folder, not a file.*"
check "folder left out" [velfile list] [list $source]
project save
project save
project info $project
# Changed on disk after the project read it: the next save asks, and reads it in again first.
set stamp [file mtime $project]
set f [open $project a]
puts $f " "
close $f
file mtime $project [expr {$stamp + 5}]
# Asked whether to read it in, with no terminal to answer on: the answer is queued.
lappend ::velmor::Hvd::answers reload
project save
check "reloaded" [velfile list] [list $source]
project snapshot take one
project archive [file join $root q.zip]
project close
file delete -force $root
if {$failures == 0} { puts "quiet: all passed" }
