// The tutorial window's creation steps for a given screen, its advice box and its picture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImageReader>
#include <QLabel>
#include <QMovie>
#include <QTest>

#include "app/captions.h"
#include "app/tutorial_window.h"
#include "app/window_geometry.h"
#include "tests/app/fake_shell.h"

namespace korvane {
namespace {

using testing::FakeShell;
using testing::Q;

TEST(TutorialWindowTest, DesignedGeometryAndCaption) {
  TutorialWindow window;
  EXPECT_EQ(OuterSize(window), QSize(399, 258));
  EXPECT_EQ(window.pos(), QPoint(50, 50));
  EXPECT_EQ(window.windowTitle(), Q(captions::kTutorialAdvice));
  QLabel* picture = window.findChild<QLabel*>(Q("图片框1"));
  ASSERT_EQ(picture, window.Picture());
  EXPECT_EQ(picture->geometry(), QRect(40, 8, 248, 192));
}

TEST(TutorialWindowTest, SizesAndCentresItselfFromThePrimaryScreen) {
  struct Case {
    QSize screen;
    QRect window;
    QSize picture;
  };
  const Case cases[] = {
      {{1920, 1080}, {320, 180, 1280, 720}, {1280, 690}},
      // Sizes are truncated: 1366 / 1.5 = 910.67, 768 / 1.5 = 512.
      {{1366, 768}, {228, 128, 910, 512}, {910, 482}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.screen.width());
    FakeShell shell;
    shell.screenSize = c.screen;
    bool visibleDuringAdvice = true;
    TutorialWindow* window = nullptr;
    shell.onMessage = [&](const QString&) {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* tutorial = qobject_cast<TutorialWindow*>(top)) {
          visibleDuringAdvice = tutorial->isVisible();
        }
      }
    };
    window = TutorialWindow::Open(shell);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(QRect(window->pos(), OuterSize(*window)), c.window);
    EXPECT_EQ(window->Picture()->geometry(), QRect(QPoint(0, 0), c.picture));
    // The advice box comes while the window is being created, before it shows.
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, Q(captions::kTutorialAdvice));
    EXPECT_EQ(shell.messages[0].style, 0);
    EXPECT_FALSE(visibleDuringAdvice);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->testAttribute(Qt::WA_DeleteOnClose));
    delete window;
  }
}

TEST(TutorialWindowTest, PlaysTheGeneratedPictureScaledToFit) {
  QImageReader reader(QStringLiteral(":/tutorial/tutorial.gif"));
  ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
  EXPECT_EQ(reader.format(), QByteArray("gif"));
  EXPECT_GT(reader.imageCount(), 1);
  EXPECT_EQ(reader.loopCount(), -1);  // loops without end
  const QSize natural = reader.size();
  ASSERT_FALSE(natural.isEmpty());

  FakeShell shell;
  shell.screenSize = {1366, 768};
  TutorialWindow* window = TutorialWindow::Open(shell);
  QMovie* movie = window->Movie();
  ASSERT_TRUE(movie->isValid());
  EXPECT_EQ(movie->state(), QMovie::Running);
  const QSize scaled = movie->scaledSize();
  const QSize box = window->Picture()->size();
  EXPECT_TRUE(scaled.width() == box.width() || scaled.height() == box.height());
  EXPECT_LE(scaled.width(), box.width());
  EXPECT_LE(scaled.height(), box.height());
  // Proportions kept within a pixel of rounding.
  EXPECT_NEAR(static_cast<double>(scaled.width()) / scaled.height(),
              static_cast<double>(natural.width()) / natural.height(), 0.01);
  EXPECT_TRUE(testing::WaitUntil([&] { return movie->currentFrameNumber() > 0; }));
  delete window;
}

}  // namespace
}  // namespace korvane
