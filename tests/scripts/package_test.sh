#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package made from this build folder: its control fields, its
# file list, stripped programs and a dependency for every library they link
# (scripts/package --check-only). Packing installs the built programs and
# builds nothing. Arguments: the source folder, the build folder and cpack.
# Exit 77: skipped.
set -euo pipefail
src=$1
build=$2
cpack=$3
for tool in dpkg-deb dpkg-shlibdeps readelf; do
  command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  exit 1
fi
bash "$src/scripts/package" --check-only "$(ls "$tmp"/zorvan_*.deb)"
