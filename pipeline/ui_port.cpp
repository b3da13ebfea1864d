#include "pipeline/ui_port.h"

namespace korvane {

std::string_view ControlName(Control control) {
  switch (control) {
    case Control::kLabel4:
      return "标签4";
    case Control::kLabel5:
      return "标签5";
    case Control::kButton1:
      return "按钮1";
    case Control::kProgress1:
      return "进度条1";
    case Control::kProgress2:
      return "进度条2";
    case Control::kEdit1:
      return "编辑框1";
    case Control::kEdit2:
      return "编辑框2";
  }
  return {};
}

}  // namespace korvane
