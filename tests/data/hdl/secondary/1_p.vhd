package p is
  function inv(b : bit) return bit;
end package;
