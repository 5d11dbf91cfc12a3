`ifndef COMMON_VH
`define COMMON_VH
`define UNUSED 1
`endif
