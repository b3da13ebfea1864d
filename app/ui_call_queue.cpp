#include "app/ui_call_queue.h"

#include <utility>

namespace korvane {

UiCallQueue::UiCallQueue(std::function<void()> wake) : wake_(std::move(wake)) {}

bool UiCallQueue::Run(std::function<void()> apply, std::stop_token stop) {
  if (stop.stop_requested()) {
    return false;
  }
  auto call = std::make_shared<Call>();
  call->apply = std::move(apply);
  call->stop = stop;
  {
    std::lock_guard lock(mutex_);
    pending_.push_back(call);
  }
  wake_();
  std::unique_lock lock(mutex_);
  doneChanged_.wait(lock, stop, [&] { return call->done; });
  return call->applied;
}

void UiCallQueue::Drain() {
  for (;;) {
    std::shared_ptr<Call> call;
    {
      std::lock_guard lock(mutex_);
      if (pending_.empty()) {
        return;
      }
      call = std::move(pending_.front());
      pending_.pop_front();
    }
    // The check runs on this thread after the stop request of a Pause or a close, which also
    // run here, so a call that arrives late is dropped before it can touch a widget.
    const bool run = !call->stop.stop_requested();
    if (run) {
      call->apply();
    }
    {
      std::lock_guard lock(mutex_);
      call->done = true;
      call->applied = run;
    }
    doneChanged_.notify_all();
  }
}

}  // namespace korvane
