module vmod (input a, output y);
  assign y = a;
endmodule

// One library holds one unit of a name: the VHDL entity of this name, after it in file order, is
// defined again, and compiled before it.
module both (input a, output y);
  assign y = a;
endmodule
