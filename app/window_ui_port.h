// The worker's view of the main window: each call is carried to the user-interface thread and the
// worker waits until it has been applied. Once the run's stop is requested every call returns at
// once (reads give 0 or the empty text) and no widget is touched.
#pragma once

#include <stop_token>
#include <string>
#include <string_view>

#include "pipeline/ui_port.h"

namespace korvane {

class MainWindow;
class UiCallQueue;

class WindowUiPort : public UiPort {
 public:
  WindowUiPort(MainWindow& window, UiCallQueue& calls, std::stop_token stop);

  void SetCaption(Control control, std::string_view text) override;
  void SetPosition(Control control, int position) override;
  int Position(Control control) override;
  void SetMaximum(Control control, int maximum) override;
  std::string Text(Control control) override;
  void ShowMessage(std::string_view text, int style) override;

 private:
  MainWindow& window_;
  UiCallQueue& calls_;
  std::stop_token stop_;
};

}  // namespace korvane
