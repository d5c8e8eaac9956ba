#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and starts the application with virtual kits attached.
# Arguments replace the default --simulate (e.g. --simulate=2).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" run
KVVLX_BUILD_BENCH=OFF "$root/scripts/build.sh" --target kvvlx
dir=${BUILD_DIR:-$root/build}
[ $# -eq 0 ] && set -- --simulate
exec "$dir/app/kvvlx" "$@"
