// The pipeline's only way to the window: captions, progress bars, field texts and message boxes.
// The Qt window implements it on its user-interface thread, the command-line front end prints,
// and tests record. Every text is the program's text (GBK).
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// The controls the worker touches, by the window's object names.
enum class Control {
  kLabel4,     // 标签4: overall status line
  kLabel5,     // 标签5: status of the document being converted
  kButton1,    // 按钮1: Start / Pause
  kProgress1,  // 进度条1: icons started so far
  kProgress2,  // 进度条2: progress of the current document, in percent
  kEdit1,      // 编辑框1: the collection's ID
  kEdit2,      // 编辑框2: the download folder
};

// The window's object name of a control, as GBK text ("标签4", ...).
std::string_view ControlName(Control control);

// Message-box styles the worker uses.
inline constexpr int kMessagePlain = 0;
inline constexpr int kMessageError = 16;

class UiPort {
 public:
  virtual ~UiPort() = default;

  // Sets the caption of 标签4, 标签5 or 按钮1.
  virtual void SetCaption(Control control, std::string_view text) = 0;
  // Sets the position of 进度条1 or 进度条2.
  virtual void SetPosition(Control control, int position) = 0;
  // Reads the position of 进度条1.
  virtual int Position(Control control) = 0;
  // Sets the maximum of 进度条1.
  virtual void SetMaximum(Control control, int maximum) = 0;
  // Reads the text of 编辑框1 or 编辑框2.
  virtual std::string Text(Control control) = 0;
  // Shows a message box with `style` (0 or 16) and returns when it has been closed.
  virtual void ShowMessage(std::string_view text, int style) = 0;
  // Why a document, or an icon whose markup could not be searched, was given up: one line that
  // names the request and its error, or the file and its error. The window keeps to its
  // "转换失败" and ignores it; the command-line front end prints it for the user to act on.
  virtual void ReportFailure(std::string_view /*reason*/) {}
};

}  // namespace korvane
