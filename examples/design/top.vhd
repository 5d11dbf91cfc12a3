-- The example's top: a debounced button enables the counter.
library ieee;
use ieee.std_logic_1164.all;
use ieee.numeric_std.all;
use work.counter_pkg.all;

entity top is
  port (clk, rst, button : in std_logic;
        count : out unsigned(WIDTH - 1 downto 0));
end entity;

architecture rtl of top is
  component debounce
    port (clk, button : in std_logic; steady : out std_logic);
  end component;
  signal enable : std_logic;
begin
  u_debounce : debounce port map (clk => clk, button => button, steady => enable);
  u_counter : entity work.counter port map (clk => clk, rst => rst, enable => enable, count => count);
end architecture;
