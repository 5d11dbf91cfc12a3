-- Types and helpers shared by the processor's units.
library ieee;
use ieee.std_logic_1164.all;
use ieee.numeric_std.all;

package cpu_types is
  subtype word_t is std_logic_vector(7 downto 0);
  type op_t is (OP_PASS, OP_ADD);
  constant ZERO : word_t := (others => '0');
  function add(a, b : word_t) return word_t;
end package cpu_types;

package body cpu_types is
  function add(a, b : word_t) return word_t is
  begin
    return std_logic_vector(unsigned(a) + unsigned(b));
  end function add;
end package body cpu_types;
