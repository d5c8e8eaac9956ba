#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the tree and writes pictures of every window and plot page, driven with virtual kits,
# into the folder given (default screenshots/). Uses a virtual X display when there is none.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-screenshots}")
"$root/scripts/install-deps.sh" screenshots
KVVLX_BUILD_BENCH=OFF "$root/scripts/build.sh" --target kvvlx_screenshots
dir=${BUILD_DIR:-$root/build}
work=$(mktemp -d)
cd "$work"  # data files of the run stay out of the repository
if [ -n "${DISPLAY:-}" ]; then
  "$dir/tests/app/kvvlx_screenshots" "$out"
else
  xvfb-run -a -s "-screen 0 1280x800x24" "$dir/tests/app/kvvlx_screenshots" "$out"
fi
