// The main window: the download folder, the collection ID, Start/Pause, two progress bars and two
// status labels. It starts the conversion worker, carries the worker's updates onto its own
// thread, and stops and joins the worker before it goes away.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

#include "app/core/app_state.h"
#include "app/ui_call_queue.h"
#include "pipeline/conversion_context.h"
#include "pipeline/ui_port.h"

class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;

namespace korvane {

class Shell;
class TutorialWindow;

// The body of the worker thread: one conversion run.
using WorkerBody = std::function<void(ConversionContext&)>;

struct WindowOptions {
  ServiceEndpoints endpoints;
  // Passed on to the worker (1.0: real time).
  double waitScale = 1.0;
  // The reply caps and the per-request deadline of the worker's requests.
  ReplyLimits limits;
};

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // An empty `workerBody` means no worker can be started: Start then only changes the caption.
  MainWindow(AppState& state, Shell& shell, WorkerBody workerBody, WindowOptions options = {});
  ~MainWindow() override;

  // Stops a running worker and waits until it has ended. Calls that the worker is waiting on are
  // released; nothing it sends afterwards reaches a widget.
  void StopWorker();

  // The drop target's event: the paths of the items dropped onto the window.
  void TakeDroppedPaths(const QStringList& paths);

  // The worker's requests, run on this window's thread by the worker's UI port.
  void ApplyCaption(Control control, const QString& caption);
  void ApplyPosition(Control control, int position);
  int ReadPosition(Control control) const;
  void ApplyMaximum(Control control, int maximum);
  QString ReadText(Control control) const;
  // Shows the worker's message box without blocking the window; `closed` runs when it has been
  // closed, by the user or because the worker is being stopped.
  void OpenWorkerMessage(const QString& text, int style, std::function<void()> closed);

  // The tutorial window opened from 标签3, while it is open.
  TutorialWindow* Tutorial() const;

 signals:
  // The window has been closed and its worker stopped: the program may end.
  void closed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private slots:
  void DrainWorkerCalls();

 private:
  void CreateControls();
  void Browse();
  void StartOrPause();
  void StartWorker();
  void RunWorker(std::stop_token stop);
  void PopUpMenu();
  void OpenCollectionsPage();
  void OpenTutorial();
  void SetFolderColour(int bgr);
  void CloseWorkerMessage();
  QWidget* ControlWidget(Control control) const;

  AppState& state_;
  Shell& shell_;
  const WorkerBody workerBody_;
  const WindowOptions options_;
  UiCallQueue workerCalls_;

  QLabel* label2_ = nullptr;
  QLineEdit* folderEdit_ = nullptr;      // 编辑框2
  QPushButton* browseButton_ = nullptr;  // 按钮2
  QLabel* label5_ = nullptr;
  QLabel* label1_ = nullptr;
  QLineEdit* idEdit_ = nullptr;         // 编辑框1
  QPushButton* startButton_ = nullptr;  // 按钮1
  QProgressBar* progress2_ = nullptr;
  QLabel* label4_ = nullptr;
  QLabel* label3_ = nullptr;
  QProgressBar* progress1_ = nullptr;
  QWidget* dropTarget_ = nullptr;  // 拖放对象1
  QMenu* menu_ = nullptr;
  QPointer<TutorialWindow> tutorial_;
  QPointer<QDialog> workerMessage_;  // the worker's open message box
};

}  // namespace korvane
