#include "Port/StringBase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using String = Port::StringBase<char>;

std::vector<std::string> Fields(const String& text, const char* separators) {
  std::vector<std::string> out;
  for (const String& field : text.Split(separators)) out.push_back(field.str());
  return out;
}

TEST(StringTest, TrimModes) {
  EXPECT_EQ(String("xyabcyx").Trim("xy", String::kTrimLeading), "abcyx");
  EXPECT_EQ(String("xyabcyx").Trim("xy", String::kTrimTrailing), "xyabc");
  EXPECT_EQ(String("xyabcyx").Trim("xy", String::kTrimBoth), "abc");
  EXPECT_EQ(String(" \t a b \t ").Trim(" \t", 2), "a b");  // inner characters stay
  EXPECT_EQ(String("  a").Trim(" ", 1), "  a");

  for (int mode : {0, 1, 2}) {
    EXPECT_EQ(String("xxxx").Trim("x", mode), "") << mode;
    EXPECT_EQ(String("").Trim("x", mode), "") << mode;
    EXPECT_EQ(String("xax").Trim("", mode), "xax") << mode;
    EXPECT_EQ(String("xax").Trim(nullptr, mode), "xax") << mode;
  }
}

TEST(StringTest, FormatReplacesContent) {
  String s("old content");
  EXPECT_EQ(s.Format("%d-%s-%05.1f", 42, "x", 3.14159), "42-x-003.1");
  EXPECT_EQ(s.Format("%s", ""), "");

  const std::string big(5000, 'q');
  EXPECT_EQ(s.Format("<%s>", big.c_str()).str(), "<" + big + ">");
  EXPECT_EQ(s.GetLength(), 5002);
  EXPECT_EQ(s.Format("%0*d", 2000, 7).size(), 2000u);
  EXPECT_EQ(s.str().back(), '7');
}

TEST(StringTest, SplitKeepsEmptyFields) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Fields("a,b,c", ","), (V{"a", "b", "c"}));
  EXPECT_EQ(Fields("a,,b", ","), (V{"a", "", "b"}));
  EXPECT_EQ(Fields(",a,", ","), (V{"", "a", ""}));
  EXPECT_EQ(Fields("a;b,c", ",;"), (V{"a", "b", "c"}));
  EXPECT_EQ(Fields("abc", ","), (V{"abc"}));
  EXPECT_EQ(Fields("", ","), (V{""}));
  EXPECT_EQ(Fields("a,b", ""), (V{"a,b"}));
}

TEST(StringTest, CompareIsUnsignedBytesShorterFirst) {
  const String accented("\xE9");
  EXPECT_GT(accented.Compare("z"), 0);
  EXPECT_LT(String("z").Compare(accented), 0);
  EXPECT_FALSE(accented < String("z"));
  EXPECT_TRUE(String("z") < accented);

  EXPECT_LT(String("abc").Compare("abcd"), 0);
  EXPECT_GT(String("abcd").Compare("abc"), 0);
  EXPECT_LT(String("").Compare("a"), 0);
  EXPECT_EQ(String("abc").Compare("abc"), 0);
  EXPECT_LT(String("abc").Compare("abd"), 0);
  EXPECT_LT(String("B").Compare("a"), 0);
}

TEST(StringTest, Concatenation) {
  const String a("ab"), b("cd");
  EXPECT_EQ(a + b, "abcd");
  EXPECT_EQ(a + "x", "abx");
  EXPECT_EQ("x" + a, "xab");
  EXPECT_EQ(a + static_cast<const char*>(nullptr), "ab");
  EXPECT_EQ(static_cast<const char*>(nullptr) + a, "ab");

  String s;
  s += a;
  s += "-";
  s += 'z';
  s += static_cast<const char*>(nullptr);
  EXPECT_EQ(s, "ab-z");
  EXPECT_EQ(a, "ab");  // operands untouched

  EXPECT_EQ(String(static_cast<const char*>(nullptr)), "");
  EXPECT_EQ(String("abcdef", 3), "abc");
  EXPECT_EQ(String("a\0b", 3).size(), 3u);
}

}  // namespace
