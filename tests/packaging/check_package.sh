#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the build folder given, checks what it holds and what it
# depends on, runs lintian on it, validates its desktop entry, metainfo and manual pages, and runs
# the packaged programs' --help and --version from an unpacked copy.
# Usage: check_package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack -G DEB"; }
deb=$(ls "$work"/out/kvvlx_"$version"-[0-9]*_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no kvvlx_${version}-<revision>_*.deb made"

dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/contents"
for path in /usr/bin/kvvlx /usr/bin/kvvlx-cli /usr/bin/kvvlx-sim \
  /usr/lib/udev/rules.d/70-kvvlx.rules \
  /usr/share/applications/io.github.kvvlx.kvvlx.desktop \
  /usr/share/metainfo/io.github.kvvlx.kvvlx.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/kvvlx.svg \
  /usr/share/icons/hicolor/48x48/apps/kvvlx.png \
  /usr/share/icons/hicolor/256x256/apps/kvvlx.png \
  /usr/share/man/man1/kvvlx.1.gz /usr/share/man/man1/kvvlx-cli.1.gz \
  /usr/share/man/man1/kvvlx-sim.1.gz /usr/share/doc/kvvlx/copyright \
  /usr/share/doc/kvvlx/changelog.Debian.gz; do
  grep -qx "$path" "$work/contents" || fail "the package lacks $path"
done
# Nothing of the build or the tests leaks in.
if grep -E '\.(a|h)$|/tests?/|bench' "$work/contents"; then fail "build files in the package"; fi

depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6widgets6 libqt6serialport6 libqcustomplot2.1-qt6 libfftw3-double3 libusb-1.0-0 \
  qt6-qpa-plugins; do
  [[ "$depends" == *"$dep"* ]] || fail "Depends lacks $dep: $depends"
done
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)
[[ "$control" == *postinst* ]] || fail "no postinst"

root="$work/root"
dpkg-deb -x "$deb" "$root"
share="$root/usr/share"
# Debian's machine-readable copyright names the licence and points at the common copy.
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$share/doc/kvvlx/copyright" || fail "copyright is not machine-readable"
grep -q '^License: GPL-3+' "$share/doc/kvvlx/copyright" || fail "copyright does not name GPL-3+"
grep -q '/usr/share/common-licenses/GPL-3' "$share/doc/kvvlx/copyright" ||
  fail "copyright does not point at /usr/share/common-licenses/GPL-3"
deb_version=$(dpkg-deb -f "$deb" Version)
zcat "$share/doc/kvvlx/changelog.Debian.gz" | head -1 | grep -qF "kvvlx ($deb_version)" ||
  fail "changelog.Debian.gz does not start with version $deb_version"
if command -v lintian >/dev/null; then
  # No error and no warning; notes and pedantic remarks are not asked for.
  lintian --fail-on error,warning "$deb" >"$work/lintian" 2>&1 || {
    cat "$work/lintian" >&2
    fail "lintian"
  }
else
  echo "note: lintian not installed; skipped" >&2
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$share/applications/io.github.kvvlx.kvvlx.desktop" ||
    fail "desktop-file-validate"
else
  echo "note: desktop-file-validate not installed; skipped" >&2
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$share/metainfo/io.github.kvvlx.kvvlx.metainfo.xml" ||
    fail "appstreamcli validate"
else
  echo "note: appstreamcli not installed; skipped" >&2
fi
if command -v man >/dev/null; then
  for page in kvvlx kvvlx-cli kvvlx-sim; do
    warnings=$(MANWIDTH=80 man --warnings -l "$share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page: $warnings"
    MANWIDTH=80 man -l "$share/man/man1/$page.1.gz" 2>/dev/null | grep -q "^NAME" ||
      fail "man $page shows no NAME section"
  done
fi

# The packaged programs answer without a display, a kit or a debug flood.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM QT_LOGGING_RULES
for program in kvvlx kvvlx-cli kvvlx-sim; do
  "$root/usr/bin/$program" --help >"$work/help" 2>&1 || fail "$program --help"
  grep -q -- "--version" "$work/help" || fail "$program --help does not list --version"
  out=$("$root/usr/bin/$program" --version 2>&1) || fail "$program --version"
  [ "$out" = "$program $version" ] || fail "$program --version printed '$out'"
done
echo "package $(basename "$deb") checked"
