#include "platform/com_apartment.h"

namespace korvane::platform {
namespace {

thread_local int initCount = 0;

}  // namespace

void CoInitialize() {
  ++initCount;
}

void CoUninitialize() {
  --initCount;
}

int ComInitCount() {
  return initCount;
}

}  // namespace korvane::platform
