#include "http/meta_charset.h"

#include <gtest/gtest.h>

#include "script/regex_object.h"

namespace korvane {
namespace {

TEST(MetaCharset, FindsTheTagWhateverByteComesBeforeIt) {
  struct Case {
    std::string page;
    std::string expected;
  };
  const Case cases[] = {
      {"<html><meta charset=\"utf-8\">", "utf-8"},
      {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Big5\">", "Big5"},
      // a byte of 0x81 or more right before the tag: the end of a UTF-8 character, a stray byte
      {"<html>\xE4\xB8\xAD<meta charset=utf-8>", "utf-8"},
      {"\x81<meta charset=ks_c_5601-1987>", "ks_c_5601-1987"},
      {"<title>\xFF</title>\xA1<Meta charset=gbk>", "gbk"},
      {"{\"name\":\"meta\"}", ""},
      {"<html>" + std::string(1100, ' ') + "<meta charset=utf-8>", ""},
      {"<html>" + std::string(1010, ' ') + "<meta charset=utf-8>", ""},  // cut off in the tag
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page.substr(0, 60));
    RegexObject regex;
    EXPECT_EQ(DeclaredCharset(regex, c.page), c.expected);
  }
}

}  // namespace
}  // namespace korvane
