#include "util/unescape.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/com_apartment.h"

namespace korvane {
namespace {

struct Case {
  std::string input;
  std::string output;
};

// A factory standing in for a machine where no script engine can be made.
const platform::ScriptHostFactory kNoEngine = [] {
  return std::shared_ptr<platform::ScriptHost>();
};

TEST(UnescapeText, DecodesThroughTheScriptEngine) {
  const int before = platform::ComInitCount();
  const Case cases[] = {
      {"plain text\r\nsecond line\r\n", "plain text\r\nsecond line\r\n"},
      {"\\u4e2d\\u6587 ok", "中文 ok"},
      {"%u4E2D%41%42", "中AB"},
      {"%u00e9", "\xA8\xA6"},   // é, which GBK has
      {"%u0041%u00", "A%u00"},  // an escape too short stays
      {"100% sure %zz", "100% sure %zz"},
      {"a{$}b", "a\r\nb"},
      {"left\xA1\xAFright", "left'right"},
      {"it's", "it's"},
      {"'%27'", "'''"},
      {"\rstart", "start"},
      {"\r\nstart", "\r\nstart"},
      {"a\\\"b\\\\c\\td", "a\"b\\c\td"},   // backslash sequences take their script meaning
      {"\x95\x5Cu0041", "\x95\x5Cu0041"},  // a GBK character whose second byte is a backslash
      {"中文", "中文"},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(UnescapeText(c.input), c.output) << c.input;
  EXPECT_EQ(platform::ComInitCount(), before);
}

TEST(UnescapeText, FallsBackToPercentDecodeWhenTheScriptGivesNothing) {
  // Each of these breaks the script literal, so the program's own decoder answers.
  const Case broken[] = {
      {"a\nb%41", "a\nbA"},
      {"x\ry%u4E2D", "x\ry中"},
      {"trailing\\", "trailing\\"},
      {"%u4e2d\\", "中\\"},
  };
  for (const Case& c : broken)
    EXPECT_EQ(UnescapeText(c.input), c.output) << c.input;

  const int before = platform::ComInitCount();
  const Case noEngine[] = {
      {"%41", "A"},
      {"%u4E2D", "中"},
      {"\\u4e2d\\u6587", "中文"},
      {"50%", "50%"},
      {"a{$}b\xA1\xAF", "a\r\nb'"},
      {"it's", "it's"},
      {"", ""},
  };
  for (const Case& c : noEngine)
    EXPECT_EQ(UnescapeText(c.input, kNoEngine), c.output) << c.input;
  EXPECT_EQ(platform::ComInitCount(), before);
}

// Each call gets a bare engine of its own: nothing but the call's own function is defined in it,
// neither the JSON document start-up nor anything of an earlier call.
TEST(UnescapeText, RunsInABareEngineOfItsOwn) {
  std::vector<std::shared_ptr<platform::ScriptHost>> made;
  const platform::ScriptHostFactory keeping = [&made] {
    auto host = platform::DefaultScriptHostFactory()();
    made.push_back(host);
    return host;
  };
  EXPECT_EQ(UnescapeText("%u4E2D", keeping), "中");
  EXPECT_EQ(UnescapeText("%41", keeping), "A");
  ASSERT_EQ(made.size(), 2u);
  ASSERT_NE(made[0], made[1]);
  for (const auto& host : made) {
    EXPECT_EQ(host->EvalText("typeof get__count"), "undefined");
    EXPECT_EQ(host->EvalText("typeof Object.prototype.toJSONString"), "undefined");
    EXPECT_EQ(host->EvalText("typeof xx"), "function");
  }
}

TEST(PercentDecode, DecodesHexadecimalEscapesAndLeavesTheRest) {
  const Case cases[] = {
      {"%41", "A"},
      {"%4a%4A", "JJ"},
      {"%u4e2d%u6587", "中文"},
      {"%u00E9", "\xA8\xA6"},
      {"%u00ff", "?"},  // ÿ: GBK lacks it
      {"%uD83D", "?"},  // a lone surrogate
      {"%u2019", "\xA1\xAF"},
      {"%uZZZZ", "%uZZZZ"},
      {"%u12G4", "%u12G4"},
      {"%u12", "%u12"},
      {"%G1", "%G1"},
      {"%4", "%4"},
      {"%", "%"},
      {"%%41", "%A"},
      {"中%41文", "中A文"},
      {"%0041", "41"},  // a NUL character ends its own text
      {"no escapes", "no escapes"},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PercentDecode(c.input), c.output) << c.input;
}

TEST(HexValue, ReadsHexadecimalDigits) {
  struct HexCase {
    const char* digits;
    int64_t value;
  };
  const HexCase cases[] = {{"", 0},
                           {"0", 0},
                           {"41", 65},
                           {"ff", 255},
                           {"FF", 255},
                           {"4e2D", 0x4E2D},
                           {"7fffffffffffffff", INT64_MAX},
                           {"g", -1},
                           {"1 ", -1},
                           {"-1", -1}};
  for (const HexCase& c : cases)
    EXPECT_EQ(HexValue(c.digits), c.value) << c.digits;
}

}  // namespace
}  // namespace korvane
