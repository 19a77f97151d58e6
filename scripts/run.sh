#!/usr/bin/env bash
# Builds the Windows program and starts it.
#
# Linux (Debian 12, as root): installs what is missing (MinGW-w64, Wine, Xvfb, Japanese fonts),
# cross-builds build/win32/bin/ZelvoExplorer.exe, prepares a 32-bit Wine prefix and starts the
# program under Wine. Without an X display it starts Xvfb and says how to look at the screen.
# The locale decides Wine's ANSI code page: ja_JP.UTF-8 (code page 932) unless LC_ALL is set.
#
#   scripts/run.sh            run until the program is closed
#   scripts/run.sh IMAGE      the same, opening IMAGE (a path on this machine) at start
#   scripts/run.sh --smoke    start it, wait for its window, save build/win32/run.png, end it
#   scripts/run.sh --web      build the web page and serve it on 127.0.0.1 (prints the address)
#   scripts/run.sh --web --smoke   build the page, load it once in headless Chromium, save
#                             build/web/run.png, end (scripts/web.sh)
#
# On Windows (MSYS2 or Git Bash with MinGW-w64 and CMake) it builds natively and starts the .exe.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = --web ]; then
  if [ "${2:-}" = --smoke ]; then exec scripts/web.sh smoke; fi
  exec scripts/web.sh serve
fi
build=${WIN32_BUILD:-build/win32}
smoke=0
image=
case "${1:-}" in
  --smoke) smoke=1 ;;
  "") ;;
  *) image=$(realpath "$1") ;;
esac

case "$(uname -s)" in
  MINGW* | MSYS* | CYGWIN*)
    cmake -S . -B "$build" -G "MinGW Makefiles" -DCMAKE_BUILD_TYPE=Release -DZELVO_TESTS=OFF
    cmake --build "$build" --target ZelvoExplorer
    exec "$build/bin/ZelvoExplorer.exe" ${image:+"$image"}
    ;;
esac

scripts/deps.sh windows
source scripts/wine_env.sh
zelvo_locales
export LC_ALL=${LC_ALL:-ja_JP.UTF-8}

mkdir -p "$build"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
    >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
fi
cmake --build "$build" -j "$(nproc)" --target ZelvoExplorer >"$build/run-build.log" 2>&1 ||
  { tail -60 "$build/run-build.log"; exit 1; }
exe="$build/bin/ZelvoExplorer.exe"

zelvo_wine_env "$PWD/$build/wineprefix"
zelvo_display
trap zelvo_wine_stop EXIT
zelvo_prefix

if [ "$smoke" = 0 ]; then
  if [ -n "$ZELVO_XVFB_PID" ]; then
    echo "No X display: the program runs on the virtual display $DISPLAY."
    echo "A picture of it: DISPLAY=$DISPLAY import -window root shot.png"
  fi
  echo "Starting $exe under Wine (LC_ALL=$LC_ALL)."
  if [ -n "$image" ]; then
    wine "$exe" "$(winepath -w "$image" 2>/dev/null)"
  else
    wine "$exe"
  fi
  exit 0
fi

# Smoke run: the window must come up with its title.
wine "$exe" >/dev/null 2>&1 &
for _ in $(seq 1 150); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"Zelvo Explorer"'; then
    sleep 1
    import -window root "$build/run.png" 2>/dev/null || true
    echo "The program's window is up under Wine ($build/run.png)."
    exit 0
  fi
  sleep 0.2
done
echo "The program's window did not appear within 30 s." >&2
exit 1
