#!/usr/bin/env bash
# Installs with apt-get whatever of the build and test tools is missing (Debian 12).
set -euo pipefail
need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for pkg in cmake make g++ googletest libgtest-dev g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
           wine64 xvfb x11-utils xdotool fonts-wqy-microhei libimage-exiftool-perl imagemagick locales python3; do
  have "$pkg" || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
