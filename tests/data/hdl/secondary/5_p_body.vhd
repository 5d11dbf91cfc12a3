package body p is
  function inv(b : bit) return bit is
  begin
    return not b;
  end function;
end package body;
