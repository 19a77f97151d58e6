#!/usr/bin/env bash
# Tries the README's two commands the way a new user meets them: in a minimal Debian 12 root
# (debootstrap --variant=minbase), as root, on a fresh clone of this checkout's committed HEAD:
# first `scripts/run.sh --smoke` and `scripts/run.sh --web --smoke`, then `scripts/test.sh`. Exits 0
# when all exit 0; otherwise prints the tail of the log. Not part of CI (it takes about half an hour); run it whenever the
# install steps change. Needs root, debootstrap (installed when missing) and unshare.
#
# The root is built once and cached as a tarball; the Debian mirror is the one this machine's apt
# uses, and its apt and npm proxy settings are copied in.
#
# Environment: FRESH_CACHE (default /var/cache/zelvo-fresh) holds the tarball, FRESH_WORK
# (default /var/tmp/zelvo-fresh) the unpacked root and the log; FRESH_KEEP=1 keeps the root.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
cache=${FRESH_CACHE:-/var/cache/zelvo-fresh}
work=${FRESH_WORK:-/var/tmp/zelvo-fresh}
tarball="$cache/debian12-minbase.tar.gz"
root="$work/root"
log="$work/fresh-check.log"

[ "$(id -u)" = 0 ] || { echo "fresh-check: run as root" >&2; exit 2; }
if ! command -v debootstrap >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
fi

# The mirrors this machine's apt uses for bookworm and for its security updates: the first URI
# of a source that names that suite, from one-line and deb822 source files alike.
mirror_for() {  # suite
  local suite=$1
  {
    cat /etc/apt/sources.list 2>/dev/null | awk -v s="$suite" \
      '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { if ($(i+1) == s) print $i; break } }'
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -e "$f" ] || continue
      awk -v s="$suite" 'BEGIN { RS = ""; FS = "\n" }
        { uri = ""; ok = 0
          for (i = 1; i <= NF; i++) {
            if ($i ~ /^URIs:/) { split($i, a, /[ \t]+/); uri = a[2] }
            if ($i ~ /^Suites:/) { n = split($i, b, /[ \t]+/); for (j = 2; j <= n; j++) if (b[j] == s) ok = 1 }
          }
          if (ok && uri != "") print uri }' "$f"
    done
  } | head -n 1
}
mirror=$(mirror_for bookworm)
security=$(mirror_for bookworm-security)
[ -n "$mirror" ] || { echo "fresh-check: this machine's apt names no bookworm mirror" >&2; exit 1; }

mkdir -p "$cache" "$work"
if [ ! -f "$tarball" ]; then
  echo "fresh-check: building a minimal Debian 12 root (debootstrap, once)"
  rm -rf "$work/build-root"
  debootstrap --variant=minbase bookworm "$work/build-root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -30 "$work/debootstrap.log"; exit 1; }
  tar -C "$work/build-root" -czf "$tarball.part" . && mv "$tarball.part" "$tarball"
  rm -rf "$work/build-root"
fi

echo "fresh-check: unpacking the root into $root"
rm -rf "$root"
mkdir -p "$root"
tar -C "$root" -xzf "$tarball"

# apt's sources, proxy settings and the name service of this machine.
{
  echo "deb $mirror bookworm main"
  echo "deb $mirror bookworm-updates main"
  [ -n "$security" ] && echo "deb $security bookworm-security main"
} >"$root/etc/apt/sources.list"
rm -f "$root"/etc/apt/sources.list.d/*
for conf in /etc/apt/apt.conf.d/*; do
  [ -f "$conf" ] && grep -qi 'proxy' "$conf" && cp "$conf" "$root/etc/apt/apt.conf.d/"
done
[ -f /etc/apt/apt.conf ] && cp /etc/apt/apt.conf "$root/etc/apt/"
[ -f "$HOME/.npmrc" ] && mkdir -p "$root/root" && cp "$HOME/.npmrc" "$root/root/.npmrc"
[ -f /etc/npmrc ] && cp /etc/npmrc "$root/etc/npmrc"
cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
# The certificate authorities this machine adds for its proxy: Debian's ca-certificates, once the
# project's scripts install it, takes them into the bundle that apt, npm and curl trust.
if ls /usr/local/share/ca-certificates/*.crt >/dev/null 2>&1; then
  mkdir -p "$root/usr/local/share/ca-certificates"
  cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
fi
proxies=()
for v in http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY; do
  [ -n "${!v:-}" ] && proxies+=("$v=${!v}")
done

# A clone of what is committed here, as a user would clone it.
git clone -q "$repo" "$root/root/zelvo"

echo "fresh-check: running the README's two commands in the fresh root (log: $log)"
inner='cd /root/zelvo && echo "== scripts/run.sh --smoke" && scripts/run.sh --smoke &&
  echo "== scripts/run.sh --web --smoke" && scripts/run.sh --web --smoke &&
  echo "== scripts/test.sh" && scripts/test.sh'
set +e
# A private mount namespace: /proc, /sys, /dev and its pts and shm (Wine needs them) are mounted
# for the root alone and vanish with it.
unshare --mount --propagation private bash -c '
  set -e
  root=$1; shift
  mount -t proc proc "$root/proc"
  mount -t sysfs sys "$root/sys"
  mount --rbind /dev "$root/dev"
  mountpoint -q "$root/dev/pts" || mount --bind /dev/pts "$root/dev/pts"
  mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
  exec chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
' fresh "$root" "${proxies[@]}" bash -c "$inner" >"$log" 2>&1
rc=$?
set -e

if [ "$rc" = 0 ]; then
  echo "fresh-check: passed (both commands exited 0 in a fresh Debian 12 root)"
  tail -5 "$log"
else
  echo "fresh-check: FAILED (exit $rc); the last lines of $log:"
  tail -60 "$log"
fi
[ "${FRESH_KEEP:-0}" = 1 ] || rm -rf "$root"
exit "$rc"
