-- A small generated-style core: a free-running divider that toggles its output.
library ieee;
use ieee.std_logic_1164.all;
use ieee.numeric_std.all;

entity blinker is
  generic (WIDTH : positive := 4);
  port (
    clk : in  std_logic;
    led : out std_logic
  );
end entity blinker;

architecture rtl of blinker is
  signal count : unsigned(WIDTH - 1 downto 0) := (others => '0');
begin
  process (clk)
  begin
    if rising_edge(clk) then
      count <= count + 1;
    end if;
  end process;
  led <= count(count'high);
end architecture rtl;
