// Text extraction and batch replacement over the program's GBK text. Header lines: options
// ("START COUNT" numbers, then "i" for ignoring case; COUNT "-" means no limit), the left and
// right marks, five search texts each followed by its replacement; the rest is the text.

#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/fuzz_input.h"
#include "util/gbk_text.h"
#include "util/replace_batch.h"
#include "util/text_between.h"

namespace {

// The largest text the five passes could make, bounded: each pass may at worst turn every byte
// into one replacement.
bool GrowthFits(size_t textSize, const std::string_view* pairs) {
  constexpr double kLimit = 32.0 * 1024 * 1024;
  double bound = static_cast<double>(textSize) + 1;
  for (int i = 0; i < 5; ++i) {
    if (!pairs[2 * i].empty())
      bound *= static_cast<double>(pairs[2 * i + 1].size()) + 1;
  }
  return bound <= kLimit;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  const auto f = fuzz::SplitFields<14>(data, size);
  const std::string_view options = f[0];
  const std::string_view left = f[1];
  const std::string_view right = f[2];
  const std::string_view* pairs = &f[3];
  const std::string_view text = f[13];

  const long long start = fuzz::Number(options, -1000, 1000000, 1);
  const size_t space = options.find(' ');
  const std::string_view countField =
      space == std::string_view::npos ? std::string_view() : options.substr(space + 1);
  std::optional<long long> count;
  if (!countField.empty() && countField[0] != '-')
    count = fuzz::Number(countField, 0, 1000000, 0);
  const bool ignoreCase = fuzz::Flag(options, 'i');

  // What TextBetween cuts out is always a piece of the text.
  const std::string between = TextBetween(text, left, right, start, ignoreCase);
  if (!between.empty())
    FUZZ_CHECK(text.find(between) != std::string_view::npos);
  ExpandQuotePlaceholder(left);

  if (GrowthFits(text.size(), pairs)) {
    const std::string replaced =
        ReplaceBatch(text, count, start, !ignoreCase, pairs[0], pairs[1], pairs[2], pairs[3],
                     pairs[4], pairs[5], pairs[6], pairs[7], pairs[8], pairs[9]);
    if (count && *count == 0)
      FUZZ_CHECK(replaced == text);
  }

  // The character-aware primitives underneath.
  const size_t found =
      gbk::Find(text, left, static_cast<size_t>(start < 0 ? 0 : start), ignoreCase);
  FUZZ_CHECK(found == gbk::npos || found <= text.size());
  FUZZ_CHECK(gbk::AsciiLower(text).size() == text.size());
  FUZZ_CHECK(gbk::Trim(text).size() <= text.size());
  return 0;
}
