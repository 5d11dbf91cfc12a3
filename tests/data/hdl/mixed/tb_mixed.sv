module tb_mixed;
  bit a, b, y;
  ctrl dut (.a(a), .b(b), .y(y));
endmodule
