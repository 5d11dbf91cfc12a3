#include "Port/StringBase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using String = Port::StringBase<char>;

TEST(StringTest, TrimRemovesTheGivenCharactersAtTheChosenEnds) {
  EXPECT_EQ(String("xyabcyx").Trim("xy", String::kTrimLeading), "abcyx");
  EXPECT_EQ(String("xyabcyx").Trim("xy", String::kTrimTrailing), "xyabc");
  EXPECT_EQ(String(" \t a b \t ").Trim(" \t", String::kTrimBoth), "a b");  // inner characters stay
  for (int mode : {String::kTrimLeading, String::kTrimTrailing, String::kTrimBoth}) {
    EXPECT_EQ(String("xxxx").Trim("x", mode), "") << mode;
    EXPECT_EQ(String("xax").Trim("", mode), "xax") << mode;
    EXPECT_EQ(String("xax").Trim(nullptr, mode), "xax") << mode;
  }
}

TEST(StringTest, FormatReplacesTheContentWithOutputOfAnyLength) {
  String s("old content");
  EXPECT_EQ(s.Format("%d-%s-%05.1f", 42, "x", 3.14159), "42-x-003.1");
  const std::string big(5000, 'q');
  EXPECT_EQ(s.Format("<%s>", big.c_str()).str(), "<" + big + ">");
  EXPECT_EQ(s.Format("%0*d", 2000, 7).str(), std::string(1999, '0') + "7");
}

TEST(StringTest, SplitKeepsEmptyFields) {
  auto fields = [](const char* text, const char* separators) {
    std::vector<std::string> out;
    for (const String& field : String(text).Split(separators)) out.push_back(field.str());
    return out;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(fields(",a,,b;", ",;"), (V{"", "a", "", "b", ""}));
  EXPECT_EQ(fields("", ","), (V{""}));
  EXPECT_EQ(fields("a,b", ""), (V{"a,b"}));
}

TEST(StringTest, CompareIsByUnsignedBytesShorterFirst) {
  const String accented("\xE9");
  EXPECT_GT(accented.Compare("z"), 0);
  EXPECT_TRUE(String("z") < accented && !(accented < String("z")));
  EXPECT_LT(String("abc").Compare("abcd"), 0);
  EXPECT_GT(String("abcd").Compare("abc"), 0);
  EXPECT_LT(String("B").Compare("a"), 0);
  EXPECT_EQ(String("abc").Compare("abc"), 0);
}

}  // namespace
