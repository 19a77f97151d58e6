#!/usr/bin/env bash
# Builds everything and runs every test. Installs what is missing first (Debian 12, as root).
# A stage that fails says which one and why: its name and the last lines of its output.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh all
jobs=$(nproc)
logs=build/stage-logs
mkdir -p "$logs"

# Every include of src/ points down the layers (docs/architecture.md); the check itself finds a
# planted violation.
python3 scripts/check_layers.py
python3 scripts/check_layers.py --self-test

# The portable suite under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DZELVO_SANITIZE=ON >"$logs/configure.log" 2>&1 ||
  { echo "FAILED: configuring the portable suite"; tail -40 "$logs/configure.log"; exit 1; }
cmake --build build/test -j "$jobs" >"$logs/build.log" 2>&1 ||
  { echo "FAILED: building the portable suite"; tail -60 "$logs/build.log"; exit 1; }
ctest --test-dir build/test --output-on-failure -j "$jobs"

# No new mutable state with static storage in the core's object files (the list of what is left
# only shrinks); the check itself finds a planted static.
python3 scripts/check_static_state.py --self-test
python3 scripts/check_static_state.py build/test

# Further stages (Windows build under Wine, fuzzing, the package) add themselves here. Each one's
# output is shown as it runs and kept in build/stage-logs/NAME.log.
failed=()
for stage in scripts/test.d/*.sh; do
  [ -e "$stage" ] || continue
  name=$(basename "$stage" .sh)
  echo "== $stage"
  if ! bash "$stage" 2>&1 | tee "$logs/$name.log"; then
    echo "FAILED: stage $name ($stage); its last lines:"
    tail -30 "$logs/$name.log" | sed 's/^/  | /'
    failed+=("$name")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED stages: ${failed[*]} (logs in $logs)"
  exit 1
fi
echo "every stage passed"
