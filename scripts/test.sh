#!/usr/bin/env bash
# Builds Korvane and runs the whole test suite twice: once as built for use, once under
# AddressSanitizer and UndefinedBehaviorSanitizer. Thread code also runs under ThreadSanitizer.
# Usage: scripts/test.sh [plain|asan|tsan]...   (default: all stages)
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(plain asan tsan)

run_stage() {
  local name=$1 build_type=$2 sanitize=$3 label=${4:-}
  local dir=build/$name
  echo "=== $name: configure and build"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" -DKORVANE_SANITIZE="$sanitize" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "=== $name: tests"
  local args=(--test-dir "$dir" --output-on-failure -j "$jobs")
  [ -n "$label" ] && args+=(-L "$label")
  ctest "${args[@]}"
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp"

echo "=== format check"
./scripts/check-format.sh

for stage in "${stages[@]}"; do
  case $stage in
    plain) run_stage plain RelWithDebInfo "" ;;
    asan) run_stage asan Debug address ;;
    # Only the tests labelled "thread" exercise concurrency; TSan runs just those.
    tsan)
      if grep -rqs --include=CMakeLists.txt 'LABELS thread' tests; then
        run_stage tsan Debug thread thread
      fi
      ;;
    *) echo "unknown stage: $stage" >&2; exit 2 ;;
  esac
done
echo "=== all stages passed"
