#!/usr/bin/env bash
# Windows stage: cross-builds everything for 32-bit Windows with MinGW-w64 (build/win32) and runs
# the tests under Wine on an X display (Xvfb when there is none): the portable suite and the
# end-to-end tests of the program's windows under a Japanese locale (ANSI code page 932), the
# end-to-end tests again under an English one (code page 1252), the zelvo tool under the English
# one (names, paths and messages outside code page 1252), zelvo on Linux against zelvo.exe and the
# window on one image (each waits for the other's lock), and last the program itself, started as
# a user would start it. Leaves screenshots in build/win32.
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

echo "== Windows: the zelvo tool under Wine, English locale (ANSI code page 1252)"
export LC_ALL=en_US.UTF-8
sample=$(mktemp -d)
wine "$build/tests/zelvo_make_sample.exe" "$sample" >/dev/null 2>&1
zelvo_exe="$PWD/$build/bin/zelvo.exe"
wine "$zelvo_exe" ls "$sample/sample.d88" | tee "$sample/ls.txt" | grep -q 'Disk Name:SAMPLE DISK'
# Redirected output is the same bytes as on Linux: UTF-8, no carriage returns.
grep -q 'ＤＥＭＯ              OBJ' "$sample/ls.txt"
if grep -q $'\r' "$sample/ls.txt"; then echo "zelvo.exe wrote carriage returns" >&2; exit 1; fi
wine "$zelvo_exe" import --yes --name HELLO.TXT --type TEX "$sample/sample.d88" "$sample/hello.txt" \
  2>/dev/null
wine "$zelvo_exe" export "$sample/sample.d88" hello.txt "$sample/back.txt" >/dev/null
cmp "$sample/hello.txt" "$sample/back.txt"
wine "$zelvo_exe" check "$sample/sample.d88" >/dev/null

# Every code page 932 text and every character converts to the bytes the Linux build gives.
g++ -std=c++20 -O1 -Isrc tests/console/text_sweep.cpp src/platform/console/text_convert.cpp \
  -o "$sample/text_sweep"
"$sample/text_sweep" >"$sample/sweep_linux.txt"
wine "$build/tests/console/zelvo_text_sweep.exe" | tr -d '\r' >"$sample/sweep_windows.txt"
cmp "$sample/sweep_linux.txt" "$sample/sweep_windows.txt"

# The default name of an export is the plain name on every system.
(cd "$sample" && wine "$zelvo_exe" export sample.d88 demo) >"$sample/out.txt"
[ "$(cat "$sample/out.txt")" = "DEMO.OBJ" ]
wine "$zelvo_exe" export "$sample/sample.d88" demo "$sample/demo.bin" >/dev/null
cmp "$sample/DEMO.OBJ" "$sample/demo.bin"
# Ascii text: zelvo.exe keeps the window's code page 932 and CR LF unless told otherwise.
wine "$zelvo_exe" export --ascii "$sample/sample.d88" README.TXT "$sample/crlf.txt" >/dev/null
wine "$zelvo_exe" export --ascii --encoding cp932 --eol crlf "$sample/sample.d88" README.TXT \
  "$sample/asked.txt" >/dev/null
cmp "$sample/crlf.txt" "$sample/asked.txt"
grep -q $'\r$' "$sample/crlf.txt"
wine "$zelvo_exe" export --ascii --encoding utf-8 --eol lf "$sample/sample.d88" README.TXT \
  "$sample/lf.txt" >/dev/null
if grep -q $'\r' "$sample/lf.txt"; then echo "zelvo.exe --eol lf wrote carriage returns" >&2; exit 1; fi

# Host and image paths with characters outside code page 1252 (a Cyrillic letter whose second
# byte is a lead byte of code page 932 stands before the dot and the separator).
folder="$sample/Папка Ж ｋ"
mkdir "$folder"
cp "$sample/sample.d88" "$folder/диск Ж.d88"
cp "$sample/hello.txt" "$folder/ЖHELLO.TXT"
wine "$zelvo_exe" import --yes --name NEW.TXT --type TEX "$folder/диск Ж.d88" "$folder/ЖHELLO.TXT" \
  2>/dev/null
wine "$zelvo_exe" export "$folder/диск Ж.d88" new.txt "$folder/назад Ж.txt" >/dev/null
cmp "$sample/hello.txt" "$folder/назад Ж.txt"
(cd "$folder" && wine "$zelvo_exe" export "диск Ж.d88" new.txt) >/dev/null
cmp "$sample/hello.txt" "$folder/NEW.TXT"
# The code file beside an executable in such a folder.
cp "$zelvo_exe" "$build/bin/CodeChg.txt" "$folder/"
wine "$folder/zelvo.exe" ls "$folder/диск Ж.d88" | grep -q 'ＲＥＡＤＭＥ．ＴＸＴ'
wine "$zelvo_exe" ls --json "$folder/диск Ж.d88" >"$sample/ls.json"
grep -qF "\"image\":\"$folder/диск Ж.d88\"" "$sample/ls.json"

# A refusal read back from a pipe is UTF-8: in English under an English user language, in
# Japanese when ZELVO_LANG asks for it.
set +e
wine "$zelvo_exe" ls "$folder/ЖHELLO.TXT" 2>&1 >/dev/null | cat >"$sample/refusal_en.txt"
set -e
[ "$(cat "$sample/refusal_en.txt")" = 'Extension error: Choose a disk image whose name ends in .2d, .d20, .d88, .d77, .imd or .hfe.' ]
export ZELVO_LANG=ja
expected='拡張子のエラー: FDイメージの形式は .2D .D20 .D88 の何れかの形式を選択してください'
set +e
wine "$zelvo_exe" ls "$folder/ЖHELLO.TXT" 2>&1 >/dev/null | cat >"$sample/refusal.txt"
set -e
[ "$(cat "$sample/refusal.txt")" = "$expected" ]
# On a console (Wine makes one of a terminal) the text is written as UTF-16 and shows right
# whatever the console's code page.
if command -v script >/dev/null; then
  script -qec "wine '$zelvo_exe' ls '$folder/ЖHELLO.TXT'" /dev/null </dev/null >"$sample/console.txt" \
    || true
  grep -qF "$expected" "$sample/console.txt"
fi
unset ZELVO_LANG
echo "zelvo.exe: ls, import, export and check passed; UTF-8 names, paths and messages"

echo "== Windows: zelvo on Linux beside zelvo.exe and the window under Wine, one image"
# zelvo on Linux: the portable suite's (scripts/test.sh builds it before this stage), else one of
# its own; only its target is built.
host_build=build/test
if [ ! -f "$host_build/CMakeCache.txt" ]; then
  host_build=build/host
  cmake -S . -B "$host_build" -DCMAKE_BUILD_TYPE=Release >"$build/host-configure.log" 2>&1 ||
    { cat "$build/host-configure.log"; exit 1; }
fi
cmake --build "$host_build" -j "$jobs" --target zelvo >"$build/host-build.log" 2>&1 ||
  { tail -60 "$build/host-build.log"; exit 1; }
python3 tests/concurrency/wine_pair.py "$PWD/$host_build/bin/zelvo" "$zelvo_exe" "$sample/pair" \
  "$PWD/$build/tests/win32/zelvo_gui_tests.exe"
rm -rf "$sample"

echo "== Windows: the program under Wine"
LC_ALL=ja_JP.UTF-8 scripts/run.sh --smoke
ls "$build"/tests/win32/*.png "$build"/run.png
