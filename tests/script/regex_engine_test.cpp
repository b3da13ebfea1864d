// The engine seam: its limits on real PCRE2, and the regex object's answers when an engine fails
// in ways PCRE2 can't be made to.
#include "platform/regex_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com_apartment.h"
#include "script/regex_object.h"

namespace korvane {
namespace {

using platform::CompiledRegex;
using platform::Pcre2Limits;
using platform::RegexCompileResult;
using platform::RegexCompileStatus;
using platform::RegexEngine;
using platform::RegexFlags;
using platform::RegexMatchStatus;
using platform::RegexSpan;

// The parameter says whether PCRE2 may compile patterns to machine code.
class Pcre2LimitsTest : public ::testing::TestWithParam<bool> {
 protected:
  static std::shared_ptr<RegexEngine> Engine() {
    Pcre2Limits limits;
    limits.useJit = GetParam();
    return platform::MakePcre2RegexEngine(limits);
  }
};

TEST_P(Pcre2LimitsTest, CatastrophicPatternGivesUpInsteadOfHanging) {
  RegexObject re(Engine());
  const std::string as(30, 'a');
  // Nothing to find: PCRE2 sees that no "b" exists and answers at once.
  EXPECT_TRUE(re.Search("(a+)+b", as));
  EXPECT_EQ(re.MatchCount(), 0);
  EXPECT_EQ(re.LastSearchFailure(), RegexObject::SearchFailure::kNone);
  // A "b" exists but not after the run of "a": every split of the run is tried, 2^30 of them, and
  // the match limit stops the search.
  EXPECT_FALSE(re.Search("(a+)+b", as + "!b"));
  EXPECT_EQ(re.LastSearchFailure(), RegexObject::SearchFailure::kGaveUp);
  EXPECT_EQ(re.MatchCount(), 0);
  EXPECT_EQ(re.MatchText(1), "");
  EXPECT_EQ(re.ReplaceMatches("x"), "");
  EXPECT_FALSE(re.Search("(a|aa)+$", as + as + "!", false, false));
  // The object stays usable after giving up.
  EXPECT_TRUE(re.Search("(a+)+!", as + "!"));
  EXPECT_EQ(re.MatchCount(), 1);
  EXPECT_EQ(re.LastSearchFailure(), RegexObject::SearchFailure::kNone);
  EXPECT_FALSE(re.Search("(a", as));
  EXPECT_EQ(re.LastSearchFailure(), RegexObject::SearchFailure::kRejected);
}

TEST_P(Pcre2LimitsTest, MegabyteLineStillMatchesThePathPattern) {
  RegexObject re(Engine());
  std::string path = "\\\"";
  while (path.size() < 1024 * 1024) {
    path += "M512 64C264.6 64 64 264.6 64 512s200.6 448 448 448 448-200.6 448-448S759.4 64 512 64z";
  }
  path += "\\\"></path>";
  const std::string line = "<svg class=\\\"icon\\\"><path d=" + path + "</svg>";
  ASSERT_TRUE(re.Search("<path d=(.*?)</svg>", line, false, false, true));
  ASSERT_EQ(re.MatchCount(), 1);
  EXPECT_EQ(re.SubMatchText(1, 1), path);
  // Deep backtracking through a repeated group over a long line.
  std::string pairs;
  for (int i = 0; i < 100'000; ++i) {
    pairs += "ab";
  }
  ASSERT_TRUE(re.Search("^(ab|cd)*$", pairs, false, false));
  EXPECT_EQ(re.MatchCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Engines, Pcre2LimitsTest, ::testing::Bool(), [](const auto& info) {
  return std::string(info.param ? "Jit" : "Interpreter");
});

TEST(Pcre2Engine, SmallJitStackFallsBackToTheInterpreter) {
  Pcre2Limits limits;
  limits.jitStackBytes = 0;  // the smallest stack PCRE2 allows
  auto engine = platform::MakePcre2RegexEngine(limits);
  RegexCompileResult compiled = engine->Compile(u"(a|b)*c", RegexFlags{});
  ASSERT_EQ(compiled.status, RegexCompileStatus::kCompiled);
  std::u16string subject;
  for (int i = 0; i < 200'000; ++i) {
    subject += u"ab";
  }
  subject += u"c";
  std::vector<RegexSpan> spans;
  ASSERT_EQ(compiled.regex->Match(subject, 0, spans), RegexMatchStatus::kMatched);
  ASSERT_EQ(spans.size(), 2u);
  EXPECT_EQ(spans[0].begin, 0u);
  EXPECT_EQ(spans[0].end, subject.size());
  EXPECT_EQ(spans[1].begin, subject.size() - 2);
}

TEST(Pcre2Engine, MatchReportsGroupsAndRejectsBadOffsets) {
  auto engine = platform::MakePcre2RegexEngine();
  RegexCompileResult compiled = engine->Compile(u"(x)?(y)", RegexFlags{true, false});
  ASSERT_EQ(compiled.status, RegexCompileStatus::kCompiled);
  EXPECT_EQ(compiled.regex->GroupCount(), 2u);
  std::vector<RegexSpan> spans;
  ASSERT_EQ(compiled.regex->Match(u"yY", 1, spans), RegexMatchStatus::kMatched);
  ASSERT_EQ(spans.size(), 3u);
  EXPECT_EQ(spans[0].begin, 1u);
  EXPECT_FALSE(spans[1].IsSet());
  EXPECT_EQ(spans[2].end, 2u);
  EXPECT_EQ(compiled.regex->Match(u"yY", 2, spans), RegexMatchStatus::kNoMatch);
  EXPECT_EQ(compiled.regex->Match(u"yY", 3, spans), RegexMatchStatus::kFailed);
  EXPECT_EQ(engine->Compile(u"(", RegexFlags{}).status, RegexCompileStatus::kRejected);
}

// An engine whose every step can be made to fail or to report nonsense.
class FaultyEngine : public RegexEngine {
 public:
  enum class Fault { kNone, kUnavailable, kFailOnSecondMatch, kMatchBeforeOffset, kSpanPastEnd };

  explicit FaultyEngine(Fault fault) : fault_(fault) {}

  RegexCompileResult Compile(std::u16string_view pattern, RegexFlags) override {
    if (fault_ == Fault::kUnavailable) {
      return {RegexCompileStatus::kUnavailable, nullptr};
    }
    return {RegexCompileStatus::kCompiled, std::make_unique<Regex>(fault_, pattern)};
  }

 private:
  // Finds the pattern as a literal text, with the configured fault.
  class Regex : public CompiledRegex {
   public:
    Regex(Fault fault, std::u16string_view literal) : fault_(fault), literal_(literal) {}
    size_t GroupCount() const override { return 0; }
    RegexMatchStatus Match(std::u16string_view subject, size_t offset,
                           std::vector<RegexSpan>& spans) override {
      if (fault_ == Fault::kFailOnSecondMatch && ++calls_ == 2) {
        return RegexMatchStatus::kFailed;
      }
      const size_t at = subject.find(literal_, offset);
      if (at == std::u16string_view::npos) {
        return RegexMatchStatus::kNoMatch;
      }
      spans.assign(1, RegexSpan{at, at + literal_.size()});
      if (fault_ == Fault::kMatchBeforeOffset) {
        spans[0] = RegexSpan{0, 0};
      } else if (fault_ == Fault::kSpanPastEnd) {
        spans[0].end = subject.size() + 5;
      }
      return RegexMatchStatus::kMatched;
    }

   private:
    Fault fault_;
    std::u16string literal_;
    int calls_ = 0;
  };

  Fault fault_;
};

TEST(RegexObjectFaults, EngineThatCannotBeMadeBehavesAsBeforeAnySearch) {
  const int before = platform::ComInitCount();
  {
    RegexObject re(std::make_shared<FaultyEngine>(FaultyEngine::Fault::kUnavailable));
    EXPECT_FALSE(re.Search("a", "aaa"));
    EXPECT_EQ(re.LastSearchFailure(), RegexObject::SearchFailure::kUnavailable);
    EXPECT_EQ(re.GetPattern(), "");
    EXPECT_EQ(re.MatchCount(), 0);
    EXPECT_EQ(re.ReplaceMatches("x"), "");
    RegexObject none(nullptr);
    EXPECT_FALSE(none.Search("a", "aaa"));
    EXPECT_EQ(none.LastSearchFailure(), RegexObject::SearchFailure::kUnavailable);
    EXPECT_EQ(none.GetPattern(), "");
  }
  EXPECT_EQ(platform::ComInitCount(), before);
}

TEST(RegexObjectFaults, EngineBreakingDownMidSearchLeavesNoMatches) {
  for (const auto fault :
       {FaultyEngine::Fault::kFailOnSecondMatch, FaultyEngine::Fault::kMatchBeforeOffset,
        FaultyEngine::Fault::kSpanPastEnd}) {
    SCOPED_TRACE(static_cast<int>(fault));
    RegexObject re(std::make_shared<FaultyEngine>(fault));
    EXPECT_FALSE(re.Search("ab", "xxabxxab"));
    EXPECT_EQ(re.LastSearchFailure(), RegexObject::SearchFailure::kGaveUp);
    EXPECT_EQ(re.MatchCount(), 0);
    EXPECT_EQ(re.SubMatchCount(), 0);
    EXPECT_EQ(re.MatchText(1), "");
    EXPECT_EQ(re.ReplaceMatches("-"), "");
    EXPECT_EQ(re.GetPattern(), "ab");
  }
  // The same engine without a fault finds both.
  RegexObject re(std::make_shared<FaultyEngine>(FaultyEngine::Fault::kNone));
  ASSERT_TRUE(re.Search("ab", "xxabxxab"));
  EXPECT_EQ(re.ReplaceMatches("-"), "xx-xx-");
}

}  // namespace
}  // namespace korvane
