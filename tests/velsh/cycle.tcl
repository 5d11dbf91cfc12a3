# A CPU and the SoC around it instantiate each other's modules (the CPU the SoC's register file,
# the SoC the CPU); a board file uses the SoC. Whatever order the files are added in, the two that
# need each other come first and the board after them.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh cycle [pid]"]
file delete -force $root
file mkdir $root
set board [file join $root board.v]
set cpu   [file join $root cpu.v]
set soc   [file join $root soc.v]
write $board "module board (input wire clk);\n  soc u_soc (.clk(clk));\nendmodule"
write $cpu "module cpu (input wire clk);\n  regfile u_regs (.clk(clk));\nendmodule"
write $soc "module soc (input wire clk);\n  cpu u_cpu (.clk(clk));\nendmodule\nmodule regfile (input wire clk);\nendmodule"

set n 0
foreach added [list [list $board $cpu $soc] [list $board $soc $cpu] [list $cpu $board $soc] \
                   [list $soc $board $cpu] [list $cpu $soc $board] [list $soc $cpu $board]] {
    set names [lmap f $added {file tail $f}]
    project open [file join $root "cycle[incr n].xhlc"]
    foreach file $added { velfile add $file }
    set order [project order]
    check "$names: order holds every file" [lsort $order] [lsort $added]
    check "$names: board last" [lindex $order end] $board
    check "$names: top" [project top] board
    project close
}

# An entity defined in two files: the first added is used, so the other's file is compiled before
# it; where that file needs the used one's, the log says no order can.
set real  [file join $root a_real.vhd]
set dummy [file join $root b_dummy.vhd]
set top   [file join $root top.vhd]
write $real "entity e is\n  port (x : in bit);\nend entity;\narchitecture rtl of e is\nbegin\nend architecture;"
write $dummy "entity e is\n  port (y : in bit);\nend entity;\narchitecture rtl of e is\nbegin\nend architecture;"
write $top "entity top is\nend entity;\narchitecture rtl of top is\n  signal s : bit;\nbegin\n  u : entity work.e port map (x => s);\nend architecture;"
project open [file join $root twice twice.xhlc]
foreach file [list $real $dummy $top] { velfile add $file }
check "defined twice: order" [project order] [list $dummy $real $top]
# The other e is no top of its own: the one used is instantiated, so top is the top.
check "defined twice: top" [project top] top
project close
project open [file join $root twice twice.xhlc]
check "defined twice: top at a fresh open" [project top] top
write $real "package p is\nend package;\nentity e is\n  port (x : in bit);\nend entity;"
write $dummy "entity e is\n  port (y : in bit);\nend entity;\nuse work.p.all;\nentity f is\nend entity;"
check "no order: order" [project order] [list $real $dummy $top]
project close
check "no order: the log" [lsearch -inline -all [split [contents [file join $root twice hdlparser.log]] "\n"] *needs*] \
    [list "WARNING:$dummy:1: 'e' is defined again in $dummy, which needs $real: no compile order ends with the one in $real, which is used"]
# A module defined again whose file uses a macro of the used one's file: the order ends with the
# one used, so the log names the macro used before its file. Of an entity defined twice in one
# file, the log names the one used, the second, by its line.
set real  [file join $root v_real.v]
set dummy [file join $root v_dummy.v]
set twice [file join $root twice.vhd]
write $real "`define CELL leaf\nmodule e (input x);\nendmodule"
write $dummy "module e (input x);\n  `CELL u (.x(x));\nendmodule"
write $twice "entity t is\nend entity;\nentity t is\n  port (x : in bit);\nend entity;"
project open [file join $root macro macro.xhlc]
foreach file [list $real $dummy $twice] { velfile add $file }
project close
check "macro, defined twice in one file: the log" \
    [lsearch -inline -all -regexp [split [contents [file join $root macro hdlparser.log]] "\n"] {macro|'t'}] \
    [list "WARNING:$twice:1: 't' is defined again; the one in $twice at line 3 is used" \
          "WARNING:$dummy:2: macro 'CELL' is used before $real defines it"]

file delete -force $root
if {$failures == 0} { puts "compile order around a cycle: all passed" }
