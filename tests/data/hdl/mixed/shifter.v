// A Verilog shifter that uses the VHDL mux; VHDL names match in any case.
module shifter (input a, input b, input s, output y);
  Mux2 u_mux (.a(a), .b(b), .s(s), .y(y));
endmodule
