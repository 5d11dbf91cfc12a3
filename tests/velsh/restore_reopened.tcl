# A snapshot restore in a project opened again after an earlier open made a configuration:
# closing that earlier open must leave nothing of the project behind, so that the restore
# closes the project and reads the restored file in. The project then holds the snapshot's
# files, and saves and closes without a question about files changed on disk.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh restore reopened [pid]"]
file delete -force $root
file mkdir $root
set project [file join $root p.xhlc]
foreach name {a b} { write [file join $root $name.vhd] "entity $name is end;" }
proc tails {} { lmap path [velfile list] { file tail $path } }
proc asked {} { expr {[info exists ::velmor::Hvd::asked] ? [llength $::velmor::Hvd::asked] : 0} }

project open $project
velfile add [file join $root a.vhd]
pr configuration create all
project save
project close

project open $project
project snapshot take before
velfile add [file join $root b.vhd]
project save
set questions [asked]
project snapshot restore before
check "restored files read in" [tails] a.vhd
check "save after the restore" [catch {project save} message] 0
check "closed after the restore" [catch {project close} message] 0
check "nothing asked" [asked] $questions

project open $project
check "restored files kept" [tails] a.vhd
project close

file delete -force $root
if {$failures == 0} { puts "restore reopened: all passed" }
