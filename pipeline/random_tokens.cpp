#include "pipeline/random_tokens.h"

#include <time.h>

#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace korvane {

uint32_t ReadCycleCounter() {
#if defined(__x86_64__) || defined(__i386__)
  return static_cast<uint32_t>(__rdtsc());
#else
  // <chrono> cannot be used here: its micro-unit suffix has no GBK form, and the core is
  // compiled with GBK string literals.
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000000000u +
                               static_cast<uint64_t>(now.tv_nsec));
#endif
}

int32_t RandomFromCounter(uint32_t counter, int32_t low, int32_t high) {
  const uint32_t x = counter * 214013u + 2531011u;
  const uint32_t r = (x >> 16) & 32767u;
  if (high == 0)
    high = 2147483647;
  if (low > high)
    std::swap(low, high);
  // The width of the full 32-bit range wraps to 0; every r then fits as it is.
  const uint32_t width = static_cast<uint32_t>(high) - static_cast<uint32_t>(low) + 1u;
  const uint32_t offset = width == 0 ? r : r % width;
  return static_cast<int32_t>(static_cast<uint32_t>(low) + offset);
}

int32_t RandomBetween(int32_t low, int32_t high) {
  return RandomFromCounter(ReadCycleCounter(), low, high);
}

std::string RandomLetters(int32_t count) {
  std::string out;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t kind = RandomBetween(1, 3);
    const int32_t code = kind == 1   ? RandomBetween(48, 57)
                         : kind == 2 ? RandomBetween(65, 90)
                                     : RandomBetween(97, 122);
    out.push_back(static_cast<char>(code));
  }
  return out;
}

std::string RandomDigits(int32_t count, int32_t digitSet) {
  constexpr char kOdd[] = "13579";
  constexpr char kEven[] = "02468";
  std::string out;
  for (int32_t i = 0; i < count; ++i) {
    if (digitSet == 0)
      out.push_back(static_cast<char>('0' + RandomBetween(0, 9)));
    else
      out.push_back((digitSet == 1 ? kOdd : kEven)[RandomBetween(1, 5) - 1]);
  }
  return out;
}

}  // namespace korvane
