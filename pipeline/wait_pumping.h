// The pause between two status polls: waits a given time on the worker thread, and ends at once
// when the worker is asked to stop.
#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>

namespace korvane {

// Waits `interval` steps of `unit` (0 or omitted: a millisecond; 1: a second; 2: a minute; 3: an
// hour; any other value: that many milliseconds). An interval of 0 or less returns at once. A stop
// request on `stop` ends the wait at once. `timeScale` stretches or shrinks every millisecond (1.0
// is real time; tests make a ten-poll run take milliseconds). Always returns true, also when the
// wait itself could not be made, so no caller ever waits for ever.
bool WaitPumping(std::optional<std::int32_t> interval = std::nullopt,
                 std::optional<std::int32_t> unit = std::nullopt, std::stop_token stop = {},
                 double timeScale = 1.0);

// The due time of a wait in 100-nanosecond units, negative for a time from now (as a relative
// timer counts it), saturated at the limits of a signed 64-bit count.
std::int64_t WaitDueTime(std::optional<std::int32_t> interval, std::optional<std::int32_t> unit);

}  // namespace korvane
