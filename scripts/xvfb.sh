# Starts a private Xvfb on a free display and exports DISPLAY; sourced. qh_stop_xvfb ends it.
qh_start_xvfb() {
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 9 -screen 0 1280x800x24 -nolisten tcp 9>"$fdfile" >/dev/null 2>&1 &
  QH_XVFB_PID=$!
  for _ in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
}
qh_stop_xvfb() {
  [ -n "${QH_XVFB_PID:-}" ] && kill "$QH_XVFB_PID" 2>/dev/null || true
}
