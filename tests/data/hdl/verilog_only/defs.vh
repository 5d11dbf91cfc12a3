// Shared definitions; the guard keeps a second inclusion harmless.
`ifndef DEFS_VH
`define DEFS_VH
`define DATA_W 8
`define CELL(kind) kind``_cell
`endif
