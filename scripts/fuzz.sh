#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and
# fuzzes each for SECONDS (default 60), one after the other, starting from its seed corpus.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]   (default: every target in fuzz/CMakeLists.txt)
#
# New inputs go to build/fuzz/corpus/<target>/ (the seeds in fuzz/corpus/ are only read), and a
# crash, a hang (over 1 s for one input) or an allocation over the limits is written to
# build/fuzz/findings/<target>/: copy it into fuzz/corpus/<target>/ once it is fixed, so the
# suite replays it. Environment: JOBS (build jobs, default nproc), FUZZ_FLAGS (extra libFuzzer
# flags, for instance "-jobs=2 -workers=2").
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
if [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi

jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
dir=build/fuzz
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$dir" -j "$jobs"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  # The list in fuzz/CMakeLists.txt is the one list of targets.
  mapfile -t targets < <(sed -n '/^set(KORVANE_FUZZ_TARGETS/,/)/p' fuzz/CMakeLists.txt |
    tr '() ' '\n\n\n' | grep -v -e '^set$' -e '^KORVANE_FUZZ_TARGETS$' -e '^$')
fi

# The limits every target keeps: one second per input, and memory within what the code it drives
# may take for inputs of this size.
# Inputs stay below 64 KiB so that a run explores many of them; larger seeds (a 200 KB path)
# are replayed whole by the suite.
limits=(-timeout=1 -rss_limit_mb=2048 -malloc_limit_mb=256 -max_len=65536)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

summary=()
failed=0
for target in "${targets[@]}"; do
  program=$dir/fuzz/korvane_fuzz_$target
  if [ ! -x "$program" ]; then
    echo "unknown fuzz target: $target" >&2
    exit 2
  fi
  work=$dir/corpus/$target
  findings=$dir/findings/$target
  log=$dir/logs/$target.log
  mkdir -p "$work" "$findings" "$(dirname "$log")"
  dict=()
  [ -f "fuzz/dict/$target.dict" ] && dict=(-dict="fuzz/dict/$target.dict")
  echo "=== $target: ${seconds}s"
  status=0
  # shellcheck disable=SC2086
  "$program" "${limits[@]}" "${dict[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/" ${FUZZ_FLAGS:-} "$work" "fuzz/corpus/$target" \
    >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1 || true)
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 || true)
  line="$target: ${runs:-?} runs, ${cov:-no coverage line}"
  if [ $status -ne 0 ]; then
    failed=1
    line="$line, FINDING (exit $status, see $log and $findings/)"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*invariant failed|.*Timeout|.*out-of-memory)' "$log" |
      head -5 || true
  fi
  echo "$line"
  summary+=("$line")
done

echo "=== summary"
printf '%s\n' "${summary[@]}"
exit $failed
