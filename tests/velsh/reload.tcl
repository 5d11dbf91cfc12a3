# Another program changes the saved project file's device; the next save, answered "reload",
# reads it in. The project then answers as a fresh open of that file does: its views with their
# files, order, top and hierarchy, and a close that writes them all, so that a reopen finds them
# again. Whether the device read in is another part or the suite's default one makes no difference.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh reload [pid]"]
file delete -force $root
file mkdir $root
proc source_of {name} { return [file join $::root $name] }
write [source_of pkg.vhd] "package pkg is\n  constant w : integer := 4;\nend package;"
write [source_of leaf.vhd] "use work.pkg.all;\nentity leaf is end;\narchitecture a of leaf is begin end;"
write [source_of blink.v] "module blink; endmodule"
write [source_of top.vhd] "library mylib;\nentity top is end;\narchitecture a of top is\n  component blink end component;\nbegin\n  u: entity mylib.leaf;\n  b: blink;\nend;"
set project [file join $root reload.xhlc]
proc bytes {path} {
    set channel [open $path rb]
    set text [read $channel]
    close $channel
    return $text
}
# An answer, or the error that came instead, so that every check after a failed one still runs.
proc answer {script} {
    if {[catch {uplevel 1 $script} result]} { return "error: $result" }
    return $result
}
# What the project answers of its design: each view's files, order and top, and the hierarchy.
proc answers {} {
    set all [list [answer {project hierarchy}]]
    foreach view {VIEW_AbstractSynthesis VIEW_AbstractSimulation} {
        lappend all $view [answer {lsort [velfile list -view $view]}] [answer {project order -view $view}] \
            [answer {project top -view $view}]
    }
    return $all
}
proc associations {} { return [regexp -all {<association } [bytes $::project]] }
# Another program writes the device's four settings into the saved file, as another session would.
proc retarget {family device package speed} {
    set text [bytes $::project]
    foreach {label value} [list {Device Family} $family Device $device Package $package {Speed Grade} $speed] {
        regsub "(vel_kv:name=\"$label\" vel_kv:value=\")\[^\"\]*\"" $text "\\1$value\"" text
    }
    set channel [open $::project wb]
    puts -nonewline $channel $text
    close $channel
}

project open $project
velfile add [source_of pkg.vhd] -library mylib
velfile add [source_of leaf.vhd] -library mylib
velfile add [source_of blink.v]
velfile add [source_of top.vhd]
project set {Device Family} Orvanta
project set Device OV250
project save
set order [project order]
set wanted [answers]
check "top before" [project top] top
set written [associations]
check "every file written for both views" $written 8

foreach {what family device package speed} {
    "another part" Orvanta OV100 cs196 -4
    "the default part" {Lumora II} LM2-45 fg484 -2
} {
    retarget $family $device $package $speed
    lappend ::velmor::Hvd::answers reload
    project save
    check "$what read in" [project get Device] $device
    check "$what: order after the reload" [answer {project order}] $order
    check "$what: top after the reload" [answer {project top}] top
    check "$what: views after the reload" [answers] $wanted
    check "$what: close after the reload" [answer {project close}] ""
    check "$what: associations written by the close" [associations] $written

    project open $project
    check "$what kept" [project get Device] $device
    check "$what: order after a reopen" [answer {project order}] $order
    check "$what: views after a reopen" [answers] $wanted
}
project close

file delete -force $root
if {$failures == 0} { puts "reload: all passed" }
