#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <set>

namespace korvane::platform {
namespace {

TEST(CodePage, MapsCommonWindowsNumbersAndRejectsUnknownOnes) {
  EXPECT_EQ(CharsetForCodePage(0), "CP936");
  EXPECT_EQ(CharsetForCodePage(936), "CP936");
  EXPECT_EQ(CharsetForCodePage(65001), "UTF-8");
  EXPECT_EQ(CharsetForCodePage(1252), "CP1252");
  EXPECT_EQ(CharsetForCodePage(28595), "ISO-8859-5");
  EXPECT_EQ(CharsetForCodePage(12345), "");
  EXPECT_FALSE(DecodeCodePage(12345, "abc").has_value());
  EXPECT_FALSE(EncodeCodePage(12345, u"abc").has_value());
  EXPECT_FALSE(DecodeCharset("no-such-charset", "abc").has_value());
}

TEST(CodePage, GbkRoundTripsThroughUtf16) {
  const std::string gbk = "A\xD6\xD0\xCE\xC4";  // A, then two Chinese characters
  const auto wide = DecodeCodePage(936, gbk);
  ASSERT_TRUE(wide.has_value());
  EXPECT_EQ(*wide, std::u16string(u"A\u4E2D\u6587"));
  EXPECT_EQ(EncodeCodePage(936, *wide), gbk);
}

TEST(CodePage, InvalidInputDecodesToReplacementCharactersAndGoesOn) {
  struct Case {
    unsigned codePage;
    std::string bytes;
    std::u16string expected;
  };
  const Case cases[] = {
      {65001,
       "a\xFF"
       "b",
       u"a\uFFFDb"},                           // byte that never starts UTF-8
      {65001, "a\xE4\xB8", u"a\uFFFD\uFFFD"},  // truncated sequence at the end
      {936, "a\xD6", u"a\uFFFD"},              // lone lead byte at the end
      {65001, std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {936, "", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeCodePage(c.codePage, c.bytes), c.expected) << c.bytes;
  }
}

// Every converter, whatever it does at a bad sequence (stop before it, as POSIX says, or consume
// it first, as iconv's CP949/UHC and ISO-2022-CN-EXT do), must end inside the input and keep every
// byte after the bad sequence.
TEST(CodePage, BadSequenceAtTheEndMidTextOrTruncatedInEveryConverter) {
  struct Case {
    const char* charset;
    std::string bytes;
    std::u16string expected;
  };
  const Case cases[] = {
      // A2 E8 is a well-formed KS X 1001 pair CP949 has no character for: consumed, then reported
      {"CP949", "A\xA2\xE8", u"A\uFFFD"},
      {"CP949", "A\xA2\xE8\n", u"A\uFFFD\n"},
      {"CP949", "\xA2\xE8\xB0\xA1", u"\uFFFD\uAC00"},
      {"CP949", "A\xB0", u"A\uFFFD"},  // truncated lead byte
      {"UHC", "A\xA2\xE8", u"A\uFFFD"},
      {"UHC", "\xB0\xA1\xA2\xE8<", u"\uAC00\uFFFD<"},
      // a shift-out without a designation: consumed, then reported
      {"ISO-2022-CN-EXT", "A\x0E", u"A\uFFFD"},
      {"ISO-2022-CN-EXT",
       "A\x0E"
       "B",
       u"A\uFFFDB"},
      {"ISO-2022-CN-EXT", "\x1B$)A\x0E\x21", u"\uFFFD"},  // a double byte cut in half
      {"ISO-2022-CN-EXT",
       "\x1B$)A\x0E\x21\x21\x0F"
       "A",
       u"\u3000A"},
      // converters that stop before the bad sequence
      {"CP936", "A\xFF", u"A\uFFFD"},
      {"CP936",
       "A\xFF"
       "B",
       u"A\uFFFDB"},
      {"CP936", "A\xD6", u"A\uFFFD"},
      {"CP936", "\x81\x30", u"\uFFFD0"},  // a lead byte before a byte that cannot follow it
      {"CP932", "A\x82", u"A\uFFFD"},
      {"CP932",
       "A\xA0"
       "B",
       u"A\uFFFDB"},
      {"CP950", "A\xA4", u"A\uFFFD"},
      {"EUC-KR",
       "A\xFF"
       "B",
       u"A\uFFFDB"},
      {"UTF-8", "a\xC0", u"a\uFFFD"},
      {"UTF-8", "a\xE4\xB8", u"a\uFFFD\uFFFD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.charset) + " " + c.bytes);
    EXPECT_EQ(DecodeCharset(c.charset, c.bytes), c.expected);
  }
}

// A sweep of every two-byte tail: a line feed after any bad sequence is never a trail byte in
// these charsets, so it must come out at the end of every decoding. (Not in ISO-2022-CN or -KR:
// their converters stay shifted out after a bad byte and refuse the line feed itself.)
TEST(CodePage, NoConverterLosesTheByteAfterABadSequence) {
  const char* charsets[] = {"CP949", "UHC",        "JOHAB",   "EUC-KR", "ISO-2022-CN-EXT",
                            "CP936", "GBK",        "GB18030", "CP932",  "EUC-JP",
                            "CP950", "BIG5-HKSCS", "UTF-8"};
  for (const char* charset : charsets) {
    int failures = 0;
    for (int first = 0; first < 256 && failures < 5; ++first) {
      if (first < 0x80 && first != 0x0E && first != 0x0F && first != 0x1B)
        continue;
      for (int second = 0; second < 256 && failures < 5; ++second) {
        if (second == '\n')
          continue;
        const std::string tail{static_cast<char>(first), static_cast<char>(second)};
        const auto atEnd = DecodeCharset(charset, "A" + tail);
        const auto midText = DecodeCharset(charset, "A" + tail + "\n");
        ASSERT_TRUE(atEnd.has_value() && midText.has_value()) << charset;
        if (midText->empty() || midText->back() != u'\n') {
          ++failures;
          ADD_FAILURE() << charset << ": " << std::hex << first << " " << second;
        }
      }
    }
  }
}

// The pairs GBK leaves empty, as Windows' code page 936 reads them (its published table).
TEST(CodePage, CodePage936EmptyPairsArePrivateUseCharactersBothWays) {
  struct Case {
    std::string pair;
    char16_t unit;
  };
  const Case cases[] = {
      {"\xAA\xA1", 0xE000}, {"\xAF\xFE", 0xE233}, {"\xAB\xA1", 0xE05E},  // AAA1-AFFE
      {"\xF8\xA1", 0xE234}, {"\xFE\xFE", 0xE4C5},                        // F8A1-FEFE
      {"\xA1\x40", 0xE4C6}, {"\xA1\x7E", 0xE504}, {"\xA1\x80", 0xE505},  // A140-A7A0
      {"\xA2\xA0", 0xE585}, {"\xA3\x40", 0xE586}, {"\xA7\xA0", 0xE765}, {"\xA2\xAB", 0xE766},
      {"\xA2\xE3", 0xE76C}, {"\xA6\xF3", 0xE796},  // the other gaps
      {"\xA7\xC2", 0xE7A0}, {"\xA8\xBC", 0xE7C7}, {"\xA9\x89", 0xE7E7}, {"\xFE\xA0", 0xE864},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pair);
    EXPECT_EQ(DecodeCodePage(936, c.pair), std::u16string(1, c.unit));
    EXPECT_EQ(EncodeCodePage(936, std::u16string(1, c.unit)), c.pair);
    // one character: what follows is read as it stands
    EXPECT_EQ(DecodeCodePage(936, c.pair + "\xD6\xD0" + "A"),
              std::u16string(1, c.unit) + u"\u4E2DA");
    EXPECT_EQ(DecodeCharset("GBK", c.pair), std::u16string(1, c.unit));
  }
  // Private-use characters outside the table stay unmappable.
  EXPECT_EQ(EncodeCodePage(936, u"\uE865\uF000"), "??");
}

// All of them at once: every pair iconv's CP936 rejects is exactly one private-use character,
// no two share one, each encodes back to its pair, and wherever iconv's GB18030 (whose two-byte
// part follows the same table) gives a private-use character it is the same one.
TEST(CodePage, CodePage936EmptyPairsMatchTheGb18030TableAndRoundTrip) {
  iconv_t gb18030 = iconv_open("UTF-16LE", "GB18030");
  ASSERT_NE(gb18030, reinterpret_cast<iconv_t>(-1));
  std::set<char16_t> seen;
  int compared = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F)
        continue;
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      const auto units = DecodeCodePage(936, pair);
      ASSERT_TRUE(units && units->size() == 1) << std::hex << lead << trail;
      const char16_t unit = (*units)[0];
      if (unit < 0xE000 || unit > 0xF8FF)
        continue;
      ASSERT_LE(unit, 0xE864) << std::hex << lead << trail;
      EXPECT_TRUE(seen.insert(unit).second) << std::hex << lead << trail;
      EXPECT_EQ(EncodeCodePage(936, *units), pair) << std::hex << lead << trail;
      char* in = const_cast<char*>(pair.data());
      size_t inLeft = 2;
      char out[8];
      char* outPtr = out;
      size_t outLeft = sizeof out;
      iconv(gb18030, nullptr, nullptr, nullptr, nullptr);
      if (iconv(gb18030, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
          outLeft == sizeof out - 2) {
        const auto expected = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                                    static_cast<unsigned char>(out[1]) << 8);
        if (expected >= 0xE000 && expected <= 0xF8FF) {
          EXPECT_EQ(unit, expected) << std::hex << lead << trail;
          ++compared;
        }
      }
    }
  }
  iconv_close(gb18030);
  EXPECT_EQ(seen.size(), 0xE864u - 0xE000u + 1);  // U+E000 to U+E864, every one used
  EXPECT_GE(compared, 1894);                      // at least the three user-defined areas
}

TEST(CodePage, UnmappableCharactersAndLoneSurrogatesBecomeQuestionMarks) {
  EXPECT_EQ(EncodeCodePage(936, u"a\u0E01b"), "a?b");  // Thai letter, not in GBK
  EXPECT_EQ(EncodeCodePage(936, std::u16string(u"a\xD800"
                                               u"b")),
            "a?b");                                       // lone high surrogate
  EXPECT_EQ(EncodeCodePage(1252, u"\U0001F600!"), "?!");  // pair becomes one '?'
  EXPECT_EQ(EncodeCodePage(65001, u"\U0001F600"), "\xF0\x9F\x98\x80");
  // The default character is written as the target writes it: two bytes in UTF-16.
  EXPECT_EQ(EncodeCodePage(1200, std::u16string(u"a\xD800"
                                                u"b")),
            std::string("a\0?\0b\0", 6));
}

TEST(CodePage, Utf16BytesAreLittleEndianAndDropAnOddByte) {
  EXPECT_EQ(Utf16ToBytes(u"\u4E2DA"), std::string("\x2D\x4E\x41\x00", 4));
  EXPECT_EQ(BytesToUtf16(std::string("\x2D\x4E\x41", 3)), u"\u4E2D");
}

}  // namespace
}  // namespace korvane::platform
