library ieee;
use ieee.std_logic_1164.all;

entity tb_cpu is
end entity tb_cpu;

architecture sim of tb_cpu is
  signal clk : std_logic := '0';
begin
  clk <= not clk after 5 ns;
  dut : entity work.cpu port map (clk => clk, result => open);
end architecture sim;
