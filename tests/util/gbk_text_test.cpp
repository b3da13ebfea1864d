#include "util/gbk_text.h"

#include <gtest/gtest.h>

namespace korvane::gbk {
namespace {

// "\xB0\x41" is a GBK character whose trail byte is the letter A.
const std::string kTrailA = "\xB0\x41";

TEST(GbkText, FindNeverMatchesOnATrailByte) {
  const std::string text = "x" + kTrailA + "A";
  EXPECT_EQ(Find(text, "A"), 3u);
  EXPECT_EQ(Find(text, "a", 0, true), 3u);
  EXPECT_EQ(Find(kTrailA, "A"), npos);
  // An offset inside a character starts at the next whole character.
  EXPECT_EQ(Find(text, "A", 2), 3u);
}

TEST(GbkText, FindEdgeCases) {
  EXPECT_EQ(Find("abc", ""), 0u);
  EXPECT_EQ(Find("abc", "", 2), 2u);
  EXPECT_EQ(Find("abc", "", 3), npos);
  EXPECT_EQ(Find("", ""), npos);
  EXPECT_EQ(Find("abc", "c", 100), npos);
  EXPECT_EQ(Find("abc", "abcd"), npos);
  EXPECT_EQ(Find("a\xD6", "\xD6"), 1u);  // a lone lead byte at the end is a character
  EXPECT_EQ(Find("Set-Cookie:", "set-cookie:", 0, false), npos);
  EXPECT_EQ(Find("Set-Cookie:", "set-cookie:", 0, true), 0u);
}

TEST(GbkText, TrimRemovesAsciiAndFullWidthSpacesOnly) {
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("\xA1\xA1 a\xA1\xA1"), "a");
  EXPECT_EQ(Trim("\ta\t"), "\ta\t");
  EXPECT_EQ(Trim("   "), "");
  // "\xB0\xA1" ends in A1; with a following A1 it must not be read as a full-width space.
  EXPECT_EQ(Trim("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
}

TEST(GbkText, AsciiLowerLeavesDoubleByteCharactersAlone) {
  EXPECT_EQ(AsciiLower("AbC\xD6\xD0Z"), "abc\xD6\xD0z");
  EXPECT_EQ(AsciiLower(kTrailA + "A"), kTrailA + "a");  // the trail byte A is not a letter
}

TEST(GbkText, CaseInsensitiveComparisonLeavesTrailBytesExact) {
  EXPECT_TRUE(BytesEqual("aB" + kTrailA, "Ab" + kTrailA, true));
  EXPECT_FALSE(BytesEqual(kTrailA, "\xB0\x61", true));  // two different characters
  EXPECT_EQ(Find("x\xB0\x61", kTrailA, 0, true), npos);
}

}  // namespace
}  // namespace korvane::gbk
