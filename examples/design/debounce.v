// Passes the button on once it has been steady for four clocks.
module debounce (input clk, input button, output reg steady);
  reg [3:0] history = 4'b0;
  always @(posedge clk) begin
    history <= {history[2:0], button};
    if (history == 4'b1111) steady <= 1'b1;
    else if (history == 4'b0000) steady <= 1'b0;
  end
endmodule
