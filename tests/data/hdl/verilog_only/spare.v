module spare_unused (input a);
endmodule
