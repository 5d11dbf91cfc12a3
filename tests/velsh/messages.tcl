# What a user meets: a failure says its case in a sentence and keeps the library's developer
# lines for VELSH_DEBUG, a command with nothing to answer answers nothing, every message on
# standard error ends its line, and a project file that does not parse is reported once.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh messages [pid]"]
file delete -force $root
file mkdir $root
set project [file join $root m.xhlc]
set source [file join $root a.vhd]
write $source "entity a is end;"

# Runs another velsh on the script TEXT and gives what it wrote to standard error.
proc session {name text} {
    set script [file join $::root $name.tcl]
    set errors [file join $::root $name.err]
    write $script $text
    catch {exec [info nameofexecutable] $script << "" 2> $errors}
    set channel [open $errors]
    set said [read $channel]
    close $channel
    return $said
}

project open $project
velfile add $source
fails "added twice" {velfile add $source} "velfile add: $source is already in the project"
fails "not in the project" {velfile remove [file join $root b.vhd]} \
    "velfile remove: [file join $root b.vhd] is not in the project"
# The shell's own errors escape the control characters of the names they give, as the library's
# messages do.
set odd [file join $root "odd\nname\t.vhd"]
write $odd "entity odd is end;"
velfile add $odd
catch {velfile add $odd} message
check "a name escaped in an error" $message "velfile add: [file join $root {odd\nname\t.vhd}] is already in the project"
catch {velfile remove [file join $root "gone\n.vhd"]} message
check "a name escaped in another error" $message "velfile remove: [file join $root {gone\n.vhd}] is not in the project"
velfile remove $odd
# An id that is none, and one a NUL would cut short, are named as typed.
set parser {10977847-7D8D-46e9-AC19-7B0EED3C4657}
fails "a malformed id" {component create "x\ty"} {malformed id "x\\ty"}
fails "an id with a NUL" {component create "$parser\0"} "malformed id \"$parser\\\\x00\""
check "the id without it" [string match component* [component create $parser]] 1
check "save answers nothing" [project save] ""
# A save that asks first, for the project file changed on disk: the dialog's answer is not the
# command's.
after 1100
set channel [open $project a]
puts $channel "<!-- changed by another program -->"
close $channel
lappend ::velmor::Hvd::answers no
check "save after a question answers nothing" [project save] ""
check "the save asked" [llength $::velmor::Hvd::asked] 1
check "snapshot take answers nothing" [project snapshot take one] ""
fails "snapshot taken twice" {project snapshot take one} {The checkpoint "one" already exists.}
check "saveas answers nothing" [project saveas [file join $root copy c.xhlc]] ""
check "archive answers nothing" [project archive [file join $root m.zip]] ""
check "clean answers nothing" [project clean] ""

pr flavor create fast /top/u_counter
pr configuration create all
# The assignment composes the configuration through the suite's Tcl synchronisation, whose
# procedures answer with the configuration's handle: that is not the command's answer either.
set ::env(VEL_CORVANE_USE_TCL_SYNC) 1
check "assign answers nothing" [pr configuration assign all fast] ""
check "the assignment synchronised" [expr {[llength $::velmor::pr_sync_actions::asked] > 0}] 1
unset ::env(VEL_CORVANE_USE_TCL_SYNC)
fails "no such flavor to delete" {pr flavor delete nothing} "pr flavor delete: no flavor named nothing"
fails "no such configuration to delete" {pr configuration delete nothing} \
    "pr configuration delete: no configuration named nothing"
fails "no such configuration to assign" {pr configuration assign nothing fast} \
    "pr configuration assign: no configuration named nothing"
fails "no such flavor to assign" {pr configuration assign all nothing} "pr configuration assign: no flavor named nothing"
fails "a configuration name that cannot name a folder" {pr configuration create ..} \
    {The configuration name <..> cannot name a project directory: *}
# Developer lines, such as the operation's signature, stay out of the error.
if {[catch {pr flavor delete nothing} message] && [string match "*in function*" $message]} {
    puts "FAIL developer lines in the error: $message"
    incr failures
}
check "close answers nothing" [project close] ""
fails "information on no file" {project info [file join $root gone.xhlc]} \
    "project info: cannot read [file join $root gone.xhlc]: there is no such file"

# A failure whose message does not end its line is followed by a message on a line of its own.
set said [session pr "project open [list [file join $root n.xhlc]]
pr flavor create fast /top/u_counter
catch {pr configuration create other {nothing}}
catch {pr flavor create fast /top/u_debounce}
project save
"]
check "each message on its own line" [regexp {[^\n](Error|Warning|Info|Status) \(} $said] 0
check "a message ends its line" [string index $said end] [expr {$said eq "" ? "" : "\n"}]

# A project file that is not XML: the parse error once on standard error and once in the error.
set broken [file join $root broken.xhlc]
write $broken "this is not a project file"
set said [session broken "catch {project open [list $broken]} message
puts stderr \"=> \$message\"
"]
check "parse error once on standard error" [regexp -all {Error \(ProjectMgmt\)[^\n]*\n while parsing file} $said] 1
check "parse error once in the error" [regexp -all {=> [^\n]*\n while parsing file} $said] 1
check "nothing else in the error" [regexp -all {while parsing file} $said] 2

# A library made by -library takes VHDL only, and the refusal says where Verilog goes; a library
# name VHDL tools would not take is made, with a warning naming why.
set verilog [file join $root v.v]
write $verilog "module v; endmodule"
set lines [list [list project open [file join $root names.xhlc]] \
    [list catch [list velfile add $verilog -library vlib] refused] {puts stderr "=> $refused"}]
foreach {name library} {n1 {my lib} n2 1lib n3 work.x n4 ieee n5 Mixed n6 mixed n7 good_name} {
    write [file join $root $name.vhd] "entity $name is end;"
    lappend lines [list velfile add [file join $root $name.vhd] -library $library]
}
lappend lines {project close -nosave}
set said [session names [join $lines \n]]
check "VHDL only" [string match "*=> File type for file <*v.v> is not valid for library <vlib>.\nvelfile add: the library \"vlib\" takes VHDL files only*without -library, into \"work\"*" $said] 1
foreach library {{my lib} 1lib work.x ieee mixed} {
    check "warned of $library" [regexp -all "The library name \"$library\" will not be taken by VHDL tools" $said] 1
}
check "good names pass" [regexp -all {The library name "(Mixed|good_name)"} $said] 0

file delete -force $root
if {$failures == 0} { puts "messages: all passed" }
