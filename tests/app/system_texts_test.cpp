// Every text the tool itself shows or reports, checked once against its exact bytes: the request
// routine's failure texts, the windows' captions and hint, the message boxes, the worker's status
// lines and the summary line. Each text is written here as readable UTF-8 and turned into GBK by
// iconv in the test, so a wrong character or digit, or a build that stopped compiling the
// program's literals to GBK, fails here whatever the program's own constants say. The texts are
// taken from what the program does (widgets, message boxes, a run's captions) wherever it shows
// them, and from the routine's constants only for the request failures, whose paths the request
// tests walk one by one.
#include <gtest/gtest.h>
#include <iconv.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "app/core/app_state.h"
#include "app/main_window.h"
#include "app/tutorial_window.h"
#include "http/win_http_fetch.h"
#include "pipeline/run_conversion.h"
#include "platform/http_trust.h"
#include "standin/standin_server.h"
#include "tests/app/fake_shell.h"
#include "tests/pipeline/recording_ui.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using testing::FakeShell;
using testing::RecordingUi;
using testing::WaitUntil;

// UTF-8 to GBK by iconv directly, not by the program's own conversions. Empty on failure, which
// no expected text is.
std::string Gbk(std::u8string_view utf8) {
  iconv_t convert = ::iconv_open("CP936", "UTF-8");
  if (convert == reinterpret_cast<iconv_t>(-1))
    return {};
  std::string in(reinterpret_cast<const char*>(utf8.data()), utf8.size());
  std::string out(in.size() * 2 + 4, '\0');
  char* from = in.data();
  size_t fromLeft = in.size();
  char* to = out.data();
  size_t toLeft = out.size();
  const size_t result = ::iconv(convert, &from, &fromLeft, &to, &toLeft);
  ::iconv_close(convert);
  if (result == static_cast<size_t>(-1) || fromLeft != 0)
    return {};
  out.resize(out.size() - toLeft);
  return out;
}

QString Shown(std::u8string_view utf8) {
  return QString::fromUtf8(reinterpret_cast<const char*>(utf8.data()),
                           static_cast<qsizetype>(utf8.size()));
}

std::string Hex(std::string_view bytes) {
  std::string hex;
  char cell[4];
  for (unsigned char c : bytes) {
    std::snprintf(cell, sizeof cell, "%02X ", c);
    hex += cell;
  }
  return hex;
}

// A text as the program produced it: GBK bytes (worker, request routine) or what a widget or box
// shows.
using Produced = std::variant<std::string, QString>;

struct SystemText {
  const char* what;
  std::u8string_view expected;
  Produced produced;
};

void ExpectExact(const SystemText& text) {
  SCOPED_TRACE(text.what);
  ASSERT_FALSE(text.expected.empty());
  if (const auto* gbk = std::get_if<std::string>(&text.produced)) {
    const std::string expected = Gbk(text.expected);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(*gbk, expected) << "produced " << Hex(*gbk) << "\nexpected " << Hex(expected);
  } else {
    // Compared as UTF-8 by Qt's own conversion, so a difference prints readably.
    EXPECT_EQ(
        std::get<QString>(text.produced).toStdString(),
        std::string(reinterpret_cast<const char*>(text.expected.data()), text.expected.size()));
  }
}

class SystemTextsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<standin::StandinServer>();
    platform::SetTrustedCaFile(server_->CaPath());
  }
  static void TearDownTestSuite() {
    platform::SetTrustedCaFile({});
    server_.reset();
  }
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("korvane-texts-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    server_->SetMode(standin::Mode::kNormal);
    fs::remove_all(folder_);
  }

  // A whole run of collection `id` against the stand-in, as the window's port would see it.
  std::unique_ptr<RecordingUi> RunOf(const std::string& id, AppState& state) {
    auto ui = std::make_unique<RecordingUi>(id, folder_.string() + "/");
    ConversionContext context{state, *ui, {}, {}};
    context.endpoints.iconLibrary = server_->LibraryUrl();
    context.endpoints.converter = server_->ServiceUrl();
    context.waitScale = 0.001;
    RunConversion(context);
    return ui;
  }

  static std::unique_ptr<standin::StandinServer> server_;
  fs::path folder_;
};

std::unique_ptr<standin::StandinServer> SystemTextsTest::server_;

// The i-th caption of a control in a run, or a marker that matches no expected text.
std::string Nth(const std::vector<std::string>& captions, size_t i) {
  return i < captions.size() ? captions[i] : std::string("<missing>");
}

TEST_F(SystemTextsTest, EveryTextIsExactlyTheToolsOwn) {
  std::vector<SystemText> texts;

  // The request routine's failure texts; 706 is never used.
  texts.insert(texts.end(),
               {
                   {"700", u8"700 当前系统不支持WinHttp服务!", std::string(kWinHttpUnsupported)},
                   {"701", u8"701 解析URL地址失败!", std::string(kWinHttpBadUrl)},
                   {"702", u8"702 创建WinHttp会话失败!", std::string(kWinHttpSessionFailed)},
                   {"703", u8"703 创建WinHttp连接失败!", std::string(kWinHttpConnectFailed)},
                   {"704", u8"704 创建WinHttp请求失败!", std::string(kWinHttpRequestFailed)},
                   {"705", u8"705 设置超时时间失败!", std::string(kWinHttpTimeoutsFailed)},
                   {"707", u8"707 设置代理凭证失败!", std::string(kWinHttpCredentialsFailed)},
                   {"708", u8"708 禁止自动设置Cookies失败!", std::string(kWinHttpCookiesFailed)},
                   {"709", u8"709 重定向设置失败!", std::string(kWinHttpRedirectFailed)},
                   {"710", u8"710 设置协议头失败!", std::string(kWinHttpHeadersFailed)},
                   {"711", u8"711 发送请求失败!", std::string(kWinHttpSendFailed)},
                   {"712", u8"712 服务器未响应!", std::string(kWinHttpNoResponse)},
                   {"713", u8"713 读取数据失败!", std::string(kWinHttpReadFailed)},
               });

  // The main window as it opens, its menu, the folder dialog and the folder test of Start.
  AppState windowState;
  FakeShell shell;
  MainWindow window(windowState, shell, [](ConversionContext& context) {
    std::mutex mutex;
    std::condition_variable_any never;
    std::unique_lock lock(mutex);
    never.wait(lock, context.stop, [] { return false; });
  });
  const auto child = [&](std::u8string_view name) {
    return window.findChild<QWidget*>(Shown(name));
  };
  const auto shownText = [&](std::u8string_view name) {
    QWidget* widget = child(name);
    if (auto* label = qobject_cast<QLabel*>(widget))
      return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
      return edit->text();
    if (auto* pushButton = qobject_cast<QPushButton*>(widget))
      return pushButton->text();
    return QStringLiteral("<no such control>");
  };
  QMenu* menu = window.findChild<QMenu*>();
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->actions().size(), 1);
  texts.insert(texts.end(), {
                                {"window title", u8"Korvane", window.windowTitle()},
                                {"label 标签2", u8"下载目录", shownText(u8"标签2")},
                                {"folder hint", u8"   支持拖放,注意目录地址以\"\\\"结束",
                                 shownText(u8"编辑框2")},
                                {"button 按钮2", u8"...", shownText(u8"按钮2")},
                                {"label 标签1", u8"图标CID：", shownText(u8"标签1")},
                                {"field 编辑框1", u8"12527", shownText(u8"编辑框1")},
                                {"button 按钮1 idle", u8"开始", shownText(u8"按钮1")},
                                {"label 标签3", u8"教程", shownText(u8"标签3")},
                                {"menu", u8"菜单", menu->title()},
                                {"menu item", u8"获取代理IP", menu->actions()[0]->text()},
                            });
  auto* button = qobject_cast<QPushButton*>(child(u8"按钮1"));
  auto* folderEdit = qobject_cast<QLineEdit*>(child(u8"编辑框2"));
  ASSERT_NE(button, nullptr);
  ASSERT_NE(folderEdit, nullptr);
  button->click();  // the folder field still shows the hint
  ASSERT_EQ(shell.messages.size(), 1u);
  texts.push_back({"folder test box", u8"先选择目录", shell.messages[0].text});
  EXPECT_EQ(shell.messages[0].style, 0);
  shell.folderToChoose.clear();
  auto* browse = qobject_cast<QPushButton*>(child(u8"按钮2"));
  ASSERT_NE(browse, nullptr);
  browse->click();
  ASSERT_EQ(shell.dialogTitles.size(), 1);
  texts.push_back({"folder dialog", u8"请选择下载目录", shell.dialogTitles[0]});
  texts.push_back({"hint after a cancelled dialog", u8"   支持拖放,注意目录地址以\"\\\"结束",
                   shownText(u8"编辑框2")});

  // Start and Pause.
  folderEdit->setText(QString::fromStdString(folder_.string() + "/"));
  button->click();
  texts.push_back({"button 按钮1 running", u8"暂停", button->text()});
  button->click();
  texts.push_back({"cancel text", u8"已经取消转换.", shownText(u8"标签4")});
  texts.push_back({"button 按钮1 after Pause", u8"开始", button->text()});

  // The tutorial window's caption and its advice box.
  FakeShell tutorialShell;
  TutorialWindow* tutorial = TutorialWindow::Open(tutorialShell);
  ASSERT_NE(tutorial, nullptr);
  ASSERT_EQ(tutorialShell.messages.size(), 1u);
  const std::u8string_view advice =
      u8"注意看左下角的cid就是我们需要的下载ID，uid的话相当于文件夹，打开后才能看到多个cid";
  texts.push_back({"tutorial caption", advice, tutorial->windowTitle()});
  texts.push_back({"tutorial advice box", advice, tutorialShell.messages[0].text});
  delete tutorial;

  // A run of three icons, the middle one without markup: the status lines of both labels, the
  // message box and the summary line.
  AppState runState;
  const auto run = RunOf("90006", runState);
  const auto label4 = run->Captions(Control::kLabel4);
  const auto label5 = run->Captions(Control::kLabel5);
  const auto messages = run->Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].value, 16);
  texts.insert(texts.end(),
               {
                   {"total", u8"总共 3 图标", Nth(label4, 0)},
                   {"icon 1", u8"总共 3 图标,正在下载\\转换第 1 个图标.", Nth(label4, 1)},
                   {"icon 3", u8"总共 3 图标,正在下载\\转换第 3 个图标.", Nth(label4, 3)},
                   {"summary", u8"3 个图标转换完成!转换失败0个.", Nth(label4, 4)},
                   {"uploading", u8"正在上传svg代码", Nth(label5, 0)},
                   {"uploaded", u8"检测上传是否成功", Nth(label5, 1)},
                   {"converting", u8"开始转换成png", Nth(label5, 2)},
                   {"saving", u8"正在保存png", Nth(label5, 3)},
                   {"no markup box", u8"无svg代码", messages[0].text},
                   {"button at the end", u8"开始", Nth(run->Captions(Control::kButton1), 0)},
               });
  EXPECT_EQ(label4.size(), 5u);

  // A document given up, counted in the summary with the failures before it.
  server_->SetMode(standin::Mode::kNotPng);
  runState.failureCount = 11;
  const auto failed = RunOf("90005", runState);
  server_->SetMode(standin::Mode::kNormal);
  const auto failedLabel4 = failed->Captions(Control::kLabel4);
  const auto failedLabel5 = failed->Captions(Control::kLabel5);
  texts.insert(
      texts.end(),
      {
          {"given up", u8"转换失败", Nth(failedLabel5, failedLabel5.size() - 1)},
          {"summary with failures", u8"1 个图标转换完成!转换失败12个.", Nth(failedLabel4, 2)},
      });

  // Data without icons: the count reads -2, with its minus sign, in both lines.
  AppState negativeState;
  const auto negative = RunOf("90008", negativeState);
  const auto negativeLabel4 = negative->Captions(Control::kLabel4);
  texts.insert(texts.end(),
               {
                   {"negative total", u8"总共 -2 图标", Nth(negativeLabel4, 0)},
                   {"negative summary", u8"-2 个图标转换完成!转换失败0个.", Nth(negativeLabel4, 1)},
               });

  for (const SystemText& text : texts)
    ExpectExact(text);
}

}  // namespace
}  // namespace korvane
