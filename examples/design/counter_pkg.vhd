-- Shared constants and a helper of the example design.
library ieee;
use ieee.std_logic_1164.all;
use ieee.numeric_std.all;

package counter_pkg is
  constant WIDTH : natural := 8;
  function increment(value : unsigned) return unsigned;
end package;

package body counter_pkg is
  function increment(value : unsigned) return unsigned is
  begin
    return value + 1;
  end function;
end package body;
