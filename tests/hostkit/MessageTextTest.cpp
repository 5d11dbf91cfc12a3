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
  EXPECT_EQ(Port::EscapeControls("caf\xC3\xA9 \\n ~ \"q\""), "caf\xC3\xA9 \\n ~ \"q\"");  // bytes above DEL stay
  EXPECT_EQ(Port::EscapeControls(""), "");
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
