// Several roots with children, as real designs have them: the core beside its bus wrapper, a
// synthesis wrapper beside the SoC. The deepest hierarchy is the top a synthesis tool picks.
module core(input a, output y);
  assign y = a;
endmodule

module core_wrap(input a, output y);
  core u_core(.a(a), .y(y));
endmodule

module bus(input a, output y);
  core u_core(.a(a), .y(y));
endmodule

module soc(input a, output y);
  bus u_bus(.a(a), .y(y));
endmodule

// As deep as core_wrap but larger.
module pair(input a, output [1:0] y);
  core u0(.a(a), .y(y[0]));
  core u1(.a(a), .y(y[1]));
endmodule

// As deep and as large as core_wrap, defined later.
module shell(input a, output y);
  core u_core(.a(a), .y(y));
endmodule

module solo(input a, output y);
  assign y = ~a;
endmodule
