#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the benchmark programs in Release and runs every one of them; each prints its Google
# Benchmark report followed by its ratio lines. Usage: scripts/bench.sh [benchmark options...]
# The build directory is build-bench in the checkout unless BUILD_DIR says otherwise.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench}"
"$root/scripts/install-deps.sh" bench

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKVVLX_BUILD_BENCH=ON -DKVVLX_BUILD_TESTS=OFF \
  -DKVVLX_SANITIZE=OFF >/dev/null
cmake --build "$build" --target kvvlx_benchmarks -j"$(nproc)" >/dev/null

status=0
for program in "$build"/bench/bin/*; do
  [ -x "$program" ] || continue
  echo "== $(basename "$program")"
  "$program" "$@" || status=1
done
exit $status
