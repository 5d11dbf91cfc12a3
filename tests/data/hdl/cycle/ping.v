// Mutual instantiation under generates: a cycle of instances only, which is no error.
module ping #(parameter N = 2) (input a);
  if (N > 0) begin : more
    pong #(.N(N - 1)) u_pong (.a(a));
  end
endmodule
