module pong #(parameter N = 2) (input a);
  if (N > 0) begin : more
    ping #(.N(N - 1)) u_ping (.a(a));
  end
endmodule
