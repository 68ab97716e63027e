#!/usr/bin/env bash
# Installs with apt-get (Debian 12 or 13) the package of every command the scripts call that does
# not resolve, then checks that every one of them resolves, naming the package of any that does not.
# A command that is already there, from whatever package, gets nothing installed: Debian's npm
# beside a Node installed from elsewhere would conflict with it.
set -euo pipefail

# command, fixed path or folder | the Debian package that brings it
list=$(cat <<'LIST'
cmake|cmake
ctest|cmake
make|make
g++|g++
/usr/include/gtest/gtest.h|libgtest-dev
/usr/src/googletest|googletest
x86_64-w64-mingw32-g++-posix|g++-mingw-w64-x86-64-posix
x86_64-w64-mingw32-gcc-posix|gcc-mingw-w64-x86-64-posix
x86_64-w64-mingw32-windres|binutils-mingw-w64-x86-64
x86_64-w64-mingw32-objdump|binutils-mingw-w64-x86-64
/usr/lib/wine/wine64|wine64
/usr/lib/wine/wineserver|wine64
Xvfb|xvfb
xdotool|xdotool
xwininfo|x11-utils
/usr/share/fonts/truetype/wqy/wqy-microhei.ttc|fonts-wqy-microhei
exiftool|libimage-exiftool-perl
/usr/bin/perl|perl
convert|imagemagick
import|imagemagick
localedef|libc-bin
locale|libc-bin
/usr/share/i18n/charmaps/UTF-8.gz|locales
/usr/share/i18n/locales/zh_CN|locales
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
)
resolves() {
  if [[ $1 == /* ]]; then [ -e "$1" ]; else command -v "$1" >/dev/null 2>&1; fi
}

need=()
while IFS='|' read -r what pkg; do
  resolves "$what" && continue
  [[ " ${need[*]} " == *" $pkg "* ]] || need+=("$pkg")
done <<<"$list"
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

missing=0
while IFS='|' read -r what pkg; do
  resolves "$what" && continue
  echo "deps.sh: '$what' is missing (package: $pkg)" >&2
  missing=1
done <<<"$list"
exit $missing
