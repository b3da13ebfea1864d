#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Korvane needs.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # toolchain and test runner
  build-essential cmake ninja-build pkg-config clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  # core libraries
  libcurl4-openssl-dev duktape-dev libpcre2-dev
  # loopback servers, TLS, SVG rendering for the stand-in services
  libcpp-httplib-dev libssl-dev librsvg2-dev librsvg2-bin libcairo2-dev
  # the libFuzzer build of the fuzz targets (scripts/fuzz.sh)
  clang libclang-rt-dev
  # the local renderer's PNG writer; libpng and libspng only for its encoder benchmark
  libdeflate-dev libpng-dev libspng-dev
  # forward proxy used by the HTTP tests
  tinyproxy
  # the window and its checks under a virtual display
  qt6-base-dev qt6-qpa-plugins xvfb xauth fonts-wqy-microhei
  # the Debian package: manual pages, menu entry check, cpack's dpkg-shlibdeps, the package test
  help2man desktop-file-utils dpkg-dev file gzip
  # Qt's own texts (dialog buttons, context menus) in the user's language
  qt6-translations-l10n
  # the desktop tests: a window manager that frames windows, X tools to read titles and to
  # press keys and buttons, and the X client library the tests read window frames with
  openbox x11-utils xdotool libxcb1-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
