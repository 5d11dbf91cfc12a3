library ieee;
use ieee.std_logic_1164.all;
use work.cpu_types.all;

entity cpu is
  port (clk : in std_logic; result : out word_t);
end entity cpu;

architecture rtl of cpu is
  component alu is
    port (a, b : in word_t; op : in op_t; y : out word_t);
  end component;
  signal acc, rf_out : word_t;
  signal chain : std_logic_vector(0 to 2) := "010";
begin
  u_alu : alu port map (a => acc, b => rf_out, op => OP_ADD, y => acc);
  u_rf : entity work.regfile(rtl) port map (clk => clk, wd => acc, rd => rf_out);
  g_pipe : for i in 0 to 1 generate
    u_stage : entity work.stage port map (clk => clk, d => chain(i), q => chain(i + 1));
  end generate g_pipe;
  result <= acc when chain(2) = '1' else ZERO;
end architecture rtl;
