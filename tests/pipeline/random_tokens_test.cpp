#include "pipeline/random_tokens.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <string>

namespace korvane {
namespace {

TEST(RandomTokens, GeneratorStepForKnownCounterReadings) {
  // x = c * 214013 + 2531011 (mod 2^32), r = (x >> 16) & 32767.
  EXPECT_EQ(RandomFromCounter(0, 0, 0), 38);            // x = 2531011, r = 38
  EXPECT_EQ(RandomFromCounter(0, 0, 9), 8);             // 38 mod 10
  EXPECT_EQ(RandomFromCounter(1, 0, 0), 41);            // x = 2745024
  EXPECT_EQ(RandomFromCounter(0xFFFFFFFFu, 0, 0), 35);  // x = 2316998, wrapped
  EXPECT_EQ(RandomFromCounter(0, 100, 109), 108);
  EXPECT_EQ(RandomFromCounter(0, -5, 5), -5 + 38 % 11);
  EXPECT_EQ(RandomFromCounter(0, 5, 5), 5);
  // The full 32-bit range (its width wraps to 0) and bounds in the wrong order are defined.
  EXPECT_EQ(RandomFromCounter(0, INT32_MIN, 0), INT32_MIN + 38);
  EXPECT_EQ(RandomFromCounter(0, INT32_MIN, INT32_MAX), INT32_MIN + 38);
  EXPECT_EQ(RandomFromCounter(0, 9, 0 + 1), 1 + 38 % 9);  // swapped to 1..9
  EXPECT_EQ(RandomFromCounter(0, INT32_MAX, INT32_MAX - 1), INT32_MAX - 1);
}

TEST(RandomTokens, RandomBetweenStaysInRange) {
  int32_t highest = 0;
  for (int i = 0; i < 2000; ++i) {
    EXPECT_EQ(RandomBetween(5, 5), 5);
    const int32_t any = RandomBetween(0, 0);  // high 0 means 2147483647; r never exceeds 32767
    ASSERT_GE(any, 0);
    ASSERT_LE(any, 32767);
    highest = std::max(highest, any);
    const int32_t small = RandomBetween(-3, 3);
    ASSERT_GE(small, -3);
    ASSERT_LE(small, 3);
    const int32_t reversed = RandomBetween(10, 4);
    ASSERT_GE(reversed, 4);
    ASSERT_LE(reversed, 10);
  }
  EXPECT_GT(highest, 0);
}

TEST(RandomTokens, LettersHaveTheLengthAndAlphabet) {
  EXPECT_EQ(RandomLetters(0), "");
  EXPECT_EQ(RandomLetters(-4), "");
  EXPECT_EQ(RandomLetters(INT32_MIN), "");
  int digits = 0, capitals = 0, smalls = 0;
  for (int i = 0; i < 200; ++i) {
    const std::string token = RandomLetters(28);
    ASSERT_EQ(token.size(), 28u);
    for (char c : token) {
      if (c >= '0' && c <= '9')
        ++digits;
      else if (c >= 'A' && c <= 'Z')
        ++capitals;
      else if (c >= 'a' && c <= 'z')
        ++smalls;
      else
        ADD_FAILURE() << "unexpected character " << int(c);
    }
  }
  // Each class is drawn one time in three (1866 of 5600 on average); the bounds are generous.
  for (int n : {digits, capitals, smalls}) {
    EXPECT_GT(n, 600);
    EXPECT_LT(n, 3500);
  }
}

TEST(RandomTokens, DigitsFollowTheirSet) {
  EXPECT_EQ(RandomDigits(0), "");
  EXPECT_EQ(RandomDigits(-1, 1), "");
  struct Case {
    int32_t digitSet;
    std::string allowed;
  };
  const Case cases[] = {{0, "0123456789"}, {1, "13579"}, {2, "02468"}, {-7, "02468"}};
  for (const auto& c : cases) {
    std::array<int, 10> seen{};
    for (int i = 0; i < 300; ++i) {
      const std::string digits = RandomDigits(16, c.digitSet);
      ASSERT_EQ(digits.size(), 16u);
      for (char d : digits) {
        ASSERT_NE(c.allowed.find(d), std::string::npos) << "set " << c.digitSet << ": " << d;
        ++seen[d - '0'];
      }
    }
    // 4800 digits over the set: every allowed digit shows up, none takes more than half.
    for (char d : c.allowed) {
      EXPECT_GT(seen[d - '0'], 0) << "set " << c.digitSet << " never gave " << d;
      EXPECT_LT(seen[d - '0'], 2400) << "set " << c.digitSet << " favours " << d;
    }
  }
}

}  // namespace
}  // namespace korvane
