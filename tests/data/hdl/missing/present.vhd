entity present is
  port (a : in bit);
end entity;
architecture rtl of present is
begin
end architecture;
