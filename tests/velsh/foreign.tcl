# Names in the project folder that a snapshot take or an archive would use, held by something
# that is not theirs: a snapshot folder nobody claimed (another project's snapshot of the same
# name, a folder the user made), a "tmp" that is a link out of the project, and a file beside a
# copy. Each is left, with what it leads to, as it is.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh foreign [pid]"]
file delete -force $root
set dir [file join $root proj]
set outside [file join $root outside]
file mkdir $dir $outside
write [file join $dir a.vhd] "entity a is end;"
project open [file join $dir p.xhlc]
velfile add [file join $dir a.vhd]

set theirs [file join $dir snapshots one]
file mkdir $theirs
write [file join $theirs other.snp] "another project's snapshot"
fails "a snapshot folder nobody claimed" {project snapshot take one} "*already exists*"
check "its files kept" [glob -nocomplain -tails -directory $theirs *] other.snp

file link -symbolic [file join $dir tmp] $outside
fails "tmp a link out of the project" {project archive [file join $root p.zip]} "*not a folder of the project*"
check "nothing made where tmp leads" [glob -nocomplain -directory $outside *] {}
check "the link kept" [file type [file join $dir tmp]] link
check "no archive" [file exists [file join $root p.zip]] 0

# A file of the user's beside a copy, at a name the copy might use for scratch, is left alone;
# a project without partitions gives its copy none.
set copy [file join $root copy]
file mkdir $copy
write [file join $copy q.hdp.empty] "mine"
project saveas [file join $copy q.xhlc]
check "the user's file kept" [string trim [contents [file join $copy q.hdp.empty]]] mine
check "no partitions for the copy" [file exists [file join $copy q.hdp]] 0

project close
file delete -force $root
if {$failures == 0} { puts "foreign names: all passed" }
