#include "standin/sample_collections.h"

namespace korvane::standin::samples {

// The build writes the samples there and compiles the path in (see standin/CMakeLists.txt).
std::string BundledSamplesDir() {
  return KORVANE_STANDIN_SAMPLES_DIR;
}

}  // namespace korvane::standin::samples
