// Pause in the middle of a run, at random moments: the worker stops at once, shows nothing more,
// sends nothing more and leaves no partial or temporary file behind.
#include <chrono>
#include <random>
#include <thread>

#include "pipeline_fixture.h"

namespace korvane::testing {
namespace {

using Clock = std::chrono::steady_clock;
using PauseTest = PipelineTest;

bool IsCompletePng(const std::string& bytes) {
  static const std::string kSignature("\x89PNG\r\n\x1A\n", 8);
  static const std::string kEnd("IEND\xAE\x42\x60\x82", 8);
  return bytes.size() > 16 && bytes.compare(0, 8, kSignature) == 0 &&
         bytes.compare(bytes.size() - 8, 8, kEnd) == 0;
}

TEST_F(PauseTest, StoppingAtRandomMomentsLeavesNothingHalfDone) {
  std::mt19937 random(20261211);
  std::uniform_int_distribution<int> delayMicroseconds(0, 60000);
  Server().SetPolls(1);
  Clock::duration slowestStop{};
  for (int run = 0; run < 100; ++run) {
    SCOPED_TRACE(run);
    AppState state;
    RecordingUi ui("90001", FolderText());
    std::stop_source stop;
    const auto requestsBefore = Server().RequestLog().size();
    std::jthread worker([&] { Run(ui, state, stop.get_token()); });

    std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
    // Pause: the stop request, then the cancel text; the window never waits for the worker.
    const auto pressed = Clock::now();
    const auto pressedWall = std::chrono::system_clock::now();
    stop.request_stop();
    ui.Cancel("已经取消转换.");
    worker.join();
    slowestStop = std::max(slowestStop, Clock::now() - pressed);

    // A call already past its stop check when Pause is pressed may still reach the port, which
    // shows nothing once the run is cancelled (the window's and the console's ports drop such
    // calls; their own tests show it). The worker itself must stop asking at once: at most the
    // steps of one caption-and-progress update may follow the press.
    EXPECT_LE(ui.LateEvents().size(), 3u);
    // The worker sends one request at a time, so at most the one already on its way when Pause
    // was pressed may reach the server afterwards; a request started after the press would be a
    // second one. The worker is gone, so any request of this run has been logged by now.
    const auto log = Server().RequestLog();
    int afterPress = 0;
    for (size_t i = requestsBefore; i < log.size(); ++i) {
      if (log[i].time > pressedWall) {
        ++afterPress;
        EXPECT_LE(afterPress, 1) << log[i].target;
      }
    }
    for (const auto& name : FolderNames()) {
      EXPECT_TRUE(name.ends_with(".png")) << name;
      EXPECT_TRUE(IsCompletePng(ReadFile(folder_ / name))) << name;
    }
  }
  std::printf("slowest stop of 100: %.1f ms\n",
              std::chrono::duration<double, std::milli>(slowestStop).count());
  // Generous against slow sanitizer builds; the figure printed above is the one that matters.
  EXPECT_LT(slowestStop, std::chrono::seconds(2));
}

}  // namespace
}  // namespace korvane::testing
