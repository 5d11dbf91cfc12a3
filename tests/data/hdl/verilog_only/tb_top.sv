`timescale 1ns / 1ps
module tb_top;
  logic clk = 0;
  always #5 clk = ~clk;
  top dut (.clk(clk), .d(8'h5a), .q());
  initial begin : stimulus
    #100 $finish;
  end
endmodule
