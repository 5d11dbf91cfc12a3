// The text of messages: the names they give keep to their line, everything else reads as printf.

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "Port/MessageText.h"
#include "Port/MsgMan.h"

namespace {

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  std::string text(4096, '\0');
  std::va_list args;
  va_start(args, format);
  text.resize(static_cast<std::size_t>(std::vsnprintf(text.data(), text.size(), format, args)));
  va_end(args);
  return text;
}

// The same format and arguments through both, so each argument is read as its conversion says.
#define EXPECT_AS_PRINTF(...) EXPECT_EQ(Port::FormatMessage(__VA_ARGS__), Printf(__VA_ARGS__))

TEST(MessageTextTest, ControlCharactersAreEscapedAndTheRestKept) {
  EXPECT_EQ(Port::EscapeControls("a\nb\tc"), "a\\nb\\tc");
  EXPECT_EQ(Port::EscapeControls(std::string("\x01\r\x1b[2J\x7f\0z", 9)), "\\x01\\x0d\\x1b[2J\\x7f\\x00z");
  EXPECT_EQ(Port::EscapeControls("caf\xC3\xA9 \\n ~ \"q\""), "caf\xC3\xA9 \\n ~ \"q\"");  // UTF-8 stays
  EXPECT_EQ(Port::EscapeControls(""), "");
}

// The C1 controls and the line and paragraph separators are characters, escaped as such in UTF-8;
// a byte 0x80-0x9f outside a character (a Latin-1 name, 0x9b being CSI to an 8-bit terminal) is
// escaped as a byte; every other character and byte stays, so names in any script read as they are.
TEST(MessageTextTest, C1ControlsSeparatorsAndStrayC1BytesAreEscapedAndOtherTextKept) {
  EXPECT_EQ(Port::EscapeControls("a\xC2\x85" "b\xC2\x9B" "31m\xC2\x80\xC2\x9F|\xE2\x80\xA8|\xE2\x80\xA9"),
            "a\\u0085b\\u009b31m\\u0080\\u009f|\\u2028|\\u2029");
  EXPECT_EQ(Port::EscapeControls("x\x9B" "31m\x85y\x80\x9F"), "x\\x9b31m\\x85y\\x80\\x9f");
  // Bytes that make no character: cut short, overlong, a surrogate, past U+10FFFF, a lone lead.
  EXPECT_EQ(Port::EscapeControls("\xE2\x80"), "\xE2\\x80");
  EXPECT_EQ(Port::EscapeControls("\xC1\x85|\xE0\x80\x85|\xF0\x80\x80\x85"),
            "\xC1\\x85|\xE0\\x80\\x85|\xF0\\x80\\x80\\x85");
  EXPECT_EQ(Port::EscapeControls("\xED\xA0\x80|\xF4\x90\x80\x80"), "\xED\xA0\\x80|\xF4\\x90\\x80\\x80");
  EXPECT_EQ(Port::EscapeControls("\xC2\n\xE2\x80\xE2\x80\xA8"), "\xC2\\n\xE2\\x80\\u2028");
  // Kept: characters whose bytes hold 0x80-0x9f (\xC4\x85, the separator's neighbours), the first
  // past C1, other scripts, the last character there is, and Latin-1 letters above 0x9f.
  const std::string kept = "caf\xC3\xA9 \xC4\x85 \xE2\x80\xA7\xE2\x80\xAA \xC2\xA0 \xE4\xB8\xAD \xF0\x9F\x98\x80 "
                           "\xF4\x8F\xBF\xBF caf\xE9 \xFF";
  EXPECT_EQ(Port::EscapeControls(kept), kept);
  EXPECT_EQ(Port::FormatMessage("[%s][%-8s]", "a\xC2\x85" "b\x9B", "\xE2\x80\xA8"), "[a\\u0085b\\x9b][\\u2028  ]");
}

TEST(MessageTextTest, StringValuesAreEscapedButTheFormatsOwnNewlinesKept) {
  EXPECT_EQ(Port::FormatMessage("The source \"%s\" is missing.\n", "a\nError (velsh): b\t.vhd"),
            "The source \"a\\nError (velsh): b\\t.vhd\" is missing.\n");
  EXPECT_EQ(Port::FormatMessage("%s\n while parsing %s\n", "first\nsecond", "x\x1f"),
            "first\\nsecond\n while parsing x\\x1f\n");
  // Width pads what is shown; precision bounds what is read, so the value need not end there.
  EXPECT_EQ(Port::FormatMessage("[%6s][%-6s]", "a\nb", "a\tb"), "[  a\\nb][a\\tb  ]");
  const char unterminated[] = {'a', '\n', 'b', 'c'};
  EXPECT_EQ(Port::FormatMessage("[%.3s][%.*s]", unterminated, 2, unterminated), "[a\\nb][a\\n]");
  EXPECT_EQ(Port::FormatMessage("[%*s][%*s][%.*s]", 5, "\n", -5, "\n", -1, "a\n"), "[   \\n][\\n   ][a\\n]");
  const std::string big(5000, 'q');
  EXPECT_EQ(Port::FormatMessage("<%s>", big.c_str()), "<" + big + ">");
}

TEST(MessageTextTest, OtherConversionsAreWrittenAsPrintfWritesThem) {
  EXPECT_AS_PRINTF("plain text, 100%% sure\n");
  EXPECT_AS_PRINTF("%d %i %+d % d %05d %-5d| %hd %hhd", -42, 7, 3, 3, 42, 42, static_cast<short>(-2),
                   static_cast<signed char>(-1));
  EXPECT_AS_PRINTF("%ld %lld %jd %zd %td", -1L, -9000000000LL, static_cast<std::intmax_t>(-5),
                   static_cast<std::ptrdiff_t>(-6), static_cast<std::ptrdiff_t>(-7));
  EXPECT_AS_PRINTF("%u %o %x %#X %lu %llx %zu %ju", 42u, 8u, 255u, 255u, 1UL << 40, 0xFFFFFFFFFFULL,
                   static_cast<std::size_t>(12), static_cast<std::uintmax_t>(13));
  EXPECT_AS_PRINTF("%f %.2f %10.3e %g %G %a %Lf", 3.14159, 2.5, 12345.678, 0.0001, 1e20, 1.0, 2.5L);
  EXPECT_AS_PRINTF("%c%c %5c|%-3c|", 'o', 'k', 'x', 'y');
  int local = 0;
  EXPECT_AS_PRINTF("%p %20p", static_cast<void*>(&local), static_cast<void*>(nullptr));
  EXPECT_AS_PRINTF("%*d|%-*d|%*d|%.*f|%.*f|%*.*f", 6, 42, 6, 42, -6, 42, 2, 3.14159, -1, 3.14159, 9, 1, 2.25);
  EXPECT_AS_PRINTF("%0*d|%'d", 2000, 7, 1234567);
  EXPECT_AS_PRINTF("%s=%d, %s=%.1f (%x)\n", "n", 1, "m", 0.25, 0xbeefu);  // arguments stay in step
}

TEST(MessageTextTest, IssuedMessagesEscapeTheirValuesAndComposedOnesAreKept) {
  Port_MsgManData::ClearCaptured();
  const auto msg = Port_MsgManData::createObject("velsh", "velsh", 0, "");
  msg.issueWarning("The source \"%s\" is missing from disk.\n", "/p/a\nError (velsh): forged.vhd");
  msg.issueError("%s (%d)", "b\r", 2);
  msg.issueComposed(Port_MsgManData::Severity::Info, "two\nlines\n");
  const auto records = Port_MsgManData::Captured();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].text, "The source \"/p/a\\nError (velsh): forged.vhd\" is missing from disk.\n");
  EXPECT_EQ(records[1].text, "b\\x0d (2)");
  EXPECT_EQ(records[2].text, "two\nlines\n");
  EXPECT_EQ(records[2].severity, Port_MsgManData::Severity::Info);
  Port_MsgManData::ClearCaptured();
}

}  // namespace
