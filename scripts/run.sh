#!/usr/bin/env bash
# Builds the program and starts it under Wine in the project's prefix. Without a display it
# starts Xvfb, saves a screenshot of the window and prints the file's path.
set -euo pipefail
here=$(dirname "$0")
"$here/deps.sh"
"$here/build.sh" >/dev/null
"$here/prefix.sh" real
source "$here/env.sh"
source "$here/xvfb.sh"
# Drive E: (where the browse dialog starts) is a fresh folder of sample photos on every run, as an
# erase run clears them. Wine reads drive links when its server starts: end a running one first.
qh_wineserver -k 2>/dev/null || true
qh_wineserver -w 2>/dev/null || true
"$here/samples.sh"
qh_map_drive e "$QH_BUILD/sample-photos"
headless=
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  qh_start_xvfb
  trap 'qh_wineserver -k 2>/dev/null; qh_stop_xvfb' EXIT
fi
exe=$QH_BUILD/win/QingHeJingTu.exe
if [ -z "$headless" ]; then
  exec "$here/wine-exec" "$exe"
fi
"$here/wine-exec" "$exe" &
for _ in $(seq 1 300); do
  xdotool search --name '^青禾净图$' >/dev/null 2>&1 && break
  sleep 0.1
done
xdotool search --name '^青禾净图$' >/dev/null 2>&1 || { echo "the window did not appear" >&2; exit 1; }
sleep 0.5  # let the first paint land before the picture is taken
shot=$QH_BUILD/screenshot.png
import -window root "$shot"
echo "Screenshot of the window: $shot"
