#include "platform/code_page.h"

#include <gtest/gtest.h>

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

TEST(CodePage, UnmappableCharactersAndLoneSurrogatesBecomeQuestionMarks) {
  EXPECT_EQ(EncodeCodePage(936, u"a\u0E01b"), "a?b");  // Thai letter, not in GBK
  EXPECT_EQ(EncodeCodePage(936, std::u16string(u"a\xD800"
                                               u"b")),
            "a?b");                                       // lone high surrogate
  EXPECT_EQ(EncodeCodePage(1252, u"\U0001F600!"), "?!");  // pair becomes one '?'
  EXPECT_EQ(EncodeCodePage(65001, u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(CodePage, Utf16BytesAreLittleEndianAndDropAnOddByte) {
  EXPECT_EQ(Utf16ToBytes(u"\u4E2DA"), std::string("\x2D\x4E\x41\x00", 4));
  EXPECT_EQ(BytesToUtf16(std::string("\x2D\x4E\x41", 3)), u"\u4E2D");
}

}  // namespace
}  // namespace korvane::platform
