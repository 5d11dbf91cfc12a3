use work.pkg_a.all;
entity user is
  port (x : out integer);
end entity;
architecture rtl of user is
begin
  x <= A;
end architecture;
