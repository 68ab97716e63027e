#!/usr/bin/env bash
# Fetches the pinned Windows ExifTool package (tools/exiftool/package.lock) once, checks its
# integrity and unpacks it under build/. Prints the folder that holds exiftool.exe and
# exiftool_files as its last line. Nothing of it is committed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QH_BUILD:-$root/build}
lock=$root/tools/exiftool/package.lock
package=$(sed -n 's/^package=//p' "$lock")
version=$(sed -n 's/^version=//p' "$lock")
integrity=$(sed -n 's/^integrity=//p' "$lock")
cache=$build/cache
tgz=$cache/$package-$version.tgz
dest=$build/exiftool-$version
for cmd in npm tar sha512sum xxd base64; do
  command -v "$cmd" >/dev/null || { echo "exiftool-package.sh: '$cmd' not found" >&2; exit 1; }
done

sri() { echo "sha512-$(sha512sum "$1" | cut -d' ' -f1 | xxd -r -p | base64 -w0)"; }

if [ ! -f "$dest/.complete" ]; then
  mkdir -p "$cache"
  if [ ! -f "$tgz" ] || [ "$(sri "$tgz")" != "$integrity" ]; then
    rm -f "$tgz"
    work=$(mktemp -d "$cache/pack.XXXXXX")
    (cd "$work" && npm pack --silent "$package@$version" >/dev/null)
    mv "$work/$package-$version.tgz" "$tgz"
    rmdir "$work"
  fi
  actual=$(sri "$tgz")
  if [ "$actual" != "$integrity" ]; then
    echo "exiftool-package.sh: $package $version has integrity $actual, expected $integrity" >&2
    rm -f "$tgz"
    exit 1
  fi
  rm -rf "$dest" "$dest.new"
  mkdir -p "$dest.new"
  tar -xzf "$tgz" -C "$dest.new"
  mv "$dest.new/package" "$dest.new/pkg"
  mv "$dest.new" "$dest"
  touch "$dest/.complete"
fi
[ -f "$dest/pkg/bin/exiftool.exe" ] && [ -f "$dest/pkg/bin/exiftool_files/perl.exe" ] || {
  echo "exiftool-package.sh: $dest is incomplete" >&2; exit 1; }
echo "$dest/pkg/bin"
