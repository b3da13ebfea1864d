#include "util/gbk_exact.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(GbkExact, OnlyTextGbkCanSpellComesThrough) {
  struct Case {
    std::string utf8;
    std::optional<std::string> gbk;
  };
  const Case cases[] = {
      {"/tmp/icons/", "/tmp/icons/"},
      {"", ""},
      {"/tmp/\xE5\x9B\xBE\xE6\xA0\x87/", "/tmp/\xCD\xBC\xB1\xEA/"},  // 图标
      {"/tmp/f-?/", "/tmp/f-?/"},                                    // a real question mark
      {"/tmp/f-\xC3\xB6/", std::nullopt},                            // ö
      {"/tmp/\xF0\x9F\x98\x80/", std::nullopt},                      // an emoji
      {"/tmp/f-\xF6/", std::nullopt},                                // Latin-1 bytes, not UTF-8
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExactGbkFromUtf8(c.utf8), c.gbk) << c.utf8;
  }
  EXPECT_EQ(ExactGbkFromUtf16(u"f-\u00F6"), std::nullopt);
  EXPECT_EQ(ExactGbkFromUtf16(u"\xD800"), std::nullopt);  // a lone surrogate
  EXPECT_EQ(ExactGbkFromUtf16(u"f-\u56FE"), "f-\xCD\xBC");
}

}  // namespace
}  // namespace korvane
