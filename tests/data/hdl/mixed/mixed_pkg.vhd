package mixed_pkg is
  constant SEL_DEFAULT : bit := '0';
end package;
