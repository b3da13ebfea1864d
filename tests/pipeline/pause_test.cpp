// Pause in the middle of a run, at random moments and at every one of the worker's calls to the
// window: the worker stops at once, shows nothing more, sends nothing more and leaves no partial
// or temporary file behind.
#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
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

// The page token of a request to the converter ("/zh/status/<token>/..."), empty for the
// collection request.
std::string TokenOf(const std::string& path) {
  for (const std::string_view prefix : {"/upload/", "/zh/convert/", "/zh/status/", "/download/"}) {
    if (path.starts_with(prefix))
      return path.substr(prefix.size(), 16);
  }
  return {};
}

TEST_F(PauseTest, StoppingAtRandomMomentsLeavesNothingHalfDone) {
  std::mt19937 random(20261211);
  std::uniform_int_distribution<int> delayMicroseconds(0, 60000);
  Server().SetPolls(1);
  Clock::duration slowestStop{};
  std::set<std::string> earlierTokens;  // page tokens of the runs before
  int unloggedCollections = 0;          // runs stopped before their collection request was logged
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
    // second one. A request that an earlier run sent and then abandoned may still be read and
    // logged by the stand-in during this run, on a loaded machine: it carries a token seen
    // before this run began, or is the collection request of a run that logged none.
    const auto log = Server().RequestLog();
    int afterPress = 0;
    bool ownCollection = false;
    std::vector<std::string> ownTokens;
    for (size_t i = requestsBefore; i < log.size(); ++i) {
      const std::string token = TokenOf(log[i].path);
      const bool collection = token.empty();
      if (!collection && earlierTokens.contains(token))
        continue;
      if (collection && unloggedCollections > 0) {
        --unloggedCollections;
        continue;
      }
      ownCollection = ownCollection || collection;
      if (!collection)
        ownTokens.push_back(token);
      if (log[i].time > pressedWall) {
        ++afterPress;
        EXPECT_LE(afterPress, 1) << log[i].target;
      }
    }
    earlierTokens.insert(ownTokens.begin(), ownTokens.end());
    unloggedCollections += ownCollection ? 0 : 1;
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

// Polls `done` until it holds or `limit` has passed; returns whether it held.
template <typename Done>
bool WaitFor(Done done, Clock::duration limit = std::chrono::seconds(60)) {
  const auto end = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// How long a stop may take to end a run. Far below the one-second pause between status polls,
// yet a loaded machine running a sanitizer build meets it with room to spare.
constexpr auto kStopBound = std::chrono::milliseconds(500);

TEST_F(PauseTest, PauseDuringARealPauseBetweenPollsTakesEffectAtOnce) {
  Server().SetPolls(1000);  // the document never converts: a pause follows every poll
  waitScale_ = 1.0;
  AppState state;
  RecordingUi ui("90005", FolderText());
  std::stop_source stop;
  std::jthread worker([&] { Run(ui, state, stop.get_token()); });
  // The first poll's progress is shown; right after it the worker begins its one-second pause.
  ASSERT_TRUE(WaitFor([&] {
    bool converting = false;
    for (const UiEvent& event : ui.Events()) {
      converting = converting || event.text == "开始转换成png";
      if (converting && event.kind == UiEvent::kPosition && event.control == Control::kProgress2)
        return true;
    }
    return false;
  })) << "no poll answered";
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // well inside the pause

  const auto pressed = Clock::now();
  stop.request_stop();
  ui.Cancel("已经取消转换.");
  worker.join();
  const auto took = Clock::now() - pressed;
  std::printf("stopped during a one-second pause in %.1f ms\n",
              std::chrono::duration<double, std::milli>(took).count());
  EXPECT_LT(took, kStopBound);
  int polls = 0;
  for (const auto& request : Server().RequestLog())
    polls += request.path.starts_with("/zh/status/");
  EXPECT_EQ(polls, 1);
  EXPECT_TRUE(ui.LateEvents().empty());
  EXPECT_TRUE(FolderNames().empty());
}

// The window of a user who presses Pause while the worker's n-th call to it is under way. The
// stop is requested from inside that call, either before the call is applied (a window then
// drops it: a read answers 0 or the empty text) or right after. Every call the worker makes to
// the port after that is kept, and nothing is applied any more.
class PauseInsideCallUi : public UiPort {
 public:
  enum class When { kBeforeApplying, kAfterApplying };

  PauseInsideCallUi(std::string id, std::string folder, int stopAt, When when,
                    std::function<void()> pause)
      : id_(std::move(id)),
        folder_(std::move(folder)),
        stopAt_(stopAt),
        when_(when),
        pause_(std::move(pause)) {}

  void SetCaption(Control control, std::string_view text) override {
    if (Begin("caption " + std::string(ControlName(control)) + " " + std::string(text)))
      End();
  }
  void SetPosition(Control control, int position) override {
    if (Begin("position " + std::string(ControlName(control)) + " " + std::to_string(position))) {
      if (control == Control::kProgress1)
        position1_ = position;
      End();
    }
  }
  int Position(Control control) override {
    if (!Begin("read position " + std::string(ControlName(control))))
      return 0;
    const int position = control == Control::kProgress1 ? position1_ : 0;
    End();
    return position;
  }
  void SetMaximum(Control control, int maximum) override {
    if (Begin("maximum " + std::string(ControlName(control)) + " " + std::to_string(maximum)))
      End();
  }
  std::string Text(Control control) override {
    if (!Begin("read text " + std::string(ControlName(control))))
      return {};
    std::string text = control == Control::kEdit1 ? id_ : control == Control::kEdit2 ? folder_ : "";
    End();
    return text;
  }
  void ShowMessage(std::string_view text, int style) override {
    if (Begin("message " + std::string(text) + " " + std::to_string(style)))
      End();
  }

  int Calls() const { return calls_; }
  bool Paused() const { return paused_; }
  // What the worker asked of the window after the stop request: no caption, position or message
  // may be among it.
  const std::vector<std::string>& AfterPause() const { return afterPause_; }
  // The call inside which Pause was pressed.
  const std::string& PausedIn() const { return pausedIn_; }

 private:
  // Counts the call; returns whether to apply it.
  bool Begin(std::string what) {
    ++calls_;
    if (paused_) {
      afterPause_.push_back(std::move(what));
      return false;
    }
    if (calls_ != stopAt_)
      return true;
    pausedIn_ = what;
    if (when_ == When::kBeforeApplying) {
      Pause();
      return false;
    }
    return true;
  }
  void End() {
    if (calls_ == stopAt_ && !paused_)
      Pause();
  }
  void Pause() {
    paused_ = true;
    pause_();
  }

  std::string id_, folder_;
  int stopAt_;
  When when_;
  std::function<void()> pause_;
  int calls_ = 0;
  int position1_ = 0;
  bool paused_ = false;
  std::string pausedIn_;
  std::vector<std::string> afterPause_;
};

// Names in a folder, sorted, temporary files included.
std::vector<std::string> NamesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(PauseTest, NothingFollowsAPausePressedInsideAnyCallToTheWindow) {
  // Three icons, the middle one without markup (a message box), and conversions that read 100 at
  // the first poll: every kind of call the worker makes to the window, in one short run.
  Server().SetPolls(0);
  const FixedClock clock;
  const platform::ScopedClockLocale scope(clock);
  const std::filesystem::path workingFolder = std::filesystem::current_path();
  for (const auto when :
       {PauseInsideCallUi::When::kBeforeApplying, PauseInsideCallUi::When::kAfterApplying}) {
    int wholeRunCalls = 0;
    for (int stopAt = 1;; ++stopAt) {
      SCOPED_TRACE("pause in call " + std::to_string(stopAt) +
                   (when == PauseInsideCallUi::When::kBeforeApplying ? ", before applying it"
                                                                     : ", after applying it"));
      EmptyFolder();
      const std::vector<std::string> workingBefore = NamesIn(workingFolder);
      AppState state;
      std::stop_source stop;
      size_t requestsAtPause = 0;
      std::vector<std::string> filesAtPause;
      PauseInsideCallUi ui("90006", FolderText(), stopAt, when, [&] {
        stop.request_stop();
        requestsAtPause = Server().RequestLog().size();
        filesAtPause = FolderNames();
      });
      Server().ClearRequestLog();
      const RunSummary summary = Run(ui, state, stop.get_token());
      if (!ui.Paused()) {
        // The run ended before its stopAt-th call: every call has had its pause.
        wholeRunCalls = ui.Calls();
        EXPECT_EQ(stopAt, wholeRunCalls + 1);
        EXPECT_FALSE(summary.cancelled);
        EXPECT_EQ(summary.saved, 2);
        break;
      }
      for (const std::string& call : ui.AfterPause()) {
        EXPECT_TRUE(call.starts_with("read "))
            << "after a pause in \"" << ui.PausedIn() << "\": " << call;
      }
      EXPECT_EQ(Server().RequestLog().size(), requestsAtPause) << ui.PausedIn();
      EXPECT_EQ(FolderNames(), filesAtPause) << ui.PausedIn();
      EXPECT_EQ(NamesIn(workingFolder), workingBefore) << ui.PausedIn();
      for (const auto& name : FolderNames())
        EXPECT_TRUE(IsCompletePng(ReadFile(folder_ / name))) << name;
      ASSERT_LT(stopAt, 200) << "the run never ends";
    }
    // One collection request, the window's first two updates, and per icon at least its caption.
    EXPECT_GT(wholeRunCalls, 20);
  }
}

}  // namespace
}  // namespace korvane::testing
