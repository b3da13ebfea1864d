#include "app/main_window.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <system_error>
#include <utility>

#include "app/captions.h"
#include "app/file_drops.h"
#include "app/shell.h"
#include "app/skin.h"
#include "app/text_bridge.h"
#include "app/tutorial_window.h"
#include "app/window_geometry.h"
#include "app/window_ui_port.h"
#include "util/gbk_exact.h"

namespace korvane {
namespace {

QString Caption(std::string_view text) {
  return FromGbk(text);
}

template <typename Widget>
Widget* Place(QWidget* parent, std::string_view name, int left, int top, int width, int height) {
  auto* widget = new Widget(parent);
  widget->setObjectName(FromGbk(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

}  // namespace

MainWindow::MainWindow(AppState& state, Shell& shell, WorkerBody workerBody, WindowOptions options)
    : state_(state),
      shell_(shell),
      workerBody_(std::move(workerBody)),
      options_(std::move(options)),
      workerCalls_([this] {
        // Called on the worker thread; the window outlives every worker (see StopWorker).
        QMetaObject::invokeMethod(this, "DrainWorkerCalls", Qt::QueuedConnection);
      }) {
  setWindowTitle(Caption(captions::kMainTitle));
  CreateControls();
  SetOuterGeometry(*this, QRect(50, 50, 381, 147));

  // Window-creation steps: the skin for every window of this thread, the failure counter, the
  // focus, the drop target.
  ApplySkin();
  state_.failureCount = 0;
  idEdit_->setFocus();
  setAcceptDrops(true);
}

MainWindow::~MainWindow() {
  StopWorker();
  delete tutorial_.data();
}

void MainWindow::CreateControls() {
  label2_ = Place<QLabel>(this, "标签2", 16, 0, 56, 23);
  label2_->setText(Caption(captions::kFolderLabel));

  folderEdit_ = Place<QLineEdit>(this, "编辑框2", 69, 1, 258, 19);
  folderEdit_->setText(Caption(captions::kFolderHint));
  SetFolderColour(captions::kHintColour);
  connect(folderEdit_, &QLineEdit::textChanged, this,
          [this] { SetFolderColour(captions::kTextColour); });

  browseButton_ = Place<QPushButton>(this, "按钮2", 329, 1, 26, 19);
  browseButton_->setText(Caption(captions::kBrowse));
  connect(browseButton_, &QPushButton::clicked, this, &MainWindow::Browse);

  label5_ = Place<QLabel>(this, "标签5", 118, 24, 120, 16);

  label1_ = Place<QLabel>(this, "标签1", 42, 50, 80, 19);
  label1_->setText(Caption(captions::kIdLabel));

  idEdit_ = Place<QLineEdit>(this, "编辑框1", 136, 45, 80, 29);
  idEdit_->setText(Caption(captions::kDefaultId));

  startButton_ = Place<QPushButton>(this, "按钮1", 240, 45, 80, 29);
  startButton_->setText(Caption(captions::kStart));
  connect(startButton_, &QPushButton::clicked, this, &MainWindow::StartOrPause);

  progress2_ = Place<QProgressBar>(this, "进度条2", 136, 74, 80, 4);
  progress2_->setRange(0, 100);
  progress2_->setValue(0);
  progress2_->setTextVisible(false);

  label4_ = Place<QLabel>(this, "标签4", 34, 81, 296, 15);

  label3_ = Place<QLabel>(this, "标签3", 345, 90, 23, 14);
  label3_->setText(Caption(captions::kTutorialLink));
  label3_->setCursor(Qt::PointingHandCursor);

  progress1_ = Place<QProgressBar>(this, "进度条1", 0, 107, 376, 15);
  progress1_->setRange(0, 100);
  progress1_->setValue(0);
  progress1_->setTextVisible(false);

  // The drop target has no look of its own: drops anywhere on the window reach it.
  dropTarget_ = Place<QWidget>(this, "拖放对象1", 336, 56, 26, 26);
  dropTarget_->hide();

  menu_ = new QMenu(Caption(captions::kMenu), this);
  menu_->setObjectName(Caption(captions::kMenu));
  QAction* proxy = menu_->addAction(Caption(captions::kMenuProxy));
  proxy->setObjectName(Caption(captions::kMenuProxy));

  for (QLabel* label : {label1_, label2_, label3_, label4_, label5_}) {
    label->installEventFilter(this);
  }

  // Files and folders dropped on an edit field go to the window's drop handling, not into the
  // field's text.
  auto* fileDrops =
      new FileDropRedirect([this](const QStringList& paths) { TakeDroppedPaths(paths); }, this);
  folderEdit_->installEventFilter(fileDrops);
  idEdit_->installEventFilter(fileDrops);
}

void MainWindow::SetFolderColour(int bgr) {
  QPalette palette = folderEdit_->palette();
  palette.setColor(QPalette::Text, ColourFromBgr(bgr));
  folderEdit_->setPalette(palette);
}

void MainWindow::Browse() {
  const QString chosen = shell_.ChooseFolder(this, Caption(captions::kChooseFolderTitle));
  state_.browsedFolder = ToGbk(chosen);
  const QString separator(QDir::separator());
  folderEdit_->setText(chosen + separator);
  if (folderEdit_->text() == separator) {
    // Cancelled: put the hint back, in grey.
    folderEdit_->setText(Caption(captions::kFolderHint));
    SetFolderColour(captions::kHintColour);
  }
}

void MainWindow::TakeDroppedPaths(const QStringList& paths) {
  if (paths.isEmpty()) {
    return;
  }
  // One item gives its path; several give every path followed by CR LF, all in one text.
  QString text;
  if (paths.size() == 1) {
    text = paths.front();
  } else {
    for (const QString& path : paths) {
      text += path + QStringLiteral("\r\n");
    }
  }
  folderEdit_->setText(text + QDir::separator());
  browseButton_->setEnabled(false);
}

void MainWindow::StartOrPause() {
  const QString folder = folderEdit_->text();
  if (folder.isEmpty() || folder == Caption(captions::kFolderHint)) {
    shell_.ShowMessage(this, Caption(captions::kChooseFolderFirst), kMessagePlain);
    return;
  }
  const QString caption = startButton_->text();
  // GBK cannot spell every folder name; such a name would turn into another folder's ('?' for
  // each character), so it is refused before the run starts. Pause is never refused.
  if (caption == Caption(captions::kStart) &&
      !ExactGbkFromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(folder.utf16()),
                                             static_cast<size_t>(folder.size())))) {
    shell_.ShowMessage(this, Caption(captions::kFolderNameUnusable), kMessagePlain);
    return;
  }
  progress1_->setValue(0);
  if (caption == Caption(captions::kStart)) {
    startButton_->setText(Caption(captions::kPause));
    StartWorker();
  } else if (caption == Caption(captions::kPause)) {
    startButton_->setText(Caption(captions::kStart));
    label4_->setText(Caption(captions::kCancelled));
    // Never waits: the worker stops at its next check, and whatever it sends from now on is
    // dropped before it reaches a widget. A message box it waits on goes with it.
    state_.workerThread.request_stop();
    CloseWorkerMessage();
  }
}

void MainWindow::StartWorker() {
  if (!workerBody_) {
    return;
  }
  // A paused worker may still be on its way out: let it finish first, so that two workers never
  // share the application state. Its waits end at once because its stop has been requested.
  StopWorker();
  try {
    state_.workerThread = std::jthread([this](std::stop_token stop) { RunWorker(stop); });
  } catch (const std::system_error&) {
    // No thread: nothing is reported, and the caption stays "暂停" until the next press.
  }
}

void MainWindow::RunWorker(std::stop_token stop) {
  WindowUiPort port(*this, workerCalls_, stop);
  ConversionContext context{state_, port, stop, options_.endpoints, options_.waitScale};
  context.limits = options_.limits;
  workerBody_(context);
}

void MainWindow::StopWorker() {
  state_.workerThread.request_stop();
  CloseWorkerMessage();
  if (state_.workerThread.joinable()) {
    state_.workerThread.join();
  }
}

void MainWindow::DrainWorkerCalls() {
  workerCalls_.Drain();
}

QWidget* MainWindow::ControlWidget(Control control) const {
  switch (control) {
    case Control::kLabel4:
      return label4_;
    case Control::kLabel5:
      return label5_;
    case Control::kButton1:
      return startButton_;
    case Control::kProgress1:
      return progress1_;
    case Control::kProgress2:
      return progress2_;
    case Control::kEdit1:
      return idEdit_;
    case Control::kEdit2:
      return folderEdit_;
  }
  return nullptr;
}

void MainWindow::ApplyCaption(Control control, const QString& caption) {
  QWidget* widget = ControlWidget(control);
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(caption);
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    button->setText(caption);
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(caption);
  }
}

void MainWindow::ApplyPosition(Control control, int position) {
  if (auto* bar = qobject_cast<QProgressBar*>(ControlWidget(control))) {
    // QProgressBar ignores a value outside its range and keeps the old one; a bar is expected to
    // stop at its end instead.
    bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
  }
}

int MainWindow::ReadPosition(Control control) const {
  const auto* bar = qobject_cast<const QProgressBar*>(ControlWidget(control));
  return bar != nullptr ? bar->value() : 0;
}

void MainWindow::ApplyMaximum(Control control, int maximum) {
  if (auto* bar = qobject_cast<QProgressBar*>(ControlWidget(control))) {
    // A collection without icons leaves an empty bar: a range of 0 to 0 would draw the bar as
    // busy, as if work were still going on.
    bar->setRange(0, maximum > 0 ? maximum : 1);
  }
}

QString MainWindow::ReadText(Control control) const {
  if (const auto* edit = qobject_cast<const QLineEdit*>(ControlWidget(control))) {
    return edit->text();
  }
  return {};
}

void MainWindow::OpenWorkerMessage(const QString& text, int style, std::function<void()> closed) {
  // The box holds up only the worker, which waits for it: Pause and closing the window stay
  // available and take the box down with the worker.
  CloseWorkerMessage();
  workerMessage_ = shell_.OpenMessage(this, text, style, std::move(closed));
}

void MainWindow::CloseWorkerMessage() {
  if (QDialog* box = workerMessage_.data()) {
    workerMessage_.clear();
    box->reject();
  }
}

TutorialWindow* MainWindow::Tutorial() const {
  return tutorial_.data();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  const bool statusLabel = watched == label1_ || watched == label4_ || watched == label5_;
  if (event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (watched == label3_ && mouse->button() == Qt::LeftButton) {
      OpenTutorial();
      return true;
    }
    if (statusLabel && mouse->button() == Qt::RightButton) {
      PopUpMenu();
      return true;
    }
  } else if (event->type() == QEvent::MouseButtonDblClick && statusLabel) {
    OpenCollectionsPage();
    return true;
  }
  // Labels pass mouse events on to the window; the window's own handlers only act on its bare
  // area, so a click on another control never counts as one on the window.
  return QWidget::eventFilter(watched, event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton && childAt(event->position().toPoint()) == nullptr) {
    PopUpMenu();
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  if (childAt(event->position().toPoint()) == nullptr) {
    OpenCollectionsPage();
    return;
  }
  QWidget::mouseDoubleClickEvent(event);
}

void MainWindow::PopUpMenu() {
  menu_->popup(QCursor::pos());
}

void MainWindow::OpenCollectionsPage() {
  shell_.OpenUrl(QUrl(FromGbk(CollectionsPageUrl(options_.endpoints))));
}

void MainWindow::OpenTutorial() {
  // One tutorial window at a time: a second release brings the open one to the front.
  if (tutorial_ != nullptr) {
    tutorial_->Present();
    return;
  }
  tutorial_ = TutorialWindow::Open(shell_);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedLocalPaths(*event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QStringList paths = DroppedLocalPaths(*event->mimeData());
  if (paths.isEmpty()) {
    return;
  }
  TakeDroppedPaths(paths);
  event->acceptProposedAction();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  StopWorker();
  event->accept();
  emit closed();
}

}  // namespace korvane
