// The VHDL scanner: units, their ends and needs, the lexical traps that would make it lose track
// (comments, strings, character literals against ticks, extended names), and damaged text.

#include "hdl/HdlSupport.h"

namespace {

using namespace hdl_test;

constexpr Language kVhdl = Language::kVhdl;
constexpr VhdlStandard k2008 = VhdlStandard::k2008;

TEST(VhdlScan, FindsUnitsAndWhatTheyNeed) {
  const Case cases[] = {
      {"context clauses belong to the next unit only, keywords in any case", kVhdl,
       "LIBRARY ieee, mylib; Use ieee.std_logic_1164.all, mylib.util.ALL;\n"
       "ENTITY A IS PORT (x : IN std_logic); END ENTITY A;\nArchitecture Rtl Of A Is Begin End Rtl;\n"
       "entity b is generic (n : integer := 1); end;",
       "entity A ports: use ieee.std_logic_1164, use mylib.util\narchitecture Rtl of A\nentity b"},
      {"instances of every form, under generate and block labels", kVhdl,
       "architecture rtl of top is\n  component leaf port (a : in bit); end component;\nbegin\n"
       "  u1 : leaf port map (a => s);\n  u2 : component leaf generic map (1) port map (s);\n"
       "  u3 : entity work.leaf2(beh) port map (a => s);\n  u4 : configuration lib.cfg port map (s);\n"
       "  g : for i in 0 to 3 generate\n    b : block begin u5 : leaf port map (s); end block b;\n"
       "  end generate g;\n  c : if true generate u6 : entity leaf3; end generate;\n"
       "  p : process begin wait; end process;\n  lbl : s <= t;\nend architecture;",
       "architecture rtl of top: inst leaf@u1, inst leaf@u2, entity work.leaf2(beh)@u3, config lib.cfg@u4, "
       "inst leaf@g/b/u5, entity leaf3@c/u6"},
      {"nesting that ends with end",
       kVhdl,
       "package body p is\n  type rec is record a : integer; end record;\n"
       "  type dist is range 0 to 1000 units mm; m = 1000 mm; end units;\n"
       "  type prot is protected procedure inc; end protected;\n"
       "  type prot is protected body procedure inc is begin end procedure; end protected body;\n"
       "  function f(a : integer; b : integer) return integer;\n"
       "  function f(a : integer; b : integer) return integer is\n    variable v : integer;\n  begin\n"
       "    for i in 0 to 3 loop while v < 3 loop v := v + 1; end loop; end loop;\n"
       "    case a is when 1 => return 1; when others => null; end case;\n"
       "    if a = 1 then return 2; elsif a = 2 then return 3; else return 4; end if;\n  end;\n"
       "  function g is new work.gf generic map (t => integer);\nend package body;\nentity after_it is end;",
       "body p: use work.gf\nentity after_it",
       {},
       {},
       k2008},
      {"keywords in comments and strings stay text", kVhdl,
       "-- entity fake is end;\nentity real is\n  constant s : string := \"end entity; entity x is\";\n"
       "  constant t : string := \"he said \"\"end\"\"\";\nend entity;",
       "entity real"},
      {"block comments are VHDL-2008's",
       kVhdl,
       "/* entity z is end; */ entity real is end;",
       "entity real",
       {},
       {},
       k2008},
      {"before 2008 a slash and a star are operators", kVhdl, "/* entity z is end; */ entity real is end;",
       "entity z\nentity real"},
      {"character literals against attribute ticks", kVhdl,
       "architecture a of e is\nbegin\n"
       "  s <= '(' ; t <= v'length; u <= std_logic'('1'); w <= ''' ; x <= a(1)'left;\n"
       "  r <= (others => ')') when c = ';' else (others => '0');\n  u1 : leaf port map (a => ')');\nend;",
       "architecture a of e: inst leaf@u1"},
      {"extended names keep case and may look like keywords", kVhdl,
       "entity \\My End\\ is port (\\in\\ : in bit); end entity;\n"
       "architecture \\end\\ of \\My End\\ is begin u : \\Leaf\\ port map (x); end;",
       "entity \\My End\\ ports\narchitecture \\end\\ of \\My End\\: inst \\Leaf\\@u"},
      {"contexts and package instances of VHDL-2008",
       kVhdl,
       "context ctx is library ieee; use ieee.std_logic_1164.all; end context ctx;\n"
       "package p8 is new work.generic_pkg generic map (w => 8);\ncontext work.ctx; entity e is end;",
       "context ctx: use ieee.std_logic_1164\npackage p8: use work.generic_pkg\nentity e: context work.ctx",
       {},
       {},
       k2008},
      {"before 2008 context is a name", kVhdl, "entity e is port (context : in bit); end;", "entity e ports"},
      {"selected names of libraries in expressions", kVhdl,
       "library ieee; use ieee.std_logic_1164.all;\narchitecture a of e is begin\n"
       "  x <= work.consts.C + ieee.numeric_std.to_unsigned(1, 2) + rec.field + work.consts.D;\nend;",
       "architecture a of e: use ieee.std_logic_1164, use work.consts, use ieee.numeric_std"},
      {"an architecture or a body reads selected names of the libraries its entity or package names", kVhdl,
       "library liba;\nentity e is end;\narchitecture a of e is begin x <= liba.pk.w; end;\n"
       "library libb;\npackage p is end;\npackage body p is constant c : integer := libb.q.c; end;\n"
       "entity f is end;\narchitecture a of f is begin y <= liba.pk.w + libb.q.c; end;",
       "entity e\narchitecture a of e: use liba.pk\npackage p\nbody p: use libb.q\nentity f\narchitecture a of f"},
      {"configurations name their architecture and bindings", kVhdl,
       "configuration cfg of top is\n  for rtl\n    for u1 : leaf use entity work.leaf(fast); end for;\n"
       "    for all : other use configuration work.other_cfg; end for;\n"
       "    for g(0) for u2 : leaf use open; end for; end for;\n  end for;\nend configuration;\n"
       "entity next_one is end;",
       "configuration cfg of top: arch rtl, bind-entity work.leaf(fast), bind-config work.other_cfg\n"
       "entity next_one"},
      {"bindings in architectures and attribute entity classes open nothing", kVhdl,
       "architecture a of e is\n  for all : leaf use entity work.leaf(rtl);\n"
       "  attribute keep of u1 : label is true;\n  attribute k of f : function is 1;\n"
       "  attribute k of e : entity is 1;\nbegin\n  u1 : leaf port map (s);\nend;\nentity next_one is end;",
       "architecture a of e: bind-entity work.leaf(rtl), inst leaf@u1\nentity next_one"},
      {"an unbalanced parenthesis loses nothing after it", kVhdl, "entity a is port (x : bit;\nend;\nentity b is end;",
       "entity a ports\nentity b"},
      {"a string ends with its line", kVhdl, "entity a is\n  constant s : string := \"open;\nend;\nentity b is end;",
       "entity a\nentity b"},
      {"2008 generate alternatives with bodies",
       kVhdl,
       "architecture a of e is begin\n"
       "  g : if c generate begin u1 : x port map (s); end; elsif d generate u2 : y port map (s);\n"
       "      else generate begin end; end generate g;\n  u3 : z port map (s);\nend;",
       "architecture a of e: inst x@g/u1, inst y@g/u2, inst z@u3",
       {},
       {},
       k2008},
      {"truncated inside an architecture",
       kVhdl,
       "entity e is port (a : in bit); end;\narchitecture rtl of e is\nbegin\n  u1 : leaf port map (a => a);\n"
       "  p : process begin",
       "entity e ports\narchitecture rtl of e incomplete: inst leaf@u1",
       {kTruncated}},
      {"a unit without its end before the next",
       kVhdl,
       "entity a is port (x : bit);\nentity b is end;\n",
       "entity a ports incomplete\nentity b",
       {kSyntax}},
      {"a context clause inside an unfinished unit",
       kVhdl,
       "architecture r of a is begin\nlibrary ieee; use ieee.std_logic_1164.all; entity b is end;",
       "architecture r of a incomplete\nentity b: use ieee.std_logic_1164",
       {kSyntax}},
      {"a unit cut in its header",
       kVhdl,
       "entity a is end;\narchitecture rtl of a is\n  signal s : bit;",
       "entity a\narchitecture rtl of a incomplete",
       {kTruncated}},
      {"an unended block comment", kVhdl, "entity a is end;\n/* entity b is end;", "entity a", {kTruncated}, {}, k2008},
      // "u : e;" is an instance where the unit declares the component e, else a procedure call.
      {"components declared and instantiated without maps, procedure calls", kVhdl,
       "architecture rtl of top is\n  component e is port (a : in bit := '0'); end component;\n"
       "  COMPONENT Leaf end component Leaf;\n  procedure p is begin end procedure;\nbegin\n"
       "  u1 : e;\n  u2 : p;\n  u3 : leaf ;\n  g : for i in 0 to 1 generate u4 : E; end generate;\n"
       "  b : block\n    component f end component;\n  begin\n    u5 : f;\n  end block;\n"
       "  pr : process begin c1 : e; wait; end process;\nend architecture;\n"
       "architecture other of top2 is begin u7 : e; end;",
       "architecture rtl of top: inst e@u1, inst leaf@u3, inst E@g/u4, inst f@b/u5\narchitecture other of top2"},
  };
  for (const Case& c : cases) Check(c);
}

// With no standard set, what only VHDL-2008 can mean is read as 2008 reads it, and "context" stays
// a name where 93 text may use it; an explicit 93 reads all of it as 93 does.
TEST(VhdlScan, AnUnsetStandardReadsContextsAndBlockCommentsAs2008) {
  const char* const text =
      "context ctx is\n  library mylib;\n  use mylib.p.all;\nend context ctx;\n"
      "library mylib;\nCONTEXT mylib.ctx;\nentity user is end;\n"
      "/* entity hidden is end; */ entity shown is end;\n"
      "architecture a of shown is\n  signal context : bit;\nbegin\n"
      "  context <= '1';\n  u : leaf port map (context);\nend;";
  const ScanResult unset = ScanText(text, kVhdl, "t.vhd", ScanOptions{});
  EXPECT_EQ(
      Summary(unset),
      "context ctx: use mylib.p\nentity user: context mylib.ctx\nentity shown\narchitecture a of shown: inst leaf@u");
  EXPECT_TRUE(unset.messages.empty());

  ScanOptions vhdl93;
  vhdl93.vhdlStandard = VhdlStandard::k93;
  EXPECT_EQ(
      Summary(ScanText(text, kVhdl, "t.vhd", vhdl93)),
      "entity user: use mylib.p, use mylib.ctx\nentity hidden\nentity shown\narchitecture a of shown: inst leaf@u");
}

}  // namespace
