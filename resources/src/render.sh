#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the button pictures and the application icon from our own SVG drawings; the PNGs are
# committed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
rsvg-convert -w 170 -h 170 "$here/bluetooth.svg" -o "$here/../Images/170px-Bluetooth.svg.png"
rsvg-convert -w 512 -h 512 "$here/usb.svg" -o "$here/../Images/usb-512.png"
# The application icon: the SVG is installed as is, and the PNG sizes beside it.
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" "$here/kvvlx.svg" -o "$here/../icons/kvvlx-$size.png"
done
