// The VHDL scanner: units, where they end, what they need, and the lexical traps that would make
// it lose track (comments, strings, character literals against attribute ticks, extended names).

#include <gtest/gtest.h>

#include "hdl/HdlSupport.h"

namespace {

using namespace hdl_test;

struct Case {
  const char* what;
  VhdlStandard standard;
  const char* text;
  const char* summary;
};

class VhdlScanTest : public testing::TestWithParam<Case> {};

TEST_P(VhdlScanTest, FindsUnitsAndWhatTheyNeed) {
  ScanOptions options;
  options.vhdlStandard = GetParam().standard;
  const ScanResult result = ScanText(GetParam().text, Language::kVhdl, "t.vhd", options);
  EXPECT_EQ(Summary(result), GetParam().summary);
  for (const Message& message : result.messages) ADD_FAILURE() << message.line << ": " << message.text;
}

constexpr VhdlStandard k93 = VhdlStandard::k93;
constexpr VhdlStandard k2008 = VhdlStandard::k2008;

INSTANTIATE_TEST_SUITE_P(
    Units, VhdlScanTest,
    testing::Values(
        Case{"context clauses belong to the next unit only, keywords in any case", k93,
             "LIBRARY ieee, mylib; Use ieee.std_logic_1164.all, mylib.util.ALL;\n"
             "ENTITY A IS PORT (x : IN std_logic); END ENTITY A;\n"
             "Architecture Rtl Of A Is Begin End Rtl;\n"
             "entity b is generic (n : integer := 1); end;",
             "entity A ports: use ieee.std_logic_1164, use mylib.util\narchitecture Rtl of A\nentity b"},
        Case{"instances of every form, under generate and block labels", k93,
             "architecture rtl of top is\n"
             "  component leaf port (a : in bit); end component;\n"
             "begin\n"
             "  u1 : leaf port map (a => s);\n"
             "  u2 : component leaf generic map (1) port map (s);\n"
             "  u3 : entity work.leaf2(beh) port map (a => s);\n"
             "  u4 : configuration lib.cfg port map (s);\n"
             "  g : for i in 0 to 3 generate\n"
             "    b : block begin u5 : leaf port map (s); end block b;\n"
             "  end generate g;\n"
             "  c : if true generate u6 : entity leaf3; end generate;\n"
             "  p : process begin wait; end process;\n"
             "  lbl : s <= t;\n"
             "end architecture;",
             "architecture rtl of top: inst leaf@u1, inst leaf@u2, entity work.leaf2(beh)@u3, config lib.cfg@u4, "
             "inst leaf@g/b/u5, entity leaf3@c/u6"},
        Case{"nesting that ends with end", k2008,
             "package body p is\n"
             "  type rec is record a : integer; end record;\n"
             "  type dist is range 0 to 1000 units mm; m = 1000 mm; end units;\n"
             "  type prot is protected procedure inc; end protected;\n"
             "  type prot is protected body procedure inc is begin end procedure; end protected body;\n"
             "  function f(a : integer; b : integer) return integer;\n"
             "  function f(a : integer; b : integer) return integer is\n"
             "    variable v : integer;\n"
             "  begin\n"
             "    for i in 0 to 3 loop while v < 3 loop v := v + 1; end loop; end loop;\n"
             "    case a is when 1 => return 1; when others => null; end case;\n"
             "    if a = 1 then return 2; elsif a = 2 then return 3; else return 4; end if;\n"
             "  end;\n"
             "  function g is new work.gf generic map (t => integer);\n"
             "end package body;\n"
             "entity after_it is end;",
             "body p: use work.gf\nentity after_it"},
        Case{"keywords in comments and strings stay text", k93,
             "-- entity fake is end;\n"
             "entity real is\n"
             "  constant s : string := \"end entity; entity x is\";\n"
             "  constant t : string := \"he said \"\"end\"\"\";\n"
             "end entity;",
             "entity real"},
        Case{"block comments are VHDL-2008's", k2008, "/* entity z is end; */ entity real is end;", "entity real"},
        Case{"before 2008 a slash and a star are operators", k93, "/* entity z is end; */ entity real is end;",
             "entity z\nentity real"},
        Case{"character literals against attribute ticks", k93,
             "architecture a of e is\n"
             "begin\n"
             "  s <= '(' ; t <= v'length; u <= std_logic'('1'); w <= ''' ; x <= a(1)'left;\n"
             "  r <= (others => ')') when c = ';' else (others => '0');\n"
             "  u1 : leaf port map (a => ')');\n"
             "end;",
             "architecture a of e: inst leaf@u1"},
        Case{"extended names keep case and may look like keywords", k93,
             "entity \\My End\\ is port (\\in\\ : in bit); end entity;\n"
             "architecture \\end\\ of \\My End\\ is begin u : \\Leaf\\ port map (x); end;",
             "entity \\My End\\ ports\narchitecture \\end\\ of \\My End\\: inst \\Leaf\\@u"},
        Case{"contexts of VHDL-2008", k2008,
             "context ctx is library ieee; use ieee.std_logic_1164.all; end context ctx;\n"
             "context work.ctx; entity e is end;",
             "context ctx: use ieee.std_logic_1164\nentity e: context work.ctx"},
        Case{"before 2008 context is a name", k93, "entity e is port (context : in bit); end;", "entity e ports"},
        Case{"a package instance is a unit of one statement", k2008,
             "package p8 is new work.generic_pkg generic map (w => 8);\nentity e is end;",
             "package p8: use work.generic_pkg\nentity e"},
        Case{"selected names of libraries in expressions", k93,
             "library ieee; use ieee.std_logic_1164.all;\n"
             "architecture a of e is begin\n"
             "  x <= work.consts.C + ieee.numeric_std.to_unsigned(1, 2) + rec.field + work.consts.D;\n"
             "end;",
             "architecture a of e: use ieee.std_logic_1164, use work.consts, use ieee.numeric_std"},
        Case{"configurations name their architecture and bindings", k93,
             "configuration cfg of top is\n"
             "  for rtl\n"
             "    for u1 : leaf use entity work.leaf(fast); end for;\n"
             "    for all : other use configuration work.other_cfg; end for;\n"
             "    for g(0) for u2 : leaf use open; end for; end for;\n"
             "  end for;\n"
             "end configuration;\n"
             "entity next_one is end;",
             "configuration cfg of top: arch rtl, bind-entity work.leaf(fast), bind-config work.other_cfg\n"
             "entity next_one"},
        Case{"bindings in architectures and attribute entity classes open nothing", k93,
             "architecture a of e is\n"
             "  for all : leaf use entity work.leaf(rtl);\n"
             "  attribute keep of u1 : label is true;\n"
             "  attribute k of f : function is 1;\n"
             "  attribute k of e : entity is 1;\n"
             "begin\n"
             "  u1 : leaf port map (s);\n"
             "end;\n"
             "entity next_one is end;",
             "architecture a of e: bind-entity work.leaf(rtl), inst leaf@u1\nentity next_one"},
        Case{"an unbalanced parenthesis loses nothing after it", k93,
             "entity a is port (x : bit;\nend;\nentity b is end;", "entity a ports\nentity b"},
        Case{"a string ends with its line", k93,
             "entity a is\n  constant s : string := \"open;\nend;\nentity b is end;", "entity a\nentity b"},
        Case{"2008 generate alternatives with bodies", k2008,
             "architecture a of e is begin\n"
             "  g : if c generate begin u1 : x port map (s); end; elsif d generate u2 : y port map (s);\n"
             "      else generate begin end; end generate g;\n"
             "  u3 : z port map (s);\n"
             "end;",
             "architecture a of e: inst x@g/u1, inst y@g/u2, inst z@u3"}),
    [](const testing::TestParamInfo<Case>& info) { return TestName(info.param.what); });

struct Damage {
  const char* what;
  const char* text;
  const char* summary;
  MessageKind message;
};

class VhdlDamageTest : public testing::TestWithParam<Damage> {};

// Damaged text keeps what came before the damage and says what is wrong.
TEST_P(VhdlDamageTest, KeepsTheUnitsBeforeTheDamage) {
  const ScanResult result = ScanText(GetParam().text, Language::kVhdl, "d.vhd", ScanOptions{});
  EXPECT_EQ(Summary(result), GetParam().summary);
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0].kind, GetParam().message);
  EXPECT_EQ(result.messages[0].path, "d.vhd");
  EXPECT_GT(result.messages[0].line, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, VhdlDamageTest,
    testing::Values(
        Damage{"truncated inside an architecture",
               "entity e is port (a : in bit); end;\narchitecture rtl of e is\nbegin\n  u1 : leaf port map (a => a);\n"
               "  p : process begin",
               "entity e ports\narchitecture rtl of e incomplete: inst leaf@u1", MessageKind::kTruncated},
        Damage{"a unit without its end before the next", "entity a is port (x : bit);\nentity b is end;\n",
               "entity a ports incomplete\nentity b", MessageKind::kSyntax},
        Damage{"a context clause inside an unfinished unit",
               "architecture r of a is begin\nlibrary ieee; use ieee.std_logic_1164.all; entity b is end;",
               "architecture r of a incomplete\nentity b: use ieee.std_logic_1164", MessageKind::kSyntax},
        Damage{"a unit cut in its header", "entity a is end;\narchitecture rtl of a is\n  signal s : bit;",
               "entity a\narchitecture rtl of a incomplete", MessageKind::kTruncated}),
    [](const testing::TestParamInfo<Damage>& info) { return TestName(info.param.what); });

TEST(VhdlDamage, AnUnendedBlockCommentIsReported) {
  ScanOptions options;
  options.vhdlStandard = VhdlStandard::k2008;
  const ScanResult result = ScanText("entity a is end;\n/* entity b is end;", Language::kVhdl, "c.vhd", options);
  EXPECT_EQ(Summary(result), "entity a");
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0].kind, MessageKind::kTruncated);
  EXPECT_EQ(result.messages[0].line, 2u);
}

}  // namespace
