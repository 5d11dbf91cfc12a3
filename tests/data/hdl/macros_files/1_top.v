// Listed first: the files after it see its macros, and it sees none of theirs.
`ifdef SOC_V
  `error "soc.v is compiled before top.v"
`endif
`define MEM fast_mem

module top (input clk, output q);
  soc u_soc (.clk(clk), .q(q));
endmodule
