library ieee;
use ieee.std_logic_1164.all;
use work.cpu_types.all;

entity regfile is
  port (clk : in std_logic; wd : in word_t; rd : out word_t);
end regfile;

architecture rtl of regfile is
  type mem_t is array (0 to 3) of word_t;
  signal mem : mem_t := (others => ZERO);
begin
  process (clk) is
  begin
    if rising_edge(clk) then
      mem(0) <= wd;
    end if;
  end process;
  rd <= mem(mem'high);
end rtl;
