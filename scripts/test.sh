#!/usr/bin/env bash
# Builds everything and runs every test. Installs what is missing first (Debian 12, as root).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh all
jobs=$(nproc)

# The portable suite under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DZELVO_SANITIZE=ON >/dev/null
cmake --build build/test -j "$jobs"
ctest --test-dir build/test --output-on-failure -j "$jobs"

# Further stages (Windows build under Wine, fuzzing) add themselves here.
for stage in scripts/test.d/*.sh; do
  [ -e "$stage" ] || continue
  echo "== $stage"
  bash "$stage"
done
