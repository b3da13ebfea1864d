// The main window's controls, the folder field (hint, browse, drop), the Start press's folder
// test, the popup menu, the collections page and the tutorial link.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <functional>
#include <memory>

#include "app/captions.h"
#include "app/core/app_state.h"
#include "app/main_window.h"
#include "app/skin.h"
#include "app/text_bridge.h"
#include "app/tutorial_window.h"
#include "app/window_geometry.h"
#include "tests/app/fake_shell.h"

namespace korvane {
namespace {

using testing::FakeShell;
using testing::Q;

const QString kSeparator(QDir::separator());

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<MainWindow>(state, shell, WorkerBody());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }

  void TearDown() override {
    window.reset();
    if (QWidget* popup = QApplication::activePopupWidget()) {
      popup->close();
    }
  }

  template <typename Widget>
  Widget* Child(std::string_view name) {
    return window->findChild<Widget*>(Q(name));
  }

  QLineEdit* Folder() { return Child<QLineEdit>("编辑框2"); }
  int FolderColour() { return ColourToBgr(Folder()->palette().color(QPalette::Text)); }
  void PressStart() { Child<QPushButton>("按钮1")->click(); }

  void Drop(const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths) {
      urls.push_back(QUrl::fromLocalFile(path));
    }
    QMimeData mime;
    mime.setUrls(urls);
    ASSERT_TRUE(DropOn(window.get(), mime));
  }

  // Drags `mime` onto `target` and drops it there, as the toolkit delivers a drop from another
  // program: the enter goes to the widget under the pointer and on up to its first ancestor
  // that takes it, the drop to the widget that took the enter. Returns whether a widget took it.
  static bool DropOn(QWidget* target, const QMimeData& mime) {
    const QPoint where(4, 4);
    QDragEnterEvent enter(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
      return false;
    }
    QDragMoveEvent move(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(where), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
  }

  AppState state;
  FakeShell shell;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, ControlsSitWhereTheTableSaysWithTheirTexts) {
  struct Expected {
    std::string_view name;
    const char* className;
    QRect geometry;
    std::string_view text;
  };
  const Expected controls[] = {
      {"标签2", "QLabel", {16, 0, 56, 23}, "下载目录"},
      {"编辑框2", "QLineEdit", {69, 1, 258, 19}, captions::kFolderHint},
      {"按钮2", "QPushButton", {329, 1, 26, 19}, "..."},
      {"标签5", "QLabel", {118, 24, 120, 16}, ""},
      {"标签1", "QLabel", {42, 50, 80, 19}, "图标CID："},
      {"编辑框1", "QLineEdit", {136, 45, 80, 29}, "12527"},
      {"按钮1", "QPushButton", {240, 45, 80, 29}, "开始"},
      {"进度条2", "QProgressBar", {136, 74, 80, 4}, ""},
      {"标签4", "QLabel", {34, 81, 296, 15}, ""},
      {"标签3", "QLabel", {345, 90, 23, 14}, "教程"},
      {"进度条1", "QProgressBar", {0, 107, 376, 15}, ""},
      {"拖放对象1", "QWidget", {336, 56, 26, 26}, ""},
  };
  for (const Expected& control : controls) {
    SCOPED_TRACE(Q(control.name).toStdString());
    QWidget* widget = Child<QWidget>(control.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_STREQ(widget->metaObject()->className(), control.className);
    EXPECT_EQ(widget->geometry(), control.geometry);
    QString text;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      text = label->text();
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      text = edit->text();
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
      text = button->text();
    } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
      EXPECT_EQ(bar->minimum(), 0);
      EXPECT_EQ(bar->maximum(), 100);
      EXPECT_EQ(bar->value(), 0);
    }
    EXPECT_EQ(text, Q(control.text));
  }
  EXPECT_FALSE(Child<QWidget>("拖放对象1")->isVisible());
  EXPECT_TRUE(window->acceptDrops());
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Korvane"));
  EXPECT_EQ(OuterSize(*window), QSize(381, 147));
  EXPECT_EQ(window->pos(), QPoint(50, 50));
  EXPECT_EQ(window->focusWidget(), Child<QWidget>("编辑框1"));
}

TEST_F(MainWindowTest, CreationResetsTheFailureCountAndSwitchesTheSkinOn) {
  AppState other;
  other.failureCount = 7;
  MainWindow second(other, shell, WorkerBody());
  EXPECT_EQ(other.failureCount, 0);
  EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
  EXPECT_EQ(QApplication::palette().color(QPalette::Window),
            SchemeThreePalette().color(QPalette::Window));
}

TEST_F(MainWindowTest, HintIsGreyUntilTheTextChanges) {
  EXPECT_EQ(FolderColour(), 12632256);
  QTest::keyClicks(Folder(), "x");
  EXPECT_EQ(FolderColour(), 0);

  shell.folderToChoose.clear();
  Child<QPushButton>("按钮2")->click();
  EXPECT_EQ(Folder()->text(), Q(captions::kFolderHint));
  EXPECT_EQ(FolderColour(), 12632256);
  Folder()->setText(QStringLiteral("/srv/icons/"));
  EXPECT_EQ(FolderColour(), 0);
}

TEST_F(MainWindowTest, BrowseAppendsOneSeparatorAndRestoresTheHintOnCancel) {
  const QString root = QDir::toNativeSeparators(QDir::rootPath());
  const QString folder = QDir::toNativeSeparators(QStringLiteral("/home/user/图标"));
  struct Case {
    QString chosen;
    QString text;
    int colour;
  };
  const Case cases[] = {
      {folder, folder + kSeparator, 0},
      // A root already ends in a separator, so the field ends in two.
      {root, root + kSeparator, 0},
      {QString(), Q(captions::kFolderHint), 12632256},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen.toStdString());
    shell.folderToChoose = c.chosen;
    Child<QPushButton>("按钮2")->click();
    EXPECT_EQ(Folder()->text(), c.text);
    EXPECT_EQ(FolderColour(), c.colour);
    EXPECT_EQ(state.browsedFolder, ToGbk(c.chosen));
  }
  ASSERT_EQ(shell.dialogTitles.size(), 3);
  EXPECT_EQ(shell.dialogTitles.front(), Q("请选择下载目录"));
}

TEST_F(MainWindowTest, DropOfOneFolderAppendsASeparatorAndDisablesBrowse) {
  const QString path = QDir::toNativeSeparators(QStringLiteral("/tmp/icons"));
  Drop({QStringLiteral("/tmp/icons")});
  EXPECT_EQ(Folder()->text(), path + kSeparator);
  EXPECT_EQ(FolderColour(), 0);
  EXPECT_FALSE(Child<QPushButton>("按钮2")->isEnabled());

  // Typing still works, and nothing enables the browse button again.
  Folder()->setFocus();
  QTest::keyClick(Folder(), Qt::Key_End);
  QTest::keyClicks(Folder(), "x");
  EXPECT_EQ(Folder()->text(), path + kSeparator + "x");
  Drop({QStringLiteral("/tmp/other")});
  EXPECT_FALSE(Child<QPushButton>("按钮2")->isEnabled());
}

TEST_F(MainWindowTest, DropOfTwoFoldersPutsBothPathsEachWithCrLf) {
  Drop({QStringLiteral("/tmp/a"), QStringLiteral("/tmp/b")});
  const QString a = QDir::toNativeSeparators(QStringLiteral("/tmp/a"));
  const QString b = QDir::toNativeSeparators(QStringLiteral("/tmp/b"));
  EXPECT_EQ(Folder()->text(), a + "\r\n" + b + "\r\n" + kSeparator);
  EXPECT_FALSE(Child<QPushButton>("按钮2")->isEnabled());
}

// What file managers offer for a dragged folder, dropped on each edit field and on the window's
// bare area: every drag that carries a local folder goes to the window's drop handling, never
// into a field's text; plain text dropped on a field is still inserted there.
TEST_F(MainWindowTest, DroppedFoldersReachTheDropHandlingWhereverTheyLand) {
  const QString folder = QDir::toNativeSeparators(QStringLiteral("/tmp/icons"));
  const QByteArray uri = QUrl::fromLocalFile(QStringLiteral("/tmp/icons")).toEncoded();
  struct Case {
    const char* name;
    std::vector<std::pair<QString, QByteArray>> formats;
    bool isFolder;  // otherwise text
  };
  const Case cases[] = {
      {"uri list and plain text",
       {{QStringLiteral("text/uri-list"), uri + "\r\n"},
        {QStringLiteral("text/plain"), uri},
        {QStringLiteral("text/plain;charset=utf-8"), uri}},
       true},
      {"copied-files list and plain text",
       {{QStringLiteral("x-special/gnome-copied-files"), "copy\n" + uri},
        {QStringLiteral("text/plain"), uri}},
       true},
      {"plain text", {{QStringLiteral("text/plain"), "42"}}, false},
      {"a web link",
       {{QStringLiteral("text/uri-list"), "http://icons.example.com/a\r\n"},
        {QStringLiteral("text/plain"), "http://icons.example.com/a"}},
       false},
  };
  for (const Case& c : cases) {
    for (std::string_view target : {"编辑框2", "编辑框1", ""}) {
      SCOPED_TRACE(std::string(c.name) + " on " +
                   (target.empty() ? "the window" : Q(target).toStdString()));
      window = std::make_unique<MainWindow>(state, shell, WorkerBody());
      window->show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
      QMimeData mime;
      for (const auto& [format, data] : c.formats) {
        mime.setData(format, data);
      }
      auto* id = Child<QLineEdit>("编辑框1");
      const QString hint = Folder()->text();
      const bool taken = DropOn(target.empty() ? window.get() : Child<QWidget>(target), mime);
      if (c.isFolder) {
        EXPECT_TRUE(taken);
        EXPECT_EQ(Folder()->text(), folder + kSeparator);
        EXPECT_EQ(id->text(), QStringLiteral("12527"));
        EXPECT_FALSE(Child<QPushButton>("按钮2")->isEnabled());
        continue;
      }
      EXPECT_TRUE(Child<QPushButton>("按钮2")->isEnabled());
      if (target.empty()) {
        EXPECT_FALSE(taken);
        EXPECT_EQ(Folder()->text(), hint);
      } else {
        // The field takes the text at the drop position, as it always did.
        EXPECT_TRUE(taken);
        auto* edit = Child<QLineEdit>(target);
        EXPECT_TRUE(edit->text().contains(mime.text())) << edit->text().toStdString();
      }
    }
  }
}

TEST_F(MainWindowTest, ProgressPositionsOutsideTheRangeStopAtItsEnds) {
  struct Case {
    Control control;
    int maximum;  // 0: the designed range 0 to 100
    int position;
    int shown;
  };
  const Case cases[] = {
      {Control::kProgress2, 0, 150, 100}, {Control::kProgress2, 0, -5, 0},
      {Control::kProgress2, 0, 40, 40},   {Control::kProgress1, 9, 12, 9},
      {Control::kProgress1, 9, -1, 0},    {Control::kProgress1, 9, 9, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    window->ApplyPosition(c.control, 50);
    if (c.maximum > 0) {
      window->ApplyMaximum(c.control, c.maximum);
    }
    window->ApplyPosition(c.control, c.position);
    EXPECT_EQ(window->ReadPosition(c.control), c.shown);
  }
}

TEST_F(MainWindowTest, StartWithoutAFolderAsksForOneAndChangesNothing) {
  for (const QString& text : {QString(), Q(captions::kFolderHint)}) {
    shell.messages.clear();
    Folder()->setText(text);
    Child<QProgressBar>("进度条1")->setValue(40);
    PressStart();
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, Q("先选择目录"));
    EXPECT_EQ(shell.messages[0].style, 0);
    EXPECT_EQ(Child<QPushButton>("按钮1")->text(), Q("开始"));
    EXPECT_EQ(Child<QProgressBar>("进度条1")->value(), 40);
  }
}

TEST_F(MainWindowTest, StartRefusesAFolderNameOutsideGbkHoweverItCameIn) {
  // "f-ö": GBK has no ö, so the run would write into "f-?" instead.
  const QString folder = QDir::toNativeSeparators(QStringLiteral("/tmp/f-\u00F6"));
  const std::function<void()> ways[] = {
      [&] {
        shell.folderToChoose = folder;
        Child<QPushButton>("按钮2")->click();
      },
      [&] { Drop({QStringLiteral("/tmp/f-\u00F6")}); },
      [&] {
        Folder()->clear();
        Folder()->setFocus();
        // Typed as a keyboard would send it: the letter outside ASCII arrives as event text.
        QTest::keyClicks(Folder(), QDir::toNativeSeparators(QStringLiteral("/tmp/f-")));
        QKeyEvent letter(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier,
                         QStringLiteral("\u00F6"));
        QApplication::sendEvent(Folder(), &letter);
        QTest::keyClicks(Folder(), kSeparator);
      },
  };
  for (size_t way = 0; way < std::size(ways); ++way) {
    SCOPED_TRACE(way);
    shell.messages.clear();
    ways[way]();
    ASSERT_EQ(Folder()->text(), folder + kSeparator);
    Child<QProgressBar>("进度条1")->setValue(40);
    PressStart();
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, Q("目录名含有无法处理的字符"));
    EXPECT_EQ(shell.messages[0].style, 0);
    EXPECT_EQ(Child<QPushButton>("按钮1")->text(), Q("开始"));
    EXPECT_EQ(Child<QProgressBar>("进度条1")->value(), 40);
  }

  // A folder GBK can spell starts; Pause is never refused, whatever the field holds by then.
  shell.messages.clear();
  Folder()->setText(QStringLiteral("/tmp/图标/"));
  PressStart();
  EXPECT_EQ(Child<QPushButton>("按钮1")->text(), Q("暂停"));
  Folder()->setText(folder + kSeparator);
  PressStart();
  EXPECT_EQ(Child<QPushButton>("按钮1")->text(), Q("开始"));
  EXPECT_TRUE(shell.messages.empty());
}

TEST_F(MainWindowTest, StartWithoutAWorkerBodyLeavesThePauseCaption) {
  // A worker that cannot be started is not reported; the next press sets the caption back.
  Folder()->setText(QStringLiteral("/tmp/"));
  PressStart();
  EXPECT_EQ(Child<QPushButton>("按钮1")->text(), Q("暂停"));
  EXPECT_FALSE(state.workerThread.joinable());
  PressStart();
  EXPECT_EQ(Child<QPushButton>("按钮1")->text(), Q("开始"));
  EXPECT_EQ(Child<QLabel>("标签4")->text(), Q("已经取消转换."));
  EXPECT_TRUE(shell.messages.empty());
}

TEST_F(MainWindowTest, RightButtonReleasePopsUpTheMenu) {
  struct Case {
    std::string_view control;  // empty: the window's bare area
    bool popsUp;
  };
  const Case cases[] = {
      {"标签4", true}, {"标签5", true}, {"标签1", true}, {"", true}, {"标签2", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Q(c.control).toStdString());
    QWidget* target = c.control.empty() ? window.get() : Child<QWidget>(c.control);
    const QPoint where = c.control.empty() ? QPoint(5, 30) : QPoint(2, 2);
    QTest::mouseRelease(target, Qt::RightButton, {}, where);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!c.popsUp) {
      EXPECT_EQ(menu, nullptr);
      continue;
    }
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), Q("菜单"));
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), Q("获取代理IP"));
    menu->close();
  }
}

TEST_F(MainWindowTest, DoubleClickOpensTheCollectionsPage) {
  struct Case {
    std::string_view control;
    bool opens;
  };
  const Case cases[] = {{"标签4", true}, {"标签5", true},  {"标签1", true},
                        {"", true},      {"标签2", false}, {"进度条1", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Q(c.control).toStdString());
    shell.openedUrls.clear();
    QWidget* target = c.control.empty() ? window.get() : Child<QWidget>(c.control);
    const QPoint where = c.control.empty() ? QPoint(5, 30) : QPoint(2, 2);
    QTest::mouseDClick(target, Qt::LeftButton, {}, where);
    if (c.opens) {
      ASSERT_EQ(shell.openedUrls.size(), 1u);
      EXPECT_EQ(shell.openedUrls[0].toString(),
                QStringLiteral("http://icons.example.com/collections/index?type=3"));
    } else {
      EXPECT_TRUE(shell.openedUrls.empty());
    }
  }
}

TEST_F(MainWindowTest, CollectionsPageFollowsTheIconLibraryOption) {
  WindowOptions options;
  options.endpoints.iconLibrary = "http://127.0.0.1:8080";
  MainWindow other(state, shell, WorkerBody(), options);
  QTest::mouseDClick(other.findChild<QWidget*>(Q("标签4")), Qt::LeftButton, {}, QPoint(2, 2));
  ASSERT_EQ(shell.openedUrls.size(), 1u);
  EXPECT_EQ(shell.openedUrls[0].toString(),
            QStringLiteral("http://127.0.0.1:8080/collections/index?type=3"));
}

TEST_F(MainWindowTest, TutorialLinkOpensOneOwnerlessModelessWindow) {
  QWidget* link = Child<QWidget>("标签3");
  QTest::mouseRelease(link, Qt::RightButton, {}, QPoint(2, 2));
  EXPECT_EQ(window->Tutorial(), nullptr);

  // The advice box comes first and holds up only the tutorial window, which shows once the box
  // has been closed.
  shell.holdMessages = true;
  QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(2, 2));
  TutorialWindow* tutorial = window->Tutorial();
  ASSERT_NE(tutorial, nullptr);
  ASSERT_EQ(shell.messages.size(), 1u);
  EXPECT_EQ(shell.messages[0].text, Q(captions::kTutorialAdvice));
  ASSERT_NE(tutorial->Advice(), nullptr);
  EXPECT_FALSE(tutorial->isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

  // A second release while the box is open neither opens another window nor another box.
  QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(2, 2));
  EXPECT_EQ(window->Tutorial(), tutorial);
  EXPECT_EQ(shell.messages.size(), 1u);
  EXPECT_FALSE(tutorial->isVisible());

  tutorial->Advice()->accept();
  EXPECT_TRUE(tutorial->isVisible());
  EXPECT_EQ(tutorial->parentWidget(), nullptr);
  EXPECT_FALSE(tutorial->isModal());
  EXPECT_EQ(tutorial->windowModality(), Qt::NonModal);
  EXPECT_TRUE(testing::WaitUntil([&] { return tutorial->Advice() == nullptr; }));

  // A release with the window open shows that window rather than another one.
  QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(2, 2));
  EXPECT_EQ(window->Tutorial(), tutorial);
  EXPECT_EQ(shell.messages.size(), 1u);

  tutorial->close();
  EXPECT_TRUE(testing::WaitUntil([&] { return window->Tutorial() == nullptr; }));
}

}  // namespace
}  // namespace korvane
