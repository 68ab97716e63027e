#!/usr/bin/env bash
# Installs with apt-get whatever of the build and test tools is missing (Debian 12), then checks
# that every command the scripts call resolves, naming the package of any that does not.
set -euo pipefail
need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for pkg in cmake make g++ googletest libgtest-dev g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
           wine64 xvfb x11-utils xdotool fonts-wqy-microhei libimage-exiftool-perl imagemagick locales python3 \
           xxd zip unzip; do
  have "$pkg" || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# command (or fixed path) | the package that brings it
missing=0
while IFS='|' read -r cmd pkg; do
  if [[ $cmd == /* ]]; then [ -x "$cmd" ] && continue; else command -v "$cmd" >/dev/null 2>&1 && continue; fi
  echo "deps.sh: the command '$cmd' is missing (package: $pkg)" >&2
  missing=1
done <<'LIST'
cmake|cmake
ctest|cmake
make|make
g++|g++
x86_64-w64-mingw32-g++-posix|g++-mingw-w64-x86-64-posix
x86_64-w64-mingw32-gcc-posix|gcc-mingw-w64-x86-64-posix
x86_64-w64-mingw32-windres|binutils-mingw-w64-x86-64
x86_64-w64-mingw32-objdump|binutils-mingw-w64-x86-64
/usr/lib/wine/wine64|wine64
/usr/lib/wine/wineserver|wine64
Xvfb|xvfb
xdotool|xdotool
xwininfo|x11-utils
exiftool|libimage-exiftool-perl
/usr/bin/perl|perl
convert|imagemagick
import|imagemagick
localedef|locales
locale|libc-bin
python3|python3
npm|npm
tar|tar
sha512sum|coreutils
xxd|xxd
base64|coreutils
zip|zip
unzip|unzip
truncate|coreutils
LIST
[ -d /usr/src/googletest ] || { echo "deps.sh: /usr/src/googletest is missing (package: googletest)" >&2; missing=1; }
exit $missing
