#include "cli/console_ui.h"

#include <algorithm>

#include "platform/code_page.h"

namespace korvane {
ConsoleUi::ConsoleUi(std::FILE* out, std::FILE* err, bool showBar, std::string collectionId,
                     std::string folder, std::stop_token stop)
    : out_(out),
      err_(err),
      showBar_(showBar),
      collectionId_(std::move(collectionId)),
      folder_(std::move(folder)),
      stop_(std::move(stop)) {}

void ConsoleUi::SetCaption(Control control, std::string_view text) {
  std::lock_guard lock(mutex_);
  if (cancelled_ || stop_.stop_requested())
    return;
  if (control == Control::kLabel4 || control == Control::kLabel5)
    PrintLine(out_, text);
}

void ConsoleUi::SetPosition(Control control, int position) {
  std::lock_guard lock(mutex_);
  if (cancelled_ || stop_.stop_requested())
    return;
  if (control == Control::kProgress1) {
    position1_ = position;
    DrawBar();
  } else if (control == Control::kProgress2) {
    position2_ = position;
    DrawBar();
  }
}

int ConsoleUi::Position(Control control) {
  std::lock_guard lock(mutex_);
  return control == Control::kProgress2 ? position2_ : position1_;
}

void ConsoleUi::SetMaximum(Control control, int maximum) {
  std::lock_guard lock(mutex_);
  if (control == Control::kProgress1)
    maximum1_ = maximum;
}

std::string ConsoleUi::Text(Control control) {
  std::lock_guard lock(mutex_);
  if (control == Control::kEdit1)
    return collectionId_;
  if (control == Control::kEdit2)
    return folder_;
  return {};
}

void ConsoleUi::ShowMessage(std::string_view text, int /*style*/) {
  std::lock_guard lock(mutex_);
  if (cancelled_ || stop_.stop_requested())
    return;
  ++messages_;
  PrintLine(err_, text);
}

void ConsoleUi::ReportFailure(std::string_view reason) {
  std::lock_guard lock(mutex_);
  if (cancelled_ || stop_.stop_requested())
    return;
  PrintLine(err_, "korvane-cli: failed: " + std::string(reason));
}

void ConsoleUi::Cancel(std::string_view text) {
  std::lock_guard lock(mutex_);
  if (cancelled_)
    return;
  PrintLine(out_, text);
  cancelled_ = true;
}

int ConsoleUi::MessageCount() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

void ConsoleUi::PrintLine(std::FILE* stream, std::string_view gbkText) {
  ClearBar();
  const std::string line = platform::GbkToUtf8(gbkText);
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
  DrawBar();
}

void ConsoleUi::DrawBar() {
  if (!showBar_ || maximum1_ <= 0)
    return;
  constexpr int kWidth = 30;
  const int shown = std::clamp(position1_, 0, maximum1_);
  const int filled = static_cast<int>(static_cast<long long>(shown) * kWidth / maximum1_);
  std::string bar = "\r[" + std::string(filled, '#') + std::string(kWidth - filled, '-') + "] " +
                    std::to_string(shown) + "/" + std::to_string(maximum1_) + "  " +
                    std::to_string(std::clamp(position2_, 0, 100)) + "%";
  std::fputs(bar.c_str(), out_);
  std::fflush(out_);
  barDrawn_ = true;
}

void ConsoleUi::ClearBar() {
  if (!barDrawn_)
    return;
  std::fputs("\r\033[K", out_);
  barDrawn_ = false;
}

}  // namespace korvane
