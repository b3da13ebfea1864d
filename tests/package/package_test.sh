#!/usr/bin/env bash
# Builds the Debian package from a build tree, unpacks it into a scratch root outside that tree
# and runs what was unpacked: the programs must work from there and find their files there, never
# in the build tree.
# Usage: package_test.sh BUILD_DIR VERSION
set -euo pipefail

build=$(cd "$1" && pwd)
version=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/korvane-package-test.XXXXXX")
standin_pid=
cleanup() {
  if [ -n "$standin_pid" ]; then kill "$standin_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
step() { echo "--- $*"; }

case "$scratch/" in
  "$build"/*) fail "the scratch root $scratch must lie outside the build tree" ;;
esac

step "cpack"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
deb="$scratch/pkg/korvane_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $(basename "$deb"); cpack wrote: $(ls "$scratch/pkg")"

step "control fields"
depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
echo "Depends: $depends"
echo "Recommends: $recommends"
# Computed by dpkg-shlibdeps from what the programs link, not listed by hand.
for lib in libqt6widgets6 libcurl4 librsvg2-2 libduktape207 libc6; do
  grep -Eq "(^|, )$lib( |,|$)" <<<"$depends" || fail "Depends lacks $lib"
done
# Loaded at run time, so named by the build.
grep -q 'qt6-qpa-plugins' <<<"$depends" || fail "Depends lacks qt6-qpa-plugins"
grep -q 'qt6-translations-l10n' <<<"$recommends" || fail "Recommends lacks qt6-translations-l10n"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "not an amd64 package"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version is not $version"

step "unpack"
root="$scratch/root"
dpkg-deb -x "$deb" "$root"
bin="$root/usr/bin"
share="$root/usr/share"
for f in bin/korvane bin/korvane-cli bin/korvane-standin share/applications/korvane.desktop \
  share/icons/hicolor/scalable/apps/korvane.svg share/man/man1/korvane-cli.1.gz \
  share/man/man1/korvane-standin.1.gz share/korvane/samples/12527.json \
  share/korvane/samples/90001.json; do
  [ -f "$root/usr/$f" ] || fail "the package lacks /usr/$f"
done
for size in 16 22 24 32 48 64 128 256 512; do
  png="$share/icons/hicolor/${size}x${size}/apps/korvane.png"
  [ -f "$png" ] || fail "the package lacks the ${size}x${size} icon"
  file -b "$png" | grep -q "^PNG image data, $size x $size," ||
    fail "${size}x${size} icon is $(file -b "$png")"
done
file -b --mime-type "$share/icons/hicolor/scalable/apps/korvane.svg" | grep -q 'svg' ||
  fail "the scalable icon is not SVG"

step "desktop entry"
desktop="$share/applications/korvane.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects korvane.desktop"
grep -qx 'Exec=korvane' "$desktop" || fail "the menu entry does not start korvane"
grep -qx 'Icon=korvane' "$desktop" || fail "the menu entry does not name the korvane icon"
grep -q '^Categories=.*Graphics;' "$desktop" || fail "the menu entry is not under Graphics"
grep -q '^Comment=' "$desktop" || fail "no English comment"
grep -q '^Comment\[zh_CN\]=' "$desktop" || fail "no Chinese comment"

step "--help and the manual pages"
for program in korvane-cli korvane-standin; do
  help=$("$bin/$program" --help) || fail "$program --help failed"
  page=$(zcat "$share/man/man1/$program.1.gz")
  grep -q "^\.TH \"\?${program^^}\"\? \"\?1\"\?" <<<"$page" || fail "$program.1 is not a section 1 page"
  # Every option that --help names is in the page (groff writes a dash as \-).
  options=$(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u)
  [ -n "$options" ] || fail "$program --help names no option"
  for option in $options; do
    grep -qF -- "${option//-/\\-}" <<<"$page" || fail "$program.1 lacks $option"
  done
done

step "the window starts and closes on SIGTERM"
# Its command line is read after the toolkit is up, so a bad option proves the program and its
# libraries load from the unpacked tree; then a real start, ended as a session would end it.
status=0
QT_QPA_PLATFORM=offscreen "$bin/korvane" --no-such-option 2>"$scratch/window.err" || status=$?
[ "$status" -eq 2 ] || { cat "$scratch/window.err" >&2; fail "korvane --no-such-option ended $status"; }
grep -q 'unknown argument' "$scratch/window.err" || fail "korvane did not name the bad option"
status=0
QT_QPA_PLATFORM=offscreen timeout --preserve-status -s TERM 4 "$bin/korvane" || status=$?
[ "$status" -eq 0 ] || fail "korvane ended $status on SIGTERM instead of closing cleanly"

start_standin() {
  "$bin/korvane-standin" --polls 0 --ca-out "$scratch/ca.pem" >"$scratch/standin.out" 2>&1 &
  standin_pid=$!
  for _ in $(seq 600); do
    [ "$(grep -c '' "$scratch/standin.out")" -ge 3 ] && break
    kill -0 "$standin_pid" 2>/dev/null || { cat "$scratch/standin.out" >&2; fail "the stand-in ended"; }
    sleep 0.1
  done
  library=$(sed -n 's/^icon-library //p' "$scratch/standin.out")
  converter=$(sed -n 's/^converter //p' "$scratch/standin.out")
  [ -n "$library" ] && [ -n "$converter" ] || fail "the stand-in did not say where it listens"
}
stop_standin() {
  kill -TERM "$standin_pid"
  local status=0
  wait "$standin_pid" || status=$?
  standin_pid=
  [ "$status" -eq 0 ] || { cat "$scratch/standin.out" >&2; fail "the stand-in ended $status"; }
}
convert() {
  "$bin/korvane-cli" --folder "$1" --id 90001 --icon-library "$library" --converter "$converter" \
    --ca-file "$scratch/ca.pem"
}

step "a bundled sample converted by the unpacked programs"
start_standin
mkdir "$scratch/icons"
status=0
convert "$scratch/icons" || status=$?
stop_standin
[ "$status" -eq 0 ] || fail "korvane-cli ended $status"
count=0
for png in "$scratch"/icons/*.png; do
  file -b "$png" | grep -q '^PNG image data' || fail "$png is $(file -b "$png")"
  count=$((count + 1))
done
[ "$count" -eq 2 ] || fail "$count PNG files instead of the sample's 2"

step "without its samples the unpacked stand-in serves none, not the build tree's"
rm -r "$share/korvane/samples"
start_standin
mkdir "$scratch/none"
status=0
convert "$scratch/none" || status=$?
stop_standin
[ "$status" -eq 2 ] || fail "korvane-cli ended $status; the collection should have been missing"
[ -z "$(ls -A "$scratch/none")" ] || fail "files were saved without samples"

echo "package test passed"
