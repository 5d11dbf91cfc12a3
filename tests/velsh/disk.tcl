# Sources changed on disk while the project is open: the shell checks them before it orders,
# chooses the top, saves or copies, so an edit is read again at once, and a source that went
# missing is named once on standard error and leaves the order until it comes back.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh disk [pid]"]
file delete -force $root
file mkdir $root
proc vhdl {name body} {
    write [file join $::root $name.vhd] "entity $name is end;\narchitecture a of $name is begin $body end;"
}
proc order {} { lmap path [project order] {file rootname [file tail $path]} }
vhdl leaf ""
vhdl mid "u: entity work.leaf;"
vhdl deep "u: entity work.mid;"
vhdl shallow "u: entity work.leaf;"

project open [file join $root disk.xhlc]
foreach name {deep mid leaf shallow} { velfile add [file join $root $name.vhd] }
check "top" [project top] deep
check "order" [order] {leaf mid deep shallow}
# deep now needs shallow, which is no root any more.
vhdl deep "u: entity work.shallow; v: entity work.mid;"
check "edited order" [order] {leaf mid shallow deep}
check "edited top" [project top] deep

project close

# In a second shell, whose standard error is read here: a source gone is named once, however
# often the shell checks, and is back in the order when it is back on disk.
set gone [file join $root mid.vhd]
set script [file join $root missing.tcl]
write $script [join [list \
    [list project open [file join $root disk.xhlc]] \
    [list file rename $gone $gone.away] \
    {puts "missing: [lmap path [project order] {file rootname [file tail $path]}]"} \
    {project top} \
    [list file rename $gone.away $gone] \
    {puts "back: [lmap path [project order] {file rootname [file tail $path]}]"} \
    {project close}] \n]
set said [exec [info nameofexecutable] $script 2>@1]
check "missing left out" [regexp -inline -line {^missing: .*$} $said] {{missing: leaf shallow deep}}
check "missing named once" [regexp -all "The source \"[string map {[ \\[ ] \\]} $gone]\" is missing from disk" $said] 1
check "back in the order" [regexp -inline -line {^back: .*$} $said] {{back: leaf mid shallow deep}}

# A source missing when the project is opened is named by the open, once, and is left out.
file rename $gone $gone.away
write $script [join [list \
    [list project open [file join $root disk.xhlc]] \
    {puts "opened: [lmap path [project order] {file rootname [file tail $path]}]"} \
    {project top} \
    {project close}] \n]
set said [exec [info nameofexecutable] $script 2>@1]
check "missing at open left out" [regexp -inline -line {^opened: .*$} $said] {{opened: leaf shallow deep}}
check "missing at open named once" [regexp -all "The source \"[string map {[ \\[ ] \\]} $gone]\" is missing from disk" $said] 1

# A source whose name holds control characters is named with them escaped, on its line: the name
# cannot end the warning early nor start a message of its own. (Only those a project file can hold:
# the others are refused at the add.)
set odd [file join $root "odd\nError (velsh): forged\t\x7f.vhd"]
write $odd "entity odd is end;"
write $script [join [list \
    [list project open [file join $root odd.xhlc]] \
    [list velfile add $odd] \
    [list file delete $odd] \
    {project order} \
    {project close -nosave}] \n]
set said [exec [info nameofexecutable] $script 2>@1]
check "no forged line" [regexp -line {^Error \(velsh\)} $said] 0
set shown [string map {\n \\n \t \\t \x7f \\x7f} $odd]
check "escaped name on its line" \
    [expr {"Warning (velsh): The source \"$shown\" is missing from disk." in [split $said \n]}] 1
# A header edited on disk is read again by its includers before the next answer, whether the
# project manages it (found by an include, even through another header) or the user added it,
# while open and right after an open: the order, the top and the log answer as a fresh open's.
proc answers {} { list [order] [project top] [contents [file join $::root hdlparser.log]] }
write [file join $root leaf_a.v] "module leaf_a;\nendmodule"
write [file join $root outer.vh] "`include \"inner.vh\""
write [file join $root wrap.v] "module wrap;\n`include \"outer.vh\"\nendmodule"
foreach {header includer added} {hdr.v core.v {} hdr.vh core.v hdr.vh inner.vh wrap.v {}} {
    write [file join $root $header] "missing_x u ();"
    if {$includer eq "core.v"} { write [file join $root core.v] "module core;\n`include \"$header\"\nendmodule" }
    project open [set project [file join $root "h $header.xhlc"]]
    foreach name [concat $includer leaf_a.v $added] { velfile add [file join $root $name] }
    foreach {step text} {"edited while open" "leaf_a u ();" "edited after an open" "missing_x u ();"} {
        project order
        after 1100
        write [file join $root $header] $text
        set live [answers]
        project close
        project open $project
        check "$header, $step" $live [answers]
    }
    project close
}

file delete -force $root
if {$failures == 0} { puts "sources on disk: all passed" }
