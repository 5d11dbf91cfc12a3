module alt_cell (input clk);
endmodule
module base_cell (input clk);
endmodule
module extra_cell (input clk);
endmodule
module leaf_cell (input clk);
endmodule
