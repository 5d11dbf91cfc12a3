import bus_pkg::*;

module top #(parameter LANES = 2) (input logic clk, input byte_t d, output logic [1:0] q);
  string banner = "module fake_in_string; endmodule";
  byte_t swapped;
  assign swapped = bus_pkg::swap(d);
  bus_if u_bus ();
  mid #(.W(8)) u_mid0 (.clk(clk), .d(d), .y()), u_mid1 (.clk(clk), .d(swapped), .y(q));
  genvar i;
  generate
    for (i = 0; i < LANES; i = i + 1) begin : lanes
      mid u_lane (.clk(clk), .d(d), .y());
    end
  endgenerate
  function automatic byte_t twice(byte_t b);
    mid not_an_instance (b);
    return b;
  endfunction
endmodule
