# What no project file can hold, not even as a character reference (0x01, ESC and NUL here), is
# refused by each command that would put it there, named with its controls escaped, and nothing
# changes; tab, carriage return and delete are held and read back. A NUL, which no path holds
# either, is refused in a view's setting and a project's path too, and names no file or snapshot.
# A project file or a snapshot's that another program wrote with ESC fails its open, and the
# error names that file.
source [file join [file dirname [info script]] checks.tcl]
proc replace {path from to} {
    set text [string map [list $from $to] [contents $path]]
    set channel [open $path wb]
    puts -nonewline $channel $text
    close $channel
}

set root [file join [pwd] "velsh xmlchars [pid]"]
file delete -force $root
set dir [file join $root proj]
file mkdir $dir
set project [file join $dir p.xhlc]
set held {}
foreach odd [list \t \r \x7f] {
    lappend held [file join $dir "h${odd}.vhd"]
    write [lindex $held end] "entity h is end;"
}
project open $project
foreach file $held { velfile add $file }
project set PROP_ProjectDescription "ours\t\r\x7f"

# Each error names the value as `shown`, a pattern for string match.
set loose [file join $dir loose.vhd]
write $loose "entity loose is end;"
foreach {bad shown} [list \x01 {\\x01} \x1b {\\x1b} \0 {\\x00}] {
    set source [file join $dir "a${bad}b.vhd"]
    if {$bad ne "\0"} { write $source "entity ab is end;" }
    fails "add $shown" {velfile add $source} "The file \"*a${shown}b.vhd\" cannot be added to the project:*"
    fails "library $shown" {velfile add $loose -library "l${bad}"} \
        "*The library name \"l${shown}\" is refused: it holds the control character $shown,*"
    fails "description $shown" {project set PROP_ProjectDescription "d${bad}"} \
        "The PROP_ProjectDescription value \"d${shown}\" is refused:*"
    fails "snapshot name $shown" {project snapshot take "s${bad}"} "The snapshot name \"s${shown}\" is refused:*"
    fails "snapshot description $shown" {project snapshot take s "d${bad}"} \
        "The snapshot description \"d${shown}\" is refused:*"
}
fails "view setting \\x00" {project set -view VIEW_AbstractSynthesis TOPINSTANCEPATH "/h\0"} \
    "The PROP_TOPINSTANCEPATH value \"/h\\\\x00\" is refused:*"
fails "remove \\x00" {velfile remove "[lindex $held 0]\0"} {velfile remove: *h\\t.vhd\\x00 is not in the project}
fails "saveas \\x00" {project saveas [file join $root "c\0" c.xhlc]} {The path of the copy "*c\\x00/c.xhlc" is refused:*}
fails "copy \\x00" {project copy [file join $root "c\0" c.xhlc]} {The folder of the copy "*c\\x00" is refused:*}
fails "archive \\x00" {project archive [file join $root "a\0.zip"]} {The path of the archive "*a\\x00.zip" is refused:*}
check "no copy made" [glob -tails -directory $root *] proj
check "files as they were" [velfile list] $held
check "description as it was" [project get PROP_ProjectDescription] "ours\t\r\x7f"
check "no snapshot" [project snapshot list] {}
project snapshot take kept "taken\t\r\x7f"
fails "restore \\x00" {project snapshot restore "kept\0"} {no snapshot "kept\\x00"}
project close
fails "open \\x00" {project open [file join $dir "p\0.xhlc"]} "The project file's path \"*p\\\\x00.xhlc\" is refused:*"
fails "info \\x00" {project info "$project\0"} {The project file's path "*p.xhlc\\x00" is refused:*}
check "no project made" [list [file exists [file join $dir p]] [glob -nocomplain -tails -directory $dir p?*.?hlc]] {0 {}}

project open $project
check "files read back" [velfile list] $held
check "description read back" [project get PROP_ProjectDescription] "ours\t\r\x7f"
check "snapshot kept" [project snapshot list] kept
project close

# Another program's ESC: in the snapshot's project file, then in the project's own.
set theirs [file join $dir snapshots kept p.xhlc]
replace $theirs "taken" "tak\x1ben"
project open $project
fails "restore" {project snapshot restore kept} "*invalid character 0x1B*while parsing file $theirs*"
check "still open with its files" [velfile list] $held
project close
replace $project "ours" "ou\x1brs"
fails "open" {project open $project} "*invalid character 0x1B*on line*while parsing file $project*"
catch {project close -nosave}
file delete -force $root
if {$failures == 0} { puts "project file characters: all passed" }
