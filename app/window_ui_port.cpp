#include "app/window_ui_port.h"

#include <condition_variable>
#include <memory>
#include <mutex>

#include "app/main_window.h"
#include "app/text_bridge.h"
#include "app/ui_call_queue.h"

namespace korvane {

WindowUiPort::WindowUiPort(MainWindow& window, UiCallQueue& calls, std::stop_token stop)
    : window_(window), calls_(calls), stop_(std::move(stop)) {}

void WindowUiPort::SetCaption(Control control, std::string_view text) {
  MainWindow* window = &window_;
  calls_.Run([window, control, caption = FromGbk(text)] { window->ApplyCaption(control, caption); },
             stop_);
}

void WindowUiPort::SetPosition(Control control, int position) {
  MainWindow* window = &window_;
  calls_.Run([window, control, position] { window->ApplyPosition(control, position); }, stop_);
}

int WindowUiPort::Position(Control control) {
  MainWindow* window = &window_;
  auto result = std::make_shared<int>(0);
  if (!calls_.Run([window, control, result] { *result = window->ReadPosition(control); }, stop_)) {
    return 0;
  }
  return *result;
}

void WindowUiPort::SetMaximum(Control control, int maximum) {
  MainWindow* window = &window_;
  calls_.Run([window, control, maximum] { window->ApplyMaximum(control, maximum); }, stop_);
}

std::string WindowUiPort::Text(Control control) {
  MainWindow* window = &window_;
  auto result = std::make_shared<QString>();
  if (!calls_.Run([window, control, result] { *result = window->ReadText(control); }, stop_)) {
    return {};
  }
  return ToGbk(*result);
}

namespace {

// The worker's side of an open message box: set once the box has been closed. Shared with the
// box's close report, which may come after the worker has stopped waiting.
struct BoxClosed {
  std::mutex mutex;
  std::condition_variable_any changed;
  bool closed = false;
};

}  // namespace

void WindowUiPort::ShowMessage(std::string_view text, int style) {
  MainWindow* window = &window_;
  auto boxClosed = std::make_shared<BoxClosed>();
  const auto report = [boxClosed] {
    {
      std::lock_guard lock(boxClosed->mutex);
      boxClosed->closed = true;
    }
    boxClosed->changed.notify_all();
  };
  if (!calls_.Run([window, message = FromGbk(text), style,
                   report] { window->OpenWorkerMessage(message, style, report); },
                  stop_)) {
    return;
  }
  // The box is open and blocks nothing but this thread; a stop request ends the wait at once.
  std::unique_lock lock(boxClosed->mutex);
  boxClosed->changed.wait(lock, stop_, [&] { return boxClosed->closed; });
}

}  // namespace korvane
