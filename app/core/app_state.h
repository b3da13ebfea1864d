// The one application-state record: shared by the window (user-interface thread) and the
// conversion worker. The per-icon texts hand data from one pipeline step to the next.
#pragma once

#include <cstdint>
#include <string>
#include <thread>

namespace korvane {

struct AppState {
  // Documents given up since the main window was created; raised by the worker, never reset by
  // Start, so a run's summary counts the failures of earlier runs too.
  std::int32_t failureCount = 0;
  // The folder last chosen in the folder dialog, without a trailing separator; empty on cancel.
  std::string browsedFolder;

  // Written and read by the worker only while it runs.
  std::string iconTimeText;  // six digits: the time of day at which the icon's turn began
  std::string svgText;       // the icon's markup, then each finished document in turn
  std::string viewBoxText;   // the viewBox value cut out of the markup
  std::string uploadId;      // "o_" + 28 letters and digits, new for each document

  // The current worker. Declared last so that it is destroyed first: destroying or replacing it
  // requests a stop and joins the thread before any text above is released.
  std::jthread workerThread;

  // Releases the texts, as the program does on exit. The caller stops the worker first.
  void ReleaseTexts();
};

}  // namespace korvane
