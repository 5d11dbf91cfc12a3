# The snapshot commands on the open project: names are single path components, taken as one
# word whatever Tcl would read in them, and listed from the project's folder wherever the shell
# stands.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh snapshot [pid]"]
file delete -force $root
set dir [file join $root {proj [1]}]
file mkdir $dir
set project [file join $dir p.xhlc]

fails "no project" {project snapshot list} "no project is open"
project open $project
check "none yet" [project snapshot list] {}

# Snapshots as the project's copy leaves them: the project file and its marker.
set odd {odd [x] $y}
foreach name [list a $odd] {
    file mkdir [file join $dir snapshots $name]
    file copy $project [file join $dir snapshots $name p.xhlc]
    file copy $project [file join $dir snapshots $name p.snp]
}
file mkdir [file join $dir snapshots unmarked]
check "listed" [lsort [project snapshot list]] [lsort [list a $odd]]

set here [pwd]
cd $root
check "listed from elsewhere" [lsort [project snapshot list]] [lsort [list a $odd]]
cd $here

fails "parent name" {project snapshot take ..} "*Not a snapshot name*"
fails "separator" {project snapshot take a/b} "*Not a snapshot name*"
fails "taken" {project snapshot take a} "*already exists*"
fails "unknown restore" {project snapshot restore nothing} "no snapshot \"nothing\""
fails "unknown delete" {project snapshot delete nothing} "no snapshot \"nothing\""
fails "bad action" {project snapshot keep a} "bad snapshot action*"
project snapshot delete $odd
check "deleted" [file exists [file join $dir snapshots $odd]] 0
check "project kept" [file exists $project] 1
check "left" [project snapshot list] a

# Taking one needs the project's own copy; when it is there, the snapshot is listed.
if {![catch {project snapshot take later {a [first] try}}]} {
    check "taken" [lsort [project snapshot list]] {a later}
}
# Taken, changed and restored through the project's helper: the file is as it was when taken,
# and the project is open again with its files.
set src [file join $dir {src $[s]} a.vhd]
file mkdir [file dirname $src]
write $src "entity a is end;"
velfile add $src
project set PROP_ProjectDescription {our own [x]}
project save
project snapshot take back {before the change}
write $src "-- changed"
project snapshot restore back
set f [open $src]; set text [read $f]; close $f
check "restored" $text "entity a is end;\n"
check "open again" [velfile list] [list $src]
check "no marker left" [file exists [file join $dir p.snp]] 0
write $src "-- changed again"
project snapshot restore back
set f [open $src]; set text [read $f]; close $f
check "restored twice" $text "entity a is end;\n"
# The description is the project's own; the snapshot's copy keeps the one it was taken with.
check "own description" [project get PROP_ProjectDescription] {our own [x]}
project close
project open $project
check "own description saved" [project get PROP_ProjectDescription] {our own [x]}
set f [open [file join $dir snapshots back p.xhlc]]; set text [read $f]; close $f
check "snapshot's description kept" [string match {*before the change*} $text] 1
# A temporary directory that cannot be used (missing, or a file) fails the restore naming it, not
# the project's folder, and the project stays as it is.
write $src "-- changed"
set afile [file join $root afile]
write $afile ""
set saved [array get env TMPDIR]
foreach tmp [list [file join $root nowhere] $afile] {
    set env(TMPDIR) $tmp
    fails "restore with TMPDIR $tmp" {project snapshot restore back} \
        "Cannot stage the snapshot*no temporary folder can be made in \"$tmp\" (the temporary directory, TMPDIR)*"
    check "unchanged with TMPDIR $tmp" [contents $src] "-- changed\n"
}
unset env(TMPDIR)
array set env $saved
project snapshot delete back

# A "snapshots" folder that is a link leads out of the project: every action refuses it.
file rename [file join $dir snapshots] [file join $root elsewhere]
file link -symbolic [file join $dir snapshots] [file join $root elsewhere]
foreach action {list {take c} {restore a} {delete a}} {
    fails "linked snapshots: $action" [list project snapshot {*}$action] "*snapshots directory is a link*"
}
check "nothing taken there" [file exists [file join $root elsewhere c]] 0
check "nothing deleted there" [file exists [file join $root elsewhere a p.snp]] 1
# Nor is a file of that name any folder to take a snapshot into: it stays as it is.
file delete [file join $dir snapshots]
write [file join $dir snapshots] "the user's"
fails "a file named snapshots" {project snapshot take c} {Not a directory of the project: "*/snapshots".}
check "the file kept" [contents [file join $dir snapshots]] "the user's\n"

project close
file delete -force $root
if {$failures == 0} { puts "project snapshots: all passed" }
