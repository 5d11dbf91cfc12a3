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
file delete -force $root
if {$failures == 0} { puts "compile order around a cycle: all passed" }
