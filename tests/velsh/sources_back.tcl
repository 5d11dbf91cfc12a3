# A source off the disk stays the project's: what is saved keeps it in its views, so it is back in
# them and in the order as soon as it is back, while the project is open or at a later open, and a
# close that changed nothing else leaves the project file as it was. A header the sources include
# comes back into the views as well, and a view's list answers what the disk holds now.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh back [pid]"]
file delete -force $root
set prj [file join $root deep a prj]
set src [file join $root deep a src]
file mkdir $prj $src
proc names {paths} { lsort [lmap path $paths {file tail $path}] }
proc order {} { lmap path [project order] {file tail $path} }
proc inview {view} { names [velfile list -view $view] }
set leaf [file join $src leaf.v]
set top [file join $src top.v]
set defs [file join $src defs.vh]
write $defs "`define WIDTH 8"
write $leaf "module leaf; endmodule"
write $top "`include \"defs.vh\"\nmodule top; leaf u(); endmodule"
set xhlc [file join $prj p.xhlc]
project open $xhlc
foreach path [list $leaf $top] { velfile add $path }
check "order" [order] {leaf.v top.v}
project close
set saved [contents $xhlc]

# Gone at an open: out of the order, and the close writes nothing.
file rename $leaf $leaf.away
project open $xhlc
check "gone at the open: order" [order] {top.v}
project close
check "gone at the open: project file as it was" [expr {[contents $xhlc] eq $saved}] 1
file rename $leaf.away $leaf
project open $xhlc
foreach view {VIEW_AbstractSynthesis VIEW_AbstractSimulation} {
    check "back at the next open: $view" [inview $view] {defs.vh leaf.v top.v}
}
check "back at the next open: order" [order] {leaf.v top.v}
project close

# Saved with another change while it is gone.
file rename $leaf $leaf.away
project open $xhlc
project set PROP_ProjectDescription "saved while leaf.v was gone"
project save
project close
file rename $leaf.away $leaf
project open $xhlc
check "saved while gone: back in the order" [order] {leaf.v top.v}
project close

# Opened through a link to its folder at another depth, where the sources are not found.
set link [file join $root link]
file link -symbolic $link $prj
project open [file join $link p.xhlc]
project close
project open $xhlc
check "closed through a link: order" [order] {leaf.v top.v}

# Off the disk and back while the project is open: each view lists what the disk holds now.
file rename $leaf $leaf.away
check "gone while open: synthesis" [inview VIEW_AbstractSynthesis] {defs.vh top.v}
file rename $leaf.away $leaf
check "back while open: synthesis" [inview VIEW_AbstractSynthesis] {defs.vh leaf.v top.v}
# The header, with its includer read again or not while it was gone.
foreach edited {0 1} {
    file rename $defs $defs.away
    if {$edited} {
        after 1100
        write $top "`include \"defs.vh\"\nmodule top; leaf u(); leaf v(); endmodule"
    }
    check "header gone ($edited): order" [order] {leaf.v top.v}
    check "header gone ($edited): synthesis" [inview VIEW_AbstractSynthesis] {leaf.v top.v}
    file rename $defs.away $defs
    foreach view {VIEW_AbstractSynthesis VIEW_AbstractSimulation} {
        check "header back ($edited): $view" [inview $view] {defs.vh leaf.v top.v}
    }
}
project close

# A save-as into the project's own folder while a source is gone copies no source, so nothing
# is missing to it: it writes its two files, which keep the source in its views, and opened once
# the source is back it has it in both views and in the order.
project open $xhlc
file rename $leaf $leaf.away
set listed [lsort [glob -tails -directory $prj *]]
project saveas [file join $prj s.xhlc]
check "own folder while gone: written" [lsort [glob -tails -directory $prj *]] [lsort [concat $listed s.xhlc s.ghlc]]
project close
file rename $leaf.away $leaf
project open [file join $prj s.xhlc]
foreach view {VIEW_AbstractSynthesis VIEW_AbstractSimulation} {
    check "own folder while gone: $view" [inview $view] {defs.vh leaf.v top.v}
}
check "own folder while gone: order" [order] {leaf.v top.v}
project close
# A folder at a source's name, as a branch switch leaves one, is a source off the disk at an open
# or while open: in no view and no order, its entry (a sub-project's too) written as it was, the
# answers a fresh open's, and a copy refused as for a gone source.
set pkg [file join $prj pkg.vhd]
write $pkg "package pkg is end;"
project open [set child [file join $prj c.xhlc]]
project close
project open $xhlc
velfile add $pkg -library vlib
velfile add $child
project close
set saved [contents $xhlc]
proc answers {} { list [order] [inview VIEW_AbstractSynthesis] [inview VIEW_AbstractSimulation] [project top] }
proc folders {paths} { foreach path $paths { file rename $path $path.away; file mkdir $path } }
proc files {paths} { foreach path $paths { file delete $path; file rename $path.away $path } }
folders [list $leaf $pkg $child]
project open $xhlc
check "folder at the open: answers" [answers] {top.v {defs.vh top.v} {defs.vh top.v} top}
fails "folder at the open: no copy" {project saveas [file join $root elsewhere s.xhlc]} \
    "*The source file \"$pkg\" of the project is a folder, not a file.*"
files [list $leaf $pkg $child]
project order
folders [list $leaf $pkg]
set live [answers]
project close
project open $xhlc
check "folder while open: as a fresh open" [list $live [answers]] [lrepeat 2 {top.v {defs.vh top.v} {defs.vh top.v} top}]
project close
files [list $leaf $pkg]
check "folder at the open and while open: project file as it was" [expr {[contents $xhlc] eq $saved}] 1

file delete -force $root
if {$failures == 0} { puts "sources back: all passed" }
