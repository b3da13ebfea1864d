#!/usr/bin/env bash
# Builds Korvane and runs it against the local stand-in services with the bundled sample
# collection.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build/plain -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/plain -j "$(nproc 2>/dev/null || echo 2)"

echo "The libraries and their tests are built, but the tool itself is not built yet:"
echo "the stand-in services, the command-line front end and the window are still to come."
