// The one crossing between the program's text (GBK bytes) and Qt's strings, used wherever a text
// reaches or leaves a widget.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace korvane {

// GBK bytes to a Qt string; bytes that are not valid GBK become U+FFFD.
QString FromGbk(std::string_view text);

// A Qt string to GBK bytes; characters GBK lacks become '?'.
std::string ToGbk(const QString& text);

}  // namespace korvane
