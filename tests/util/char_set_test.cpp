#include "util/char_set.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

Bytes B(std::initializer_list<unsigned char> bytes) {
  return Bytes(bytes.begin(), bytes.end());
}

TEST(CharSet, AnsiToWideAddsTerminatorAndEmptyStaysEmpty) {
  EXPECT_EQ(AnsiToWide(""), Bytes());
  EXPECT_EQ(AnsiToWide("A"), B({0x41, 0, 0, 0}));
  EXPECT_EQ(AnsiToWide("\xD6\xD0"), B({0x2D, 0x4E, 0, 0}));
  // The text ends at an embedded NUL, as a NUL-terminated text does.
  EXPECT_EQ(AnsiToWide(std::string("A\0B", 3)), B({0x41, 0, 0, 0}));
  // A lone lead byte at the end does not read past the text.
  EXPECT_EQ(AnsiToWide("A\xD6"), B({0x41, 0, 0xFD, 0xFF, 0, 0}));
}

TEST(CharSet, WideToAnsiHandlesTerminatorsAndOddLengths) {
  struct Case {
    Bytes input;
    std::string expected;
  };
  const Case cases[] = {
      {B({0x2D, 0x4E, 0, 0}), "\xD6\xD0"},
      {B({0x2D, 0x4E}), "\xD6\xD0"},
      {B({0x2D, 0x4E, 0x41, 0, 0x42}),
       "\xD6\xD0"
       "A"},                               // fifth byte ignored
      {B({0x41, 0, 0, 0, 0x42, 0}), "A"},  // a NUL code unit ends the text
      {B({0x41}), ""},
      {Bytes(), ""},
      {B({0x01, 0x0E}), "?"},  // a character GBK lacks
  };
  for (const auto& c : cases)
    EXPECT_EQ(WideToAnsi(c.input), c.expected);
}

TEST(CharSet, Utf8ToAnsi) {
  EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD"), "\xD6\xD0");
  EXPECT_EQ(Utf8ToAnsi(""), "");
  EXPECT_EQ(Utf8ToAnsi("a\xE0\xB8\x81z"), "a?z");  // Thai letter, not in GBK
  // Invalid UTF-8 never stops the conversion or reads past the end.
  EXPECT_EQ(Utf8ToAnsi("a\xFF"
                       "b\xE4\xB8"),
            "a?b??");
}

TEST(CharSet, Utf8ToAnsiDropsAByteOrderMark) {
  EXPECT_EQ(Utf8ToAnsi("\xEF\xBB\xBF{\"a\":\"\xE4\xB8\xAD\"}"), "{\"a\":\"\xD6\xD0\"}");
  EXPECT_EQ(Utf8ToAnsi("\xEF\xBB\xBF"), "");
  EXPECT_EQ(Utf8ToAnsi("a\xEF\xBB\xBF"), "a?");  // elsewhere it is a character GBK lacks
}

// A user-defined GBK character crosses to UTF-16 and back as Windows' code page 936
// carries it, and never takes the next character with it.
TEST(CharSet, UserDefinedCharactersRoundTrip) {
  EXPECT_EQ(AnsiToWide("\xAA\xA1\xD6\xD0"), B({0x00, 0xE0, 0x2D, 0x4E, 0, 0}));
  EXPECT_EQ(WideToAnsi(B({0x00, 0xE0, 0x2D, 0x4E, 0, 0})), "\xAA\xA1\xD6\xD0");
  EXPECT_EQ(AnsiToWide("\xF8\xA1"
                       "A"),
            B({0x34, 0xE2, 0x41, 0, 0, 0}));
  EXPECT_EQ(WideToAnsi(B({0xC6, 0xE4})), "\xA1\x40");
  EXPECT_EQ(Utf8ToAnsi("\xEE\x80\x80"), "\xAA\xA1");  // U+E000
}

TEST(CharSet, CodePageParameters) {
  EXPECT_EQ(CodePageToWide(""), B({0, 0}));
  EXPECT_EQ(CodePageToWide("\xE4\xB8\xAD"), B({0x2D, 0x4E, 0, 0}));
  EXPECT_EQ(CodePageToWide("\xE9", 1252), B({0xE9, 0, 0, 0}));
  EXPECT_EQ(CodePageToWide("abc", 4242), Bytes());
  EXPECT_EQ(WideToCodePage(B({0x2D, 0x4E, 0, 0})), "\xD6\xD0");  // 0: the ANSI code page
  EXPECT_EQ(WideToCodePage(B({0x2D, 0x4E, 0, 0}), 65001), "\xE4\xB8\xAD");
  EXPECT_EQ(WideToCodePage(B({0x41, 0, 0, 0, 0x42, 0}), 936), "A");
  EXPECT_EQ(WideToCodePage(B({0x41, 0}), 4242), "");
}

TEST(CharSet, Utf8ToAnsiInPiecesMatchesTheWholeConversion) {
  // Three- and four-byte characters, a cut-off sequence, stray continuation bytes and a
  // byte-order mark, each placed so that the first piece (a mebibyte) ends at every byte of it.
  const std::string_view specials[] = {"中", "\xF0\x9F\x98\x80",
                                       "\xE4\xB8"
                                       "x",
                                       "\x80\x80\x80\x80", "\xEF\xBB\xBF"};
  for (const std::string_view special : specials) {
    for (size_t before = 1; before <= special.size() + 1; ++before) {
      SCOPED_TRACE(std::to_string(before) + " bytes of it in the first piece");
      std::string text((1u << 20) - before, 'a');
      text += special;
      text += "文字 and more";
      EXPECT_EQ(Utf8ToAnsi(text), WideToCodePage(CodePageToWide(text), platform::kCodePageGbk));
    }
  }
  std::stop_source stopped;
  stopped.request_stop();
  EXPECT_EQ(Utf8ToAnsi(std::string(3u << 20, 'a'), stopped.get_token()), "");
}

}  // namespace
}  // namespace korvane
