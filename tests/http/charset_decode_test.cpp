#include "http/charset_decode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/code_page.h"

namespace korvane {
namespace {

TEST(CharsetDecode, WebLabelsReadAsThePlatformsWiderCodePages) {
  struct Case {
    const char* label;
    std::optional<unsigned> codePage;
  };
  const Case cases[] = {
      {"gb2312", 936},
      {"GB2312", 936},
      {"EUC-CN", 936},
      {"x-gbk", 936},
      {"GBK", 936},
      {"gb_2312-80", 936},
      {"gb18030", 54936},
      {"Shift_JIS", 932},
      {"shift-jis", 932},
      {"x-sjis", 932},
      {"sjis", 932},
      {"big5", 950},
      {"BIG5", 950},
      {"euc-kr", 949},
      {"ks_c_5601-1987", 949},
      {"KS_C_5601-1987", 949},
      {"cp949", 949},
      {"uhc", 949},
      {"iso-8859-1", 1252},
      {"ISO-8859-1", 1252},
      {"latin1", 1252},
      {"us-ascii", 1252},
      {"ascii", 1252},
      {"windows-1252", 1252},
      {"tis-620", 874},
      {"iso-8859-9", 1254},
      {" gbk\t", 936},
      {"utf-8", std::nullopt},
      {"big5-hkscs", std::nullopt},
      {"iso-8859-2", std::nullopt},
      {"", std::nullopt},
      {"gbk2", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CodePageForCharsetLabel(c.label), c.codePage) << c.label;

  EXPECT_EQ(IconvCharsetName("ks_c_5601-1987"), "CP949");
  EXPECT_EQ(IconvCharsetName("GB2312"), "CP936");
  EXPECT_EQ(IconvCharsetName("Shift_JIS"), "CP932");
  EXPECT_EQ(IconvCharsetName("latin1"), "CP1252");
  EXPECT_EQ(IconvCharsetName("x-mac-roman"), "MACINTOSH");
  EXPECT_EQ(IconvCharsetName("big5-hkscs"), "BIG5-HKSCS");
  EXPECT_EQ(IconvCharsetName("UTF-8"), "UTF-8");  // anything else as written
  EXPECT_EQ(IconvCharsetName("x-nothing-known"), "x-nothing-known");
}

// Characters only the wider code page has survive the trip into the program's text; with the
// narrow table each would be a '?'.
TEST(CharsetDecode, DecodesByTheWiderTableIntoGbk) {
  struct Case {
    const char* charset;
    std::string body;
    std::string expected;  // GBK
  };
  const Case cases[] = {
      {"GB2312", "a\x81\x40", "a\x81\x40"},               // U+4E02, in GBK only
      {"x-gbk", "\xAA\xA1\xD6\xD0", "\xAA\xA1\xD6\xD0"},  // a user-defined character kept
      {"iso-8859-1", "5\x80", "5\x80"},                   // the euro sign of windows-1252
      {"us-ascii", "\x93q\x94", "\xA1\xB0q\xA1\xB1"},     // curly quotes
      {"shift_jis", "\x87\x90", "\xA8\x50"},              // U+2252, a CP932 extension
      {"big5", "\xA3\xE1", "\x80"},                       // the euro sign of CP950
      {"ks_c_5601-1987", "\xA2\xE8", "?"},                // what the crash was made of
      {"ks_c_5601-1987", "\xA2\xE8<", "?<"},
      {"ISO-2022-CN-EXT", "x\x0E", "x?"},
      {"utf-8", "\xEF\xBB\xBF\xE4\xB8\xAD", "\xD6\xD0"},  // the byte-order mark dropped
      {"big5", "\xEF\xBB\xBF\xE4\xB8\xAD", "\xD6\xD0"},   // and it says UTF-8 whatever is declared
      {"utf-8", "a\xEF\xBB\xBF", "a?"},                   // only at the start
      {"utf-8", std::string("a\0b", 3), "a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.charset) + " " + c.body);
    EXPECT_EQ(DecodeToGbk(c.body, c.charset), c.expected);
  }
  EXPECT_FALSE(DecodeToGbk("abc", "x-nothing-known").has_value());
  EXPECT_FALSE(DecodeToGbk("abc", "").has_value());
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// A UTF-8 page goes straight to GBK; the result must be what decoding to UTF-16 and encoding that
// gives, NULs, byte-order marks, bad and unmappable sequences included.
TEST(CharsetDecode, Utf8PagesConvertAsThroughUtf16) {
  const std::string pieces[] = {"<meta charset=utf-8>",
                                "\xE4\xB8\xAD",
                                "\xEF\xBB\xBF",
                                "\xFF",
                                "\xE4\xB8",
                                std::string(1, '\0'),
                                "\xF0\x9F\x98\x80",
                                "\xEE\x80\x80",
                                "\xED\xA0\x80",
                                "0123456789abcdefgh",
                                "\xC3"};
  std::mt19937 random(5);
  for (int round = 0; round < 2000; ++round) {
    std::string body;
    const int count = static_cast<int>(random() % 8);
    for (int i = 0; i < count; ++i)
      body += pieces[random() % std::size(pieces)];
    for (const char* label : {"utf-8", "UTF-8", "unicode-1-1-utf-8"}) {
      std::string_view rest = body;
      if (rest.starts_with("\xEF\xBB\xBF"))
        rest.remove_prefix(3);
      std::string expected =
          *platform::EncodeCodePage(936, *platform::DecodeCharset("UTF-8", rest));
      expected.resize(std::min(expected.size(), expected.find('\0')));
      ASSERT_EQ(DecodeToGbk(body, label), expected) << ::testing::PrintToString(body) << label;
    }
  }
}

}  // namespace
}  // namespace korvane
