#include "util/text_between.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(TextBetween, Table) {
  struct Case {
    std::string text, left, right;
    long long start;
    bool ignoreCase;
    std::string expected;
  };
  const Case cases[] = {
      {"x[y]z", "[", "]", 0, false, "y"},
      {"key=1;x", "key=", ";", 0, false, "1"},
      {"[a][b]", "[", "]", 0, false, "a"},
      {"[a][b]", "[", "]", 3, false, "b"},   // first left mark at or after startPos
      {"[a][b]", "[", "]", -7, false, "a"},  // below 1 means the beginning
      {"]x[y", "[", "]", 0, false, ""},      // right mark only before the left one
      {"[]", "[", "]", 0, false, ""},
      // The right mark is searched from just after the left mark, not one byte later: a right
      // mark that follows at once gives an empty text even when another one comes later.
      {"[][b]", "[", "]", 0, false, ""},
      {"[][b]", "[", "]", 2, false, "b"},
      // The same mark on both sides: the left mark itself is never taken for the right one, and
      // the next occurrence after it closes the piece.
      {"\"a\"b\"", "\"", "\"", 0, false, "a"},
      {"\"\"b\"", "\"", "\"", 0, false, ""},
      {"x|y|z|", "|", "|", 0, false, "y"},
      {"--x--y--", "--", "--", 0, false, "x"},
      {"--x--y--", "--", "--", 4, false, "y"},
      {"aaaa", "aa", "aa", 0, false, ""},  // the right mark may begin right after the left
      {"aaa", "aa", "aa", 0, false, ""},   // overlapping the left mark does not count
      {"\"a", "\"", "\"", 0, false, ""},   // one mark only: no right mark after it
      {"XaXbX", "x", "x", 0, true, "a"},
      {"X]X[]", "x", "X", 0, true, "]"},
      {"a id=\"7\" b", "id=#引号", "#引号", 0, false, "7"},
      {"set-cookie: a=1;", "Set-Cookie:", ";", 0, false, ""},
      {"set-cookie: a=1;", "Set-Cookie:", ";", 0, true, " a=1"},
      {"x[y]", "[", "]", 5, false, ""},  // start beyond the end
      {"x[y]", "[", "]", 1LL << 40, false, ""},
      {"ab;cd", "", ";", 0, false, "ab"},
      {"ab;cd", "", ";", 4, false, "ab"},  // empty left mark: whatever startPos is
      {"ab;cd", "", ";", 9, false, ""},    // ... while some text remains
      {"x[y]z", "[", "", 0, false, ""},    // empty right mark: always empty
      {"", "", "", 0, false, ""},
      {"", "[", "]", 0, false, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextBetween(c.text, c.left, c.right, c.start, c.ignoreCase), c.expected)
        << c.text << " | " << c.left << " | " << c.right << " | " << c.start;
  }
}

TEST(TextBetween, MarksNeverMatchInsideADoubleByteCharacter) {
  // "\xB0\x5B" is one GBK character whose trail byte is '['; "\xB0\x5D" ends in ']'.
  EXPECT_EQ(TextBetween("\xB0[x[y]", "[", "]"), "y");
  EXPECT_EQ(TextBetween("[\xB0]x]", "[", "]"), "\xB0]x");
  EXPECT_EQ(TextBetween("[\xB0]", "[", "]"), "");
  // A lone lead byte at the end is a character of its own and is read no further.
  EXPECT_EQ(TextBetween("[a]\xB0", "[", "]"), "a");
  EXPECT_EQ(TextBetween("[a\xB0", "[", "\xB0"), "a");
}

TEST(TextBetween, QuotePlaceholderIsReplacedExactly) {
  EXPECT_EQ(ExpandQuotePlaceholder("#引号#引号x"), "\"\"x");
  EXPECT_EQ(ExpandQuotePlaceholder("#引"), "#引");
}

}  // namespace
}  // namespace korvane
