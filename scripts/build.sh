#!/usr/bin/env bash
# Builds the native logic with its tests and the Windows program with its Windows tests.
set -euo pipefail
source "$(dirname "$0")/env.sh"
jobs=$(nproc)
cmake -S "$QH_ROOT" -B "$QH_BUILD/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$QH_BUILD/native" -j"$jobs"
exiftool_dir=$("$QH_ROOT/scripts/exiftool-package.sh" | tail -n1)
cmake -S "$QH_ROOT" -B "$QH_BUILD/win" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$QH_ROOT/cmake/mingw-w64-x86_64.cmake" \
      -DQH_EXIFTOOL_PACKAGE_DIR="$exiftool_dir" >/dev/null
cmake --build "$QH_BUILD/win" -j"$jobs"
