// The headless front end's window: captions of the two status labels become lines of UTF-8 text,
// the icon progress becomes a bar on a terminal, message boxes go to the error stream and never
// wait, and each given-up document's reason is a line on the error stream. Once the run is
// cancelled nothing more is printed.
#pragma once

#include <cstdio>
#include <mutex>
#include <stop_token>
#include <string>

#include "pipeline/ui_port.h"

namespace korvane {

class ConsoleUi : public UiPort {
 public:
  // `out` takes the status lines, `err` the message boxes. `showBar`: draw a progress bar on
  // `out` (only when it is a terminal). Field texts are GBK.
  ConsoleUi(std::FILE* out, std::FILE* err, bool showBar, std::string collectionId,
            std::string folder, std::stop_token stop);

  void SetCaption(Control control, std::string_view text) override;
  void SetPosition(Control control, int position) override;
  int Position(Control control) override;
  void SetMaximum(Control control, int maximum) override;
  std::string Text(Control control) override;
  void ShowMessage(std::string_view text, int style) override;
  // One line on the error stream: "korvane-cli: failed: " and the reason.
  void ReportFailure(std::string_view reason) override;

  // Prints `text` as the last line and silences everything after it. Call after requesting the
  // stop, so the worker's later calls find it requested.
  void Cancel(std::string_view text);

  // Message boxes shown so far.
  int MessageCount() const;

 private:
  void PrintLine(std::FILE* stream, std::string_view gbkText);
  void DrawBar();
  void ClearBar();

  mutable std::mutex mutex_;
  std::FILE* out_;
  std::FILE* err_;
  bool showBar_;
  std::string collectionId_;
  std::string folder_;
  std::stop_token stop_;
  bool cancelled_ = false;
  bool barDrawn_ = false;
  int position1_ = 0;
  int maximum1_ = 100;
  int position2_ = 0;
  int messages_ = 0;
};

}  // namespace korvane
