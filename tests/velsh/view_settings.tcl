# A view's settings set through the shell reach the view at once. A top set by hand stays while
# the view does not choose its own, and the compile order stays as it was kept while the view
# does not work out its own; each choice handed back to the view is made again at once. Only
# what the top needs is ordered, so that the order tells which top it was worked out for. The
# Verilog roots instantiate modules and so weigh more as a top than the VHDL one.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh view settings [pid]"]
file delete -force $root
file mkdir $root
proc vhdl {name body} {
    set path [file join $::root $name.vhd]
    write $path "entity $name is end;\narchitecture a of $name is begin $body end;"
    return $path
}
proc verilog {name body} {
    set path [file join $::root $name.v]
    write $path "module $name;\n$body\nendmodule"
    return $path
}
proc names {files} { lmap file $files { file tail $file } }
set view VIEW_AbstractSynthesis

project open [file join $root settings.xhlc]
project set -view $view FILTERFILESFROMCOMPILEORDER true
velfile add [verilog mid ""]
velfile add [verilog deep "  mid u();"]
velfile add [vhdl sleaf ""]
velfile add [vhdl shallow "u: entity work.sleaf;"]
check "the view's own top" [project top] deep
check "the order for it" [names [project order]] {mid.v deep.v}

project set -view $view AUTOTOP false
project set -view $view TOPINSTANCEPATH /shallow
check "the top set by hand" [project top] shallow
check "the order for the top set by hand" [names [project order]] {sleaf.vhd shallow.vhd}
# A root the view would choose comes: the top set by hand stays.
velfile add [verilog deeper "  deep u();"]
check "the top set by hand after an add" [project top] shallow
check "its order after an add" [names [project order]] {sleaf.vhd shallow.vhd}

project set -view $view AUTOCOMPILEORDER false
project set -view $view AUTOTOP true
check "the view's own top again" [project top] deeper
check "the order kept" [names [project order]] {sleaf.vhd shallow.vhd}
project set -view $view AUTOCOMPILEORDER true
check "the order for the view's own top again" [names [project order]] {mid.v deep.v deeper.v}
project close

# A project file that gives the top by hand keeps it when opened, though the view would choose
# another: the view is told that the top is given before it is told the top.
set ns http://www.velmor.com/XMLSchema
set entries ""
foreach name {mid.v deep.v sleaf.vhd shallow.vhd} {
    set type [expr {[string match *.v $name] ? "FILE_VERILOG" : "FILE_VHDL"}]
    append entries "<file vel_kv:name=\"$name\" vel_kv:type=\"$type\"><association vel_kv:name=\"Implementation\"/></file>"
}
write [file join $root given.xhlc] "<project xmlns=\"$ns\" xmlns:vel_kv=\"$ns\">\
<version vel_kv:hlc_version=\"14.1\" vel_kv:schema_version=\"2\"/><files>$entries</files><properties>\
<property vel_kv:name=\"Implementation Top\" vel_kv:value=\"shallow\"/>\
<property vel_kv:name=\"Auto Implementation Top\" vel_kv:value=\"false\"/></properties></project>"
project open [file join $root given.xhlc]
check "the top the file gives" [project top] shallow
check "its instance" [project get -view $view TOPINSTANCEPATH] /shallow
project close

# The README's example of Verilog include folders and macros: a relative folder is the project's
# folder's, and each view finds the headers, one included only where the macro is defined.
set design [file join $root design]
file mkdir [file join $design rtl] [file join $design include] [file join $root shared include]
write [file join $design include defs.vh] "`define WIDTH 8"
write [file join $root shared include kinds.vh] "`define KIND alu"
write [file join $design rtl top.v] \
    "`include \"defs.vh\"\n`ifdef FAST\n`include \"kinds.vh\"\n`endif\nmodule top(input \[`WIDTH-1:0\] a);\nendmodule"
set views {VIEW_AbstractSynthesis VIEW_AbstractSimulation}
project open [file join $design p.xhlc]
foreach v $views {
    project set -view $v QLBVERIINCLUDEDIR {include;../shared/include}
    project set -view $v QLBVERILOGMACROS {FAST;WIDTH=8}
}
velfile add [file join $design rtl top.v]
check "the README's include folders and macros" [lmap v $views { lsort [names [velfile list -view $v]] }] \
    [lrepeat 2 {defs.vh kinds.vh top.v}]
project close

# A new family makes the views anew, without their include folders. Each view then answers as a
# new session on the saved project does, whichever views had been asked: a header found only
# through the folder is in none, one beside its includer stays, one the user added is a source.
set family [file join $root family]
file mkdir [file join $family rtl] [file join $family inc]
proc in {name} { file join $::family $name }
write [in inc/defs.vh] "`define MORE 1"
write [in inc/own.v] "`define OWN 1"
write [in rtl/near.vh] "`define NEAR 1"
write [in rtl/top.v] "`include \"defs.vh\"\n`include \"own.v\"\nmodule top;\n  mid u();\nendmodule"
write [in rtl/mid.v] "`include \"near.vh\"\n`ifdef MORE\nmodule mid; leaf u(); endmodule\n`else\nmodule mid; endmodule\n`endif"
write [in rtl/leaf.v] "module leaf; endmodule"
set answers {proc answers {} {
    set said [list [lsort [lmap path [velfile list] {file tail $path}]]]
    foreach v {VIEW_AbstractSynthesis VIEW_PreSynthesis VIEW_AbstractSimulation VIEW_PreSimulation} {
        lappend said [lsort [lmap path [velfile list -view $v] {file tail $path}]] \
            [lmap path [project order -view $v] {file tail $path}] [project top -view $v]
    }
    return $said
}}
eval $answers
# What a new session on a copy of the saved project answers.
proc fresh {} {
    project save
    file copy -force [in p.xhlc] [in fresh.xhlc]
    lindex [split [lindex [piped_session fresh "$::answers\nproject open [list [in fresh.xhlc]]\nputs \[answers\]"] 1] \n] end
}
foreach {how asked} {"nothing asked" {} "every view asked" answers "the synthesis view asked" {project order}} {
    file delete -force [in p.xhlc] [in p.ghlc]
    project open [in p.xhlc]
    foreach v {VIEW_AbstractSynthesis VIEW_AbstractSimulation} { project set -view $v QLBVERIINCLUDEDIR inc }
    foreach name {inc/own.v rtl/mid.v rtl/leaf.v rtl/top.v} { velfile add [in $name] }
    eval $asked
    project set {Device Family} Orvanta
    check "$how: as a new session" [answers] [fresh]
    project close
}

# A simulator other than the default, read from the project file, makes the views anew as the
# open reads it: the open keeps every file and writes nothing over the file it reads.
foreach simulator {{Other (VHDL)} {Other (Verilog)}} {
    file delete -force [in p.xhlc] [in p.ghlc]
    project open [in p.xhlc]
    foreach name {rtl/mid.v rtl/leaf.v rtl/top.v} { velfile add [in $name] }
    project set Simulator $simulator
    project close
    set saved [list [file stat [in p.xhlc] before; set before(ino)] [contents [in p.xhlc]]]
    project open [in p.xhlc]
    check "$simulator: files at the open" [lsort [lmap path [velfile list] {file tail $path}]] {leaf.v mid.v near.vh top.v}
    project close -nosave
    check "$simulator: the open wrote nothing" [list [file stat [in p.xhlc] after; set after(ino)] [contents [in p.xhlc]]] $saved
}

file delete -force $root
if {$failures == 0} { puts "view settings: all passed" }
