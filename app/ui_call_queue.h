// Carries the worker's window updates to the user-interface thread and makes the worker wait
// until they have been applied. A stop request ends the wait at once, and a call whose stop was
// requested before the user-interface thread reached it is dropped without running, so a stopped
// worker never blocks and never touches a widget.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>

namespace korvane {

class UiCallQueue {
 public:
  // `wake` asks the user-interface thread to call Drain soon; it is called on the worker thread
  // and must not wait for the user-interface thread.
  explicit UiCallQueue(std::function<void()> wake);

  // Worker side: has `apply` run on the user-interface thread and waits until it has run. Returns
  // false, without waiting any longer, once `stop` is requested; `apply` then never runs.
  bool Run(std::function<void()> apply, std::stop_token stop);

  // User-interface side: runs every call posted so far whose stop has not been requested.
  void Drain();

 private:
  struct Call {
    std::function<void()> apply;
    std::stop_token stop;
    bool done = false;
    bool applied = false;
  };

  std::function<void()> wake_;
  std::mutex mutex_;
  std::condition_variable_any doneChanged_;
  std::deque<std::shared_ptr<Call>> pending_;
};

}  // namespace korvane
