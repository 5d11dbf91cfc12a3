module vmod (input a, output y);
  assign y = a;
endmodule

// A VHDL entity of the same name is preferred.
module both (input a, output y);
  assign y = a;
endmodule
