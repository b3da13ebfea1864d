// The tutorial window: an animated picture of the icon library's page showing where a
// collection's ID (its cid) is found, under a caption with the same advice.
#pragma once

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

  // Creates an ordinary window (not modal, no owner) that deletes itself when closed, runs its
  // creation steps for the primary screen of `shell` and shows it.
  static TutorialWindow* Open(Shell& shell);

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
};

}  // namespace korvane
