entity d is
  port (a : in bit; y : out bit);
end entity;

architecture rtl of d is
begin
  y <= a;
end architecture;
