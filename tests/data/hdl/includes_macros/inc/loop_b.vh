`include "loop_a.vh"
