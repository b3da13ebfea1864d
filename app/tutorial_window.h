// The tutorial window: an animated picture of the icon library's page showing where a
// collection's ID (its cid) is found, under a caption with the same advice.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QSize>
#include <QWidget>

class QLabel;
class QMovie;

namespace korvane {

class Shell;

class TutorialWindow : public QWidget {
  Q_OBJECT

 public:
  // The window as designed: at 50,50, 399 by 258, the picture box at 40,8, 248 by 192.
  explicit TutorialWindow(QWidget* parent = nullptr);

  // Creates an ordinary window (not modal, no owner) that deletes itself when closed and runs its
  // creation steps for the primary screen of `shell`: it shows once its advice box has been
  // closed. The box blocks no other window.
  static TutorialWindow* Open(Shell& shell);

  // Brings the window to the front, or its advice box while that is still open.
  void Present();

  // The advice box while it is open.
  QDialog* Advice() const { return advice_; }

  // Sizes the window to two thirds of `screen`, centres it and stretches the picture box over it.
  void ArrangeForScreen(QSize screen);

  QLabel* Picture() const { return picture_; }
  QMovie* Movie() const { return movie_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FitMovie();

  QLabel* picture_ = nullptr;  // 图片框1
  QMovie* movie_ = nullptr;
  QSize naturalSize_;  // the picture's own size
  QPointer<QDialog> advice_;
};

}  // namespace korvane
