-- A pipeline stage with two architectures; the later one is the default binding.
library ieee;
use ieee.std_logic_1164.all;

entity stage is
  port (clk : in std_logic; d : in std_logic; q : out std_logic);
end entity;

architecture rtl of stage is
  signal r : std_logic := '0';
begin
  r <= d when rising_edge(clk);
  q <= r;
end architecture;

architecture fast of stage is
begin
  q <= d;
end architecture;
