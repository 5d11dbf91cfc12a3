`include "common.vh"
`define CELL alt_cell
`define WRAP(cell, inst) cell inst (.clk(clk));
