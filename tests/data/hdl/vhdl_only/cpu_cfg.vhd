configuration cpu_cfg of cpu is
  for rtl
    for u_alu : alu
      use entity work.alu(rtl);
    end for;
  end for;
end configuration cpu_cfg;
