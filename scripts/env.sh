# Shared settings of the build and Wine scripts; sourced, not run.
QH_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QH_BUILD=${QH_BUILD:-$QH_ROOT/build}
export WINEPREFIX=${WINEPREFIX_OVERRIDE:-$QH_BUILD/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
# A Simplified Chinese locale makes Wine's ANSI and OEM code pages 936, as on a Chinese Windows.
# It is generated into the build folder when the system lacks it.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  export LOCPATH=$QH_BUILD/locale
fi
# Debian 12's wine64 package keeps its loader and server in /usr/lib/wine only; the /usr/bin
# commands come with the separate wine package, which a fresh machine lacks. Both are called by
# these fixed paths, and the folder goes first on PATH for the tools that look up "wineserver".
QH_WINE_DIR=/usr/lib/wine
QH_WINE_BIN=$QH_WINE_DIR/wine64
QH_WINESERVER_BIN=$QH_WINE_DIR/wineserver
case ":$PATH:" in *":$QH_WINE_DIR:"*) ;; *) export PATH=$QH_WINE_DIR:$PATH ;; esac
# Wine (and the tools it starts) under the Chinese locale; this shell keeps its own.
qh_wine() { LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$QH_WINE_BIN" "$@"; }
qh_wineserver() { LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$QH_WINESERVER_BIN" "$@"; }

# Points a drive letter of the prefix at a Unix folder. Wine reads the links when its server
# starts, so this is done before any Wine process of the scenario runs.
qh_map_drive() {
  local letter=$1 dir=$2
  mkdir -p "$dir" "$WINEPREFIX/dosdevices"
  ln -sfn "$dir" "$WINEPREFIX/dosdevices/$letter:"
}
