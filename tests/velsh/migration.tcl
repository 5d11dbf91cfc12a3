# An older project opens as the .xhlc beside it with its files, libraries, view classes,
# device and synthesis top, after a backup; opening it again finds the converted project. The
# folder and the project's name are ones that Tcl would read as code.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh migration [pid]"]
file delete -force $root
set dir [file join $root {old $dir [x]}]
file mkdir $dir
set top [file join $dir top.vhd]
set pkg [file join $dir pkg.vhd]
set tb  [file join $dir tb.vhd]
set gen [file join $dir gen.vhd]
write $pkg "package pkg is\n  constant w : integer := 4;\nend package;"
write $top "use work.pkg.all;\nentity top is end;\narchitecture r of top is begin end;"
write $tb  "entity tb is end;\narchitecture r of tb is begin\n  u: entity work.top;\nend;"
write $gen "entity gen is end;"
set name "x\} \[set ::hacked 1\] \{"
set old [file join $dir $name.hlc]
set new [file join $dir $name.xhlc]
exec $::env(OLD_PROJECT_WRITER) $old \
    -f $top {} 0 9 -f $pkg mylib 0 1 -f $tb {} 0 8 -f $gen work 1 1 \
    -p PROP_SynthTop top -p PROP_DevSpeed -5 -p PROP_DevPackage ft256 -p PROP_DevDevice OV250 \
    -p PROP_DevFamily Orvanta
set before [file size $old]

project open $old
check "no code run" [info exists ::hacked] 0
check "converted" [file exists $new] 1
set backups [glob -nocomplain -directory $dir *.pre_*_migration]
check "backup" [llength $backups] 1
check "backup size" [file size [lindex $backups 0]] $before
check "files" [velfile list] [list $top $pkg $tb]
check "synthesis view" [lsort [velfile list -view VIEW_AbstractSynthesis]] [lsort [list $top $pkg]]
check "device" [list [project get PROP_DevFamily] [project get PROP_DevDevice] [project get PROP_DevPackage]] \
    {Orvanta OV250 ft256}
check "synthesis top" [project get PROP_SynthTop] top
check "top" [project top] top
project close
set f [open $new]; set text [read $f]; close $f
check "library kept" [string match {*mylib*} $text] 1

# Again: the converted project, nothing twice, no second backup.
project open $old
check "files again" [velfile list] [list $top $pkg $tb]
check "device again" [project get PROP_DevFamily] Orvanta
check "one backup" [llength [glob -nocomplain -directory $dir *.pre_*_migration]] 1
project close

file delete -force $root
if {$failures} { exit 1 }
puts "migration: all passed"
