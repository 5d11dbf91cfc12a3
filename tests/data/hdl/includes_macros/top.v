`include "cfg.vh"
`include "missing.vh"
`include "loop_a.vh"

module inc_top (input clk);
`ifdef USE_ALT
  `CELL u_cell (.clk(clk));
`else
  base_cell u_cell (.clk(clk));
`endif
`ifndef NO_EXTRA
  extra_cell u_extra (.clk(clk));
`endif
  `UNDEFINED_THING(with, args)
  `WRAP(leaf_cell, u_wrapped)
endmodule
