# A value is held to what the project's files write of it, where it comes in. A file outside the
# project's folder is written by its path from the folder, so an ESC in a folder the two share
# does not keep it out. A unit named with ESC gives a flavor no root partition its partitions
# file could not read back. A project file that says it is XML 1.1 and gives a control character
# by a character reference fails its open, and is not written again without the value.
source [file join [file dirname [info script]] checks.tcl]
proc passes {what script} {
    if {[catch {uplevel 1 $script} message]} { check $what $message "" }
}

set root [file join [pwd] "velsh written forms [pid]"]
file delete -force $root
set shared [file join $root "a\x1bb"]
set dir [file join $shared proj]
file mkdir $dir [file join $shared other]
set outside [file join $shared other x.vhd]
write $outside "entity x is end;"
set project [file join $dir p.xhlc]
project open $project
passes "add outside" {velfile add $outside}
project close
check "written from the folder" [regexp {name="\.\./other/x\.vhd"} [contents $project]] 1
project open $project
check "read back" [velfile list] [list $outside]
project close

# A flavor of the module whose unit is \l<ESC>f\.
set design [file join $root design]
file mkdir $design
write [file join $design lf.vhd] "entity \\l\x1bf\\ is end;\narchitecture a of \\l\x1bf\\ is begin end;"
write [file join $design top.vhd] "entity top is end;\narchitecture rtl of top is begin u : entity work.\\l\x1bf\\; end;"
set static [file join $root static.xhlc]
project open $static
velfile add [file join $design top.vhd]
velfile add [file join $design lf.vhd]
pr flavor create f1 /top/u
pr configuration create c1
project close
set partitions [file join $root f1 f1.hdp]
check "no root the file cannot hold" \
    [expr {![file exists $partitions] || [string first \x1b [contents $partitions]] < 0}] 1

# XML 1.1 with character references, in a value and in a library's name.
set eleven [file join $root eleven]
file mkdir $eleven
set file [file join $eleven t.vhd]
write $file "entity t is end;"
set project [file join $eleven p.xhlc]
project open $project
velfile add $file -library mylib
project set PROP_ProjectDescription ours
project close
set text [string map [list {version="1.0"} {version="1.1"} {"ours"} {"o&#x1B;urs"} {"mylib"} {"my&#x1;lib"}] \
              [contents $project]]
set channel [open $project wb]
puts -nonewline $channel $text
close $channel
fails "open" {project open $project} \
    "the value \"my\\\\x01lib\" holds the control character \\\\x01, which a project file cannot hold on line *, column *while parsing file $project"
catch {project close -nosave}
check "left as it was" [contents $project] $text

file delete -force $root
if {$failures == 0} { puts "written forms: all passed" }
