# A flavor's project gets what its module's file needs to compile: the package it uses, with
# the package's body, each in the library it has in the static project, which keeps them too.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh flavor files [pid]"]
file delete -force $root
set dir [file join $root design]
file mkdir $dir
write [file join $dir count_pkg.vhd] "package count_pkg is
  constant WIDTH : positive := 4;
  function next_value(v : natural) return natural;
end package;"
write [file join $dir count_body.vhd] "package body count_pkg is
  function next_value(v : natural) return natural is begin return v + 1; end function;
end package body;"
write [file join $dir counter.vhd] "library ieee;
use ieee.std_logic_1164.all;
use work.count_pkg.all;
entity counter is
  port (clk : in std_logic; value : out natural);
end entity;
architecture rtl of counter is
begin
  process (clk) begin
    if rising_edge(clk) then value <= next_value(WIDTH); end if;
  end process;
end architecture;"
write [file join $dir top.vhd] "library ieee;
use ieee.std_logic_1164.all;
library mylib;
entity top is
  port (clk : in std_logic; value : out natural);
end entity;
architecture rtl of top is
begin
  u_counter : entity mylib.counter port map (clk => clk, value => value);
end architecture;"

proc tails {paths} { lmap path $paths {file tail $path} }
# The library of each file in the view's compile order, by file name.
proc libraries {} {
    lmap record [project hierarchy -format QlbPrjSourceList] {
        list [file tail [lindex $record 2]] [lindex $record 1]
    }
}

project open [file join $root static.xhlc]
# The module's file comes before the package in the project, so only the compile order puts the
# package first.
velfile add [file join $dir top.vhd]
foreach name {counter.vhd count_body.vhd count_pkg.vhd} {
    velfile add [file join $dir $name] -library mylib
}
set flavor [pr flavor create fast /top/u_counter]
foreach name {top.vhd counter.vhd count_body.vhd count_pkg.vhd} {
    check "static keeps $name" [expr {$name in [tails [velfile list]]}] 1
}
project close

project open [file rootname $flavor].xhlc
check "flavor files" [lsort [tails [velfile list]]] [lsort {counter.vhd count_pkg.vhd count_body.vhd}]
check "flavor compile order" [tails [project order]] {count_pkg.vhd count_body.vhd counter.vhd}
check "flavor libraries" [libraries] {{count_pkg.vhd mylib} {count_body.vhd mylib} {counter.vhd mylib}}
project close

file delete -force $root
if {$failures == 0} { puts "flavor project files: all passed" }
