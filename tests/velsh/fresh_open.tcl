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
# only the orders, where roots score alike and the current top keeps its place.
proc same_as_fresh {what {orders ""}} {
    project save
    set copy [file join $::root fresh.xhlc]
    file delete $copy
    file copy $::project $copy
    set fresh [exec -ignorestderr [info nameofexecutable] [info script] fresh $copy]
    file delete $copy
    set mine [answers]
    if {$orders ne ""} {
        regsub -all { top \S*} $mine "" mine
        regsub -all { top \S*} $fresh "" fresh
    }
    check "$what: as a fresh open" $mine $fresh
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

# A testbench whose unit instantiates one it cannot bind outweighs that unit, a root which
# instantiates nothing, whichever the parser names first.
vhdl leaf "port (x : in bit);" ""
vhdl mid "port (x : in bit);" "u: entity work.leaf port map (x => x);"
vhdl tb "" "u: entity work.mid port map (x => '0');"
project open [set project [file join $root lib.xhlc]]
velfile add [file join $root tb.vhd] -library lib1
velfile add [file join $root mid.vhd] -library lib1
velfile add [file join $root leaf.vhd] -library lib2
check "top with its unit's unit in another library" [project top] tb
same_as_fresh "unit's unit in another library"
project close
file delete -force $root
file mkdir $root

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
same_as_fresh "core's entity renamed on disk"
check "the testbench stays the top" [project top] tb
project close

file delete -force $root
if {$failures == 0} { puts "fresh open: all passed" }
}
