#include "util/replace_batch.h"

#include <gtest/gtest.h>

#include <optional>

namespace korvane {
namespace {

TEST(ReplaceBatch, SinglePairOptions) {
  struct Case {
    std::string text;
    std::optional<long long> count;
    long long start;
    bool caseSensitive;
    std::string find, replacement, expected;
  };
  const Case cases[] = {
      // The worker's cleaning of icon markup.
      {R"(<path d=\"M1\" class=\"icon\"/>)", std::nullopt, 1, false, "=\\", "=",
       R"(<path d="M1\" class="icon\"/>)"},
      {"a-a-a", std::nullopt, 1, false, "a", "b", "b-b-b"},
      {"a-a-a", 1, 1, false, "a", "b", "b-a-a"},
      {"a-a-a", 2, 1, false, "a", "b", "b-b-a"},
      {"a-a-a", 0, 1, false, "a", "b", "a-a-a"},   // count given as 0: nothing
      {"a-a-a", -1, 1, false, "a", "b", "b-b-b"},  // negative: no limit
      {"a-a-a", -1000000000000LL, 1, false, "a", "b", "b-b-b"},
      {"a-a-a", 1, 2, false, "a", "b", "a-b-a"},             // first occurrence at or after start
      {"a-a-a", std::nullopt, 0, false, "a", "b", "b-b-b"},  // 0 counts as 1
      {"a-a-a", std::nullopt, -9, false, "a", "b", "b-b-b"},
      {"a-a-a", std::nullopt, 5, false, "a", "b", "a-a-b"},  // start on the last byte
      {"a-a-a", std::nullopt, 6, false, "a", "b", "a-a-a"},  // start past the end
      {"a-a-a", std::nullopt, 1LL << 62, false, "a", "b", "a-a-a"},
      {"Cat cat CAT", std::nullopt, 1, false, "cat", "dog", "dog dog dog"},
      {"Cat cat CAT", std::nullopt, 1, true, "cat", "dog", "Cat dog CAT"},
      {"aaa", std::nullopt, 1, true, "aa", "b", "ba"},       // no overlapping matches
      {"aaaa", std::nullopt, 1, true, "aa", "a", "aa"},      // replaced text is not searched again
      {"x=1;x=2", std::nullopt, 1, false, "x=", "", "1;2"},  // empty replacement deletes
      {"", std::nullopt, 1, false, "a", "b", ""},
      {"abc", std::nullopt, 1, false, "", "b", "abc"},   // empty search text: unchanged
      {"ab", std::nullopt, 1, false, "abc", "x", "ab"},  // search longer than the text
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceBatch(c.text, c.count, c.start, c.caseSensitive, c.find, c.replacement),
              c.expected)
        << c.text << " | " << c.find << " | count "
        << (c.count ? std::to_string(*c.count) : "omitted") << " | start " << c.start;
  }
}

TEST(ReplaceBatch, PairsApplyInOrderAndSeeEarlierResults) {
  // Pair 2 also rewrites what pair 1 produced; pairs 3 to 5 build on that in turn.
  EXPECT_EQ(ReplaceBatch("one two one", std::nullopt, 1, false, "one", "two", "two", "three"),
            "three three three");
  EXPECT_EQ(ReplaceBatch("abcde", std::nullopt, 1, true, "a", "1", "b", "2", "c", "3", "d", "4",
                         "e", "5"),
            "12345");
  EXPECT_EQ(
      ReplaceBatch("abcde", std::nullopt, 1, true, "e", "5", "", "", "", "", "", "", "5", "five"),
      "abcdfive");
  // The shared count and start apply to every pair separately.
  EXPECT_EQ(ReplaceBatch("aabb", 1, 2, true, "a", "x", "b", "y"), "axyb");
}

TEST(ReplaceBatch, DoubleByteCharactersAreNeverSplit) {
  // "\xB0\x40" and "\xB0\x41" are single characters whose second bytes are '@' and 'A'.
  EXPECT_EQ(ReplaceBatch("\xB0@@", std::nullopt, 1, true, "@", "#"), "\xB0@#");
  EXPECT_EQ(ReplaceBatch("x\xB0\x41y", std::nullopt, 1, false, "a", "-"), "x\xB0\x41y");
  // Case is ignored for single-byte letters only: "\xB0\x61" is another character than "\xB0\x41".
  EXPECT_EQ(ReplaceBatch("\xB0\x41", std::nullopt, 1, false, "\xB0\x61", "z"), "\xB0\x41");
  EXPECT_EQ(ReplaceBatch("\xB0\x41-\xB0\x41", std::nullopt, 1, false, "\xB0\x41", "z"), "z-z");
  // A search that ends in a lead byte would take half of the next character: no match.
  EXPECT_EQ(ReplaceBatch("a\xB0\x41", std::nullopt, 1, true, "a\xB0", "z"), "a\xB0\x41");
  // A start on the second byte of a character begins at the character after it.
  EXPECT_EQ(ReplaceBatch("\xB0@@", std::nullopt, 2, true, "@", "#"), "\xB0@#");
  // A lone lead byte at the end is a character of its own.
  EXPECT_EQ(ReplaceBatch("a\xB0", std::nullopt, 1, true, "\xB0", "z"), "az");
  EXPECT_EQ(ReplaceBatch("先选择目录", std::nullopt, 1, true, "选择", "打开"), "先打开目录");
}

TEST(ReplaceBatch, RepetitiveSearchTextOverLongRun) {
  // A search text that almost matches everywhere: the result must still be exact.
  const std::string text = std::string(1000, 'a') + "b" + std::string(1000, 'a');
  const std::string find = std::string(500, 'a') + "b";
  EXPECT_EQ(ReplaceBatch(text, std::nullopt, 1, true, find, "X"),
            std::string(500, 'a') + "X" + std::string(1000, 'a'));
}

}  // namespace
}  // namespace korvane
