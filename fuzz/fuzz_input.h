// How a fuzz target reads its input: a few header lines (options, marks, a path), then the body
// as everything that is left. A seed therefore reads like a small file, and a mutation of a
// header line changes one parameter without shifting the others.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvane::fuzz {

// The first N - 1 lines of the input (each without its "\n") and then the rest. Lines the input
// does not have are empty.
template <size_t N>
std::array<std::string_view, N> SplitFields(const uint8_t* data, size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::array<std::string_view, N> fields{};
  for (size_t i = 0; i + 1 < N; ++i) {
    const size_t end = rest.find('\n');
    if (end == std::string_view::npos) {
      fields[i] = rest;
      return fields;
    }
    fields[i] = rest.substr(0, end);
    rest.remove_prefix(end + 1);
  }
  fields[N - 1] = rest;
  return fields;
}

// The decimal number a header field starts with (an optional '-', then digits), clamped to
// [low, high]; `fallback` when the field has no digits.
inline long long Number(std::string_view field, long long low, long long high,
                        long long fallback = 0) {
  size_t at = 0;
  const bool negative = !field.empty() && field[0] == '-';
  if (negative)
    ++at;
  if (at >= field.size() || field[at] < '0' || field[at] > '9')
    return fallback;
  long long value = 0;
  for (; at < field.size() && field[at] >= '0' && field[at] <= '9'; ++at) {
    if (value < high || (negative && value < -low))
      value = value * 10 + (field[at] - '0');
  }
  value = negative ? -value : value;
  return value < low ? low : (value > high ? high : value);
}

// Whether letter `flag` appears in an options field ("c" for case-sensitive, and so on).
inline bool Flag(std::string_view field, char flag) {
  return field.find(flag) != std::string_view::npos;
}

}  // namespace korvane::fuzz

// Stops a fuzz run (and a corpus replay) at a broken invariant, with what was broken.
#define FUZZ_CHECK(condition)                                                                     \
  do {                                                                                            \
    if (!(condition)) {                                                                           \
      __builtin_fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition); \
      __builtin_abort();                                                                          \
    }                                                                                             \
  } while (false)
