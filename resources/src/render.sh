#!/usr/bin/env bash
# Renders the two button pictures from our own SVG drawings; the PNGs are committed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
rsvg-convert -w 170 -h 170 "$here/bluetooth.svg" -o "$here/../Images/170px-Bluetooth.svg.png"
rsvg-convert -w 512 -h 512 "$here/usb.svg" -o "$here/../Images/usb-512.png"
