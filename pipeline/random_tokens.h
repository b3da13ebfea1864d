// Short random texts for the conversion service's requests: path tokens, upload ids and cache
// busters. Every number is one step of a linear congruential generator seeded afresh from the
// processor's cycle counter; nothing is kept between calls and nothing is unpredictable.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

// A number from `low` to `high`, both included; a `high` of 0 stands for 2147483647. Only the
// generator's 15-bit output (0 to 32767) is spread over the range, so a range wider than 32768
// yields only its first 32768 values. Bounds given in the wrong order are swapped.
int32_t RandomBetween(int32_t low = 0, int32_t high = 0);

// `count` characters, each a digit, a capital or a small ASCII letter (each class one in three);
// empty when `count` is below 1.
std::string RandomLetters(int32_t count);

// `count` decimal digits: any digit for `digitSet` 0, only 1 3 5 7 9 for 1, only 0 2 4 6 8 for any
// other value; empty when `count` is below 1.
std::string RandomDigits(int32_t count, int32_t digitSet = 0);

// The generator step behind RandomBetween for a given counter reading: x = counter * 214013 +
// 2531011 (mod 2^32), r = (x >> 16) & 32767, result low + r mod (high - low + 1).
int32_t RandomFromCounter(uint32_t counter, int32_t low, int32_t high);

// The low 32 bits of the processor's time-stamp counter, or of a monotonic clock's nanosecond
// count on a processor without one.
uint32_t ReadCycleCounter();

}  // namespace korvane
