#!/usr/bin/env bash
# Takes the README's screenshots of the main window (in the middle of a run) and of the tutorial
# window under a virtual X display, into docs/.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build/plain -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/plain --target korvane_screenshots -j 2
mkdir -p docs
xvfb-run -a -s "-screen 0 1280x800x24" env QT_QPA_PLATFORM=xcb \
  build/plain/app/korvane_screenshots docs
