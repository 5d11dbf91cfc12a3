-- VHDL control that binds its component to the Verilog shifter.
entity ctrl is
  port (a, b : in bit; y : out bit);
end entity;

architecture rtl of ctrl is
  component SHIFTER
    port (a, b, s : in bit; y : out bit);
  end component;
begin
  u_shift : SHIFTER port map (a => a, b => b, s => '1', y => y);
end architecture;
