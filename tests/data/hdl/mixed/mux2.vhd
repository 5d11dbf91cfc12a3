-- A VHDL mux instantiated from Verilog as "Mux2".
use work.mixed_pkg.all;

entity mux2 is
  port (a, b, s : in bit; y : out bit);
end entity;

architecture rtl of mux2 is
begin
  y <= b when s = '1' else a;
end architecture;
