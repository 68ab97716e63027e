#!/usr/bin/env bash
# Prepares the project's Wine prefix inside the build folder: Chinese locale and fonts.
# Idempotent; the first run takes a few seconds.
set -euo pipefail
source "$(dirname "$0")/env.sh"
if [ -n "${LOCPATH:-}" ] && [ ! -d "$LOCPATH/zh_CN.UTF-8" ]; then
  mkdir -p "$LOCPATH"
  localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8" 2>/dev/null || localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8" || true
fi
stamp=$WINEPREFIX/.qh-ready
if [ ! -f "$stamp" ]; then
  mkdir -p "$WINEPREFIX"
  qh_wine wineboot -i >/dev/null 2>&1 || true
  qh_wineserver -w
  # The first start under the final locale rewrites some font substitutes: apply ours after it.
  qh_wine regedit "$QH_ROOT/scripts/fonts.reg" >/dev/null 2>&1
  qh_wineserver -w
  touch "$stamp"
fi

# System32\ExifTool.exe of the prefix, installed on every run:
# - "real" (run.sh, the benchmark): the pinned Windows ExifTool exactly as users install it, the
#   launcher as ExifTool.exe with its exiftool_files folder beside it;
# - "bridge" (the tests; the default): tools/exiftool-bridge, which runs the system's exiftool and
#   is quick to start. The program accepts a tool of at least 4.5 MiB or the launcher with its
#   Perl beside it; the loader ignores bytes after the last PE section, so the bridge is padded
#   to 5 MiB ('>' never shortens it). Tests that need the real tool install it for themselves.
mode=${1:-bridge}
system32=$WINEPREFIX/drive_c/windows/system32
tool=$system32/ExifTool.exe
case $mode in
  bridge)
    bridge=$QH_BUILD/win/tools/exiftool-bridge/ExifTool.exe
    if [ ! -f "$bridge" ]; then
      echo "missing $bridge: run scripts/build.sh first" >&2
      exit 1
    fi
    rm -rf "$system32/exiftool_files"
    cp "$bridge" "$tool.new"
    truncate -s '>5M' "$tool.new"
    mv -f "$tool.new" "$tool"
    ;;
  real)
    package=$("$QH_ROOT/scripts/exiftool-package.sh" | tail -n1)
    rm -rf "$system32/exiftool_files" "$system32/exiftool_files.new"
    cp -r "$package/exiftool_files" "$system32/exiftool_files.new"
    mv "$system32/exiftool_files.new" "$system32/exiftool_files"
    cp "$package/exiftool.exe" "$tool.new"
    mv -f "$tool.new" "$tool"
    ;;
  *)
    echo "usage: prefix.sh [bridge|real]" >&2
    exit 2
    ;;
esac
