// The regular-expression object: options, pattern, replacement and subject all from the input.
// Header lines: options ("c" case-sensitive, "m" multiline, "g" global, "q" quote placeholder),
// the pattern, the replacement; the rest is the subject. Every query and Replace run over what
// the search kept.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "script/regex_object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  const auto [options, pattern, replacement, subject] = fuzz::SplitFields<4>(data, size);

  RegexObject regex;
  const bool ran =
      regex.Search(pattern, subject, fuzz::Flag(options, 'c'), fuzz::Flag(options, 'm'),
                   fuzz::Flag(options, 'g'), fuzz::Flag(options, 'q'));
  regex.GetPattern();
  const int count = regex.MatchCount();
  FUZZ_CHECK(count >= 0);
  FUZZ_CHECK(ran || count == 0);
  const int groups = regex.SubMatchCount();
  for (int m = 0; m <= count + 1 && m < 64; ++m) {
    int64_t position = 0;
    const std::string text = regex.MatchText(m, &position);
    if (m >= 1 && m <= count) {
      FUZZ_CHECK(position >= 0 && static_cast<size_t>(position) <= subject.size());
    } else {
      FUZZ_CHECK(position == -2 && text.empty());
    }
    for (int g = 0; g <= groups + 1 && g < 16; ++g)
      regex.SubMatchText(m, g, &position);
  }
  const std::string replaced = regex.ReplaceMatches(replacement);
  if (!ran)
    FUZZ_CHECK(replaced.empty());

  // A clone keeps the same result.
  const RegexObject clone = regex.Clone();
  FUZZ_CHECK(clone.MatchCount() == count);
  return 0;
}
