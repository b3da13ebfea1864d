#include "util/gbk_text.h"

#include <gtest/gtest.h>

#include <random>

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

namespace korvane::gbk {
namespace {

// The search as it walks character by character, for comparison with the faster one.
size_t ReferenceFind(std::string_view text, std::string_view needle, size_t from, bool ignoreCase) {
  for (size_t at = BoundaryAtOrAfter(text, from); at < text.size(); at += CharLength(text, at)) {
    if (needle.size() <= text.size() - at &&
        BytesEqual(text.substr(at, needle.size()), needle, ignoreCase))
      return at;
  }
  return npos;
}

// Generated texts of ASCII, lead bytes, trail bytes that are ASCII letters and bytes GBK never
// uses, searched for pieces of themselves and for other pieces, from every offset.
TEST(GbkText, FindAgreesWithTheCharacterWalkOnGeneratedText) {
  const std::string alphabet = "aAbBcC-: \r\n\x81\xA1\xD6\xFE\x40\x80\xFF";
  std::mt19937 random(7);
  const auto piece = [&](size_t length) {
    std::string out;
    for (size_t i = 0; i < length; ++i)
      out += alphabet[random() % alphabet.size()];
    return out;
  };
  for (int round = 0; round < 4000; ++round) {
    std::string text = piece(random() % 24);
    if (round % 2 == 0)
      text = "Set-Cookie: a\r\n" + text;  // ASCII before the interesting part
    std::string needle = piece(random() % 4);
    if (random() % 2 == 0 && !text.empty()) {
      const size_t start = random() % text.size();
      needle = text.substr(start, 1 + random() % 3);
      for (char& c : needle) {
        if (c >= 'a' && c <= 'z' && random() % 2 == 0)
          c = static_cast<char>(c - 'a' + 'A');
      }
    }
    for (size_t from = 0; from <= text.size() + 1; ++from) {
      for (const bool ignoreCase : {false, true}) {
        ASSERT_EQ(Find(text, needle, from, ignoreCase),
                  ReferenceFind(text, needle, from, ignoreCase))
            << "text " << ::testing::PrintToString(text) << " needle "
            << ::testing::PrintToString(needle) << " from " << from << " case " << ignoreCase;
      }
    }
  }
}

}  // namespace
}  // namespace korvane::gbk
