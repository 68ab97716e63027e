#!/usr/bin/env bash
# Packs the integrated edition: package.sh EXE VERSION OUT.zip. The zip holds the program, the
# pinned Windows ExifTool in exiftool\ (with its licences), the project's LICENSE and the Chinese
# read-me. Every name in it is ASCII (Windows 7's extractor ignores the UTF-8 name flag); the text
# files we add use CR LF, the read-me is UTF-8 with a BOM. Called by the CMake build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$1 version=$2 out=$3
lock_version=$(sed -n 's/^version=//p' "$root/tools/exiftool/package.lock")
# ExifTool's own version is the package's first two parts (13.64.0 holds ExifTool 13.64).
exiftool_version=$(echo "$lock_version" | cut -d. -f1,2)
tool=$("$root/scripts/exiftool-package.sh" | tail -n1)

mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
stage=$(mktemp -d "$out.stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT
crlf() { sed 's/\r*$/\r/'; }

cp "$exe" "$stage/QingHeJingTu.exe"
{ printf '\xef\xbb\xbf'
  sed -e "s/@VERSION@/$version/g" -e "s/@EXIFTOOL_VERSION@/$exiftool_version/g" "$root/release/README.txt" | crlf
} >"$stage/README.txt"
crlf <"$root/LICENSE" >"$stage/LICENSE.txt"
mkdir "$stage/exiftool"
cp "$tool/exiftool.exe" "$stage/exiftool/ExifTool.exe"
cp -r "$tool/exiftool_files" "$stage/exiftool/"
crlf <"$tool/../LICENSE" >"$stage/exiftool/LICENSE.txt"

if grep -q '@[A-Z_]*@' "$stage/README.txt"; then
  echo "package.sh: a placeholder is left in README.txt" >&2; exit 1
fi
bad=$(cd "$stage" && find . | LC_ALL=C grep -P '[^\x20-\x7e]' || true)
if [ -n "$bad" ]; then
  echo "package.sh: names outside ASCII: $bad" >&2; exit 1
fi
rm -f "$out.new"
(cd "$stage" && zip -q -X -r -9 "$out.new" QingHeJingTu.exe README.txt LICENSE.txt exiftool)
mv -f "$out.new" "$out"
