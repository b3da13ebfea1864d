#include "script/regex_object.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com_apartment.h"

namespace korvane {
namespace {

std::vector<std::string> AllMatches(const RegexObject& re) {
  std::vector<std::string> out;
  for (int i = 1; i <= re.MatchCount(); ++i) {
    out.push_back(re.MatchText(i));
  }
  return out;
}

TEST(RegexObject, MatchGroupAndPosition) {
  RegexObject re;
  ASSERT_TRUE(re.Search("a(b)c", "xxabcxx"));
  EXPECT_EQ(re.MatchCount(), 1);
  EXPECT_EQ(re.SubMatchCount(), 1);
  int64_t position = -1;
  EXPECT_EQ(re.MatchText(1, &position), "abc");
  EXPECT_EQ(position, 2);
  EXPECT_EQ(re.SubMatchText(1, 1, &position), "b");
  EXPECT_EQ(position, 3);
  EXPECT_EQ(re.GetPattern(), "a(b)c");
}

TEST(RegexObject, BeforeAnySearchEveryQueryIsEmpty) {
  RegexObject re;
  int64_t position = 7;
  EXPECT_EQ(re.GetPattern(), "");
  EXPECT_EQ(re.ReplaceMatches("x"), "");
  EXPECT_EQ(re.MatchText(1, &position), "");
  EXPECT_EQ(position, -2);
  EXPECT_EQ(re.SubMatchText(1, 1), "");
  EXPECT_EQ(re.MatchCount(), 0);
  EXPECT_EQ(re.SubMatchCount(), 0);
}

struct OptionCase {
  const char* name;
  std::string pattern;
  std::string subject;
  bool caseSensitive;
  bool multiline;
  bool global;
  std::vector<std::string> matches;
};

// Each case is a behaviour of the old engine's dialect that plain PCRE2 (or a plain reading of the
// options) would get wrong.
TEST(RegexObject, OptionsAndDialect) {
  const std::vector<OptionCase> cases = {
      {"global by default", "a", "aaa", false, true, true, {"a", "a", "a"}},
      {"global off keeps the first", "a", "aaa", false, true, false, {"a"}},
      {"ignores case by default", "ABC", "xabc", false, true, true, {"abc"}},
      {"case-sensitive finds nothing", "ABC", "xabc", true, true, true, {}},
      {"multi-line by default", "^b", "a\nb", false, true, true, {"b"}},
      {"single-line anchors at the start only", "^b", "a\nb", false, false, true, {}},
      {"CR alone ends a line", "^b", "a\rb", false, true, true, {"b"}},
      {"$ only at the very end", "a$", "a\n", false, false, true, {}},
      {"$ before a line break when multi-line", "a$", "a\nb", false, true, true, {"a"}},
      {"dot stops at LF", "a.b", "a\nb", false, true, true, {}},
      {"dot stops at CR", "a.b", "a\rb", false, true, true, {}},
      {"dot takes a Chinese character", "a.b", "a中b", false, true, true, {"a中b"}},
      {"unset back-reference matches empty", "(a)?\\1b", "b", false, true, true, {"b"}},
      {"forward reference matches empty", "\\1(a)", "a", false, true, true, {"a"}},
      {"\\u escape", "\\u4E2D.", "x中文", false, true, true, {"中文"}},
      {"\\u escape is case-free in hex", "\\u4e2d", "中", false, true, true, {"中"}},
      {"[^] takes any character", "a[^]b", "a\nb", false, true, true, {"a\nb"}},
      {"\\w is ASCII only", "\\w+", "ab中cd", false, true, true, {"ab", "cd"}},
      {"lazy stops at the nearest end", "<(.*?)>", "<a><b>", false, true, true, {"<a>", "<b>"}},
      {"empty matches step one character", "x*", "axb", false, true, true, {"", "x", "", ""}},
      {"an empty match is not retried non-empty", "a??", "a", false, true, true, {"", ""}},
      {"empty pattern matches between characters", "", "中b", false, true, true, {"", "", ""}},
      {"empty pattern over empty subject", "", "", false, true, true, {""}},
      {"empty subject", "a", "", false, true, true, {}},
      {"ignore case folds non-ASCII letters",
       "\\u00C9",
       "\xA8\xA6",
       false,
       true,
       true,
       {"\xA8\xA6"}},
  };
  for (const OptionCase& c : cases) {
    SCOPED_TRACE(c.name);
    RegexObject re;
    ASSERT_TRUE(re.Search(c.pattern, c.subject, c.caseSensitive, c.multiline, c.global));
    EXPECT_EQ(AllMatches(re), c.matches);
  }
}

TEST(RegexObject, PathRunsOfIconMarkup) {
  const std::string pattern = "<path d=(.*?)</svg>";
  const std::string markup =
      "<svg viewBox=\\\"0 0 1024 1024\\\"><path d=\\\"M1 2z\\\" fill=\\\"#333\\\"></path>"
      "<path d=\\\"M3 4z\\\"></path></svg><svg><path d=\\\"M5 6z\\\"></path></svg>";
  RegexObject re;
  ASSERT_TRUE(re.Search(pattern, markup, false, false, true));
  ASSERT_EQ(re.MatchCount(), 2);
  EXPECT_EQ(re.SubMatchText(1, 1),
            "\\\"M1 2z\\\" fill=\\\"#333\\\"></path><path d=\\\"M3 4z\\\"></path>");
  EXPECT_EQ(re.SubMatchText(2, 1), "\\\"M5 6z\\\"></path>");

  ASSERT_TRUE(re.Search(pattern, "<svg><path d=\"M1\">\n</path></svg>", false, false, true));
  EXPECT_EQ(re.MatchCount(), 0);
  ASSERT_TRUE(re.Search(pattern, "<SVG><PATH D=\"M1\"></PATH></SVG>", false, false, true));
  EXPECT_EQ(re.SubMatchText(1, 1), "\"M1\"></PATH>");
}

TEST(RegexObject, CharsetOfPageHead) {
  RegexObject re;
  ASSERT_TRUE(re.Search("<meta.+?charset=[^\\w]?([-\\w]+)",
                        "<html><head>\r\n<META http-equiv=\"Content-Type\" "
                        "content=\"text/html; charset=UTF-8\">"));
  EXPECT_EQ(re.SubMatchText(1, 1), "UTF-8");
  ASSERT_TRUE(re.Search("<meta.+?charset=[^\\w]?([-\\w]+)", "<meta charset=\"gb2312\" />"));
  EXPECT_EQ(re.SubMatchText(1, 1), "gb2312");
  ASSERT_TRUE(re.Search("<meta.+?charset=[^\\w]?([-\\w]+)", "{\"data\":1}"));
  EXPECT_EQ(re.SubMatchText(1, 1), "");
}

TEST(RegexObject, QuotePlaceholder) {
  EXPECT_EQ(RegexObject::kQuotePlaceholder, "\x23\xD2\xFD\xBA\xC5");
  RegexObject re;
  ASSERT_TRUE(re.Search("d=#引号(.*?)#引号", "<path d=\"M1 2\"/>", false, true, true, true));
  EXPECT_EQ(re.GetPattern(), "d=\"(.*?)\"");
  EXPECT_EQ(re.SubMatchText(1, 1), "M1 2");

  ASSERT_TRUE(re.Search("d=#引号(.*?)#引号", "<path d=\"M1 2\"/>"));
  EXPECT_EQ(re.MatchCount(), 0);
  EXPECT_EQ(re.GetPattern(), "d=#引号(.*?)#引号");
  ASSERT_TRUE(re.Search("d=#引号(.*?)#引号", "d=#引号x#引号"));
  EXPECT_EQ(re.SubMatchText(1, 1), "x");
}

TEST(RegexObject, InvalidPatternLeavesNoMatches) {
  RegexObject re;
  ASSERT_TRUE(re.Search("a(b)c", "abc"));
  int64_t position = 0;
  for (const std::string bad : {"(ab", "a)", "[a", "a{2,1}", "*a", "\\"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(re.Search(bad, "ab abc"));
    EXPECT_EQ(re.MatchCount(), 0);
    EXPECT_EQ(re.SubMatchCount(), 0);
    EXPECT_EQ(re.MatchText(1, &position), "");
    EXPECT_EQ(position, -2);
    EXPECT_EQ(re.ReplaceMatches("x"), "");
    EXPECT_EQ(re.GetPattern(), bad);  // the engine holds the pattern it rejected
  }
}

TEST(RegexObject, IndexesOutOfRange) {
  RegexObject re;
  ASSERT_TRUE(re.Search("a(b)?", "a ab"));
  ASSERT_EQ(re.MatchCount(), 2);
  struct Case {
    int match;
    int sub;
  };
  for (const Case c : {Case{0, 1}, Case{-1, 1}, Case{3, 1}, Case{1, 0}, Case{1, 2}, Case{1, -5}}) {
    SCOPED_TRACE(std::to_string(c.match) + "," + std::to_string(c.sub));
    int64_t position = 0;
    EXPECT_EQ(re.SubMatchText(c.match, c.sub, &position), "");
    EXPECT_EQ(position, -2);
  }
  int64_t position = 0;
  EXPECT_EQ(re.MatchText(3, &position), "");
  EXPECT_EQ(position, -2);
  EXPECT_EQ(re.MatchText(0), "");
  // A group that took no part: empty, and no place in the subject.
  EXPECT_EQ(re.SubMatchText(1, 1, &position), "");
  EXPECT_EQ(position, -2);
  EXPECT_EQ(re.SubMatchText(2, 1, &position), "b");
  EXPECT_EQ(position, 3);
}

TEST(RegexObject, PositionsCountBytesOfTheSubject) {
  RegexObject re;
  int64_t position = 0;
  // Two double-byte characters before the match: its UTF-16 index is 2, its byte offset 4.
  ASSERT_TRUE(re.Search("(文)字", "中文文字"));
  EXPECT_EQ(re.MatchText(1, &position), "文字");
  EXPECT_EQ(position, 4);
  EXPECT_EQ(re.SubMatchText(1, 1, &position), "文");
  EXPECT_EQ(position, 4);
  // The same text earlier in the subject does not take the place of the match.
  ASSERT_TRUE(re.Search("a$", "中中aba", false, false));
  EXPECT_EQ(re.MatchText(1, &position), "a");
  EXPECT_EQ(position, 6);
  ASSERT_TRUE(re.Search("a", "aa"));
  EXPECT_EQ(re.MatchText(2, &position), "a");
  EXPECT_EQ(position, 1);
  // A group is found at its own place, not at an earlier copy of its text inside the match.
  ASSERT_TRUE(re.Search("a(a)", "xaa"));
  EXPECT_EQ(re.SubMatchText(1, 1, &position), "a");
  EXPECT_EQ(position, 2);
  // An empty match at the end of the subject.
  ASSERT_TRUE(re.Search("$", "中b", false, false));
  EXPECT_EQ(re.MatchText(1, &position), "");
  EXPECT_EQ(position, 3);
}

TEST(RegexObject, BadGbkInput) {
  RegexObject re;
  int64_t position = 0;
  // A lone lead byte at the end and an invalid byte are one character each, shown as "?".
  ASSERT_TRUE(re.Search(".", "a\xFF\x81"));
  EXPECT_EQ(AllMatches(re), (std::vector<std::string>{"a", "?", "?"}));
  EXPECT_EQ(re.MatchText(3, &position), "?");
  EXPECT_EQ(position, 2);
  // A lead byte before a byte that cannot follow it: the second byte stays itself.
  ASSERT_TRUE(re.Search(" b", "\x81 b"));
  EXPECT_EQ(re.MatchText(1, &position), " b");
  EXPECT_EQ(position, 1);
  // Invalid bytes of pattern and subject both stand for U+FFFD, so they match each other only.
  ASSERT_TRUE(re.Search("a\xFF", "b\xFE a\xFF"));
  EXPECT_EQ(AllMatches(re), std::vector<std::string>{"a?"});
  re.MatchText(1, &position);
  EXPECT_EQ(position, 3);
  // A zero byte is a character like any other.
  ASSERT_TRUE(re.Search("b", std::string("a\0b", 3)));
  EXPECT_EQ(re.MatchText(1, &position), "b");
  EXPECT_EQ(position, 2);
  // "\u" with an escaped lone surrogate is not a character: the pattern is rejected.
  EXPECT_FALSE(re.Search("\\uD800", "a"));
}

struct ReplaceCase {
  std::string pattern;
  std::string subject;
  bool global;
  std::string replacement;
  std::string expected;
};

TEST(RegexObject, ReplaceMatchesExpandsEcmaScriptPatterns) {
  const std::vector<ReplaceCase> cases = {
      {"a(b)c", "xabcx", true, "[$1]", "x[b]x"},
      {"a(b)c", "xabcx", true, "[$&]", "x[abc]x"},
      {"a(b)c", "xabcxy", true, "[$`]", "x[x]xy"},
      {"a(b)c", "xabcxy", true, "[$']", "x[xy]xy"},
      {"a(b)c", "xabcx", true, "$$1", "x$1x"},
      {"a(b)c", "xabcx", true, "$0$2$", "x$0$2$x"},
      {"a(b)c", "xabcx", true, "$10", "xb0x"},
      {"a(b)c", "xabcx", true, "$01", "xbx"},
      {"a(b)c", "xabcx", true, "$x$", "x$x$x"},
      {"(a)|(b)", "ab", true, "[$1$2]", "[a][b]"},
      {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)", "abcdefghijk", true, "$11$10$1", "kja"},
      {"o", "foo boo", true, "0", "f00 b00"},
      {"o", "foo boo", false, "0", "f0o boo"},
      {"x", "abc", true, "y", "abc"},
      {"", "ab", true, "-", "-a-b-"},
      {"文", "中文字文", true, "[$&]", "中[文]字[文]"},
      {"(\\d+)", "第12页", true, "<$1>", "第<12>页"},
  };
  for (const ReplaceCase& c : cases) {
    SCOPED_TRACE(c.pattern + " / " + c.replacement);
    RegexObject re;
    ASSERT_TRUE(re.Search(c.pattern, c.subject, false, true, c.global));
    EXPECT_EQ(re.ReplaceMatches(c.replacement), c.expected);
  }
}

TEST(RegexObject, EachSearchReplacesTheLastOne) {
  RegexObject re;
  ASSERT_TRUE(re.Search("(a)(b)", "ab ab", true, true, true));
  ASSERT_TRUE(re.Search("c", "ABC", false, true, false));
  EXPECT_EQ(re.MatchCount(), 1);
  EXPECT_EQ(re.SubMatchCount(), 0);
  EXPECT_EQ(re.MatchText(1), "C");
  EXPECT_EQ(re.ReplaceMatches("x"), "ABx");
  ASSERT_TRUE(re.Search("z", "ABC"));
  EXPECT_EQ(re.SubMatchCount(), 0);
  EXPECT_EQ(re.ReplaceMatches("x"), "ABC");
}

TEST(RegexObject, CloneSharesResultsAndOutlivesTheOriginal) {
  const int before = platform::ComInitCount();
  {
    auto original = std::make_unique<RegexObject>();
    EXPECT_EQ(platform::ComInitCount(), before + 1);
    ASSERT_TRUE(original->Search("a(b)c", "xabcx"));
    RegexObject copy = original->Clone();
    RegexObject copyOfCopy = copy.Clone();
    EXPECT_EQ(platform::ComInitCount(), before + 3);
    original.reset();
    EXPECT_EQ(copy.GetPattern(), "a(b)c");
    EXPECT_EQ(copy.MatchCount(), 1);
    EXPECT_EQ(copy.SubMatchText(1, 1), "b");
    EXPECT_EQ(copy.ReplaceMatches("[$1]"), "x[b]x");
    // A new search on one copy leaves the other with the shared results.
    ASSERT_TRUE(copy.Search("x", "xx"));
    EXPECT_EQ(copy.MatchCount(), 2);
    EXPECT_EQ(copyOfCopy.MatchText(1), "abc");
    EXPECT_EQ(copyOfCopy.ReplaceMatches("-"), "x-x");
  }
  EXPECT_EQ(platform::ComInitCount(), before);

  RegexObject empty;
  RegexObject emptyCopy = empty.Clone();
  EXPECT_EQ(emptyCopy.GetPattern(), "");
  EXPECT_EQ(emptyCopy.MatchCount(), 0);
}

TEST(RegexObject, EveryLifeLeavesTheThreadBalanced) {
  const int before = platform::ComInitCount();
  {
    RegexObject a;
    RegexObject b;
    EXPECT_TRUE(a.Search("x", "x"));
    EXPECT_FALSE(b.Search("(", "x"));
    EXPECT_EQ(platform::ComInitCount(), before + 2);
  }
  EXPECT_EQ(platform::ComInitCount(), before);
}

}  // namespace
}  // namespace korvane
