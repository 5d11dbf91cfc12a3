# A file added into a library that refuses its type: an error, and the project stays as it was,
# without the file and without a library made for it; the unchanged project saves unchanged,
# also once opened again.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh library [pid]"]
file delete -force $root
set dir [file join $root {lib $dir [x]}]
file mkdir $dir
set pkg [file join $dir pkg.vhd]
set top [file join $dir {top [1].vhd}]
set ver [file join $dir {m $1.v}]
write $pkg "package pkg is\n  constant w : integer := 4;\nend package;"
write $top "entity top is end;\narchitecture r of top is begin end;"
write $ver "module m; endmodule"
set project [file join $dir p.xhlc]
proc text {path} { set f [open $path]; set t [read $f]; close $f; return $t }

project open $project
velfile add $top
velfile add $pkg -library vlib
project save
set saved [text $project]
check "library written" [string match {*vlib*} $saved] 1

fails "refused" {velfile add $ver -library vlib} "*File type for file <*m \$1.v> is not valid for library <vlib>*"
check "not added" [velfile list] [list $top $pkg]
fails "refused by a new library" {velfile add $ver -library {new [lib]}} {*is not valid for library <new \[lib\]>*}
check "still not added" [velfile list] [list $top $pkg]
velfile add $ver
check "added without a library" [velfile list] [list $top $pkg $ver]
velfile remove $ver
project save
check "saved unchanged" [text $project] $saved
check "no library made" [string match {*new \[lib\]*} [text $project]] 0
project close

project open $project
check "files again" [velfile list] [list $top $pkg]
project save
project close
check "saved unchanged again" [text $project] $saved

# "work" takes a Verilog file as it takes a VHDL one: naming it is the same as naming no
# library, and the file is saved the same either way, without the library's name.
project open $project
velfile add $ver
project save
set plain [text $project]
velfile remove $ver
check "into work" [catch {velfile add $ver -library work} message] 0
check "into work, nothing said" $message ""
check "added into work" [velfile list] [list $top $pkg $ver]
project save
check "saved as a plain add" [text $project] $plain
check "work not written" [string match {*"work"*} $plain] 0
project close

file delete -force $root
if {$failures} { exit 1 }
puts "libraries: all passed"
