# A header the user added and a source includes is in the views its classes give, whatever was
# asked and whether the family was chosen before or after the adds: the project file records the
# same views, each view lists the same files, and with its includer gone a Verilog header is back
# in every view's order, in the open project and after a reopen. A project only asked for a
# view's order or files is not written at its close. Off the disk, the header keeps its views.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh header views [pid]"]
file delete -force $root
file mkdir $root
proc at {name} { return [file join $::root $name] }
set views {VIEW_AbstractSynthesis VIEW_AbstractSimulation}
# The views the project file records for one of its files.
proc recorded {project name} {
    if {![regexp "<file vel_kv:name=\"[string map {. \\.} $name]\"\[^>\]*?(/>|>.*?</file>)" [contents $project] entry]} {
        return "not recorded"
    }
    return [lmap {all view} [regexp -all -inline {<association vel_kv:name="([^"]*)"} $entry] {set view}]
}
proc lists {} { lmap view $::views { lsort [lmap path [velfile list -view $view] {file tail $path}] } }
proc orders {} { lmap view $::views { lmap path [project order -view $view] {file tail $path} } }
# A project file is written beside its place and renamed over it: a rewrite changes its inode.
proc untouched {path} { list [file stat $path stat] $stat(ino) $stat(mtime) [contents $path] }

foreach header {defs.v defs.vh} {
    write [at $header] "`define WIDTH 8"
    write [at alu.v] "`include \"$header\"\nmodule alu (input wire \[`WIDTH-1:0\] a);\nendmodule"
    set answers {}
    foreach {how family adds asked} [list "family after the adds" after [list alu.v $header] no \
                                         "header first, family before" before [list $header alu.v] no \
                                         "family after the adds, views asked" after [list $header alu.v] yes] {
        set project [at "p [llength $answers].xhlc"]
        project open $project
        if {$family eq "before"} { project set {Device Family} Orvanta }
        foreach name $adds { velfile add [at $name] }
        if {$family eq "after"} { project set {Device Family} Orvanta }
        if {$asked} { lists }
        project close
        set said [list [recorded $project $header]]
        project open $project
        lappend said [lists]
        project close
        project open $project
        velfile remove [at alu.v]
        lappend said [orders] [lists]
        project close
        lappend said [recorded $project $header]
        project open $project
        lappend said [orders] [lists]
        project close
        lappend answers $how $said
    }
    # A Verilog header is a source again without its includer; a .vh one is a text file of no view.
    set back [expr {$header eq "defs.v" ? [list $header $header] : [list {} {}]}]
    set want [list {BehavioralSimulation Implementation} [list [list alu.v $header] [list alu.v $header]] \
                  $back $back [expr {$header eq "defs.v" ? {BehavioralSimulation Implementation} : {}}] $back $back]
    foreach {how said} $answers { check "$header, $how" $said $want }

    # Only asked: nothing is written, but where the project file records the header for one view
    # only (as an earlier build wrote it): it is in both all the same, and the close records so.
    set project [at "p 0.xhlc"]
    project open $project
    foreach name [list alu.v $header] { velfile add [at $name] }
    project close
    set text [contents $project]
    regsub {(<file vel_kv:name="defs\.vh?"[^>]*>)\s*<association vel_kv:name="BehavioralSimulation"/>} $text {\1} one
    foreach {form written} [list "both views" $text "one view" $one] {
        set f [open $project wb]
        puts -nonewline $f $written
        close $f
        set before [untouched $project]
        project open $project
        project order -view VIEW_AbstractSimulation
        set listed [lindex [lists] 1]
        project close
        check "$header, $form: the simulation view, written" [list $listed [expr {[untouched $project] ne $before}]] \
            [list [list alu.v $header] [expr {$form eq "one view"}]]
    }
    check "$header: both views recorded" [recorded $project $header] {BehavioralSimulation Implementation}

    # A header removed while a source includes it stays, and the removal says which source keeps
    # it; removing the includer says nothing of the kind.
    lassign [piped_session warned "project open [list [at warned.xhlc]]
        foreach name {alu.v $header} { velfile add \[file join [list $root] \$name\] }
        velfile remove [list [at $header]]
        velfile remove [list [at alu.v]]"] status said errors
    set warned [regexp -all -inline {Warning[^\n]*} $errors]
    check "$header removed while included" [list $status [llength $warned] \
        [string match "*[at $header] stays*since \"[at alu.v]\" still includes it*" [join $warned]]] {0 1 1}

    # Removed by the user while a source includes it, the header is what an open makes of it: a
    # file every view manages, which the close records, asked or not, so that the next close
    # writes nothing. The includer, the top, removed next leaves the top to the root that is left.
    write [at other.v] "module other;\nendmodule"
    write [at alu.v] "`include \"$header\"\nmodule alu (input wire \[`WIDTH-1:0\] a);\n  other u_other ();\nendmodule"
    set project [at "removed.xhlc"]
    foreach {removed want} [list [list $header] [list [list alu.v $header other.v] [list alu.v $header other.v] alu] \
                                [list $header alu.v] {other.v other.v other}] {
        foreach asked {no yes} {
            file delete $project
            project open $project
            foreach name [list alu.v other.v $header] { velfile add [at $name] }
            foreach name $removed { velfile remove [at $name] }
            if {$asked} { set live [concat [lists] [list [project top]]] }
            project close
            set written [untouched $project]
            project open $project
            set fresh [concat [lists] [list [project top]]]
            project close
            set how "$header, $removed removed, asked $asked"
            if {$asked} { check "$how: the open project as a reopen" $live $fresh }
            check "$how: the views and the top" $fresh $want
            check "$how: a close with nothing done writes nothing" [expr {[untouched $project] eq $written}] 1
        }
    }

    # Off the disk, a header the user added keeps its views as any source does: a close while it is
    # gone (found gone by the open, or gone while open) records them; it is in no live view while
    # gone, and back in both once back. A folder at its name, as a branch switch leaves one, is the
    # same.
    set project [at "p 0.xhlc"]
    set listed [lrepeat 2 [list alu.v $header]]
    foreach gone {"at the open" "while open" "a folder at the open" "a folder while open"} {
        if {[string match "*while open" $gone]} { project open $project }
        file rename [at $header] [at $header.away]
        if {[string match "a folder*" $gone]} { file mkdir [at $header] }
        if {[string match "*at the open" $gone]} { project open $project }
        set said [list [lists]]
        project set PROP_ProjectDescription "saved while $header was gone $gone"
        project close
        project open $project
        file delete [at $header]
        file rename [at $header.away] [at $header]
        lappend said [recorded $project $header] [lists]
        project close
        check "$header gone $gone" $said [list {alu.v alu.v} {BehavioralSimulation Implementation} $listed]
    }

    # With nothing done while it is gone, even its includer read again and found without it, the
    # close writes nothing, the open project answers as a fresh open does, and once the header is
    # back an open and a close write nothing either.
    foreach gone {"at the open" "a folder at the open" "while open" "a folder while open"} {
        project open $project
        set was [list [lists] [orders]]
        project close
        set before [untouched $project]
        if {[string match "*while open" $gone]} { project open $project }
        file rename [at $header] [at $header.away]
        if {[string match "a folder*" $gone]} { file mkdir [at $header] }
        if {[string match "*at the open" $gone]} { project open $project }
        file mtime [at alu.v] [expr {[file mtime [at alu.v]] + 2}]
        set live [list [lists] [orders]]
        project close
        set written [untouched $project]
        project open $project
        set fresh [list [lists] [orders]]
        project close
        file delete [at $header]
        file rename [at $header.away] [at $header]
        project open $project
        set back [list [lists] [orders]]
        project close
        check "$header gone $gone, nothing done" [list [expr {$written eq $before}] $live \
            [expr {[untouched $project] eq $before}] $back] [list 1 $fresh 1 $was]
    }

    file delete {*}[glob -directory $root *]
}

# A header removed while sources include it names every one of them, the simulation sources b.v
# and c.v too, which the view reads only when asked.
set ns http://www.velmor.com/XMLSchema
write [at defs.vh] "`define WIDTH 8"
set entries "<file vel_kv:name=\"defs.vh\" vel_kv:type=\"FILE_TEXT\"/>"
foreach name {a.v b.v c.v} views {{Implementation BehavioralSimulation} BehavioralSimulation BehavioralSimulation} {
    write [at $name] "`include \"defs.vh\"\nmodule [file rootname $name];\nendmodule"
    append entries "<file vel_kv:name=\"$name\" vel_kv:type=\"FILE_VERILOG\">[regsub -all {\S+} $views {<association vel_kv:name="&"/>}]</file>"
}
write [at includers.xhlc] "<project xmlns=\"$ns\" xmlns:vel_kv=\"$ns\"><version vel_kv:hlc_version=\"14.1\"\
    vel_kv:schema_version=\"2\"/><files>$entries</files><properties/></project>"
lassign [piped_session includers "project open [list [at includers.xhlc]]
    velfile remove [list [at defs.vh]]
    project close -nosave"] status said errors
check "removed while sources included it" [string match "*[at defs.vh] stays*since \"[at a.v]\", \"[at b.v]\", \"[at c.v]\" still*" \
    [join [regexp -all -inline {Warning[^\n]*} $errors]]] 1

file delete -force $root
if {$failures == 0} { puts "header views: all passed" }
