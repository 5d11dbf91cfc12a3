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
# Nothing the user asked for is refused: the configuration is made, and a warning, no error,
# says that the flavor's project has no root partition.
lassign [piped_session flavor [string map [list @STATIC@ [list $static] @DESIGN@ [list $design]] {
    project open @STATIC@
    velfile add [file join @DESIGN@ top.vhd]
    velfile add [file join @DESIGN@ lf.vhd]
    pr flavor create f1 /top/u
    pr configuration create c1
    project close
}]] status said errors
check "configuration made" $status 0
check "no root told as a warning" [regexp {Warning[^\n]*gets no root partition} $errors] 1
check "no error" [string first Error $errors] -1
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

# Copies into a folder named with ESC, and of a project in one, in a shell of their own to hear
# what they say. A copy's working directory is kept from the copy's folder, as the project keeps
# its own; a copy's generated file would name the project's file through the folder, so it is
# refused before anything is written.
set plain [file join $root plain]
set odd [file join $root "e\x1bx"]
file mkdir [file join $plain build] [file join $odd build]
set script [file join $root copies.tcl]
write $script [string map [list @plain@ [list $plain] @odd@ [list $odd]] {
    set plain @plain@
    set odd @odd@
    project open [file join $plain p.xhlc]
    project set PROP_WorkingDirectory build
    project save
    puts "copy [catch {project copy [file join $odd c.xhlc]}]"
    project close
    project open [file join $odd c.xhlc]
    puts "working directory [project get PROP_WorkingDirectory]"
    project set PROP_WorkingDirectory build
    project save
    puts "archive [catch {project archive [file join $plain a.zip]}]"
    puts "saveas [catch {project saveas [file join $plain s.xhlc]} message] $message"
    puts "copy back [catch {project copy [file join $plain c.xhlc]} message] $message"
    project close
}]
set said [exec [info nameofexecutable] $script 2>@1]
check "copy" [regexp -line {^copy 0$} $said] 1
check "working directory refused" [string first PROP_WorkingDirectory $said] -1
check "copy's working directory" [regexp -line {^working directory \.?$} $said] 1
check "archive" [regexp -line {^archive 0$} $said] 1
set archiving [string range $said [string first "working directory" $said] [string first "\narchive" $said]]
check "archive's working directory refused" [string first PROP_WorkingDirectory $archiving] -1
set refused {1 The project file's path from the copy's generated file "../e\x1bx/c.xhlc" is refused: it holds the control character \x1b, which a project file cannot hold.}
check "saveas" [expr {[string first "saveas $refused" $said] >= 0}] 1
check "copy back" [expr {[string first "copy back $refused" $said] >= 0}] 1
check "nothing written" [lsort [glob -nocomplain -tails -directory $plain s.* c.*]] {}

file delete -force $root
if {$failures == 0} { puts "written forms: all passed" }
