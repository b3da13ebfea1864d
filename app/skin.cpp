#include "app/skin.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

namespace korvane {

QPalette SchemeThreePalette() {
  const QColor window(222, 230, 240);
  const QColor button(205, 217, 233);
  const QColor highlight(58, 110, 165);
  QPalette palette(button, window);
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::AlternateBase, QColor(236, 241, 247));
  palette.setColor(QPalette::Text, Qt::black);
  palette.setColor(QPalette::WindowText, Qt::black);
  palette.setColor(QPalette::ButtonText, Qt::black);
  palette.setColor(QPalette::Highlight, highlight);
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
  palette.setColor(QPalette::ToolTipText, Qt::black);
  palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(128, 136, 148));
  palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(128, 136, 148));
  palette.setColor(QPalette::Disabled, QPalette::Text, QColor(128, 136, 148));
  return palette;
}

void ApplySkin() {
  if (QApplication::style() == nullptr ||
      QApplication::style()->name().compare(QStringLiteral("fusion"), Qt::CaseInsensitive) != 0) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  }
  QApplication::setPalette(SchemeThreePalette());
}

QColor ColourFromBgr(int bgr) {
  return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

int ColourToBgr(const QColor& colour) {
  return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

}  // namespace korvane
