-- Direct instances of Verilog modules: VHDL names are compared without regard to case.
entity top is
  port (a : in bit; y : out bit);
end entity;

architecture rtl of top is
  signal t : bit;
begin
  u1 : entity work.VMod port map (a => a, y => t);
  u2 : entity work.both port map (a => t, y => y);
end architecture;
