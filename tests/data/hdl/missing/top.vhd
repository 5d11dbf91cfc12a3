library ieee;
use ieee.std_logic_1164.all;
use work.absent_pkg.all;

entity top is
  port (a : in bit);
end entity;

architecture rtl of top is
  component phantom port (a : in bit); end component;
begin
  u1 : entity work.ghost port map (a => a);
  u2 : phantom port map (a => a);
  u3 : entity work.present(nosuch) port map (a => a);
  u4 : entity vendorlib.vendor_cell port map (a => a);
end architecture;
