// The regular-expression object: runs one search at a time over a GBK text and keeps what it
// found, so callers can ask for the matches, their groups and a replacement over the same text.
// Patterns and subjects are matched as Unicode text; results come back as GBK.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/regex_engine.h"

namespace korvane {

class RegexObject {
 public:
  // Matches on PCRE2. Initialises the automation apartment of the calling thread once; the
  // destructor balances it.
  RegexObject();
  // Matches on `engine` (a fault-injecting engine in tests); null behaves like an engine that can
  // never be made.
  explicit RegexObject(std::shared_ptr<platform::RegexEngine> engine);
  ~RegexObject();

  RegexObject(const RegexObject&) = delete;
  RegexObject& operator=(const RegexObject&) = delete;

  // A new object sharing this one's compiled pattern and matches and holding its own copy of the
  // subject. Unlike the object it copies from nothing, a clone initialises the apartment itself,
  // so destroying every object, clones included, leaves the thread balanced.
  RegexObject Clone() const;

  // Searches `subject` for `pattern` and keeps the result. True when the search ran (whether or
  // not it found anything); false for a pattern the engine rejects, no engine, or a search the
  // engine gave up on (a backtracking or memory limit). With `quotePlaceholder`, every "#引号" in
  // the pattern stands for a double quote.
  bool Search(std::string_view pattern, std::string_view subject, bool caseSensitive = false,
              bool multiline = true, bool global = true, bool quotePlaceholder = false);

  // Why the last Search returned false, so a caller can tell a search that found nothing (Search
  // true, MatchCount 0) from one whose subject was never fully searched.
  enum class SearchFailure {
    kNone,         // the last search ran (or there was none)
    kRejected,     // the engine rejected the pattern
    kUnavailable,  // no engine could be made, or the text could not be handed to it
    kGaveUp,       // the engine gave up part-way (a backtracking, depth or memory limit)
  };
  SearchFailure LastSearchFailure() const { return failure_; }

  // The pattern of the last search after placeholder replacement; empty before any search.
  std::string GetPattern() const;

  // The subject of the last search with its matches replaced by `replacement`, which may hold
  // $1 to $99, $&, $`, $' and $$. Empty when the last search did not run or there was none.
  std::string ReplaceMatches(std::string_view replacement) const;

  int MatchCount() const;

  // The text of match `matchIndex` (from 1); empty when there is no such match. `position`, when
  // given, receives the match's 0-based byte offset in the subject, or -2 when there is no match.
  std::string MatchText(int matchIndex, int64_t* position = nullptr) const;

  // The text group `subIndex` (from 1) captured in match `matchIndex`; empty when there is no such
  // match or group or the group took no part. `position` receives the group's 0-based byte offset
  // in the subject, or -2 when the group has no place.
  std::string SubMatchText(int matchIndex, int subIndex, int64_t* position = nullptr) const;

  // The number of groups of the pattern as seen in the first match; 0 without a match.
  int SubMatchCount() const;

  // The GBK bytes of the quote placeholder.
  static constexpr std::string_view kQuotePlaceholder = "#引号";

 private:
  // The engine object of one search: the pattern as it was handed to the engine and its compiled
  // form (none when the engine rejected the pattern).
  struct SearchSetup {
    std::string pattern;
    std::unique_ptr<platform::CompiledRegex> compiled;
  };
  // What one search found. Spans count UTF-16 units of `subject16`; each match holds
  // groupCount + 1 spans (the whole match first).
  struct MatchList {
    std::u16string subject16;
    size_t groupCount = 0;
    std::vector<platform::RegexSpan> spans;

    size_t Count() const { return spans.size() / (groupCount + 1); }
  };

  RegexObject(std::shared_ptr<platform::RegexEngine> engine,
              std::shared_ptr<const SearchSetup> regExp, std::shared_ptr<const MatchList> matches,
              std::string subject);

  const platform::RegexSpan* Span(int matchIndex, int subIndex) const;
  std::string SpanText(const platform::RegexSpan& span) const;
  int64_t SpanPosition(const platform::RegexSpan* span) const;

  std::shared_ptr<platform::RegexEngine> engine_;
  std::shared_ptr<const SearchSetup> regExp_;
  std::shared_ptr<const MatchList> matches_;
  std::string subject_;
  SearchFailure failure_ = SearchFailure::kNone;
};

}  // namespace korvane
