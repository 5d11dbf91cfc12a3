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

set archive [file join $root out {-a $b [c].zip}]
project archive $archive
check "archived" [file isfile $archive] 1
check "still open" [velfile list] [list $top $outside]

# A listed source that is gone fails each copy with an error that names it, first; the archive
# says it is complete only when it was written.
set gone [file join $dir gone.vhd]
write $gone "entity gone is end;"
velfile add $gone
file delete $gone
set lost [file join $root lost.zip]
foreach {what script} [list saveas [list project saveas [file join $root lost q.xhlc]] \
                           archive [list project archive $lost] take {project snapshot take lost}] {
    fails "gone source: $what" $script "The source file \"$gone\" of the project does not exist.*"
}
catch {project archive $lost} message
check "gone source: no archive" [file exists $lost] 0
check "gone source: not complete" [string match "*Archive complete*" $message] 0
check "gone source: no snapshot" [project snapshot list] {}
velfile remove $gone
project archive $archive
check "archived again" [file isfile $archive] 1

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
