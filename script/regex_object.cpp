#include "script/regex_object.h"

#include <optional>
#include <utility>

#include "platform/code_page.h"
#include "platform/com_apartment.h"
#include "util/gbk_text.h"

namespace korvane {
namespace {

using platform::RegexSpan;

std::optional<std::u16string> ToUnicode(std::string_view text) {
  return platform::DecodeCodePage(platform::kCodePageGbk, text);
}

std::string ToGbk(std::u16string_view units) {
  return platform::EncodeCodePage(platform::kCodePageGbk, units).value_or(std::string());
}

std::string ReplacePlaceholder(std::string_view pattern) {
  const std::string_view mark = RegexObject::kQuotePlaceholder;
  std::string out;
  size_t from = 0;
  for (size_t hit = gbk::FindFromBoundary(pattern, mark, 0); hit != gbk::npos;
       hit = gbk::FindFromBoundary(pattern, mark, from)) {
    out.append(pattern.substr(from, hit - from));
    out.push_back('"');
    from = hit + mark.size();
  }
  out.append(pattern.substr(from));
  return out;
}

// The index one character past `index`: a surrogate pair is stepped over as a whole.
size_t NextCharacter(std::u16string_view text, size_t index) {
  if (index + 1 < text.size() && text[index] >= 0xD800 && text[index] <= 0xDBFF &&
      text[index + 1] >= 0xDC00 && text[index + 1] <= 0xDFFF) {
    return index + 2;
  }
  return index + 1;
}

// A match the engine reports must lie inside the subject, start at or after the search offset and
// have its groups inside the subject; anything else counts as a broken-down search.
bool SpansValid(const std::vector<RegexSpan>& spans, size_t groups, size_t offset, size_t size) {
  if (spans.size() != groups + 1 || !spans[0].IsSet() || spans[0].begin < offset) {
    return false;
  }
  for (const RegexSpan& span : spans) {
    if (span.IsSet() && (span.begin > span.end || span.end > size)) {
      return false;
    }
  }
  return true;
}

// Appends the replacement for one match, expanding $1 to $99, $&, $`, $' and $$ the way the
// ECMAScript String.prototype.replace does. A "$" that starts none of them stays literal, and so
// does a group number above the pattern's group count.
void AppendReplacement(std::u16string& out, std::u16string_view replacement,
                       std::u16string_view subject, const RegexSpan* spans, size_t groupCount) {
  auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
  auto appendSpan = [&](const RegexSpan& span) {
    if (span.IsSet()) {
      out.append(subject.substr(span.begin, span.end - span.begin));
    }
  };
  for (size_t i = 0; i < replacement.size(); ++i) {
    const char16_t c = replacement[i];
    if (c != u'$' || i + 1 == replacement.size()) {
      out.push_back(c);
      continue;
    }
    const char16_t next = replacement[i + 1];
    if (next == u'$') {
      out.push_back(u'$');
      ++i;
    } else if (next == u'&') {
      appendSpan(spans[0]);
      ++i;
    } else if (next == u'`') {
      out.append(subject.substr(0, spans[0].begin));
      ++i;
    } else if (next == u'\'') {
      out.append(subject.substr(spans[0].end));
      ++i;
    } else if (isDigit(next)) {
      const size_t one = next - u'0';
      const bool hasSecond = i + 2 < replacement.size() && isDigit(replacement[i + 2]);
      const size_t two = hasSecond ? one * 10 + (replacement[i + 2] - u'0') : 0;
      if (hasSecond && two >= 1 && two <= groupCount) {
        appendSpan(spans[two]);
        i += 2;
      } else if (one >= 1 && one <= groupCount) {
        appendSpan(spans[one]);
        i += 1;
      } else {
        out.push_back(c);
      }
    } else {
      out.push_back(c);
    }
  }
}

}  // namespace

RegexObject::RegexObject() : RegexObject(platform::MakePcre2RegexEngine()) {}

RegexObject::RegexObject(std::shared_ptr<platform::RegexEngine> engine)
    : engine_(std::move(engine)) {
  platform::CoInitialize();
}

RegexObject::RegexObject(std::shared_ptr<platform::RegexEngine> engine,
                         std::shared_ptr<const SearchSetup> regExp,
                         std::shared_ptr<const MatchList> matches, std::string subject)
    : engine_(std::move(engine)),
      regExp_(std::move(regExp)),
      matches_(std::move(matches)),
      subject_(std::move(subject)) {
  platform::CoInitialize();
}

RegexObject::~RegexObject() {
  platform::CoUninitialize();
}

RegexObject RegexObject::Clone() const {
  return RegexObject(engine_, regExp_, matches_, subject_);
}

bool RegexObject::Search(std::string_view pattern, std::string_view subject, bool caseSensitive,
                         bool multiline, bool global, bool quotePlaceholder) {
  regExp_.reset();
  matches_.reset();
  subject_.clear();
  failure_ = SearchFailure::kUnavailable;
  if (!engine_) {
    return false;
  }
  auto setup = std::make_shared<SearchSetup>();
  setup->pattern = quotePlaceholder ? ReplacePlaceholder(pattern) : std::string(pattern);
  std::optional<std::u16string> pattern16 = ToUnicode(setup->pattern);
  std::optional<std::u16string> subject16 = ToUnicode(subject);
  if (!pattern16 || !subject16) {
    return false;
  }
  platform::RegexCompileResult compiled =
      engine_->Compile(*pattern16, platform::RegexFlags{!caseSensitive, multiline});
  if (compiled.status == platform::RegexCompileStatus::kUnavailable) {
    return false;
  }
  subject_ = std::string(subject);
  setup->compiled = std::move(compiled.regex);
  platform::CompiledRegex* regex = setup->compiled.get();
  regExp_ = std::move(setup);
  if (compiled.status != platform::RegexCompileStatus::kCompiled || !regex) {
    failure_ = SearchFailure::kRejected;
    return false;
  }
  failure_ = SearchFailure::kGaveUp;

  auto found = std::make_shared<MatchList>();
  found->subject16 = std::move(*subject16);
  found->groupCount = regex->GroupCount();
  const std::u16string_view text = found->subject16;
  std::vector<RegexSpan> spans;
  size_t offset = 0;
  while (offset <= text.size()) {
    const platform::RegexMatchStatus status = regex->Match(text, offset, spans);
    if (status == platform::RegexMatchStatus::kNoMatch) {
      break;
    }
    if (status != platform::RegexMatchStatus::kMatched ||
        !SpansValid(spans, found->groupCount, offset, text.size())) {
      return false;
    }
    found->spans.insert(found->spans.end(), spans.begin(), spans.end());
    if (!global) {
      break;
    }
    // As in ECMAScript: the next search starts where this match ended, one character further
    // after an empty match, so an empty match never repeats at the same place.
    offset = spans[0].end == spans[0].begin ? NextCharacter(text, spans[0].end) : spans[0].end;
  }
  matches_ = std::move(found);
  failure_ = SearchFailure::kNone;
  return true;
}

std::string RegexObject::GetPattern() const {
  return regExp_ ? regExp_->pattern : std::string();
}

std::string RegexObject::ReplaceMatches(std::string_view replacement) const {
  if (!matches_) {
    return std::string();
  }
  const std::optional<std::u16string> replacement16 = ToUnicode(replacement);
  if (!replacement16) {
    return std::string();
  }
  const std::u16string_view text = matches_->subject16;
  const size_t stride = matches_->groupCount + 1;
  std::u16string out;
  size_t copied = 0;
  for (size_t m = 0; m < matches_->Count(); ++m) {
    const RegexSpan* spans = &matches_->spans[m * stride];
    out.append(text.substr(copied, spans[0].begin - copied));
    AppendReplacement(out, *replacement16, text, spans, matches_->groupCount);
    copied = spans[0].end;
  }
  out.append(text.substr(copied));
  return ToGbk(out);
}

int RegexObject::MatchCount() const {
  return matches_ ? static_cast<int>(matches_->Count()) : 0;
}

std::string RegexObject::MatchText(int matchIndex, int64_t* position) const {
  const RegexSpan* span = Span(matchIndex, 0);
  if (position) {
    *position = SpanPosition(span);
  }
  return span ? SpanText(*span) : std::string();
}

std::string RegexObject::SubMatchText(int matchIndex, int subIndex, int64_t* position) const {
  const RegexSpan* span = subIndex >= 1 ? Span(matchIndex, subIndex) : nullptr;
  if (position) {
    *position = SpanPosition(span);
  }
  return span ? SpanText(*span) : std::string();
}

int RegexObject::SubMatchCount() const {
  return matches_ && matches_->Count() > 0 ? static_cast<int>(matches_->groupCount) : 0;
}

const RegexSpan* RegexObject::Span(int matchIndex, int subIndex) const {
  if (!matches_ || matchIndex < 1 || subIndex < 0) {
    return nullptr;
  }
  const size_t match = static_cast<size_t>(matchIndex) - 1;
  const size_t group = static_cast<size_t>(subIndex);
  if (match >= matches_->Count() || group > matches_->groupCount) {
    return nullptr;
  }
  return &matches_->spans[match * (matches_->groupCount + 1) + group];
}

std::string RegexObject::SpanText(const RegexSpan& span) const {
  if (!span.IsSet()) {
    return std::string();
  }
  return ToGbk(std::u16string_view(matches_->subject16).substr(span.begin, span.end - span.begin));
}

int64_t RegexObject::SpanPosition(const RegexSpan* span) const {
  if (!span || !span->IsSet()) {
    return -2;
  }
  // Every UTF-16 unit of the subject came from one GBK character or from one byte that was not
  // valid GBK (now U+FFFD, which encodes back as the single byte "?"), so re-encoding the units
  // before the span gives its exact byte offset, however many double-byte characters precede it.
  return static_cast<int64_t>(
      ToGbk(std::u16string_view(matches_->subject16).substr(0, span->begin)).size());
}

}  // namespace korvane
