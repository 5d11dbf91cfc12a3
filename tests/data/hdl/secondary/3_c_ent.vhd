entity c is
  port (a : in bit; y : out bit);
end entity;
