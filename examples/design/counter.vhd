-- A counter that counts while enabled.
library ieee;
use ieee.std_logic_1164.all;
use ieee.numeric_std.all;
use work.counter_pkg.all;

entity counter is
  port (clk, rst, enable : in std_logic;
        count : out unsigned(WIDTH - 1 downto 0));
end entity;

architecture rtl of counter is
  signal value : unsigned(WIDTH - 1 downto 0) := (others => '0');
begin
  process (clk)
  begin
    if rising_edge(clk) then
      if rst = '1' then
        value <= (others => '0');
      elsif enable = '1' then
        value <= increment(value);
      end if;
    end if;
  end process;
  count <= value;
end architecture;
