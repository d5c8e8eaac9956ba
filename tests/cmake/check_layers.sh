#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The layer check on a small project of its own: a clean tree configures; an upward include, a
# sideways include between the tabs, an upward link and a POSIX-only header each stop the
# configure step with a "Layers:" message.
set -u
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fails=0

# make_tree NAME: kit <- link <- radar, bt (tabs side by side); extra lines come from stdin.
make_tree() {
  local dir=$work/$1
  mkdir -p "$dir/kit" "$dir/link" "$dir/radar" "$dir/bt"
  echo 'int kitValue();' > "$dir/kit/K.h"
  echo '#include "kit/K.h"
int kitValue() { return 1; }' > "$dir/kit/K.cpp"
  echo '#include "kit/K.h"
int linkValue();' > "$dir/link/L.h"
  echo '#include "link/L.h"
int linkValue() { return kitValue(); }' > "$dir/link/L.cpp"
  echo 'int radarValue();' > "$dir/radar/R.h"
  echo '#include "radar/R.h"
#include "link/L.h"
int radarValue() { return linkValue(); }' > "$dir/radar/R.cpp"
  echo 'int btValue();' > "$dir/bt/B.h"
  echo '#include "bt/B.h"
int btValue() { return 2; }' > "$dir/bt/B.cpp"
  cat > "$dir/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(layers LANGUAGES CXX)
include($root/cmake/Kvvlx.cmake)
include($root/cmake/Layers.cmake)
kvvlx_library(kvvlx_kit)
target_sources(kvvlx_kit PRIVATE kit/K.h kit/K.cpp)
kvvlx_library(kvvlx_link)
target_sources(kvvlx_link PRIVATE link/L.h link/L.cpp)
target_link_libraries(kvvlx_link PUBLIC kvvlx_kit)
kvvlx_library(kvvlx_radar)
target_sources(kvvlx_radar PRIVATE radar/R.h radar/R.cpp)
target_link_libraries(kvvlx_radar PUBLIC kvvlx_link)
kvvlx_library(kvvlx_bt)
target_sources(kvvlx_bt PRIVATE bt/B.h bt/B.cpp)
$(cat)
kvvlx_check_layers()
CMAKE
}

# The trees configure side by side; expect NAME WANT(pass|fail) PATTERN then reads the outcome.
configure() {
  cmake -S "$work/$1" -B "$work/$1/build" >"$work/$1.out" 2>&1
  echo $? >"$work/$1.rc"
}
expect() {
  local out rc
  out=$(cat "$work/$1.out")
  rc=$(cat "$work/$1.rc")
  if [ "$2" = pass ] && [ "$rc" -ne 0 ]; then
    echo "FAIL $1: should configure"; echo "$out"; fails=$((fails + 1))
  elif [ "$2" = fail ] && { [ "$rc" -eq 0 ] || ! grep -q "$3" <<<"$out"; }; then
    echo "FAIL $1: expected a message matching '$3'"; echo "$out"; fails=$((fails + 1))
  else
    echo "ok   $1"
  fi
}

make_tree clean </dev/null

make_tree upward </dev/null
echo '#include "radar/R.h"' >> "$work/upward/link/L.cpp"

make_tree sideways </dev/null
echo '#include "bt/B.h"' >> "$work/sideways/radar/R.cpp"

echo 'target_link_libraries(kvvlx_bt PUBLIC kvvlx_radar)' | make_tree sidelink

make_tree posix </dev/null
echo '#include <termios.h>' >> "$work/posix/radar/R.cpp"

# A *Posix.cpp file is the POSIX build of a piece with a portable twin: allowed its headers.
make_tree posixtwin <<'CM'
target_sources(kvvlx_radar PRIVATE radar/RPosix.cpp)
CM
echo '#include <fcntl.h>' > "$work/posixtwin/radar/RPosix.cpp"

for t in clean upward sideways sidelink posix posixtwin; do configure $t & done
wait
expect clean pass
expect upward fail "Layers: link/L.cpp (kvvlx_link) includes radar/R.h of kvvlx_radar"
expect sideways fail "Layers: radar/R.cpp (kvvlx_radar) includes bt/B.h of kvvlx_bt"
expect sidelink fail "Layers: kvvlx_bt (layer 4) links kvvlx_radar"
expect posix fail "POSIX-only <termios.h>"
expect posixtwin pass

[ $fails -eq 0 ]
