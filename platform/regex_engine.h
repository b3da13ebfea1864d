// The regular-expression engine behind the regex object: compile a pattern with its options, match
// it from an offset and read the groups. Text is UTF-16 and every offset counts UTF-16 code units.
// One real implementation runs on PCRE2; tests may put a fault-injecting one in its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace korvane::platform {

inline constexpr size_t kRegexUnset = static_cast<size_t>(-1);

// Where a match or a group lies in the subject: [begin, end) in code units. A group that took no
// part in the match has both ends kRegexUnset.
struct RegexSpan {
  size_t begin = kRegexUnset;
  size_t end = kRegexUnset;

  bool IsSet() const { return begin != kRegexUnset; }
};

// The options the regex object sets. A pattern never lets "." match a line break.
struct RegexFlags {
  bool ignoreCase = false;
  bool multiline = false;  // "^" and "$" also at line breaks; otherwise "$" only at the very end
};

enum class RegexMatchStatus {
  kMatched,
  kNoMatch,
  kFailed,  // the engine gave up (a match, depth or memory limit) or broke down
};

// One compiled pattern. It keeps its own scratch space, so one thread uses it at a time.
class CompiledRegex {
 public:
  virtual ~CompiledRegex() = default;

  // The number of capture groups of the pattern (the whole match not counted).
  virtual size_t GroupCount() const = 0;

  // Looks for the first match that starts at or after `offset` (offset <= subject.size()).
  // Characters before `offset` still count as context for "^", "\b" and look-behinds. On
  // kMatched, `spans` holds GroupCount() + 1 entries: the whole match, then each group.
  virtual RegexMatchStatus Match(std::u16string_view subject, size_t offset,
                                 std::vector<RegexSpan>& spans) = 0;
};

enum class RegexCompileStatus {
  kCompiled,
  kRejected,     // the pattern is not valid in the dialect
  kUnavailable,  // no engine could be made (out of memory, missing library)
};

struct RegexCompileResult {
  RegexCompileStatus status = RegexCompileStatus::kUnavailable;
  std::unique_ptr<CompiledRegex> regex;  // set only for kCompiled
};

class RegexEngine {
 public:
  virtual ~RegexEngine() = default;
  virtual RegexCompileResult Compile(std::u16string_view pattern, RegexFlags flags) = 0;
};

// Bounds that make every match end in bounded time and memory: a pattern that backtracks
// catastrophically makes Match report kFailed instead of running for ever.
struct Pcre2Limits {
  uint32_t matchLimit = 10'000'000;        // backtracking steps per match attempt
  uint32_t depthLimit = 1'000'000;         // nested backtracking points (interpreter)
  uint32_t heapLimitKiB = 256 * 1024;      // backtracking memory (interpreter)
  size_t jitStackBytes = 8 * 1024 * 1024;  // stack of the compiled matcher
  bool useJit = true;                      // compile to machine code where PCRE2 supports it
};

// The PCRE2 engine with the dialect of the old script-regexp engine: "\uXXXX" escapes, "$" at the
// very end unless multi-line, "." and multi-line anchors treating CR, LF and CR LF as line breaks,
// a back-reference to an unset group matching empty, "[^]" matching any character.
std::shared_ptr<RegexEngine> MakePcre2RegexEngine(Pcre2Limits limits = {});

}  // namespace korvane::platform
