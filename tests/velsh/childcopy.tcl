# Save as, copy and archive of a project that holds a child project: the child's project goes
# along to where the copy puts its project file, with its own source, and each copied project
# names the copied files, never the ones it was copied from.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh child copy [pid]"]
file delete -force $root
set dir [file join $root proj]
file mkdir [file join $dir core]
set leaf [file join $dir core {blink $[1].vhd}]
write $leaf "entity blink is end;"
set coreFile [file join $dir core {core [c].xhlc}]
project open $coreFile
velfile add $leaf
project close

set top [file join $dir top.vhd]
write $top "entity top is end;"
project open [file join $dir p.xhlc]
velfile add $top
velfile add $coreFile
check "child added" [lrange [velfile list] 0 1] [list $top $coreFile]

set saved [file join $root {saved [as]}]
project saveas [file join $saved q.xhlc]
set copied [file join $root {copy $z}]
project copy [file join $copied q.xhlc]
set archive [file join $root p.zip]
project archive $archive
check "still open" [lrange [velfile list] 0 1] [list $top $coreFile]
project close

# Each copy: the parent names its own top and the child's copied project file; the child's copy
# names its copied source.
foreach {what folder} [list "saved as" $saved "copied" $copied] {
    set child [file join $folder core {core [c].xhlc}]
    check "$what: child project" [file isfile $child] 1
    check "$what: child source" [file isfile [file join $folder core {blink $[1].vhd}]] 1
    project open $child
    check "$what: child names its copy" [velfile list] [list [file join $folder core {blink $[1].vhd}]]
    project close
    project open [file join $folder q.xhlc]
    check "$what: parent names the copies" [lrange [velfile list] 0 1] [list [file join $folder top.vhd] $child]
    project close
}
check "originals kept" [file isfile $coreFile] 1

# The archive holds the child's project and its source under the same relative names.
set entries [split [exec unzip -Z1 $archive] \n]
foreach name [list {core/core [c].xhlc} {core/blink $[1].vhd} p.xhlc top.vhd] {
    check "archived $name" [expr {[lsearch -exact $entries $name] >= 0}] 1
}

file delete -force $root
if {$failures == 0} {
    puts "child project copies: all passed"
} else {
    exit 1
}
