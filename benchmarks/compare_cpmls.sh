#!/usr/bin/env bash
# Whole-process start-up and listing time, side by side in one hyperfine run: `zelvo ls` on a flat
# image (.2d, 344064 bytes) holding 40 files, against cpmtools' `cpmls` on a CP/M image of the
# same size (84 tracks of 16 sectors of 256 bytes) holding 40 files of the same sizes. Prints
# the median of each, and their ratio.
#
# Needs hyperfine and cpmtools (scripts/deps.sh bench). Builds zelvo (Release, the package's
# link options) and the image writer into BENCH_BUILD (default build/bench).
# Environment: BENCH_RUNS (default 1000), BENCH_WARMUP (default 50), BENCH_FILES (default 40).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BENCH_BUILD:-build/bench}
runs=${BENCH_RUNS:-1000}
warmup=${BENCH_WARMUP:-50}
files=${BENCH_FILES:-40}
for tool in hyperfine cpmls mkfs.cpm cpmcp; do
  command -v "$tool" >/dev/null || { echo "compare_cpmls: $tool is missing (scripts/deps.sh bench)"; exit 1; }
done

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
mkdir -p "$build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >"$build/configure.log" 2>&1 \
  || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j "$(nproc)" --target zelvo zelvo_make_sample >"$build/build.log" 2>&1 \
  || { tail -40 "$build/build.log"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zelvo-compare-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/tests/zelvo_make_sample" "$work" --files "$files" >/dev/null

# The CP/M image: the same geometry, two system tracks, 64 directory entries, 1 KB blocks. cpmtools
# reads a diskdefs file in the current folder before its own.
cat >"$work/diskdefs" <<'DEFS'
diskdef zelvo2d
  seclen 256
  tracks 84
  sectrk 16
  blocksize 1024
  maxdir 64
  skew 0
  boottrk 2
  os 2.2
end
DEFS
cd "$work"
mkfs.cpm -f zelvo2d cpm.img >/dev/null
truncate -s 344064 cpm.img
mkdir host
for ((i = 0; i < files; i++)); do
  name=$(printf 'file%02d.bin' "$i")
  head -c $((300 + 37 * i)) /dev/urandom >"host/$name"
done
cpmcp -f zelvo2d cpm.img host/* 0:
cd - >/dev/null

zelvo=$(realpath "$build/bin/zelvo")
[ "$(stat -c %s "$work/files.2d")" = "$(stat -c %s "$work/cpm.img")" ] || { echo "compare_cpmls: the images differ in size"; exit 1; }
zelvo_rows=$("$zelvo" ls "$work/files.2d" | sed -n 's/.*(\([0-9]*\) files).*/\1/p')
cpm_rows=$(cd "$work" && cpmls -f zelvo2d cpm.img | grep -c 'file' || true)
echo "zelvo $("$zelvo" --version | cut -d' ' -f2): $zelvo_rows files; cpmls: $cpm_rows files; images of $(stat -c %s "$work/cpm.img") bytes"

cd "$work"
hyperfine -N --warmup "$warmup" --runs "$runs" --export-json times.json \
  -n "zelvo ls" "$zelvo ls files.2d" \
  -n "cpmls" "cpmls -f zelvo2d cpm.img" >hyperfine.txt
python3 - <<'PY'
import json
r = {x["command"]: x for x in json.load(open("times.json"))["results"]}
z, c = r["zelvo ls"], r["cpmls"]
for name, x in (("zelvo ls", z), ("cpmls", c)):
    print(f"{name:9s} median {x['median']*1000:7.3f} ms   mean {x['mean']*1000:7.3f} ms   "
          f"min {x['min']*1000:7.3f} ms   ({len(x['times'])} runs)")
ratio = z["median"] / c["median"]
print(f"zelvo ls / cpmls (medians): {ratio:.2f}" + ("  - at or below cpmls" if ratio <= 1 else "  - slower than cpmls"))
PY
