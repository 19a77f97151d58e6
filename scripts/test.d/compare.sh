#!/usr/bin/env bash
# Compare stage: zelvo built from the working tree against zelvo built from the commit that the
# redesign of the core started from (scripts/compare_zelvo.py): every verb over the same images
# must print, exit and write the same, except the long paths that now work. The script's
# self-test runs first. A clone without that commit (a shallow one) skips the comparison.
#
# Environment: COMPARE_BASE (default cf81bce), COMPARE_JOBS (build jobs, default: all cores).
set -uo pipefail
cd "$(dirname "$0")/../.."
base=${COMPARE_BASE:-cf81bce}
export COMPARE_JOBS=${COMPARE_JOBS:-$(nproc)}

python3 scripts/compare_zelvo.py --self-test || exit 1
if ! git rev-parse -q --verify "$base^{commit}" >/dev/null 2>&1; then
  echo "compare: skipped: commit $base is not in this clone (shallow?); fetch it to compare"
  exit 0
fi
python3 scripts/compare_zelvo.py --base "$base"
