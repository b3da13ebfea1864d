#include "app/window_ui_port.h"

#include <memory>

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

void WindowUiPort::ShowMessage(std::string_view text, int style) {
  MainWindow* window = &window_;
  calls_.Run(
      [window, message = FromGbk(text), style] { window->ShowWorkerMessage(message, style); },
      stop_);
}

}  // namespace korvane
