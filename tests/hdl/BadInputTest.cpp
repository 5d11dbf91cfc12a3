// Files that are missing, unreadable, binary, cut short or pathological: a message, the units found
// before the damage, and never a crash, a hang or a read out of bounds.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "hdl/HdlSupport.h"
#include "hostkit/TempDir.h"

namespace {

using namespace hdl_test;
namespace fs = std::filesystem;

TEST(BadInput, FilesThatCannotBeReadGiveMessages) {
  TempDir dir;
  using namespace std::string_literals;
  TempDir::Write(dir / "mixed.vhd", "entity a is end;\n\0\x01\x02 entity b is end;"s);
  TempDir::Write(dir / "binary.v",
                 "\0\0\x7f"
                 "ELF module m; endmodule"s);
  fs::create_directory(dir / "folder.vhd");
  const struct {
    std::string path;
    MessageKind kind;
    std::size_t units;
  } cases[] = {
      {dir / "absent.vhd", MessageKind::kMissingFile, 0},
      {dir / "folder.vhd", MessageKind::kUnreadable, 0},
      {dir / "binary.v", MessageKind::kBinary, 0},
      {dir / "mixed.vhd", MessageKind::kBinary, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const ScanResult result = ScanFile(c.path, Language::kAuto, ScanOptions{});
    EXPECT_EQ(result.units.size(), c.units);
    ASSERT_EQ(result.messages.size(), 1u);
    EXPECT_EQ(result.messages[0].kind, c.kind);
    EXPECT_EQ(result.messages[0].severity, Severity::kError);
  }
}

// Every prefix of every test design keeps the units of the whole file that it holds: all of them
// whole but the last, which may be cut in its name.
TEST(BadInput, ACutFileKeepsTheUnitsBeforeTheCut) {
  for (const auto& entry : fs::recursive_directory_iterator(HDL_TEST_DATA)) {
    const Language language = LanguageOfPath(entry.path().string());
    if (!entry.is_regular_file() || language == Language::kUnknown) continue;
    std::ifstream in(entry.path());
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    ScanOptions options;
    options.vhdlStandard = VhdlStandard::k2008;
    options.reader = [](const std::string&, std::string*) { return ReadStatus::kMissing; };
    const ScanResult whole = ScanText(text, language, "f", options);
    for (std::size_t cut = 0; cut < text.size(); cut += 3) {
      SCOPED_TRACE(entry.path().string() + " cut at " + std::to_string(cut));
      const ScanResult part = ScanText(std::string_view(text).substr(0, cut), language, "f", options);
      ASSERT_LE(part.units.size(), whole.units.size());
      for (std::size_t i = 0; i < part.units.size(); ++i) {
        const bool last = i + 1 == part.units.size();
        if (last) {
          EXPECT_EQ(whole.units[i].name.compare(0, part.units[i].name.size(), part.units[i].name), 0);
        } else {
          EXPECT_EQ(part.units[i].name, whole.units[i].name);
          EXPECT_TRUE(part.units[i].complete);
        }
      }
    }
  }
}

TEST(BadInput, PathologicalTextEnds) {
  const std::string longLine = "module m (input a); " + std::string(4 << 20, 'x') + " endmodule";
  const std::string deepParens = "entity e is port (" + std::string(1 << 20, '(') + "); end; entity f is end;";
  const std::string manyEnds = std::string(100000, ' ') + [] {
    std::string ends;
    for (int i = 0; i < 50000; ++i) ends += "end; ";
    return ends;
  }() + "entity g is end;";
  const std::string stray = "'\"\\`(*\n" + std::string(1000, '\'') + "\nentity h is end;";
  const struct {
    const std::string& text;
    Language language;
    const char* lastUnit;
  } cases[] = {
      {longLine, Language::kVerilog, "m"},
      {deepParens, Language::kVhdl, "f"},
      {manyEnds, Language::kVhdl, "g"},
      {stray, Language::kVhdl, "h"},
  };
  for (const auto& c : cases) {
    const ScanResult result = ScanText(c.text, c.language, "p", ScanOptions{});
    ASSERT_FALSE(result.units.empty());
    EXPECT_EQ(result.units.back().name, c.lastUnit);
  }
}

}  // namespace
