/* Leaf cells. module not_a_cell (); lives in a comment. */
module leaf_cell (input a, output y);
  assign y = ~a;
endmodule

module fast_cell (input a, output y);
  assign y = a;
endmodule

module slow_cell (input a, output reg y);
  always @(*) y = a;
endmodule
