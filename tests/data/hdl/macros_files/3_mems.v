module fast_mem (input clk, output q);
endmodule

module slow_mem (input clk, output q);
endmodule
