# Sources whose extensions are written in capitals (leaf.VHD, d.SV, e.V) are the same kinds of
# source as their lower-case namesakes: they join the views, take their place in the compile
# order and under the top, as they did before after the project is reopened.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh extensions [pid]"]
file delete -force $root
file mkdir $root
set project [file join $root caps.xhlc]
set top  [file join $root top.vhd]
set leaf [file join $root leaf.VHD]
set d    [file join $root d.SV]
set e    [file join $root e.V]
write $leaf "entity leaf is\n  port (a : in bit; y : out bit);\nend entity;\narchitecture r of leaf is begin\n  y <= not a;\nend architecture;"
write $e "module e (input wire a, output wire y);\n  assign y = a;\nendmodule"
write $d "module d (input logic clk, input logic a, output logic y);\n  logic q;\n  always_ff @(posedge clk) q <= a;\n  e u_e (.a(q), .y(y));\nendmodule"
write $top [join {
    "entity top is"
    "  port (clk, a : in bit; y, z : out bit);"
    "end entity;"
    "architecture r of top is"
    "  component d"
    "    port (clk, a : in bit; y : out bit);"
    "  end component;"
    "begin"
    "  u_leaf : entity work.leaf port map (a => a, y => y);"
    "  u_d : d port map (clk => clk, a => a, y => z);"
    "end architecture;"
} "\n"]

proc road {when} {
    global top leaf d e
    foreach view {VIEW_AbstractSynthesis VIEW_AbstractSimulation} {
        check "$when: $view files" [lsort [velfile list -view $view]] [lsort [list $top $leaf $d $e]]
    }
    set order [project order]
    check "$when: order holds every file" [lsort $order] [lsort [list $top $leaf $d $e]]
    check "$when: leaf before top" [expr {[lsearch $order $leaf] < [lsearch $order $top]}] 1
    check "$when: e before d" [expr {[lsearch $order $e] < [lsearch $order $d]}] 1
    check "$when: d before top" [expr {[lsearch $order $d] < [lsearch $order $top]}] 1
    check "$when: top" [project top] top
}

project open $project
foreach file [list $top $leaf $d $e] { velfile add $file }
check "files" [velfile list] [list $top $leaf $d $e]
road added
project save
project close
project open $project
road reopened
project close
file delete -force $root
if {$failures == 0} { puts "upper-case extensions: all passed" }
