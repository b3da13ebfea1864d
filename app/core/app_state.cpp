#include "app/core/app_state.h"

namespace korvane {

void AppState::ReleaseTexts() {
  browsedFolder = std::string();
  iconTimeText = std::string();
  svgText = std::string();
  viewBoxText = std::string();
  uploadId = std::string();
}

}  // namespace korvane
