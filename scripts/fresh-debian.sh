#!/usr/bin/env bash
# Repeats a new user's first steps on a fresh Debian 12 (bookworm) or 13 (trixie): makes a minbase
# chroot of it with only git and ca-certificates added, clones this checkout's committed HEAD into
# it, runs ./scripts/test.sh and then ./scripts/run.sh there with a minimal environment, and prints
# their outcome and times. Needs root, the network and about 15 minutes on 2 cores.
#
#   sudo ./scripts/fresh-debian.sh bookworm|trixie
#
# The chroot is made afresh in build/fresh-<suite> (FRESH_DEBIAN_DIR overrides the parent folder)
# and is left there, unmounted, to look into (test logs, screenshot); the next run replaces it.
set -euo pipefail
suite=${1:-}
case $suite in
  bookworm | trixie) ;;
  *) echo "usage: fresh-debian.sh bookworm|trixie" >&2; exit 2 ;;
esac
[ "$(id -u)" -eq 0 ] || { echo "fresh-debian.sh: needs root (debootstrap, chroot, mount)" >&2; exit 1; }
repo=$(cd "$(dirname "$0")/.." && pwd)
parent=${FRESH_DEBIAN_DIR:-$repo/build}
root=$parent/fresh-$suite
log=$parent/fresh-$suite.log

command -v debootstrap >/dev/null || {
  echo "Installing debootstrap"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
}

# The mirrors this machine's apt uses (deb.debian.org otherwise).
sources() { cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null || true; }
uri_of() {
  sources | grep -oE 'https?://[^ ]+' | grep -E "$1" | head -n1
}
mirror=$(uri_of '/debian/?$' || true)
mirror=${mirror:-http://deb.debian.org/debian}
security=$(uri_of '/debian-security/?$' || true)
security=${security:-http://deb.debian.org/debian-security}

unmount_all() {
  # Processes left inside (a Wine server, an Xvfb of an interrupted run) keep the mounts busy.
  local pid dir
  for pid in /proc/[0-9]*; do
    [ "$(readlink "$pid/root" 2>/dev/null)" = "$root" ] && kill -9 "${pid#/proc/}" 2>/dev/null || true
  done
  for dir in dev sys proc; do
    mountpoint -q "$root/$dir" && umount -R "$root/$dir" 2>/dev/null || umount -Rl "$root/$dir" 2>/dev/null || true
  done
}

if [ -d "$root" ]; then
  unmount_all
  rm -rf --one-file-system "$root"
fi
mkdir -p "$parent"
: >"$log"
echo "Making a fresh Debian $suite in $root (from $mirror; log: $log)"
start=$(date +%s)
debootstrap --variant=minbase --include=git,ca-certificates "$suite" "$root" "$mirror" >>"$log" 2>&1 || {
  echo "debootstrap failed; see $log" >&2; exit 1; }
echo "  debootstrap: $(($(date +%s) - start)) s"

# A Debian as installed: the suite, its updates and its security archive.
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
deb $security $suite-security main
EOF
cp /etc/resolv.conf "$root/etc/resolv.conf"
# Networks that reach the registries through a proxy with its own CA: the host's extra
# certificates go into the chroot's system store, which apt, git and Debian's Node all use.
if compgen -G "/usr/local/share/ca-certificates/*" >/dev/null; then
  cp -r /usr/local/share/ca-certificates/. "$root/usr/local/share/ca-certificates/"
  chroot "$root" update-ca-certificates >>"$log" 2>&1
  echo "  the host's extra CA certificates copied in"
fi
# The host's apt proxy settings, if any.
for conf in /etc/apt/apt.conf /etc/apt/apt.conf.d/*; do
  [ -f "$conf" ] && grep -qiE '^\s*Acquire::[a-z]+::Proxy' "$conf" && cp "$conf" "$root/etc/apt/apt.conf.d/" || true
done

trap unmount_all EXIT
mount -t proc proc "$root/proc"
mount -t sysfs sys "$root/sys"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"

git clone -q "$repo" "$root/root/qinghe"
head=$(git -C "$root/root/qinghe" log -1 --format='%h %s')
echo "  cloned $head"

# One of the README's commands, as a new user runs it: root, a minimal environment.
run_in_chroot() {
  local name=$1 started rc
  started=$(date +%s)
  set +e
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    /bin/bash -c "cd /root/qinghe && ./scripts/$name" >"$root/root/$name.log" 2>&1
  rc=$?
  set -e
  elapsed=$(($(date +%s) - started))
  printf -v "time_${name%.sh}" '%s' "$elapsed"
  printf -v "rc_${name%.sh}" '%s' "$rc"
}
echo "  ./scripts/test.sh ..."
run_in_chroot test.sh
echo "  ./scripts/run.sh ..."
run_in_chroot run.sh

gcc=$(chroot "$root" g++ -dumpfullversion 2>/dev/null || echo '?')
mingw=$(chroot "$root" x86_64-w64-mingw32-g++-posix -dumpfullversion 2>/dev/null || echo '?')
wine=$(chroot "$root" /usr/lib/wine/wine64 --version 2>/dev/null || echo '?')
echo
echo "==== Debian $suite ($(cat "$root/etc/debian_version")): g++ $gcc, mingw-w64 g++ $mingw, $wine ===="
echo "clone: $head"
echo "./scripts/test.sh: exit $rc_test in $((time_test / 60)) min $((time_test % 60)) s"
grep -E '^(native|wine): |ALL TESTS PASSED|SOME TESTS FAILED|^[0-9]+ passed|FAILED|deps.sh:' "$root/root/test.sh.log" | sed 's/^/  /' || true
echo "./scripts/run.sh: exit $rc_run in $((time_run / 60)) min $((time_run % 60)) s"
tail -n 3 "$root/root/run.sh.log" | sed 's/^/  /'
echo "logs: $root/root/test.sh.log, $root/root/run.sh.log"
[ "$rc_test" -eq 0 ] && [ "$rc_run" -eq 0 ]
