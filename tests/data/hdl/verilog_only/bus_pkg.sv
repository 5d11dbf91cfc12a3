package bus_pkg;
  typedef logic [7:0] byte_t;
  function automatic byte_t swap(byte_t b);
    return {b[3:0], b[7:4]};
  endfunction
endpackage : bus_pkg
