-- The arithmetic unit: operations from the shared types package.
library ieee;
use ieee.std_logic_1164.all;
use work.cpu_types.all;

entity alu is
  port (a, b : in word_t; op : in op_t; y : out word_t);
end entity alu;

architecture rtl of alu is
begin
  y <= a when op = OP_PASS else add(a, b);  -- a comment with entity fake is
end architecture rtl;
