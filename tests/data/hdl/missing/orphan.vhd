architecture rtl of nobody is
begin
end architecture;
