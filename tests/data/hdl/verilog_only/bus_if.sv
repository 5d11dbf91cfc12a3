interface bus_if;
  logic valid;
  logic [7:0] data;
  modport master (output valid, output data, import task ping());
  task ping(); endtask
endinterface
