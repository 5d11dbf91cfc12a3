# Save as, copy and archive of the open project, to paths that Tcl would read as code; a
# failure is an error with the library's message, and the open project stays the one open.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh copy [pid]"]
file delete -force $root
set dir [file join $root proj]
file mkdir $dir
set top [file join $dir {top $x [1].vhd}]
write $top "entity top is end;"
set outside [file join $root lib {o.vhd}]
file mkdir [file dirname $outside]
write $outside "entity o is end;"
project open [file join $dir p.xhlc]
velfile add $top
velfile add $outside

set saved [file join $root {saved [as] $y} q.xhlc]
project saveas $saved
check "saved as" [file exists $saved] 1
check "saved source" [file exists [file join [file dirname $saved] {top $x [1].vhd}]] 1
check "outside left" [file exists [file join [file dirname $saved] remote_sources]] 0

set copied [file join $root {copy $z} q.xhlc]
project copy $copied
check "copied outside" [file exists [file join [file dirname $copied] remote_sources _ lib o.vhd]] 1

# A copy into the project's own folder copies no file: it names the outside source where it is,
# never a copy in remote sources that nothing made.
project copy [file join $dir beside.xhlc]
set beside [contents [file join $dir beside.xhlc]]
check "beside: outside named where it is" [string match {*"../lib/o.vhd"*} $beside] 1
check "beside: no remote sources" [list [string match *remote_sources* $beside] [file exists [file join $dir remote_sources]]] {0 0}
file delete [file join $dir beside.xhlc] [file join $dir beside.ghlc]

set archive [file join $root out {-a $b [c].zip}]
project archive $archive
check "archived" [file isfile $archive] 1
check "still open" [velfile list] [list $top $outside]

# A listed source that is gone fails each copy with an error that names it, first; the archive
# says it is complete only when it was written. A refused command leaves nothing it made: no
# folder on the way to its destination, no "snapshots" in the project's folder, nothing copied
# into a folder the user made; a "snapshots" that holds a snapshot stays as it was.
proc listing {dir} {
    set names {}
    foreach path [glob -nocomplain -directory $dir * .*] {
        set name [file tail $path]
        if {$name in {. ..}} continue
        lappend names $name
        if {[file type $path] eq "directory"} {
            foreach below [listing $path] { lappend names [file join $name $below] }
        }
    }
    return [lsort $names]
}
set gone [file join $dir gone.vhd]
write $gone "entity gone is end;"
velfile add $gone
file delete $gone
set mine [file join $root mine]
file mkdir $mine
write [file join $mine keep.txt] "the user's"
set lost [file join $root lost.zip]
set before [listing $root]
foreach {what script} [list saveas [list project saveas [file join $root lost new q.xhlc]] \
                           copy [list project copy [file join $root lost new q.xhlc]] \
                           "copy into a folder made before" [list project copy [file join $mine q.xhlc]] \
                           archive [list project archive [file join $root lost new l.zip]] \
                           take {project snapshot take lost}] {
    fails "gone source: $what" $script "The source file \"$gone\" of the project does not exist.*"
    check "gone source: $what leaves nothing" [listing $root] $before
}
catch {project archive $lost} message
check "gone source: no archive" [file exists $lost] 0
check "gone source: not complete" [string match "*Archive complete*" $message] 0
check "gone source: no snapshot" [project snapshot list] {}
write $gone "entity gone is end;"
project snapshot take kept
file delete $gone
set before [listing $root]
fails "gone source: take beside a snapshot" {project snapshot take lost} "The source file*"
check "gone source: the snapshot stays" [listing $root] $before
check "gone source: the snapshot listed" [project snapshot list] kept
velfile remove $gone
project archive $archive
check "archived again" [file isfile $archive] 1

# Refused part-way into the user's folder (where the outside source's copy goes), a copy takes
# back what it wrote and the folders it made there, and keeps what the folder held: a link at a
# name it wrote stays the same link. The refusal names the path it could not write, and why.
set theirs [file join $root theirs]
file mkdir [file join $theirs remote_sources _ lib o.vhd]
file link -symbolic [file join $theirs [file tail $top]] [file join $mine keep.txt]
set before [listing $root]
set blocked [string map [list \[ \\\[ \] \\\]] [file join $theirs remote_sources _ lib o.vhd]]
fails "refused part-way into a folder made before" [list project copy [file join $theirs q.xhlc]] \
    "What is at \"$blocked\" could not be replaced: Is a directory.\nAn error occurred while copying the project to*"
check "refused part-way: what was there stays, nothing else" [listing $root] $before
check "refused part-way: the link stays" [file readlink [file join $theirs [file tail $top]]] [file join $mine keep.txt]
# A folder of the user's at the name of the copy's generated file refuses it there: the refusal
# names that folder as what could not be written, never as a file the copy wrote, and it stays.
file delete -force $theirs
file mkdir [file join $theirs q.ghlc]
set before [listing $root]
catch {project copy [file join $theirs q.xhlc]} message
check "folder at the generated file's name: named as not written" \
    [list [string match "*q.ghlc\" is not written*Is a directory*" $message] [string match "*this command wrote*" $message]] {1 0}
check "folder at the generated file's name: what was there stays" [listing $root] $before
# A file of the user's on the way to a folder the copy makes: the refusal names the folder and
# says why, and the file stays.
file delete -force $theirs
file mkdir $theirs
write [file join $theirs remote_sources] "the user's"
set before [listing $root]
foreach {what into folder} [list "the copy's folder" [file join $theirs remote_sources deeper] [file join $theirs remote_sources deeper] \
                                "its remote sources" $theirs [file join $theirs remote_sources _ lib]] {
    catch {project copy [file join $into q.xhlc]} message
    check "a file on the way to $what: named, and why" [string match "*\"$folder\"*: Not a directory.*" $message] 1
    check "a file on the way to $what: what was there stays" [listing $root] $before
}
file delete -force $theirs

# Asked to keep working directories whole, a copy keeps its folder's full path: one named with
# what a project file cannot hold is refused, the user told why, before anything is made (the
# folder, the folders on the way to it) or copied into a folder the user made.
set env(VEL_CORVANE_ENABLE_ABSOLUTE_WDIR) 1
set odd [file join $root "o\x1bdd"]
file mkdir $odd
write [file join $odd keep.txt] "the user's"
set before [listing $root]
foreach {what into} [list "a new folder" [file join $root "n\x1bew" deeper] "a folder made before" $odd] {
    set shown [string map [list \\ \\\\ * \\* ? \\? \[ \\\[ \] \\\]] [string map [list \x1b {\x1b}] $into]]
    fails "working directory refused: $what" [list project copy [file join $into c.xhlc]] \
        "The PROP_WorkingDirectory value \"$shown\" is refused: it holds the control character \\\\x1b, which a project file cannot hold.*"
    check "working directory refused: $what leaves nothing" [listing $root] $before
}
unset env(VEL_CORVANE_ENABLE_ABSOLUTE_WDIR)
project copy [file join $odd c.xhlc]
check "copied once whole directories are not asked for" [file isfile [file join $odd c.xhlc]] 1

fails "usage" {project saveas} "wrong # args*"
fails "not a directory" {project saveas [file join $top q.xhlc]} "*"

# A copy keeps the project's description; a save-as writes none.
set description {ours [d] $x}
project set PROP_ProjectDescription $description
set described [file join $root described q.xhlc]
set plain [file join $root plain q.xhlc]
project copy $described
project saveas $plain
project close
foreach {what path want} [list copy $described $description saveas $plain {}] {
    project open $path
    check "$what: description" [project get PROP_ProjectDescription] $want
    project close -nosave
}
fails "closed" {project archive $archive} "no project is open"
file delete -force $root
if {$failures == 0} {
    puts "project copies: all passed"
} else {
    exit 1
}
