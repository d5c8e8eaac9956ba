#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds the tree. BUILD_DIR picks the folder (default build/, or build-asan/
# with KVVLX_SANITIZE=1); further arguments go to `cmake --build` (for example --target kvvlx).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

sanitize=OFF
default_dir="$root/build"
if [ "${KVVLX_SANITIZE:-0}" = 1 ]; then
  sanitize=ON
  default_dir="$root/build-asan"
fi
dir=${BUILD_DIR:-$default_dir}

if [ ! -f "$dir/CMakeCache.txt" ] || ! grep -q "^KVVLX_SANITIZE:BOOL=$sanitize\$" "$dir/CMakeCache.txt"; then
  cmake -S "$root" -B "$dir" -DKVVLX_SANITIZE=$sanitize -DKVVLX_BUILD_BENCH=${KVVLX_BUILD_BENCH:-ON} >/dev/null
fi
cmake --build "$dir" -j "${JOBS:-$(nproc)}" "$@"
