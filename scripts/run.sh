#!/usr/bin/env bash
# Builds Korvane and runs it against the local stand-in services: the window when a display is
# there, otherwise the command-line front end on the sample collection 12527.
# Usage: scripts/run.sh [OUTPUT_FOLDER]   (default: ./korvane-icons; created when missing)
# JOBS sets the build's parallel jobs (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

output=${1:-korvane-icons}
jobs=${JOBS:-2}

echo "=== building korvane, korvane-cli and korvane-standin (build/plain)"
cmake -S . -B build/plain -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/plain --target korvane korvane-cli korvane-standin -j "$jobs"

mkdir -p -- "$output"
output=$(cd -- "$output" && pwd)

# The stand-in runs in the background for as long as this script does, and is stopped on every
# way out: the end of the run, a failure, Ctrl-C or termination.
# The front end runs in the background too, so that a signal to this script is handled at once
# (korvane-cli takes SIGTERM as Pause: it stops cleanly and leaves no partial file).
scratch=$(mktemp -d "${TMPDIR:-/tmp}/korvane-run.XXXXXX")
standin_pid=
front_pid=
stop_all() {
  for pid in $front_pid $standin_pid; do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf -- "$scratch"
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# No pauses for polls in the demo: the stand-in reports every conversion as done at the first
# status request, so an icon takes a fraction of a second instead of about two.
build/plain/standin/korvane-standin --polls 0 --ca-out "$scratch/ca.pem" \
  >"$scratch/standin.out" 2>"$scratch/standin.err" &
standin_pid=$!

# It prints three lines once it listens: icon-library URL, converter URL, ca PATH.
for _ in $(seq 1 100); do
  [ "$(wc -l <"$scratch/standin.out")" -ge 3 ] && break
  if ! kill -0 "$standin_pid" 2>/dev/null; then
    echo "korvane-standin did not start:" >&2
    cat "$scratch/standin.err" >&2
    exit 1
  fi
  sleep 0.1
done
field() { awk -v key="$1" '$1 == key { print $2 }' "$scratch/standin.out"; }
library=$(field icon-library)
converter=$(field converter)
ca=$(field ca)
if [ -z "$library" ] || [ -z "$converter" ] || [ -z "$ca" ]; then
  echo "korvane-standin did not say where it listens:" >&2
  cat "$scratch/standin.out" "$scratch/standin.err" >&2
  exit 1
fi
echo "=== stand-in services: icon library $library, converter $converter"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "=== starting the window; type or drop this folder into 下载目录 and press 开始:"
  echo "    $output/"
  echo "    (collection 12527 is the stand-in's sample; the PNG files land in that folder)"
  build/plain/app/korvane --icon-library "$library" --converter "$converter" --ca-file "$ca" &
  front_pid=$!
  status=0
  wait "$front_pid" || status=$?
  front_pid=
  exit "$status"
else
  echo "=== no display (neither DISPLAY nor WAYLAND_DISPLAY is set): running korvane-cli on the"
  echo "    sample collection 12527 instead of the window"
  build/plain/cli/korvane-cli --folder "$output" --id 12527 --icon-library "$library" \
    --converter "$converter" --ca-file "$ca" &
  front_pid=$!
  status=0
  wait "$front_pid" || status=$?
  front_pid=
  count=$(find "$output" -maxdepth 1 -name '*.png' | wc -l)
  echo "=== korvane-cli ended with status $status; $count PNG files are in $output/"
  exit "$status"
fi
