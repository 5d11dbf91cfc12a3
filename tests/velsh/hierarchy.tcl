# The hierarchy text of a view in each record layout: the view's files in compile order, named
# from the project's folder, with language, library and origin; a name holding a blank or a
# dollar reads back whole, as its separators inside names are escaped.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh hierarchy [pid]"]
file delete -force $root
set dir [file join $root proj]
file mkdir $dir
write [file join $dir pkg.vhd] "package pkg is\n  constant w : integer := 4;\nend package;"
write [file join $dir leaf.vhd] "use work.pkg.all;\nentity leaf is end;\narchitecture r of leaf is begin end;"
write [file join $dir top.vhd] "entity top is end;\narchitecture r of top is begin\n  u: entity work.leaf;\nend;"
write [file join $dir {solo x$.vhd}] "entity solo is end;"
write [file join $dir g.v] "module g; endmodule"

project open [file join $dir p.xhlc]
check "no files" [project hierarchy] ""
check "no files, source list" [project hierarchy -format QlbPrjSourceList] ""
foreach name {top.vhd leaf.vhd g.v pkg.vhd} { velfile add [file join $dir $name] }
velfile add [file join $dir {solo x$.vhd}] -library slib

# What each file should read as, in compile order.
set names {}
foreach path [project order] { lappend names [string range $path [string length $dir/] end] }
check "all ordered" [lsort $names] [lsort {top.vhd leaf.vhd g.v pkg.vhd {solo x$.vhd}}]
check "package first" [expr {[lsearch $names pkg.vhd] < [lsearch $names leaf.vhd]}] 1
check "leaf before top" [expr {[lsearch $names leaf.vhd] < [lsearch $names top.vhd]}] 1
proc library {name} { expr {$name eq {solo x$.vhd} ? "slib" : "work"} }
proc language {name} { expr {[file extension $name] eq ".v" ? "verilog" : "vhdl"} }
proc escaped {text} { string map [list " " "\\ " "\$" "\\\$"] $text }

foreach view {SynthesisOnly BehavioralSim} {
    set records [project hierarchy -view $view -format QlbPrjSourceList]
    check "$view: one record a file" [llength $records] [llength $names]
    check "$view: paths" [lmap r $records {lindex $r 2}] $names
    check "$view: languages" [lmap r $records {lindex $r 0}] [lmap n $names {language $n}]
    check "$view: libraries" [lmap r $records {lindex $r 1}] [lmap n $names {library $n}]

    set want ""
    foreach n $names { append want "[library $n];[escaped $n];UserSource\$" }
    check "$view: plain layout" [project hierarchy -view $view] $want
    set want ""
    foreach n $names { append want "[escaped "Module|$n"];[escaped $n]\$" }
    check "$view: module list" [project hierarchy -view $view -format ModuleList] $want
}
fails "no such view" {project hierarchy -view {no [such] view}} "no view*"
fails "extra word" {project hierarchy now} "wrong # args*"
# A layout is named; a number or a mistyped name would give the plain layout unnoticed.
fails "a number" {project hierarchy -format 1} "bad format \"1\": must be QlbPrjSourceList or ModuleList"
fails "a mistyped name" {project hierarchy -format ModulList} "bad format*"
check "a name in any case" [project hierarchy -format modulelist] [project hierarchy -format ModuleList]
project close
fails "closed" {project hierarchy} "no project is open"

file delete -force $root
if {$failures == 0} {
    puts "project hierarchy: all passed"
} else {
    exit 1
}
