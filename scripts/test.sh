#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds everything, and runs the whole suite with CTest.
# KVVLX_SANITIZE=1 builds and tests with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" test
"$root/scripts/build.sh"
dir=${BUILD_DIR:-$root/build}
[ "${KVVLX_SANITIZE:-0}" = 1 ] && dir=${BUILD_DIR:-$root/build-asan}
cd "$dir"
exec ctest --output-on-failure -j "${JOBS:-$(nproc)}"
