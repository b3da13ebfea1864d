#include "pipeline/wait_pumping.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>

namespace korvane {
namespace {

using Clock = std::chrono::steady_clock;

TEST(WaitPumping, DueTimeFollowsTheUnitTable) {
  struct Case {
    std::optional<std::int32_t> interval, unit;
    std::int64_t expected;
  };
  const Case cases[] = {
      {1000, std::nullopt, -10000000},  // the program's one call: a second
      {1000, 0, -10000000},
      {2, 1, -20000000},
      {1, 2, -600000000},
      {1, 3, -36000000000},
      {3, 250, -7500000},  // any other unit: that many milliseconds
      {0, 1, 0},
      {std::nullopt, std::nullopt, 0},
      {-5, 0, 50000},  // negative interval: positive due time, long past
      {std::numeric_limits<std::int32_t>::max(), 3, std::numeric_limits<std::int64_t>::min()},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WaitDueTime(c.interval, c.unit), c.expected)
        << c.interval.value_or(-999) << " / " << c.unit.value_or(-999);
  }
}

TEST(WaitPumping, ZeroNegativeAndOmittedIntervalsReturnAtOnce) {
  const auto begin = Clock::now();
  EXPECT_TRUE(WaitPumping(0));
  EXPECT_TRUE(WaitPumping(-1000, 1));
  EXPECT_TRUE(WaitPumping());
  EXPECT_LT(Clock::now() - begin, std::chrono::seconds(1));
}

TEST(WaitPumping, WaitsTheScaledLength) {
  // A second scaled down to 20 ms: the wait lasts at least that long.
  const auto begin = Clock::now();
  EXPECT_TRUE(WaitPumping(1000, std::nullopt, {}, 0.02));
  EXPECT_GE(Clock::now() - begin, std::chrono::milliseconds(20));
}

TEST(WaitPumping, StopRequestEndsAWaitAtOnce) {
  // A real one-second wait and a ten-second one, each stopped a little after it began: the call
  // returns well within half a second of the request, far below the wait it was making.
  struct Case {
    std::int32_t interval, unit;
  };
  for (const Case c : {Case{1000, 0}, Case{10, 1}}) {
    SCOPED_TRACE(c.unit);
    std::stop_source source;
    std::atomic<Clock::rep> requestedAt{0};
    std::jthread stopper([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      requestedAt = Clock::now().time_since_epoch().count();
      source.request_stop();
    });
    EXPECT_TRUE(WaitPumping(c.interval, c.unit, source.get_token()));
    const auto returned = Clock::now();
    stopper.join();
    const auto took = returned - Clock::time_point(Clock::duration(requestedAt.load()));
    EXPECT_LT(took, std::chrono::milliseconds(500));
    // Already stopped: no wait at all.
    const auto begin = Clock::now();
    EXPECT_TRUE(WaitPumping(c.interval, c.unit, source.get_token()));
    EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(500));
  }
}

}  // namespace
}  // namespace korvane
