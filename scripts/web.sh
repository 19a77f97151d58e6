#!/usr/bin/env bash
# The web page: builds build/web/zelvo-explorer.html (the core in WebAssembly, everything inlined),
# and serves it, smoke-tests it or runs its browser tests.
#
#   scripts/web.sh build     build the page (and say where it is)
#   scripts/web.sh serve     build it and serve build/web on 127.0.0.1 (ZELVO_WEB_PORT, default 8026)
#   scripts/web.sh smoke     build it, serve it, load it once in headless Chromium, save
#                            build/web/run.png, stop
#   scripts/web.sh test      build it and zelvo, and compare the page with zelvo in Chromium
#
# Installs what is missing first (Debian 12, as root): Emscripten, Chromium, Node.js and npm.
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-build}
web=build/web
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2

scripts/deps.sh web
export NODE_PATH=/usr/share/nodejs  # Emscripten's own Node steps use Debian's modules

build_page() {
  mkdir -p "$web"
  if [ ! -f "$web/CMakeCache.txt" ]; then
    emcmake cmake -S . -B "$web" -DCMAKE_BUILD_TYPE=Release -DZELVO_TESTS=OFF >"$web/configure.log" 2>&1 ||
      { cat "$web/configure.log"; exit 1; }
  fi
  cmake --build "$web" -j "$jobs" >"$web/build.log" 2>&1 || { tail -60 "$web/build.log"; exit 1; }
}

test_driver() {
  (cd web/tests && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
}

# A static server on 127.0.0.1; its process id in $server.
start_server() {
  local port=$1
  python3 -m http.server --bind 127.0.0.1 --directory "$web" "$port" >"$web/server.log" 2>&1 &
  server=$!
  for _ in $(seq 1 50); do
    if python3 - "$port" <<'PY' 2>/dev/null; then return 0; fi
import socket, sys
socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=0.2).close()
PY
    sleep 0.1
  done
  echo "the static server did not start on port $port" >&2
  return 1
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()'
}

case "$what" in
  build)
    build_page
    echo "$web/zelvo-explorer.html (one file: open it from disk, publish or mail it as it is)"
    ;;
  serve)
    build_page
    port=${ZELVO_WEB_PORT:-8026}
    echo "Serving $web on http://127.0.0.1:$port/zelvo-explorer.html (Ctrl+C stops)."
    exec python3 -m http.server --bind 127.0.0.1 --directory "$web" "$port"
    ;;
  smoke)
    build_page
    test_driver
    port=$(free_port)
    start_server "$port"
    trap 'kill "$server" 2>/dev/null || true' EXIT
    node web/tests/web_test.mjs --smoke --page "http://127.0.0.1:$port/zelvo-explorer.html" \
      --shot "$web/run.png"
    ;;
  test)
    build_page
    test_driver
    native=${ZELVO_NATIVE_BUILD:-build/test}
    if [ ! -x "$native/bin/zelvo" ] || [ ! -x "$native/tests/zelvo_make_sample" ]; then
      [ -f "$native/CMakeCache.txt" ] || cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
      cmake --build "$native" -j "$jobs" --target zelvo zelvo_make_sample >/dev/null
    fi
    node web/tests/web_test.mjs --page "$web/zelvo-explorer.html" --zelvo "$native/bin/zelvo" \
      --sample "$native/tests/zelvo_make_sample" --work "$web/test-work" --shot "$web/web-test.png"
    ;;
  *)
    echo "usage: scripts/web.sh build|serve|smoke|test" >&2
    exit 2
    ;;
esac
