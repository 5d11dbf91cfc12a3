use work.p.all;

architecture rtl of c is
begin
  y <= inv(a);
end architecture;
