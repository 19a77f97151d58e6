#!/usr/bin/env bash
# Builds the packages: the Debian package of zelvo (build/package/packages/zelvo_*.deb) and the
# Windows zip with both programs (build/package-win32/packages/ZelvoExplorer-*-win32.zip).
# Usage: scripts/package.sh [deb|zip|all]   (default all). Prints the path of each package.
# Environment: PACKAGE_BUILD (default build/package), PACKAGE_WIN32_BUILD (default
# build/package-win32).
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
jobs=$(nproc)
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

package() {  # build folder, extra configure arguments...
  local build=$1
  shift
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZELVO_TESTS=OFF "${launcher[@]}" "$@" \
    >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
  cmake --build "$build" -j "$jobs" >"$build.build.log" 2>&1 || { tail -40 "$build.build.log"; exit 1; }
  rm -rf "$build/packages"
  (cd "$build" && cpack >cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
}

mkdir -p build
if [ "$what" = deb ] || [ "$what" = all ]; then
  build=${PACKAGE_BUILD:-build/package}
  package "$build"
  ls "$build"/packages/*.deb
fi
if [ "$what" = zip ] || [ "$what" = all ]; then
  build=${PACKAGE_WIN32_BUILD:-build/package-win32}
  package "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
  ls "$build"/packages/*.zip
fi
