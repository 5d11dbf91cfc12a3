`ifndef MEM
  `define MEM slow_mem
`endif
`define SOC_V

module soc (input clk, output q);
  `MEM m (.clk(clk), .q(q));
endmodule
