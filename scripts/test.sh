#!/usr/bin/env bash
# Builds everything and runs the native and the Wine suites; prints a pass/fail summary and
# exits non-zero on any failure.
set -uo pipefail
here=$(dirname "$0")
"$here/deps.sh" || exit 1
"$here/build.sh" || { echo "BUILD FAILED"; exit 1; }
"$here/prefix.sh" || { echo "WINE PREFIX SET-UP FAILED"; exit 1; }
source "$here/env.sh"
source "$here/xvfb.sh"
qh_wineserver -k 2>/dev/null || true
# E: is the browse dialog's start folder: the tests get a fresh, empty drive of their own.
rm -rf "$QH_BUILD/test-e-drive"
qh_map_drive e "$QH_BUILD/test-e-drive"
qh_start_xvfb
trap 'qh_wineserver -k 2>/dev/null; qh_stop_xvfb' EXIT

status=0
summary=()
run_suite() {
  local name=$1 dir=$2 log
  log=$QH_BUILD/$name-tests.log
  (cd "$dir" && ctest --output-on-failure -j1) >"$log" 2>&1
  local rc=$?
  tail -n 25 "$log"
  local line
  line=$(grep -E '^[0-9]+% tests passed' "$log" | tail -n1)
  summary+=("$name: ${line:-no result (see $log)}")
  [ $rc -eq 0 ] || status=1
}
run_suite native "$QH_BUILD/native"
run_suite wine "$QH_BUILD/win"

passed=0 failed=0
for log in "$QH_BUILD"/native-tests.log "$QH_BUILD"/wine-tests.log; do
  p=$(grep -cE '^\s*[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$log")
  f=$(grep -cE '^\s*[0-9]+/[0-9]+ Test +#[0-9]+: .*(Failed|Timeout|Exception|Not Run)' "$log")
  passed=$((passed + p)) failed=$((failed + f))
done
echo
echo "==== Summary ===="
printf '%s\n' "${summary[@]}"
[ $status -eq 0 ] && echo "ALL TESTS PASSED" || echo "SOME TESTS FAILED"
echo "$passed passed, $failed failed"
exit $status
