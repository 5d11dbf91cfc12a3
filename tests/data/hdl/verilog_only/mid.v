`include "defs.vh"
`include "defs.vh"

module mid #(parameter W = `DATA_W) (input clk, input [W-1:0] d, output [1:0] y);
  wire [1:0] t;
  leaf_cell u_leaf [1:0] (.a(d[1:0]), .y(t));
`ifdef FAST
  `CELL(fast) u_fast (.a(t[0]), .y(y[0]));
`else
  `CELL(slow) u_slow (.a(t[0]), .y(y[0]));
`endif
  assign y[1] = t[1];
endmodule
