// The windows on a desktop with a window manager (openbox on Xvfb, started by the test's main):
// outer geometry measured on the window manager's frame, titles as the X server holds them,
// Qt's own texts in Chinese, and message boxes that leave Pause and the close button working
// when pressed with the real pointer or through the window manager.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/captions.h"
#include "app/core/app_state.h"
#include "app/main_window.h"
#include "app/shell.h"
#include "app/tutorial_window.h"
#include "app/window_geometry.h"
#include "tests/app/fake_shell.h"

namespace korvane {
namespace {

using testing::FakeShell;
using testing::Q;
using testing::WaitUntil;

xcb_connection_t* Connection() {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t Atom(const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      Connection(), xcb_intern_atom(Connection(), 0, std::strlen(name), name), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  std::free(reply);
  return atom;
}

// The window's title as the window manager reads it.
QString XTitle(const QWidget& window) {
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      Connection(),
      xcb_get_property(Connection(), 0, static_cast<xcb_window_t>(window.winId()),
                       Atom("_NET_WM_NAME"), Atom("UTF8_STRING"), 0, 4096),
      nullptr);
  QString title;
  if (reply != nullptr) {
    title = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply)),
                              xcb_get_property_value_length(reply));
  }
  std::free(reply);
  return title;
}

// The outer rectangle of the window on the screen, as the X server has it: the window
// manager's frame around the client window (the client itself when nothing frames it).
QRect XOuterGeometry(const QWidget& window) {
  xcb_connection_t* connection = Connection();
  xcb_window_t outer = static_cast<xcb_window_t>(window.winId());
  for (;;) {
    xcb_query_tree_reply_t* tree =
        xcb_query_tree_reply(connection, xcb_query_tree(connection, outer), nullptr);
    if (tree == nullptr) {
      return {};
    }
    const bool topmost = tree->parent == tree->root;
    const xcb_window_t parent = tree->parent;
    std::free(tree);
    if (topmost) {
      break;
    }
    outer = parent;
  }
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, outer), nullptr);
  if (geometry == nullptr) {
    return {};
  }
  const int border = geometry->border_width;
  const QRect rect(geometry->x, geometry->y, geometry->width + 2 * border,
                   geometry->height + 2 * border);
  std::free(geometry);
  return rect;
}

// Runs an X tool (xdotool) while this thread keeps processing events; returns whether it
// succeeded.
bool RunTool(const QString& program, const QStringList& args) {
  QProcess tool;
  tool.start(program, args);
  if (!tool.waitForStarted(10000)) {
    return false;
  }
  WaitUntil([&] { return tool.state() == QProcess::NotRunning; }, 20000);
  return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

// Asks the window manager to close the window, as a taskbar does (_NET_CLOSE_WINDOW); the
// window manager then sends the window its close request.
void AskWindowManagerToClose(const QWidget& window) {
  xcb_connection_t* connection = Connection();
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = static_cast<xcb_window_t>(window.winId());
  message.type = Atom("_NET_CLOSE_WINDOW");
  message.data.data32[0] = XCB_CURRENT_TIME;
  message.data.data32[1] = 2;  // from a pager or taskbar
  xcb_send_event(connection, 0, screen->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(connection);
}

bool ClickAt(QPoint global) {
  return RunTool(QStringLiteral("xdotool"),
                 {QStringLiteral("mousemove"), QString::number(global.x()),
                  QString::number(global.y()), QStringLiteral("click"), QStringLiteral("1")});
}

QMessageBox* OpenMessageBox(const QString& text) {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(top);
    if (box != nullptr && box->isVisible() && box->text() == text) {
      return box;
    }
  }
  return nullptr;
}

TEST(DesktopTest, TheEnvironmentIsADesktopWithAWindowManagerAndAChineseLocale) {
  ASSERT_NE(Connection(), nullptr) << "not on X";
  EXPECT_EQ(QLocale().name(), QStringLiteral("zh_CN"));
}

TEST(DesktopTest, TheMainWindowsFrameHasTheOuterGeometry) {
  AppState state;
  FakeShell shell;
  MainWindow window(state, shell, WorkerBody());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const QRect outer(50, 50, 381, 147);
  EXPECT_TRUE(WaitUntil([&] {
    return XOuterGeometry(window) == outer && window.windowHandle()->frameGeometry() == outer;
  })) << "frame at "
      << XOuterGeometry(window).x() << "," << XOuterGeometry(window).y() << " "
      << XOuterGeometry(window).width() << "x" << XOuterGeometry(window).height();
  // Framed indeed, and Qt agrees with the X server.
  const QMargins frame = window.windowHandle()->frameMargins();
  EXPECT_GT(frame.top(), 0);
  EXPECT_EQ(window.windowHandle()->frameGeometry(), outer);
  EXPECT_EQ(OuterSize(window), outer.size());
  EXPECT_EQ(window.size(), outer.size().shrunkBy(frame));
  // It stays there once painted.
  QTest::qWait(300);
  EXPECT_EQ(XOuterGeometry(window), outer);
  EXPECT_EQ(XTitle(window), QStringLiteral("Korvane"));
}

TEST(DesktopTest, TheTutorialWindowsFrameHasItsComputedGeometryAndItsTitleIsTheAdvice) {
  FakeShell shell;
  shell.screenSize = QGuiApplication::primaryScreen()->size();
  ASSERT_EQ(shell.screenSize, QSize(1280, 800));
  // 1280 / 1.5 = 853.33 and 800 / 1.5 = 533.33, centred.
  const QRect outer(213, 133, 853, 533);
  QPointer<TutorialWindow> window = TutorialWindow::Open(shell);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.data()));
  EXPECT_TRUE(WaitUntil([&] { return XOuterGeometry(*window) == outer; }))
      << "frame at " << XOuterGeometry(*window).x() << "," << XOuterGeometry(*window).y() << " "
      << XOuterGeometry(*window).width() << "x" << XOuterGeometry(*window).height();
  EXPECT_EQ(window->Picture()->geometry(), QRect(0, 0, 853, 503));
  EXPECT_EQ(XTitle(*window), Q(captions::kTutorialAdvice));
  delete window.data();
}

// The folder dialog: its title exactly, and Qt's own texts in it in Chinese.
TEST(DesktopTest, TheFolderDialogHasItsOwnTitleAndChineseTexts) {
  QtShell shell;
  QWidget parent;
  parent.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
  QString title;
  QStringList buttons;
  bool found = false;
  QTimer::singleShot(0, [&] {
    WaitUntil([&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || !dialog->isVisible()) {
        return false;
      }
      found = true;
      title = XTitle(*dialog);
      for (const QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        buttons.push_back(button->text());
      }
      dialog->reject();
      return true;
    });
  });
  EXPECT_EQ(shell.ChooseFolder(&parent, Q("请选择下载目录")), QString());
  ASSERT_TRUE(found);
  EXPECT_EQ(title, Q("请选择下载目录"));
  EXPECT_TRUE(buttons.contains(Q("取消"))) << buttons.join(u'|').toStdString();
  EXPECT_TRUE(buttons.contains(Q("选择(&C)"))) << buttons.join(u'|').toStdString();
}

TEST(DesktopTest, QtsOwnTextsAreChinese) {
  QtShell shell;
  QPointer<QDialog> box = shell.OpenMessage(nullptr, Q("先选择目录"), 0, nullptr);
  auto* messageBox = qobject_cast<QMessageBox*>(box.data());
  ASSERT_NE(messageBox, nullptr);
  EXPECT_EQ(messageBox->button(QMessageBox::Ok)->text(), Q("确定"));
  EXPECT_TRUE(WaitUntil([&] { return XTitle(*messageBox) == QStringLiteral("Korvane"); }));
  box->reject();
  EXPECT_TRUE(WaitUntil([&] { return box == nullptr; }));

  QLineEdit edit;
  std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
  QStringList texts;
  for (const QAction* action : menu->actions()) {
    texts.push_back(action->text().section(u'\t', 0, 0));
  }
  EXPECT_TRUE(texts.contains(Q("撤消(&U)"))) << texts.join(u'|').toStdString();
  EXPECT_TRUE(texts.contains(Q("粘贴(&P)"))) << texts.join(u'|').toStdString();
  EXPECT_TRUE(texts.contains(Q("全选"))) << texts.join(u'|').toStdString();
}

// The worker's message box waits for the user without blocking the window: the pointer on
// Pause and the window manager's close both work while it is open, and take it down.
TEST(DesktopTest, TheWorkersMessageBoxLeavesPauseAndCloseWorking) {
  enum class Ending { kPause, kClose };
  for (Ending ending : {Ending::kPause, Ending::kClose}) {
    SCOPED_TRACE(ending == Ending::kPause ? "pause" : "close");
    AppState state;
    QtShell shell;
    std::atomic<bool> finished{false};
    auto window = std::make_unique<MainWindow>(state, shell, [&](ConversionContext& context) {
      context.ui.ShowMessage("无svg代码", 16);
      context.ui.SetCaption(Control::kLabel4, "after the box");
      finished = true;
    });
    QSignalSpy closed(window.get(), &MainWindow::closed);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->findChild<QLineEdit*>(Q("编辑框2"))->setText(QStringLiteral("/tmp/"));
    auto* button = window->findChild<QPushButton*>(Q("按钮1"));
    button->click();
    ASSERT_TRUE(WaitUntil([&] { return OpenMessageBox(Q("无svg代码")) != nullptr; }));
    QPointer<QMessageBox> box = OpenMessageBox(Q("无svg代码"));
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.data()));
    QTest::qWait(100);
    EXPECT_FALSE(finished);

    if (ending == Ending::kPause) {
      ASSERT_TRUE(ClickAt(button->mapToGlobal(button->rect().center())));
      EXPECT_TRUE(WaitUntil([&] { return button->text() == Q("开始"); }));
      EXPECT_EQ(window->findChild<QLabel*>(Q("标签4"))->text(), Q("已经取消转换."));
    } else {
      // As a taskbar's or the title bar's close does: the window manager asks the window to
      // close (WM_DELETE_WINDOW), which Qt refuses for a window that a modal box blocks.
      AskWindowManagerToClose(*window);
      EXPECT_TRUE(WaitUntil([&] { return closed.count() == 1; }));
    }
    EXPECT_TRUE(WaitUntil([&] { return box == nullptr; }));
    EXPECT_TRUE(WaitUntil([&] { return finished.load(); }));
    window.reset();
    EXPECT_FALSE(state.workerThread.joinable());
  }
}

}  // namespace
}  // namespace korvane
