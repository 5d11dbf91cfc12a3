# Paths through links, named as the system names them. A source reached through a link to the
# project's folder, from any depth, is the project's own file and is written by its name in the
# folder; a link inside the folder stays as the user made it. A ".." after a link steps up from
# where the link leads, for an add, a removal and an open alike. A name recorded through a link
# to the folder is written from the folder at the next save.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh through links [pid]"]
file delete -force $root
foreach folder {real/prj/design real/src real/x real/other elsewhere/shared links/a/b links/a/src} {
    file mkdir [file join $root {*}[split $folder /]]
}
proc at {path} { return [file join $::root {*}[split $path /]] }
proc link {name target} { file link -symbolic [at $name] $target }
link links/a/prj ../../real/prj
link links/a/b/deep ../../../real/prj
link links/x ../real/x
link links/a/b/y ../../../real/x
link real/prj/shared ../../elsewhere/shared
# Links that lead nowhere and to themselves (Tcl links only to what is there).
exec ln -s gone [at links/dang]
exec ln -s loop [at links/loop]
write [at real/prj/design/counter.vhd] "entity counter is end;\narchitecture a of counter is begin end;"
write [at real/prj/design/top.vhd] "entity top is end;\narchitecture a of top is begin\n  u: entity work.counter;\nend;"
write [at elsewhere/shared/util.vhd] "entity util is end;\narchitecture a of util is begin end;"
write [at real/src/s.vhd] "entity s is end;\narchitecture a of s is begin end;"
write [at real/src/s2.vhd] "entity s2 is end;\narchitecture a of s2 is begin end;"
# Where the letters of "links/a/prj/../src/s.vhd" lead.
write [at links/a/src/s.vhd] "entity decoy is end;\narchitecture a of decoy is begin end;"
set real [at real/prj/p.xhlc]
# The source names the project file records.
proc names {} {
    set names {}
    foreach {all name} [regexp -all -inline {<file vel_kv:name="([^"]*)"} [contents $::real]] { lappend names $name }
    return [lsort $names]
}
proc listed {} { return [lsort [velfile list]] }
set own [lsort [list [at real/prj/design/counter.vhd] [at real/prj/design/top.vhd] [at real/prj/shared/util.vhd] \
    [at real/src/s.vhd] [at real/src/s2.vhd]]]

# Adds through the link to the folder at two depths, through the link inside it, and with a ".."
# after each link.
project open [at links/a/prj/p.xhlc]
link alias.xhlc real/prj/p.xhlc
velfile add [at links/a/prj/design/counter.vhd]
velfile add [at links/a/b/deep/design/top.vhd]
velfile add [at links/a/prj/shared/util.vhd]
velfile add [at links/a/prj/../src/s.vhd]
velfile add [at links/a/b/deep/../src/s2.vhd]
check "added by the names the system gives" [listed] $own
fails "the same file through the other link" {velfile add [at links/a/b/deep/design/counter.vhd]} "*already in the project*"
fails "the same file by its real path" {velfile add [at real/prj/shared/util.vhd]} "*already in the project*"
fails "the project file through a link" {velfile add [at links/a/b/deep/p.xhlc]} "*add a project to itself*"
fails "a \"..\" the system names nothing at" {velfile add [at links/a/b/deep/../../src/s.vhd]} "*not found*"
# The letters of these fold to the decoy; the system finds nothing there.
foreach nowhere {links/dang/../a/src/s.vhd links/loop/../a/src/s.vhd} {
    fails "a \"..\" after $nowhere" {velfile add [at $nowhere]} "*[at $nowhere] not found*"
}
fails "the project file through a link to it" {velfile add [at alias.xhlc]} "*add a project to itself*"
check "none of them added" [listed] $own
project close
check "nothing written beside the link to the project file" \
    [list [file exists [at alias.ghlc]] [file exists [at hdlparser.log]]] {0 0}
check "names written from the project's folder" [names] \
    {../src/s.vhd ../src/s2.vhd design/counter.vhd design/top.vhd shared/util.vhd}

# A removal through a link finds the file, and the project reads its own files by the real path
# whatever the links to it now lead to.
project open [at links/a/b/deep/p.xhlc]
velfile remove [at links/a/prj/../src/s2.vhd]
velfile remove [at links/a/prj/design/top.vhd]
velfile add [at links/a/b/deep/design/top.vhd]
project close
set saved [contents $real]
file delete [at links/a/prj] [at links/a/b/deep]
link links/a/prj ../../real/other
project open $real
set kept [lsearch -all -inline -not $own [at real/src/s2.vhd]]
check "reopened by the real path" [listed] $kept
check "its sources in the view" [lsort [velfile list -view VIEW_AbstractSynthesis]] $kept
check "its top" [project top -view VIEW_AbstractSynthesis] top
project close

# An open with a ".." after a link, at two depths: the project there, and nothing made where the
# letters of the path would fold to.
foreach opened {links/x/../prj/p.xhlc links/a/b/y/../prj/p.xhlc} {
    project open [at $opened]
    check "opened $opened" [listed] $kept
    project close
}
check "no project made by the letters" [list [file exists [at links/prj]] [file exists [at links/a/b/prj]]] {0 0}
# Where a ".." follows a link that leads nowhere or to itself, no project is opened or made.
foreach nowhere {links/loop/../real/prj/p.xhlc links/dang/../fresh/p.xhlc} {
    fails "an open through $nowhere" {project open [at $nowhere]} "*[at $nowhere]\" is not found*"
}
check "no project made where they fold" [list [file exists [at links/real]] [file exists [at links/fresh]]] {0 0}
check "the project file as saved" [expr {[contents $real] eq $saved}] 1

# A name an earlier save recorded through the link, while the link still leads to the folder.
file delete [at links/a/prj]
link links/a/prj ../../real/prj
set channel [open $real wb]
puts -nonewline $channel [string map {{"design/top.vhd"} {"../../links/a/prj/design/top.vhd"}} $saved]
close $channel
project open $real
check "an earlier name read as the folder's" [listed] $kept
project close
check "an earlier name written from the folder" [names] {../src/s.vhd design/counter.vhd design/top.vhd shared/util.vhd}

file delete -force $root
if {$failures == 0} { puts "paths through links: all passed" }
