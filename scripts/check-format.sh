#!/usr/bin/env bash
# Fails when a tracked C++ source differs from what the repo's .clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.h' '*.cpp')
[ ${#files[@]} -gt 0 ] || exit 0
clang-format --dry-run --Werror "${files[@]}"
