#!/usr/bin/env bash
# Builds the release program and the integrated edition, dist/QingHeJingTu-<version>-win64.zip
# (the program with ExifTool beside it). Prints the zip's path as its last line.
set -euo pipefail
here=$(dirname "$0")
"$here/deps.sh"
source "$here/env.sh"
version=$(tr -d ' \r\n' <"$QH_ROOT/VERSION")
name=QingHeJingTu-$version-win64.zip
# Configured as build.sh configures it, so the two share build/win.
exiftool_dir=$("$QH_ROOT/scripts/exiftool-package.sh" | tail -n1)
cmake -S "$QH_ROOT" -B "$QH_BUILD/win" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$QH_ROOT/cmake/mingw-w64-x86_64.cmake" \
      -DQH_EXIFTOOL_PACKAGE_DIR="$exiftool_dir" >/dev/null
cmake --build "$QH_BUILD/win" --target release_zip -j"$(nproc)"
mkdir -p "$QH_ROOT/dist"
cp -f "$QH_BUILD/win/dist/$name" "$QH_ROOT/dist/$name"
echo "$QH_ROOT/dist/$name"
