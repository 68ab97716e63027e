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

# The prefix has no Windows ExifTool: install the bridge to the system's exiftool
# (tools/exiftool-bridge) as ExifTool.exe in system32, on every run so a rebuilt bridge is picked
# up. The program accepts a tool of at least 4.5 MiB only; the loader ignores bytes after the last
# PE section, so the copy is padded to at least 5 MiB ('>' never shortens it).
bridge=$QH_BUILD/win/tools/exiftool-bridge/ExifTool.exe
tool=$WINEPREFIX/drive_c/windows/system32/ExifTool.exe
if [ ! -f "$bridge" ]; then
  echo "missing $bridge: run scripts/build.sh first" >&2
  exit 1
fi
cp "$bridge" "$tool.new"
truncate -s '>5M' "$tool.new"
mv -f "$tool.new" "$tool"
