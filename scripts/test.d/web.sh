#!/usr/bin/env bash
# The web page in headless Chromium, compared with zelvo on the same images (scripts/web.sh test).
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/web.sh test
