// The engines a run keeps across its documents give exactly what fresh engines give, in any
// order of replies, and a retired engine is replaced instead of failing every later document.
#include "pipeline/run_scripts.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "util/unescape.h"

namespace korvane {
namespace {

// Makes real engines and remembers each, so a test can count them or retire one.
struct CountingFactory {
  std::shared_ptr<std::vector<std::shared_ptr<platform::ScriptHost>>> made =
      std::make_shared<std::vector<std::shared_ptr<platform::ScriptHost>>>();

  platform::ScriptHostFactory Factory() const {
    return [made = made] {
      made->push_back(platform::DefaultScriptHostFactory()());
      return made->back();
    };
  }
};

// Texts that walk the decoder's corners: both escape forms, broken and partial escapes, the
// stand-ins for quote and line break, line breaks that end the script literal, backslash
// sequences that the literal itself interprets, a trailing backslash, NUL, surrogates, GBK text.
const std::vector<std::string> kTrickyReplies = {
    "",
    "{\"progress\":100}",
    "{\"progress\":\"\\u0031\\u0030\\u0030\"}",
    "\\u4e2d\\u6587 %u4E2D%41%4a%zz %u12 %",
    "it's {$} and \xA1\xAF and \"quoted\"",
    "line\r\nbreak\r\n",
    "\rleading CR",
    "lone\nLF",
    "lone\rCR",
    "ends with a backslash\\",
    "\\n\\t\\x41\\\\\\\"\\'\\0\\101\\q",
    "%00 after NUL",
    "%u0000",
    "%uD83D%uDE00 %uD800 %uDC00x",
    "\xD6\xD0\xCE\xC4 \x81\x40 \xFE\xFE \x80 \xFF",
    "%u00e9%E9%u20AC%A9",
    "\\u00",
    "\\\\u0041",
    "%%41%%",
};

std::string RandomReply(std::mt19937& random) {
  static const char* const kPieces[] = {
      "\\u", "%u",       "%",    "\\", "'", "\r\n", "\r", "\n",      "{$}", "\xA1\xAF",
      "\"",  "0",        "4",    "1",  "e", "F",    "D8", "00",      "a",   "z",
      " ",   "\xD6\xD0", "\x81", "x",  "{", "}",    ":",  "progress"};
  std::uniform_int_distribution<size_t> piece(0, std::size(kPieces) - 1);
  std::uniform_int_distribution<int> length(0, 24);
  std::string reply;
  for (int n = length(random); n > 0; --n)
    reply += kPieces[piece(random)];
  return reply;
}

TEST(RunScripts, KeptEscapeEngineDecodesExactlyAsAFreshOne) {
  CountingFactory counting;
  RunScripts scripts(counting.Factory());
  std::vector<std::string> replies = kTrickyReplies;
  std::mt19937 random(20261211);
  for (int i = 0; i < 400; ++i)
    replies.push_back(RandomReply(random));
  // Each text once after every kind of predecessor: a literal that failed to compile must not
  // leave the decoding of the text before it behind.
  for (const std::string& reply : replies) {
    SCOPED_TRACE(testing::PrintToString(reply));
    EXPECT_EQ(UnescapeText(reply, scripts.UnescapeEngines()), UnescapeText(reply));
  }
  EXPECT_EQ(counting.made->size(), 1u);
}

TEST(RunScripts, StatusReaderReadsEachReplyAsAFreshObjectWould) {
  CountingFactory counting;
  RunScripts scripts(counting.Factory());
  const std::vector<std::string> replies = {
      "{\"progress\":40}",      "not json", "{\"progress\":100}", "{}", "null",
      "{\"progress\":\"100\"}", ""};
  for (const std::string& reply : replies) {
    SCOPED_TRACE(reply);
    JsonObject fresh;
    const bool freshParsed = fresh.Parse(reply);
    EXPECT_EQ(scripts.StatusReader().Parse(reply), freshParsed);
    EXPECT_EQ(scripts.StatusReader().GetText("progress", true), fresh.GetText("progress", true));
  }
  EXPECT_EQ(counting.made->size(), 1u);
}

TEST(RunScripts, RetiredEnginesAreReplaced) {
  CountingFactory counting;
  RunScripts scripts(counting.Factory());
  ASSERT_TRUE(scripts.StatusReader().Parse("{\"progress\":1}"));
  ASSERT_EQ(UnescapeText("%41", scripts.UnescapeEngines()), "A");
  ASSERT_EQ(counting.made->size(), 2u);
  for (const auto& host : *counting.made)
    host->RaiseFatalErrorForTest();

  EXPECT_TRUE(scripts.StatusReader().Parse("{\"progress\":100}"));
  EXPECT_EQ(scripts.StatusReader().GetText("progress", true), "100");
  EXPECT_EQ(UnescapeText("\\u0042", scripts.UnescapeEngines()), "B");
  EXPECT_EQ(counting.made->size(), 4u);
}

}  // namespace
}  // namespace korvane
