# `project info` reads a project source file without opening it: on the example design's
# project in a folder whose name Tcl would read as code, with and without an open project,
# and on files that are broken or hostile.
source [file join [file dirname [info script]] checks.tcl]

set design [file normalize [file join [file dirname [info script]] .. .. examples design]]
set root [file join [pwd] "velsh info [pid]"]
file delete -force $root
set dir [file join $root {odd $dir [x] {y}}]
file mkdir $dir
set project [file join $dir {my [proj] $x.xhlc}]

# The example's project, made and saved as the main job makes it.
project open $project
foreach name {counter_pkg.vhd counter.vhd debounce.v top.vhd tb_top.vhd} {
    velfile add [file join $design $name]
}
project set {Device Family} Orvanta
project set Device OV250
project save
project close

set info [project info $project]
check "keys" [lsort [dict keys $info]] {generator properties version}
check "version" [expr {[dict get $info version] ne ""}] 1
check "generator" [dict get $info generator] Corvane
set properties [dict get $info properties]
check "family" [dict get $properties {Device Family}] Orvanta
check "device" [dict get $properties Device] OV250
check "same path, other extension" [project info [file rootname $project].xml] $info

# With a project open: the open project is neither needed nor changed.
set other [file join $dir {other $[o].xhlc}]
project open $other
velfile add [file join $design top.vhd]
check "while open" [project info $project] $info
check "still the open project" [velfile list] [list [file join $design top.vhd]]
project save
check "open project's own" [dict get [project info $other] generator] Corvane
project close
fails "closed" {velfile list} "no project is open"

# A generator named by the file.
set made [file join $dir {made by [x].xhlc}]
write $made {<project xmlns="http://www.velmor.com/XMLSchema" xmlns:vel_kv="http://www.velmor.com/XMLSchema">
  <version vel_kv:hlc_version="9.2" vel_kv:schema_version="2"/>
  <properties><property vel_kv:name="Project Generator" vel_kv:value="Moldrix"/>
  <property vel_kv:name="a $b [c]" vel_kv:value="{d} $e"/></properties></project>}
set made [project info $made]
check "named generator" [dict get $made generator] Moldrix
check "named version" [dict get $made version] 9.2
check "odd property" [dict get [dict get $made properties] {a $b [c]}] {{d} $e}

# Broken, hostile and missing files are refused with the reason.
set broken [file join $dir {broken $[x].xhlc}]
write $broken "not xml {at} \[all\]"
fails "broken" {project info $broken} "*while parsing file*broken*"
set hostile [file join $dir {entity [1].xhlc}]
write $hostile {<?xml version="1.0"?>
<!DOCTYPE project [ <!ENTITY secret SYSTEM "file:///etc/passwd"> ]>
<project xmlns="http://www.velmor.com/XMLSchema"><properties><property name="x" value="&secret;"/></properties></project>}
fails "hostile" {project info $hostile} "*while parsing file*entity*"
fails "missing" {project info [file join $dir {gone $1.xhlc}]} "*cannot read*gone*"
fails "usage" {project info} "wrong # args*"

file delete -force $root
if {$failures == 0} {
    puts "project info: all passed"
} else {
    exit 1
}
