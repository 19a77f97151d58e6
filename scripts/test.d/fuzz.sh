#!/usr/bin/env bash
# Fuzzing stage: builds the libFuzzer targets with clang (build/fuzz), writes the seed corpora
# with the test image builder and runs every target for a bounded time, two at a time. Fails
# when a target finds an input that crashes or breaks an invariant, and names the reproducer.
#
# Environment: FUZZ_SECONDS (default 60) per target, FUZZ_BUILD (default build/fuzz), FUZZ_JOBS
# (default 2) targets at once.
set -uo pipefail
cd "$(dirname "$0")/../.."
seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD:-build/fuzz}
jobs=${FUZZ_JOBS:-2}
targets=(fuzz_open fuzz_export fuzz_import fuzz_codes fuzz_attributes fuzz_journal fuzz_containers fuzz_scp)

mkdir -p "$build"
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELVO_FUZZ=ON \
  >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" zelvo_make_corpus \
  >"$build/build.log" 2>&1 || { tail -50 "$build/build.log"; exit 1; }

work="$build/fuzz-run"
rm -rf "$work"
mkdir -p "$work"
"$build/tests/fuzz/zelvo_make_corpus" "$work/seeds" src/codes/CodeChg.txt || exit 1

run_target() {
  local target=$1
  local corpus="$work/corpus/$target" artifacts="$work/artifacts/$target/"
  mkdir -p "$corpus" "$artifacts"
  # New inputs go into the run's own corpus; the seeds, the checked-in corpus and the past
  # crashes are read only.
  local inputs=("$corpus" "$work/seeds/$target")
  for extra in "tests/fuzz/corpus/$target" "tests/fuzz/crashes/$target"; do
    [ -d "$extra" ] && inputs+=("$extra")
  done
  "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -max_len=40000 -print_final_stats=1 -artifact_prefix="$artifacts" "${inputs[@]}" \
    >"$work/$target.log" 2>&1
  echo $? >"$work/$target.rc"
}

running=0
for target in "${targets[@]}"; do
  run_target "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

failed=0
for target in "${targets[@]}"; do
  rc=$(cat "$work/$target.rc" 2>/dev/null || echo 1)
  stats=$(grep -E '^stat::number_of_executed_units' "$work/$target.log" | awk '{print $2}')
  if [ "$rc" = 0 ]; then
    echo "fuzz $target: passed (${stats:-?} runs in ${seconds}s)"
    continue
  fi
  failed=1
  echo "fuzz $target: FAILED (exit $rc)"
  grep -E 'ERROR:|invariant broken|SUMMARY:' "$work/$target.log" | head -5
  for reproducer in "$work/artifacts/$target/"*; do
    [ -e "$reproducer" ] || continue
    echo "  reproducer: $reproducer"
    echo "  replay with: $build/tests/fuzz/$target $reproducer"
    echo "  keep it as a regression case: cp $reproducer tests/fuzz/crashes/$target/"
  done
  echo "  log: $work/$target.log"
done
exit "$failed"
