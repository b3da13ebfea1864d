#!/usr/bin/env bash
# Builds the Debian package build/korvane_<version>_amd64.deb from the plain build (build/plain):
# the three programs, the stand-in's samples, the menu entry, the icon and the manual pages.
# Install it with: sudo apt-get install ./build/korvane_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
cmake -S . -B build/plain -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_SANITIZE= >/dev/null
cmake --build build/plain -j "$jobs"
# cpack works in build/_CPack_Packages; only the package itself is kept.
rm -rf build/_CPack_Packages
cpack --config build/plain/CPackConfig.cmake -G DEB -B "$PWD/build"
rm -rf build/_CPack_Packages
ls -1 build/korvane_*_amd64.deb
