use work.p.all;

entity u is
  port (a : in bit; y : out bit);
end entity;

architecture rtl of u is
  component c is
    port (a : in bit; y : out bit);
  end component;
  signal t : bit;
begin
  i_c : c port map (a => a, y => t);
  i_d : entity work.d port map (a => t, y => y);
end architecture;
