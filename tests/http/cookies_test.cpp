#include "http/cookies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

TEST(MergeCookies, Table) {
  struct Case {
    std::string cookies, newCookies, merged, newAfter;
  };
  const Case cases[] = {
      {"a=1; b=2", "b=3; d=4", "b=3; d=4; a=1", "b=3;d=4"},
      // The deleted b also keeps the old b from being carried over.
      {"a=1; b=2", "b=deleted", "a=1", "b=deleted"},
      {"", "", "", ""},
      {"", "x=1;y=2", "x=1; y=2", "x=1;y=2"},
      {"x=1; y=2", "", "x=1; y=2", ""},
      {"A=1", "a=2", "a=2; A=1", "a=2"},  // names are case-sensitive
      {"a=hello world", "", "a=helloworld", ""},
      {"a=hello\xA1\xA1world", "b =\xA1\xA1 2", "b=2; a=helloworld", "b=2"},
      {"flag; x=1", "flag=on", "flag=on; x=1", "flag=on"},  // an entry without "=" is a name
      {"a=1;;b=2", "", "a=1; ; b=2", ""},                   // an empty entry survives once
      {"a=1;;b=2;;c=3", "", "a=1; ; b=2; c=3", ""},
      {"deleted=x", "", "deleted=x", ""},  // only values "deleted" are dropped
      {"a=1; a=2", "", "a=1", ""},         // of two old entries with one name, the first stays
      {"a=1", "b=2; b=2; c=3", "b=2; c=3; a=1", "b=2;b=2;c=3"},  // exact repeats kept once
      {"a=1", "b=2; b=5", "b=2; b=5; a=1", "b=2;b=5"},  // new entries with one name both stay
      {"a=1;", "b=2;", "b=2; a=1", "b=2;"},             // nothing after a final ";"
      {"a=1", "a=DELETED", "a=DELETED", "a=DELETED"},   // "deleted" in exact case only
      {";", ";", "", ";"},
  };
  for (const auto& c : cases) {
    std::string cookies = c.cookies;
    std::string newCookies = c.newCookies;
    const std::string result = MergeCookies(cookies, newCookies);
    EXPECT_EQ(result, c.merged) << c.cookies << " + " << c.newCookies;
    EXPECT_EQ(cookies, c.merged) << c.cookies << " + " << c.newCookies;
    EXPECT_EQ(newCookies, c.newAfter) << c.cookies << " + " << c.newCookies;
  }
}

TEST(MergeCookies, AValueEndingInAHalfCharacterKeepsTheNextCookieApart) {
  // "\xE4\xB8\xAD" (a UTF-8 character) reads as one GBK character and a lone lead byte. Kept
  // as it was, that byte would pair with the ";" of the join and swallow the next cookie.
  std::string cookies = "b=1";
  std::string newCookies = "a=\xE4\xB8\xAD";
  EXPECT_EQ(MergeCookies(cookies, newCookies), "a=\xE4\xB8; b=1");
  std::string again = newCookies;
  EXPECT_EQ(MergeCookies(cookies, again), "a=\xE4\xB8; b=1");
  EXPECT_EQ(SplitList(cookies, ";").size(), 2u);
  // An entry that is nothing but such a byte goes altogether.
  cookies = "a=1; \xA1";
  std::string none;
  EXPECT_EQ(MergeCookies(cookies, none), "a=1");
  EXPECT_EQ(MergeCookies(cookies, none), "a=1");
  // Names and "deleted" are read once the byte is gone, so a second merge agrees with the first.
  for (const std::string& set : {std::string("sid\xC3"), std::string("sid=deleted\x92")}) {
    cookies = "sid=abc; x=1";
    std::string first = set;
    const std::string merged = MergeCookies(cookies, first);
    std::string second = set;
    EXPECT_EQ(MergeCookies(cookies, second), merged) << set;
  }
}

TEST(MergeCookies, FullWidthSpaceOnlyWhereACharacterBegins) {
  // "\xB0\xA1" is one character; the A1 after it starts "\xA1\xA1", which is a space.
  std::string cookies = "v=\xB0\xA1\xA1\xA1x";
  std::string none;
  EXPECT_EQ(MergeCookies(cookies, none), "v=\xB0\xA1x");
  // Here the A1 A1 bytes straddle two characters and nothing is removed.
  cookies = "v=\xB0\xA1\xA1\x40";
  EXPECT_EQ(MergeCookies(cookies, none), "v=\xB0\xA1\xA1\x40");
}

TEST(CookieHelpers, NamesListsAndJoining) {
  EXPECT_EQ(CookieName(" sid = 7=8"), "sid");
  EXPECT_EQ(CookieName("flag"), "flag");
  EXPECT_EQ(CookieName("=x"), "");
  EXPECT_EQ(CookieName("\xA1\xA1name\xA1\xA1=1"), "name");

  const std::vector<std::string> list = {"a=1", "b", "c=3", "b"};
  EXPECT_TRUE(HasCookie(list, "b"));
  EXPECT_TRUE(HasCookie(list, "c"));
  EXPECT_FALSE(HasCookie(list, "C"));
  EXPECT_FALSE(HasCookie({}, ""));
  EXPECT_EQ(IndexOfText(list, "b"), 2);
  EXPECT_EQ(IndexOfText(list, "c"), -1);
  EXPECT_EQ(IndexOfText({}, ""), -1);

  EXPECT_EQ(JoinUnique("a; b; a; c; b", "; "), "a; b; c");
  EXPECT_EQ(JoinUnique("", "; "), "");
  EXPECT_EQ(JoinUnique("a,,a,", ","), "a,");  // the empty piece is kept once
  EXPECT_EQ(JoinUnique("x", ""), "x");

  EXPECT_EQ(SplitList("a;;b;", ";"), (std::vector<std::string_view>{"a", "", "b"}));
  EXPECT_EQ(SplitList(";", ";"), (std::vector<std::string_view>{""}));
  EXPECT_TRUE(SplitList("", ";").empty());
  // A separator is never found on the second byte of a character ("\xB0;" is not a character,
  // but "\xB0\x7C" is, and its second byte is '|').
  EXPECT_EQ(SplitList("\xB0|x|y", "|"), (std::vector<std::string_view>{"\xB0|x", "y"}));
}

}  // namespace
}  // namespace korvane
