// The bounds one HTTP exchange may not pass besides its timeouts: how many body bytes it may
// bring in and how long it may take from start to end. Both request stacks and the download
// command take them; the pipeline fills them from its caps (pipeline/reply_limits.h).
#pragma once

#include <cstddef>
// std::chrono comes in through <thread>: <chrono> itself holds a micro sign that GBK lacks.
#include <thread>

namespace korvane::platform {

struct TransferLimits {
  // The most body bytes of the final response; a body that would pass it ends the exchange as a
  // failure before the bytes beyond are kept anywhere. 0: no cap.
  std::size_t maxBodyBytes = 0;
  // The longest the whole exchange may take, connecting and every redirect included; when it
  // passes, the exchange fails as a timeout does. 0: no deadline.
  std::chrono::milliseconds deadline{0};
};

}  // namespace korvane::platform
