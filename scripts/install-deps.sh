#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that a task needs: install-deps.sh [TASK...], TASK one of
#   run          building and starting the programs (the default)
#   test         the whole suite: run, bench, the package check and the Windows-layer compile test
#   bench        the Google Benchmark programs
#   screenshots  pictures of the windows on a virtual X display
#   icons        rendering the SVG drawings under resources/src
# Runs apt-get only when something is missing, so a second run costs a dpkg query and nothing more.
set -euo pipefail

run=(cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev
  libqcustomplot-dev libfftw3-dev libusb-1.0-0-dev libgl-dev)
bench=(libbenchmark-dev)
# cpack's dependency lookup, and the validators, lintian and man the package check runs
package=(dpkg-dev desktop-file-utils appstream man-db lintian)
# the SigMF metadata check against the published schema
schema=(python3-jsonschema)
cross=(g++-mingw-w64-x86-64)
screenshots=(xvfb xauth x11-apps imagemagick)
icons=(librsvg2-bin)

[ $# -eq 0 ] && set -- run
packages=()
for task in "$@"; do
  case "$task" in
  run) packages+=("${run[@]}") ;;
  test) packages+=("${run[@]}" "${bench[@]}" "${package[@]}" "${cross[@]}" "${schema[@]}") ;;
  bench) packages+=("${run[@]}" "${bench[@]}") ;;
  screenshots) packages+=("${run[@]}" "${screenshots[@]}") ;;
  icons) packages+=("${icons[@]}") ;;
  *) echo "install-deps.sh: unknown task '$task' (run, test, bench, screenshots, icons)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "Installing: ${missing[*]}" >&2
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
