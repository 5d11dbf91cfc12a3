# The project commands on a project whose folder and files have names that Tcl would read as
# code or several words: each reaches the library as one word, and each answer is a proper list.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh project [pid]"]
file delete -force $root
set dir [file join $root {odd $dir [x] {y}}]
file mkdir $dir
set top  [file join $dir {top $name [1].vhd}]
set leaf [file join $dir "leaf {b}.vhd"]
set pkg  [file join $dir {p;kg $x.vhd}]
write $pkg  "package pkg is\n  constant w : integer := 4;\nend package;"
write $leaf "use work.pkg.all;\nentity leaf is end;\narchitecture r of leaf is begin end;"
write $top  "entity top is end;\narchitecture r of top is begin\n  u: entity work.leaf;\nend;"
set project [file join $dir {my [proj] $x.xhlc}]

fails "no project" {project order} "no project is open"
write [file join $dir {notes $1.txt}] text
fails "unknown kind" {project open [file join $dir {notes $1.txt}]} "*Unknown input project type*notes \$1.txt*"
project open $project
check "created" [file exists $project] 1
fails "twice" {project open $project} "a project is open already*"
velfile add $top
velfile add $leaf
velfile add $pkg -library {lib $1}
check "files" [velfile list] [list $top $leaf $pkg]
check "library made" [llength [velfile list]] 3
velfile remove $pkg
velfile add $pkg
fails "remove missing" {velfile remove [file join $dir "gone [x].vhd"]} "*"
project set "Device Family" Orvanta
check "device by label" [project get PROP_DevFamily] Orvanta
fails "family not offered" {project set PROP_DevFamily Nonsense} "*\"Nonsense\" is not an allowed value of PROP_DevFamily*"
check "family kept" [project get PROP_DevFamily] Orvanta
check "view files" [lsort [velfile list -view VIEW_AbstractSynthesis]] [lsort [list $top $leaf $pkg]]
set order [project order]
check "order" $order [list $pkg $leaf $top]
check "top" [project top] top
fails "no view" {project order -view {no [such] view}} "no view*"
# A view's setting is named by its key or by its property name.
project set -view VIEW_AbstractSynthesis PROP_VHDLSOURCEANALYSISSTANDARD 2008
check "view setting by key" [project get -view VIEW_AbstractSynthesis VHDLSOURCEANALYSISSTANDARD] 2008
project set -view VIEW_AbstractSynthesis VHDLSOURCEANALYSISSTANDARD ""
check "view setting by name" [project get -view VIEW_AbstractSynthesis PROP_VHDLSOURCEANALYSISSTANDARD] ""
# A VHDL standard the parser cannot read is refused, naming those it reads; a short one is read.
fails "standard not read" {project set -view VIEW_AbstractSimulation VHDLSOURCEANALYSISSTANDARD vhdl2008} \
    {"vhdl2008" is not an allowed value of VHDLSOURCEANALYSISSTANDARD. Allowed values: "", 87, 93, 2002, 2008, 2019, 1987, 1993, 02, 08, 19.}
project set -view VIEW_AbstractSimulation VHDLSOURCEANALYSISSTANDARD 08
check "short standard taken" [project get -view VIEW_AbstractSimulation VHDLSOURCEANALYSISSTANDARD] 08
fails "no view setting" {project get -view VIEW_AbstractSynthesis PROP_NOPE} {no property "PROP_NOPE"}
project set {PROP_AutoCompileOrderImp} false
project save
project close
fails "closed" {velfile list} "no project is open"

project open $project
check "files again" [velfile list] [list $top $leaf $pkg]
check "order again" [project order] $order
check "top again" [project top] top
check "property again" [project get PROP_AutoCompileOrderImp] false
check "device again" [project get "Device Family"] Orvanta
project close

# A project file that does not parse: an error, and nothing written over it.
set broken [file join $dir {broken $[x].xhlc}]
write $broken "not xml {at} \[all\]"
fails "broken" {project open $broken} "*while parsing file*"
project save
project close
set f [open $broken]; set text [read $f]; close $f
check "broken kept" $text "not xml {at} \[all\]\n"

# A save that cannot write answers an error, and so does the close that saves; a project file
# that leads nowhere is not opened at all. A folder at its name is a change on disk: the save
# asks first, and "no" writes over it.
set lost [file join $dir {lost $[x].xhlc}]
project open $lost
file delete $lost
file mkdir $lost
fails "save into a folder, unanswered" {project save} "*changed on disk*got no answer*"
lappend ::velmor::Hvd::answers no
fails "save into a folder" {project save} "*could not be written*"
fails "close into a folder" {project close} "*could not be written*"
# A close whose save failed keeps the project open, so what it holds is not dropped unsaved.
fails "still open after the failed close" {project save} "*could not be written*"
file delete $lost
project close
check "written by the close once it could be" [file isfile $lost] 1
fails "closed after all" {project save} "no project is open"
set loop [file join $dir {loop [a].xhlc}]
set back [file join $dir {loop [b].xhlc}]
# Tcl links only to what exists.
exec ln -s $back $loop
exec ln -s $loop $back
fails "link loop" {project open $loop} "*can never be written*"
fails "link loop not open" {project save} "no project is open"

file delete -force $root
if {$failures} { exit 1 }
puts "project commands: all passed"
