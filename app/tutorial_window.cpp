#include "app/tutorial_window.h"

#include <QDialog>
#include <QEvent>
#include <QImageReader>
#include <QLabel>
#include <QMovie>

#include "app/captions.h"
#include "app/shell.h"
#include "app/text_bridge.h"
#include "app/window_geometry.h"
#include "pipeline/ui_port.h"

namespace korvane {

TutorialWindow::TutorialWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("TutorialWindow"));
  setWindowTitle(FromGbk(captions::kTutorialAdvice));
  SetOuterGeometry(*this, QRect(50, 50, 399, 258));

  picture_ = new QLabel(this);
  picture_->setObjectName(FromGbk("图片框1"));
  picture_->setGeometry(40, 8, 248, 192);
  picture_->setAlignment(Qt::AlignCenter);
  const QString source = QStringLiteral(":/tutorial/tutorial.gif");
  naturalSize_ = QImageReader(source).size();
  movie_ = new QMovie(source, QByteArray(), this);
  picture_->setMovie(movie_);
  picture_->installEventFilter(this);
  FitMovie();
  movie_->start();
}

TutorialWindow* TutorialWindow::Open(Shell& shell) {
  auto* window = new TutorialWindow();
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->ArrangeForScreen(shell.PrimaryScreenSize());
  // The advice box belongs to the window's creation, so the window shows once it has been
  // closed; meanwhile the main window stays usable.
  QPointer<TutorialWindow> guard(window);
  window->advice_ =
      shell.OpenMessage(window, FromGbk(captions::kTutorialAdvice), kMessagePlain, [guard] {
        if (guard != nullptr) {
          guard->show();
        }
      });
  return window;
}

void TutorialWindow::Present() {
  if (advice_ != nullptr) {
    advice_->raise();
    advice_->activateWindow();
    return;
  }
  show();
  raise();
  activateWindow();
}

void TutorialWindow::ArrangeForScreen(QSize screen) {
  // Every quotient is truncated toward zero before it is applied; the position and the picture
  // box use the size read back from the window.
  const double screenWidth = screen.width();
  const double screenHeight = screen.height();
  SetOuterSize(*this, QSize(static_cast<int>(screenWidth / 1.5), OuterSize(*this).height()));
  SetOuterSize(*this, QSize(OuterSize(*this).width(), static_cast<int>(screenHeight / 1.5)));
  const int left = static_cast<int>((screenWidth - OuterSize(*this).width()) / 2);
  const int top = static_cast<int>((screenHeight - OuterSize(*this).height()) / 2);
  MoveOuter(*this, QPoint(left, top));
  // The box is as wide as the whole window (the client area clips it on the right) and leaves
  // 30 pixels of the outer height for the caption and the frame.
  picture_->move(0, 0);
  picture_->resize(OuterSize(*this).width(), picture_->height());
  picture_->resize(picture_->width(), OuterSize(*this).height() - 30);
}

bool TutorialWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == picture_ && event->type() == QEvent::Resize) {
    FitMovie();
  }
  return QWidget::eventFilter(watched, event);
}

void TutorialWindow::FitMovie() {
  // Scale the picture to fit the box, keeping its proportions.
  if (naturalSize_.isEmpty()) {
    return;
  }
  movie_->setScaledSize(naturalSize_.scaled(picture_->size(), Qt::KeepAspectRatio));
}

}  // namespace korvane
