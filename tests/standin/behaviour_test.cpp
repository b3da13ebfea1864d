#include "standin/behaviour.h"

#include <gtest/gtest.h>

#include "standin/unicode_escapes.h"

namespace korvane::standin {
namespace {

TEST(Behaviour, ModeNamesRoundTrip) {
  for (Mode m :
       {Mode::kNormal, Mode::kNeverFinish, Mode::kStringProgress, Mode::kUnicodeEscapes,
        Mode::kStall, Mode::kServerError, Mode::kEmptyDownload, Mode::kNotPng, Mode::kSlowDrip,
        Mode::kGarbage, Mode::kTruncatedPng, Mode::kBadCrc, Mode::kNoIend}) {
    const auto parsed = ParseMode(ModeName(m));
    ASSERT_TRUE(parsed) << ModeName(m);
    EXPECT_EQ(*parsed, m);
    EXPECT_EQ(DefaultEndpoints(m) == 0, m == Mode::kNormal);
  }
  EXPECT_FALSE(ParseMode("Normal"));
  EXPECT_FALSE(ParseMode(""));
}

TEST(Behaviour, EndpointLists) {
  EXPECT_EQ(ParseEndpoints("status"), kStatusEndpoint);
  EXPECT_EQ(ParseEndpoints("upload,download"), kUploadEndpoint | kDownloadEndpoint);
  EXPECT_EQ(ParseEndpoints("collection,index,upload,convert,status,download"), kAllEndpoints);
  for (const char* bad : {"", "statuss", "status,", ",status", "status,,upload"}) {
    EXPECT_FALSE(ParseEndpoints(bad)) << bad;
  }
}

TEST(UnicodeEscapes, EscapesNonAsciiAndKeepsJsonValid) {
  EXPECT_EQ(EscapeNonAscii("{\"a\":\"x\"}"), "{\"a\":\"x\"}");
  EXPECT_EQ(EscapeNonAscii("转换"), "\\u8f6c\\u6362");
  EXPECT_EQ(EscapeNonAscii("é"), "\\u00e9");
  EXPECT_EQ(EscapeNonAscii("\xF0\x9F\x98\x80"), "\\ud83d\\ude00");  // a surrogate pair
  // Malformed UTF-8 (a stray continuation byte, a cut sequence, an overlong form).
  EXPECT_EQ(EscapeNonAscii("a\x80"
                           "b"),
            "a\\ufffdb");
  EXPECT_EQ(EscapeNonAscii("\xE8\xBD"), "\\ufffd\\ufffd");
  EXPECT_EQ(EscapeNonAscii("\xC0\xAF"), "\\ufffd\\ufffd");
  EXPECT_EQ(EscapeEveryCharacter("pr"), "\\u0070\\u0072");
}

}  // namespace
}  // namespace korvane::standin
