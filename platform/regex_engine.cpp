#include "platform/regex_engine.h"

#include <algorithm>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

namespace korvane::platform {
namespace {

struct CodeDeleter {
  void operator()(pcre2_code* p) const { pcre2_code_free(p); }
};
struct CompileContextDeleter {
  void operator()(pcre2_compile_context* p) const { pcre2_compile_context_free(p); }
};
struct MatchContextDeleter {
  void operator()(pcre2_match_context* p) const { pcre2_match_context_free(p); }
};
struct MatchDataDeleter {
  void operator()(pcre2_match_data* p) const { pcre2_match_data_free(p); }
};
struct JitStackDeleter {
  void operator()(pcre2_jit_stack* p) const { pcre2_jit_stack_free(p); }
};

using CodePtr = std::unique_ptr<pcre2_code, CodeDeleter>;
using CompileContextPtr = std::unique_ptr<pcre2_compile_context, CompileContextDeleter>;
using MatchContextPtr = std::unique_ptr<pcre2_match_context, MatchContextDeleter>;
using MatchDataPtr = std::unique_ptr<pcre2_match_data, MatchDataDeleter>;
using JitStackPtr = std::unique_ptr<pcre2_jit_stack, JitStackDeleter>;

// The smallest JIT stack PCRE2 starts with; it grows up to the configured maximum.
constexpr size_t kJitStackStart = 32 * 1024;

PCRE2_SPTR Units(std::u16string_view text) {
  // An empty view may carry a null pointer; PCRE2 accepts a null subject only with length 0 on
  // newer releases, so point at a real empty string instead.
  static const char16_t empty[1] = {};
  return reinterpret_cast<PCRE2_SPTR>(text.empty() ? empty : text.data());
}

class Pcre2Regex final : public CompiledRegex {
 public:
  Pcre2Regex(CodePtr code, size_t groupCount, bool jitCompiled, const Pcre2Limits& limits)
      : code_(std::move(code)),
        groupCount_(groupCount),
        jitCompiled_(jitCompiled),
        limits_(limits) {}

  size_t GroupCount() const override { return groupCount_; }

  RegexMatchStatus Match(std::u16string_view subject, size_t offset,
                         std::vector<RegexSpan>& spans) override {
    if (offset > subject.size() || !PrepareScratch()) {
      return RegexMatchStatus::kFailed;
    }
    int rc = pcre2_match(code_.get(), Units(subject), subject.size(), offset, 0, matchData_.get(),
                         matchContext_.get());
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
      // The compiled matcher ran out of stack where the interpreter, bounded by the depth and heap
      // limits instead, may still succeed: retry there so JIT never changes what matches.
      rc = pcre2_match(code_.get(), Units(subject), subject.size(), offset, PCRE2_NO_JIT,
                       matchData_.get(), matchContext_.get());
    }
    if (rc == PCRE2_ERROR_NOMATCH) {
      return RegexMatchStatus::kNoMatch;
    }
    if (rc <= 0) {
      return RegexMatchStatus::kFailed;
    }
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(matchData_.get());
    const size_t pairs = pcre2_get_ovector_count(matchData_.get());
    spans.assign(groupCount_ + 1, RegexSpan{});
    // Groups beyond rc did not take part; PCRE2 leaves their slots unset as well.
    for (size_t i = 0; i < spans.size() && i < pairs && i < static_cast<size_t>(rc); ++i) {
      if (ovector[2 * i] != PCRE2_UNSET) {
        spans[i] = RegexSpan{ovector[2 * i], ovector[2 * i + 1]};
      }
    }
    return RegexMatchStatus::kMatched;
  }

 private:
  bool PrepareScratch() {
    if (matchData_) {
      return true;
    }
    MatchDataPtr data(pcre2_match_data_create_from_pattern(code_.get(), nullptr));
    MatchContextPtr context(pcre2_match_context_create(nullptr));
    if (!data || !context) {
      return false;
    }
    pcre2_set_match_limit(context.get(), limits_.matchLimit);
    pcre2_set_depth_limit(context.get(), limits_.depthLimit);
    pcre2_set_heap_limit(context.get(), limits_.heapLimitKiB);
    if (jitCompiled_) {
      JitStackPtr stack(pcre2_jit_stack_create(
          kJitStackStart, std::max(kJitStackStart, limits_.jitStackBytes), nullptr));
      if (stack) {
        pcre2_jit_stack_assign(context.get(), nullptr, stack.get());
        jitStack_ = std::move(stack);
      }
    }
    matchData_ = std::move(data);
    matchContext_ = std::move(context);
    return true;
  }

  CodePtr code_;
  size_t groupCount_;
  bool jitCompiled_;
  Pcre2Limits limits_;
  MatchDataPtr matchData_;
  MatchContextPtr matchContext_;
  JitStackPtr jitStack_;
};

class Pcre2Engine final : public RegexEngine {
 public:
  explicit Pcre2Engine(const Pcre2Limits& limits) : limits_(limits) {}

  RegexCompileResult Compile(std::u16string_view pattern, RegexFlags flags) override {
    CompileContextPtr context(pcre2_compile_context_create(nullptr));
    if (!context) {
      return {RegexCompileStatus::kUnavailable, nullptr};
    }
    // CR, LF and CR LF end a line for ".", "^" and "$"; the Unicode line and paragraph separators
    // do not, as in the old engine's "." that stopped only at CR and LF.
    pcre2_set_newline(context.get(), PCRE2_NEWLINE_ANYCRLF);
    pcre2_set_bsr(context.get(), PCRE2_BSR_ANYCRLF);

    uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ALT_BSUX | PCRE2_DOLLAR_ENDONLY |
                       PCRE2_MATCH_UNSET_BACKREF | PCRE2_ALLOW_EMPTY_CLASS;
    if (flags.ignoreCase) {
      options |= PCRE2_CASELESS;
    }
    if (flags.multiline) {
      options |= PCRE2_MULTILINE;  // DOLLAR_ENDONLY is ignored then, as wanted
    }
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    CodePtr code(pcre2_compile(Units(pattern), pattern.size(), options, &errorCode, &errorOffset,
                               context.get()));
    if (!code) {
      return {errorCode == PCRE2_ERROR_NOMEMORY || errorCode == PCRE2_ERROR_HEAPLIMIT
                  ? RegexCompileStatus::kUnavailable
                  : RegexCompileStatus::kRejected,
              nullptr};
    }
    uint32_t captures = 0;
    pcre2_pattern_info(code.get(), PCRE2_INFO_CAPTURECOUNT, &captures);
    // A failed JIT compile (no JIT on this machine, out of executable memory) leaves the
    // interpreter in charge; both give the same matches.
    const bool jit = limits_.useJit && pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE) == 0;
    return {RegexCompileStatus::kCompiled,
            std::make_unique<Pcre2Regex>(std::move(code), captures, jit, limits_)};
  }

 private:
  Pcre2Limits limits_;
};

}  // namespace

std::shared_ptr<RegexEngine> MakePcre2RegexEngine(Pcre2Limits limits) {
  return std::make_shared<Pcre2Engine>(limits);
}

}  // namespace korvane::platform
