#!/usr/bin/env bash
# Windows stage: cross-builds everything for 32-bit Windows with MinGW-w64 (build/win32) and runs
# the tests under Wine on an X display (Xvfb when there is none): the portable suite and the
# end-to-end tests of the program's windows under a Japanese locale (ANSI code page 932), the
# end-to-end tests again under an English one (code page 1252), and last the program itself,
# started as a user would start it. Leaves screenshots in build/win32.
#
# Environment: WIN32_BUILD (default build/win32).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${WIN32_BUILD:-build/win32}
jobs=$(nproc)

scripts/deps.sh windows
source scripts/wine_env.sh
zelvo_locales

mkdir -p "$build"
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
  >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j "$jobs" >"$build/build.log" 2>&1 || { tail -60 "$build/build.log"; exit 1; }
echo "built $build/bin/ZelvoExplorer.exe"

zelvo_wine_env "$PWD/$build/wineprefix"
zelvo_display
trap zelvo_wine_stop EXIT

# Wine's background processes must not hold ctest's output open: the server and the prefix are
# started here, their output sent elsewhere, and the server stays up until the end.
start_wine() {
  wineserver -k >/dev/null 2>&1 || true
  zelvo_prefix
  wineserver -p >/dev/null 2>&1
  wine wineboot >/dev/null 2>&1
}

echo "== Windows: portable suite and windows, Japanese locale"
export LC_ALL=ja_JP.UTF-8 ZELVO_EXPECT_ACP=932
start_wine
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 300

echo "== Windows: windows, English locale"
export LC_ALL=en_US.UTF-8 ZELVO_EXPECT_ACP=1252
start_wine
ctest --test-dir "$build" --output-on-failure -L gui --timeout 300

echo "== Windows: the zelvo tool under Wine"
sample=$(mktemp -d)
wine "$build/tests/zelvo_make_sample.exe" "$sample" >/dev/null 2>&1
zelvo_exe="$build/bin/zelvo.exe"
wine "$zelvo_exe" ls "$sample/sample.d88" | tee "$sample/ls.txt" | tr -d '\r' | grep -q 'Disk Name:SAMPLE DISK'
wine "$zelvo_exe" import --yes --name HELLO.TXT --type TEX "$sample/sample.d88" "$sample/hello.txt" \
  2>/dev/null
wine "$zelvo_exe" export "$sample/sample.d88" hello.txt "$sample/back.txt" >/dev/null
cmp "$sample/hello.txt" "$sample/back.txt"
wine "$zelvo_exe" check "$sample/sample.d88" >/dev/null
echo "zelvo.exe: ls, import, export and check passed"
rm -rf "$sample"

echo "== Windows: the program under Wine"
LC_ALL=ja_JP.UTF-8 scripts/run.sh --smoke
ls "$build"/tests/win32/*.png "$build"/run.png
