use work.pkg_a.all;
package pkg_b is
  constant B : integer := 2;
end package;
