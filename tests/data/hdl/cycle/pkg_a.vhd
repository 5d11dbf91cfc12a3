use work.pkg_b.all;
package pkg_a is
  constant A : integer := 1;
end package;
