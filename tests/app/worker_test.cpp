// The worker thread seen from the window: a run's updates reach the widgets while the worker
// waits, Pause stops it without waiting, Start after Pause never lets two workers overlap, a
// worker waiting on the window is released by a stop, and closing the window mid-run joins it.
// The worker bodies here are fakes that drive the UI port as a conversion run does.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/captions.h"
#include "app/core/app_state.h"
#include "app/main_window.h"
#include "app/ui_call_queue.h"
#include "tests/app/fake_shell.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::FakeShell;
using testing::Q;
using testing::WaitUntil;

// Waits up to `time`, ending early on a stop request, as the worker's pauses do.
void PauseFor(std::stop_token stop, std::chrono::milliseconds time) {
  std::mutex mutex;
  std::condition_variable_any never;
  std::unique_lock lock(mutex);
  never.wait_for(lock, stop, time, [] { return false; });
}

// A run that keeps going until it is stopped, then tries to write its summary as a run that ended
// normally would.
struct Ticker {
  std::atomic<int> started{0};
  std::atomic<int> running{0};
  std::atomic<int> mostRunning{0};
  std::atomic<int> ticks{0};
  std::atomic<int> finished{0};

  WorkerBody Body() {
    return [this](ConversionContext& context) {
      ++started;
      const int now = ++running;
      int most = mostRunning.load();
      while (now > most && !mostRunning.compare_exchange_weak(most, now)) {
      }
      context.ui.SetCaption(Control::kLabel4, "总共 9 图标");
      context.ui.SetMaximum(Control::kProgress1, 9);
      while (!context.stop.stop_requested()) {
        const int position = context.ui.Position(Control::kProgress1);
        context.ui.SetPosition(Control::kProgress1, (position + 1) % 9);
        context.ui.SetCaption(Control::kLabel5, "tick " + std::to_string(ticks.load()));
        ++ticks;
        PauseFor(context.stop, 5ms);
      }
      // Everything a run could still send once stopped: none of it may reach the window.
      context.ui.SetPosition(Control::kProgress1, 7);
      context.ui.SetMaximum(Control::kProgress1, 4);
      context.ui.SetPosition(Control::kProgress2, 50);
      context.ui.SetCaption(Control::kLabel5, "转换失败");
      context.ui.ShowMessage("无svg代码", kMessageError);
      context.ui.SetCaption(Control::kLabel4, "9 个图标转换完成!转换失败0个.");
      context.ui.SetCaption(Control::kButton1, "开始");
      --running;
      ++finished;
    };
  }
};

// Hands the window every update that a worker has posted so far. Called once the worker has
// ended, it settles for good what reached the window: nothing the worker sent can still be on its
// way, however slow the machine.
void DeliverPostedUpdates() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

class WorkerTest : public ::testing::Test {
 protected:
  void Open(WorkerBody body) {
    // The window stays hidden: the worker's updates need no drawing, and drawing would bring in
    // Qt's pooled painting threads, whose own synchronisation ThreadSanitizer cannot see.
    window = std::make_unique<MainWindow>(state, shell, std::move(body));
    Folder()->setText(QStringLiteral("/tmp/icons/"));
  }

  void TearDown() override { window.reset(); }

  template <typename Widget>
  Widget* Child(std::string_view name) {
    return window->findChild<Widget*>(Q(name));
  }
  QLineEdit* Folder() { return Child<QLineEdit>("编辑框2"); }
  QPushButton* Button() { return Child<QPushButton>("按钮1"); }
  QLabel* Status() { return Child<QLabel>("标签4"); }
  QProgressBar* Bar() { return Child<QProgressBar>("进度条1"); }

  AppState state;
  FakeShell shell;
  std::unique_ptr<MainWindow> window;
};

TEST_F(WorkerTest, ARunsUpdatesReachTheWindowAndFailuresAddUpAcrossRuns) {
  std::atomic<bool> onOtherThread{false};
  std::string idSeen;
  std::string folderSeen;
  const std::thread::id uiThread = std::this_thread::get_id();
  Open([&](ConversionContext& context) {
    UiPort& ui = context.ui;
    onOtherThread = std::this_thread::get_id() != uiThread;
    idSeen = ui.Text(Control::kEdit1);
    ui.SetCaption(Control::kLabel4, "总共 3 图标");
    ui.SetMaximum(Control::kProgress1, 3);
    for (int i = 1; i <= 3; ++i) {
      ui.SetCaption(Control::kLabel4,
                    "总共 3 图标,正在下载\\转换第 " + std::to_string(i) + " 个图标.");
      ui.SetPosition(Control::kProgress1, ui.Position(Control::kProgress1) + 1);
      ui.SetCaption(Control::kLabel5, "转换进度");
      ui.SetPosition(Control::kProgress2, 100);
      folderSeen = ui.Text(Control::kEdit2);
      if (i == 2) {
        ui.ShowMessage("无svg代码", kMessagePlain);
        ++context.state.failureCount;
      }
    }
    ui.SetCaption(Control::kLabel4,
                  "3 个图标转换完成!转换失败" + std::to_string(context.state.failureCount) + "个.");
    ui.SetCaption(Control::kButton1, "开始");
  });
  Child<QLineEdit>("编辑框1")->setText(QStringLiteral("4711"));

  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    Button()->click();
    EXPECT_EQ(Button()->text(), Q("暂停"));
    ASSERT_TRUE(WaitUntil([&] { return Button()->text() == Q("开始"); }));
    state.workerThread.join();
    EXPECT_TRUE(onOtherThread);
    EXPECT_EQ(idSeen, "4711");
    EXPECT_EQ(folderSeen, "/tmp/icons/");
    EXPECT_EQ(Bar()->maximum(), 3);
    EXPECT_EQ(Bar()->value(), 3);
    EXPECT_EQ(Child<QProgressBar>("进度条2")->value(), 100);
    EXPECT_EQ(Child<QLabel>("标签5")->text(), Q("转换进度"));
    // Start does not reset the failure count: the second summary counts both runs.
    EXPECT_EQ(Status()->text(),
              Q(run == 1 ? "3 个图标转换完成!转换失败1个." : "3 个图标转换完成!转换失败2个."));
    ASSERT_EQ(shell.messages.size(), static_cast<std::size_t>(run));
    EXPECT_EQ(shell.messages.back().text, Q("无svg代码"));
  }
}

TEST_F(WorkerTest, StartPauseAndStartAgain) {
  Ticker ticker;
  Open(ticker.Body());
  Button()->click();
  ASSERT_TRUE(WaitUntil([&] { return ticker.ticks >= 3; }));
  EXPECT_EQ(Status()->text(), Q("总共 9 图标"));
  EXPECT_EQ(Bar()->maximum(), 9);

  // The folder test comes first, also while the button reads "暂停"; the worker goes on.
  for (const QString& folder : {QString(), Q(captions::kFolderHint)}) {
    Folder()->setText(folder);
    Button()->click();
    EXPECT_EQ(shell.messages.back().text, Q("先选择目录"));
    EXPECT_EQ(Button()->text(), Q("暂停"));
    EXPECT_FALSE(state.workerThread.get_stop_token().stop_requested());
  }
  const int ticks = ticker.ticks;
  ASSERT_TRUE(WaitUntil([&] { return ticker.ticks > ticks + 2; }));
  EXPECT_EQ(ticker.finished, 0);

  // Pause: the bar back to 0, the caption, the cancel text and the stop request, at once.
  Folder()->setText(QStringLiteral("/tmp/icons/"));
  ASSERT_TRUE(WaitUntil([&] { return Bar()->value() > 0; }));
  Button()->click();
  EXPECT_EQ(Bar()->value(), 0);
  EXPECT_EQ(Button()->text(), Q("开始"));
  EXPECT_EQ(Status()->text(), Q("已经取消转换."));
  EXPECT_TRUE(state.workerThread.get_stop_token().stop_requested());
  const std::size_t messages = shell.messages.size();
  const QString label5 = Child<QLabel>("标签5")->text();
  ASSERT_TRUE(WaitUntil([&] { return ticker.finished == 1; }));
  DeliverPostedUpdates();
  // Nothing the stopped worker sent afterwards reached the window.
  EXPECT_EQ(Status()->text(), Q("已经取消转换."));
  EXPECT_EQ(Button()->text(), Q("开始"));
  EXPECT_EQ(Bar()->value(), 0);
  EXPECT_EQ(Bar()->maximum(), 9);
  EXPECT_EQ(Child<QProgressBar>("进度条2")->value(), 0);
  EXPECT_EQ(Child<QLabel>("标签5")->text(), label5);
  EXPECT_EQ(shell.messages.size(), messages);

  // Start again: a new worker replaces the old one, and the two never overlap.
  Button()->click();
  EXPECT_EQ(Button()->text(), Q("暂停"));
  EXPECT_TRUE(state.workerThread.joinable());
  ASSERT_TRUE(WaitUntil([&] { return ticker.started == 2; }));
  const int before = ticker.ticks;
  ASSERT_TRUE(WaitUntil([&] { return ticker.ticks > before + 2; }));
  EXPECT_EQ(ticker.mostRunning, 1);

  // A Start right after a Pause, before the stopped worker got to run again.
  Button()->click();
  Button()->click();
  EXPECT_EQ(ticker.finished, 2);
  EXPECT_EQ(Button()->text(), Q("暂停"));
  ASSERT_TRUE(WaitUntil([&] { return ticker.started == 3; }));
  ASSERT_TRUE(WaitUntil([&] { return ticker.ticks > before + 6; }));
  EXPECT_EQ(ticker.mostRunning, 1);
}

// The worker's message box blocks nothing but the worker, which waits until the box is closed:
// by the user (the run goes on), by Pause or by closing the window (the box goes with the worker).
TEST_F(WorkerTest, AMessageBoxHoldsOnlyTheWorker) {
  enum class Ending { kUserCloses, kPause, kWindowClosed };
  for (Ending ending : {Ending::kUserCloses, Ending::kPause, Ending::kWindowClosed}) {
    SCOPED_TRACE(static_cast<int>(ending));
    shell.messages.clear();
    shell.openedBoxes.clear();
    shell.closedBoxes = 0;
    shell.holdMessages = true;
    std::atomic<bool> messageReturned{false};
    std::atomic<bool> finished{false};
    Open([&](ConversionContext& context) {
      context.ui.ShowMessage("无svg代码", kMessageError);
      messageReturned = true;
      context.ui.SetCaption(Control::kLabel4, "after the box");
      finished = true;
    });
    Button()->click();
    ASSERT_TRUE(WaitUntil([&] { return !shell.openedBoxes.empty(); }));
    EXPECT_EQ(shell.messages[0].text, Q("无svg代码"));
    EXPECT_EQ(shell.messages[0].style, kMessageError);
    // The box is open and the worker waits for it, while the window goes on working.
    QTest::qWait(50);
    EXPECT_FALSE(messageReturned);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    Child<QProgressBar>("进度条2")->setValue(7);

    switch (ending) {
      case Ending::kUserCloses:
        shell.openedBoxes[0]->accept();
        ASSERT_TRUE(WaitUntil([&] { return Status()->text() == QStringLiteral("after the box"); }));
        // The caption is applied while the worker waits; it goes on to finish right after.
        EXPECT_TRUE(WaitUntil([&] { return finished.load(); }));
        break;
      case Ending::kPause:
        Button()->click();
        EXPECT_EQ(shell.closedBoxes, 1);
        ASSERT_TRUE(WaitUntil([&] { return finished.load(); }, 2000));
        DeliverPostedUpdates();
        EXPECT_EQ(Status()->text(), Q("已经取消转换."));
        break;
      case Ending::kWindowClosed:
        window->close();
        EXPECT_EQ(shell.closedBoxes, 1);
        EXPECT_TRUE(finished);
        EXPECT_FALSE(state.workerThread.joinable());
        break;
    }
    EXPECT_TRUE(messageReturned);
    EXPECT_EQ(shell.closedBoxes, 1);
    EXPECT_TRUE(WaitUntil([&] { return shell.openedBoxes[0] == nullptr; }));
    window.reset();
  }
}

TEST_F(WorkerTest, ClosingMidRunStopsAndJoinsTheWorkerWithoutASummary) {
  Ticker ticker;
  Open(ticker.Body());
  QSignalSpy closed(window.get(), &MainWindow::closed);
  Button()->click();
  ASSERT_TRUE(WaitUntil([&] { return ticker.ticks >= 3; }));
  window->close();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(state.workerThread.joinable());
  EXPECT_EQ(ticker.finished, 1);
  DeliverPostedUpdates();
  EXPECT_EQ(Status()->text(), Q("总共 9 图标"));
  EXPECT_EQ(Button()->text(), Q("暂停"));
  EXPECT_EQ(Bar()->maximum(), 9);
  EXPECT_TRUE(shell.messages.empty());
}

TEST_F(WorkerTest, DestroyingTheWindowMidRunJoinsTheWorker) {
  Ticker ticker;
  Open(ticker.Body());
  Button()->click();
  ASSERT_TRUE(WaitUntil([&] { return ticker.ticks >= 3; }));
  window.reset();
  EXPECT_FALSE(state.workerThread.joinable());
  EXPECT_EQ(ticker.finished, 1);
  state.ReleaseTexts();
}

TEST(UiCallQueueTest, RunsCallsOnTheDrainingThreadAndDropsStoppedOnes) {
  std::atomic<int> wakes{0};
  UiCallQueue queue([&] { ++wakes; });

  // Applied: the call runs on the draining thread and the worker learns that it did.
  std::thread::id ranOn;
  std::stop_source source;
  bool applied = false;
  std::thread worker([&] {
    applied = queue.Run([&] { ranOn = std::this_thread::get_id(); }, source.get_token());
  });
  ASSERT_TRUE(WaitUntil([&] {
    queue.Drain();
    return ranOn != std::thread::id();
  }));
  worker.join();
  EXPECT_TRUE(applied);
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  // Stopped while waiting: the worker returns at once and the call never runs.
  std::stop_source stopped;
  std::atomic<bool> ran{false};
  std::atomic<bool> returned{false};
  bool result = true;
  std::thread waiting([&] {
    result = queue.Run([&] { ran = true; }, stopped.get_token());
    returned = true;
  });
  ASSERT_TRUE(WaitUntil([&] { return wakes == 2; }));
  stopped.request_stop();
  waiting.join();
  EXPECT_TRUE(returned);
  EXPECT_FALSE(result);
  queue.Drain();
  EXPECT_FALSE(ran);

  // Stopped before the call: nothing is posted.
  EXPECT_FALSE(queue.Run([&] { ran = true; }, stopped.get_token()));
  EXPECT_EQ(wakes, 2);
  queue.Drain();
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace korvane
