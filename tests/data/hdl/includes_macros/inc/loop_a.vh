`include "loop_b.vh"
