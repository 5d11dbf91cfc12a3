# Characters past U+FFFF, which Tcl holds as pairs of surrogates, reach the library as UTF-8
# and come back as typed: a description, the name of a source file on disk and a library's
# name, in the open project, in the project file's bytes and after a reopen.
source [file join [file dirname [info script]] checks.tcl]

# The script's own file commands name files in UTF-8 too, whatever the locale.
encoding system utf-8
set smile [encoding convertfrom utf-8 "\xF0\x9F\x98\x80"]
set root [file join [pwd] "velsh wide characters [pid]"]
file delete -force $root
set dir [file join $root proj]
file mkdir $dir
set source [file join $dir "c$smile.vhd"]
write $source "entity c is end;"
set project [file join $dir p.xhlc]
set description "d$smile \[x\]"
set library "l$smile"

proc libraries {} { lmap record [project hierarchy -format QlbPrjSourceList] {lindex $record 1} }
proc utf8 {text} { encoding convertto utf-8 $text }
proc holds {path text} { expr {[string first [utf8 $text] [contents $path]] >= 0} }

project open $project
project set PROP_ProjectDescription $description
check "description as typed" [project get PROP_ProjectDescription] $description
check "file taken" [catch {velfile add $source -library $library} message] 0
check "file as typed" [velfile list] [list $source]
check "library as typed" [libraries] [list $library]
fails "the file named in a message as typed" {velfile add $source} "velfile add: $source is already in the project"
project close

check "description's bytes" [holds $project $description] 1
check "file name's bytes" [holds $project "c$smile.vhd"] 1
check "library's bytes" [holds $project $library] 1
check "nothing replaced" [string first [utf8 \uFFFD] [contents $project]] -1

project open $project
check "description after a reopen" [project get PROP_ProjectDescription] $description
check "file after a reopen" [velfile list] [list $source]
check "library after a reopen" [libraries] [list $library]
project close

file delete -force $root
if {$failures == 0} { puts "wide characters: all passed" } else { exit 1 }
