-- Drives the top with a clock and one long button press.
library ieee;
use ieee.std_logic_1164.all;
use ieee.numeric_std.all;
use work.counter_pkg.all;

entity tb_top is
end entity;

architecture sim of tb_top is
  signal clk, rst, button : std_logic := '0';
  signal count : unsigned(WIDTH - 1 downto 0);
begin
  clk <= not clk after 5 ns;
  rst <= '1', '0' after 20 ns;
  button <= '1' after 40 ns, '0' after 400 ns;
  dut : entity work.top port map (clk => clk, rst => rst, button => button, count => count);
end architecture;
