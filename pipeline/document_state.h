// The state of one document on its way to a PNG file. The window's run keeps it in the
// application-state record, one document at a time; batch runs with several jobs give each job
// its own, so no two documents share a text.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

class RunScripts;

struct DocumentState {
  std::string iconTimeText;       // the time of day at which the icon's turn began (six digits)
  std::string svgText;            // the finished document (the program's text)
  std::string uploadId;           // written by the service client, new for each document
  std::int32_t failureCount = 0;  // raised when the document is given up
  // Where the PNG goes; empty: the folder field's text at the moment of saving + iconTimeText +
  // ".png", as the window does it.
  std::string pngPath;
  // Show the per-document captions and progress (标签5, 进度条2). Off when several documents
  // are converted at once: their steps would run into each other; a failure is still shown.
  bool showSteps = true;
  // Which icon (from 1) and which of its documents (from 1) this is, for failure reports.
  int iconNumber = 0;
  int documentNumber = 0;
  // The script engines kept by the thread converting this document; none: it makes its own.
  RunScripts* scripts = nullptr;
};

}  // namespace korvane
