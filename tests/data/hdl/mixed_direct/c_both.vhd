entity both is
  port (a : in bit; y : out bit);
end entity;

architecture rtl of both is
begin
  y <= a;
end architecture;
