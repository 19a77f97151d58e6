#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, skipping what is already there.
# Usage: scripts/deps.sh [core|windows|bench|web|all]
set -euo pipefail
what=${1:-core}
need=()
want() { for p in "$@"; do dpkg -s "$p" >/dev/null 2>&1 || need+=("$p"); done; }
want build-essential cmake g++ googletest libgtest-dev libgmock-dev libcli11-dev nlohmann-json3-dev \
     clang libclang-rt-14-dev python3 libbenchmark-dev cpmtools mtools \
     dpkg-dev man-db groff-base bash-completion \
     file xz-utils ca-certificates procps bsdutils binutils git
# file: CPack's Debian generator computes the package's dependencies with it; binutils: readelf of
# the package stage; bsdutils: script(1), the terminal of the console tests; the rest: what a
# minimal Debian root lacks that the builds, the stages and a clone of the repository use.
# hyperfine and cpmtools: benchmarks/compare_cpmls.sh
if [ "$what" = bench ] || [ "$what" = all ]; then
  want hyperfine cpmtools
fi
if [ "$what" = windows ] || [ "$what" = all ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then dpkg --add-architecture i386; need+=(wine32:i386); fi
  want g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 xvfb fonts-ipafont-gothic fonts-wine locales \
       fonts-horai-umefont imagemagick x11-utils xauth
fi
# The web page: Emscripten (it pulls in LLVM, so only here), Chromium for the browser tests, Node
# and npm for their driver (puppeteer-core, installed by `npm ci` from web/tests/package-lock.json).
if [ "$what" = web ] || [ "$what" = all ]; then
  want emscripten chromium nodejs
  command -v npm >/dev/null 2>&1 || want npm
fi
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
