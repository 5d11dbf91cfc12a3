# What the views answer after an edit is what a fresh open of the saved project answers: every
# view's compile order and the top. After each step the project is saved, and a copy of its file
# beside it is opened by a second shell, which prints its answers.
source [file join [file dirname [info script]] checks.tcl]

set views {VIEW_AbstractSynthesis VIEW_PreSynthesis VIEW_AbstractSimulation VIEW_PreSimulation}
proc tails {paths} {
    set names {}
    foreach path $paths { lappend names [file tail $path] }
    return $names
}
proc answers {} {
    set lines {}
    foreach view $::views {
        lappend lines "$view: [tails [project order -view $view]] top [project top -view $view]"
    }
    return [join $lines \n]
}

if {[lindex $argv 0] eq "fresh"} {
    project open [lindex $argv 1]
    puts [answers]
    project close
} else {

set root [file join [pwd] "velsh fresh open [pid]"]
file delete -force $root
file mkdir $root
proc vhdl {name ports body} {
    write [file join $::root $name.vhd] "entity $name is $ports end;\narchitecture r of $name is begin $body end;"
}
# The open project's answers against a fresh open's of the same project, saved; with `orders`
# only the orders, where roots score alike and the current top keeps its place. Gives the fresh
# open's answers.
proc same_as_fresh {what {orders ""}} {
    project save
    set copy [file join $::root fresh.xhlc]
    file delete $copy
    file copy $::project $copy
    set fresh [exec -ignorestderr [info nameofexecutable] [info script] fresh $copy]
    file delete $copy
    set answered $fresh
    set mine [answers]
    if {$orders ne ""} {
        regsub -all { top \S*} $mine "" mine
        regsub -all { top \S*} $fresh "" fresh
    }
    check "$what: as a fresh open" $mine $fresh
    return $answered
}
# Where the open project's top and another root score alike: the orders are a fresh open's, the
# open project keeps its top, and a fresh open takes `first`, the first of them in the parser's
# order (a root with ports before a bench).
proc tied_with_fresh {what top first} {
    check "$what: the top kept" [project top] $top
    set fresh [same_as_fresh $what orders]
    check "$what: a fresh open's top" [lindex [regexp -inline -line {^VIEW_AbstractSynthesis: .* top (\S*)$} $fresh] 1] \
        $first
}
proc before {order first second} {
    expr {[lsearch -exact $order $first] < [lsearch -exact $order $second]}
}

# A file taken out and added back while only the simulation view had been asked: that view
# compiles it before the testbench that instantiates it, as the others do. The two testbenches
# score alike.
vhdl a "" ""
vhdl b "" ""
vhdl tb_a "" "u: entity work.a;"
vhdl tb_b "" "u: entity work.b;"
project open [set project [file join $root back.xhlc]]
foreach name {a b tb_a tb_b} { velfile add [file join $root $name.vhd] }
project order -view VIEW_AbstractSimulation
velfile remove [file join $root a.vhd]
velfile add [file join $root a.vhd]
foreach view $views {
    check "$view: a before tb_a" [before [tails [project order -view $view]] a.vhd tb_a.vhd] 1
}
same_as_fresh "added back" orders
project close
file delete -force $root
file mkdir $root

# A testbench whose entity's entity cannot bind its own ties with that unit, a root which
# instantiates nothing: an entity below a root counts as a leaf, whatever it instantiates. The
# open project keeps the top it had; a fresh open takes the first in the parser's order, the
# unit with ports before the bench.
vhdl leaf "port (x : in bit);" ""
vhdl mid "port (x : in bit);" "u: entity work.leaf port map (x => x);"
vhdl tb "" "u: entity work.mid port map (x => '0');"
project open [set project [file join $root lib.xhlc]]
velfile add [file join $root tb.vhd] -library lib1
velfile add [file join $root mid.vhd] -library lib1
velfile add [file join $root leaf.vhd] -library lib2
tied_with_fresh "unit's unit in another library" tb leaf
project close
file delete -force $root
file mkdir $root

# A Verilog top that instantiates VHDL entities and a Verilog module beside a VHDL unit whose
# entities instantiate entities in turn, deeper: the Verilog top, the one with a child that is no
# leaf, is the synthesis top, though the VHDL unit came first and the parser names it first.
vhdl mult "port (x : in bit);" ""
vhdl dct "port (x : in bit);" "u: entity work.mult port map (x => x);"
vhdl stage "port (x : in bit);" "u: entity work.dct port map (x => x);"
vhdl stream "port (x : in bit);" "u: entity work.stage port map (x => x);"
write [file join $root quant.v] "module quant (input x);\nendmodule"
write [file join $root jpeg_top.v] "module jpeg_top (input x);\n  dct u_dct (.x(x));\n  quant u_q (.x(x));\nendmodule"
project open [set project [file join $root jpeg.xhlc]]
foreach name {stream.vhd stage.vhd mult.vhd dct.vhd quant.v jpeg_top.v} { velfile add [file join $root $name] }
check "the Verilog top over the VHDL unit" [project top] jpeg_top
same_as_fresh "Verilog top over the VHDL unit"
project close
file delete -force $root
file mkdir $root

# The file of the last root goes: no unit of the project is left to be the top, as a fresh open
# finds. A source off the disk for a while keeps its top, unless it is removed so; a top set by
# hand stays when its file goes.
write [file join $root pkg.vhd] "package p is constant c : bit := '0'; end;"
write [file join $root solo.v] "module solo (input x);\nendmodule"
project open [set project [file join $root solo.xhlc]]
foreach name {pkg.vhd solo.v} { velfile add [file join $root $name] }
check "the only root is the top" [project top] solo
velfile remove [file join $root solo.v]
check "no top once the last root's file is gone" [project top] ""
same_as_fresh "last root's file gone"
velfile add [file join $root solo.v]
file rename [file join $root solo.v] [file join $root solo.v.away]
check "the top while its file is off the disk" [project top] solo
velfile remove [file join $root solo.v]
check "no top once its file is removed off the disk" [project top] ""
file rename [file join $root solo.v.away] [file join $root solo.v]
velfile add [file join $root solo.v]
project set -view VIEW_AbstractSynthesis AUTOTOP false
project set -view VIEW_AbstractSynthesis TOPINSTANCEPATH /solo
velfile remove [file join $root solo.v]
check "a top set by hand stays" [project top] solo
project set -view VIEW_AbstractSynthesis AUTOTOP true
check "no top once handed back" [project top] ""
project close
file delete -force $root
file mkdir $root

proc anew {} { project close; file delete -force $::root; file mkdir $::root }
# A hierarchy past the node bound (each module instantiating the one before twice): a fresh open
# asked the same logs the cut as the live project does.
project open [set project [file join $root cut.xhlc]]
for {set i 0} {$i < 22} {incr i} {
    set m m_[expr {$i - 1}]
    write [file join $root m_$i.v] "module m_$i;\n[expr {$i ? "  $m u0 ();\n  $m u1 ();" : ""}]\nendmodule"
    velfile add [file join $root m_$i.v]
}
answers
set live [contents [set log [file join $root hdlparser.log]]]
same_as_fresh "a hierarchy past the node bound"
check "the cut logged live and fresh" [list [string match "*'m_21' passes 1000000 nodes*" $live] [contents $log]] [list 1 $live]
anew

# Copies of a core in board folders, each file including the defs.v beside it (one added by the
# user too): a header the view manages orders nothing, so ties are broken as at a fresh open.
foreach board {b1 b2 b3} width {8 16 24} {
    file mkdir [file join $root $board]
    write [file join $root $board defs.v] "`define W $width\n`define CLK_$board\n"
    foreach {unit body} {alu "" core "  alu u (a);\n" top "  core u (a);\n`ifdef CLK_b1\n  b1x x ();\n`endif\n"} {
        write [file join $root $board ${board}_$unit.v] "`include \"defs.v\"\nmodule $unit (input \[`W-1:0\] a);\n${body}endmodule"
    }
}
write [file join $root b1 b1x.v] "module b1x;\nendmodule"
project open [set project [file join $root boards.xhlc]]
foreach name {b2/b2_alu.v b2/defs.v b1/b1_top.v b1/b1x.v b2/b2_top.v b1/b1_alu.v b2/b2_core.v b3/b3_alu.v b3/b3_core.v
              b3/b3_top.v b1/b1_core.v} { velfile add [file join $root $name] }
same_as_fresh "copies of a core, each including its own defs.v"
anew

# A header that holds a module, included by the top: after another source's removal the live log
# names nothing defined again, as a fresh open's does not.
foreach {name text} {leaf.v "module leaf;\nendmodule" top.v "`include \"leaf.v\"\nmodule top;\n  leaf u ();\nendmodule"
                    other.v "module other;\nendmodule"} { write [file join $root $name] $text }
project open [set project [file join $root defining.xhlc]]
foreach name {top.v other.v} { velfile add [file join $root $name] }
answers
velfile remove [file join $root other.v]
answers
set live [contents $log]
same_as_fresh "a defining header, another source removed"
check "a defining header: the log live and fresh" [list [string match "*defined again*" $live] [contents $log]] [list 0 $live]
anew

# Two modules edited to instantiate each other leave no root: the top goes, as a fresh open has none.
write [file join $root a.v] "module a (input x);\n  b u (.x(x));\nendmodule"
write [file join $root b.v] "module b (input x);\nendmodule"
project open [set project [file join $root mutual.xhlc]]
foreach name {a.v b.v} { velfile add [file join $root $name] }
project top
after 1100
write [file join $root b.v] "module b (input x);\n  a u (.x(x));\nendmodule"
check "no root once they instantiate each other" [project top] ""
anew

# An edit sequence on a small mixed design, each step answered as a fresh open answers it.
write [file join $root pkg.vhd] "package p is constant c : bit := '0'; end;"
write [file join $root core.vhd] "use work.p.all;\nentity core is port (x : in bit); end;\narchitecture r of core is begin end;"
vhdl wrap "port (x : in bit);" "u: entity work.core port map (x => x); v: entity work.ctr port map (x => x);"
write [file join $root ctr.v] "module ctr (input x);\nendmodule"
vhdl tb "" "u: entity work.wrap port map (x => '0');"
project open [set project [file join $root mixed.xhlc]]
foreach name {pkg.vhd core.vhd ctr.v wrap.vhd tb.vhd} { velfile add [file join $root $name] }
same_as_fresh "created"
velfile remove [file join $root core.vhd]
velfile add [file join $root core.vhd]
same_as_fresh "core added back"
velfile remove [file join $root wrap.vhd]
velfile add [file join $root wrap.vhd] -library lib1
same_as_fresh "wrapper moved to a library"
velfile remove [file join $root tb.vhd]
same_as_fresh "testbench taken out"
velfile add [file join $root tb.vhd]
velfile remove [file join $root wrap.vhd]
velfile add [file join $root wrap.vhd]
same_as_fresh "all back"
after 1100
write [file join $root core.vhd] [string map {core core2} [contents [file join $root core.vhd]]]
# The wrapper's instance of core is unbound now, but the wrapper is an entity: the testbench
# scores as the new root core2 does.
tied_with_fresh "core's entity renamed on disk" tb core2
project close

file delete -force $root
if {$failures == 0} { puts "fresh open: all passed" }
}
