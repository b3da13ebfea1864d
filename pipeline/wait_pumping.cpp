#include "pipeline/wait_pumping.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>

namespace korvane {
namespace {

double StepMilliseconds(std::optional<std::int32_t> interval, std::optional<std::int32_t> unit) {
  const std::int32_t u = unit.value_or(0);
  switch (u) {
    case 0:
      // An omitted interval with no unit keeps the old five-hour step; the due time is 0 anyway.
      return interval.has_value() ? 1.0 : 18000000.0;
    case 1:
      return 1000.0;
    case 2:
      return 60000.0;
    case 3:
      return 3600000.0;
    default:
      return static_cast<double>(u);
  }
}

}  // namespace

std::int64_t WaitDueTime(std::optional<std::int32_t> interval, std::optional<std::int32_t> unit) {
  const double due =
      static_cast<double>(interval.value_or(0)) * StepMilliseconds(interval, unit) * -10000.0;
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  if (due >= static_cast<double>(kMax))
    return kMax;
  if (due <= static_cast<double>(kMin))
    return kMin;
  return static_cast<std::int64_t>(std::trunc(due));
}

bool WaitPumping(std::optional<std::int32_t> interval, std::optional<std::int32_t> unit,
                 std::stop_token stop, double timeScale) {
  const std::int64_t due = WaitDueTime(interval, unit);
  // A positive or zero due time is an absolute time long past: the timer is due at once.
  if (due >= 0 || stop.stop_requested())
    return true;
  const double nanoseconds = -static_cast<double>(due) * 100.0 * timeScale;
  constexpr double kLongest = 1e18;  // about 31 years: far beyond any wait the tool makes
  const auto length = std::chrono::nanoseconds(
      static_cast<std::int64_t>(std::min(std::max(nanoseconds, 0.0), kLongest)));
  try {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    const auto deadline = std::chrono::steady_clock::now() + length;
    // Nothing but a stop request or the deadline ends the wait; spurious wake-ups go back to it.
    wake.wait_until(lock, stop, deadline, [] { return false; });
  } catch (const std::system_error&) {
    // The wait could not be made; returning beats waiting for ever.
  }
  return true;
}

}  // namespace korvane
