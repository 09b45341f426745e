#!/bin/bash
# Runs a command in a fresh Debian root of the given release (debootstrap, minbase: no compiler,
# no Qt), holding a clean clone of the project's committed state at /root/veska, as a new user on
# that release would. Needs root. The bare root and the downloaded packages are kept in
# $VESKA_ROOTS (default /var/cache/veska-roots) for the next run; every run starts from a fresh
# copy of the bare root, so nothing installed by one run is seen by the next.
# usage: scripts/debian-root.sh SUITE 'COMMAND'     (SUITE: bookworm, trixie)
set -eu
suite=$1
cmd=$2
project=$(cd "$(dirname "$0")/.." && pwd)
store=${VESKA_ROOTS:-/var/cache/veska-roots}
base=$store/$suite-base
debs=$store/$suite-debs
work=$store/$suite-run
mirror=${VESKA_MIRROR:-$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null)}
mirror=${mirror:-http://deb.debian.org/debian}

unmount() {
  for m in dev/shm dev sys proc var/cache/apt/archives; do
    ! mountpoint -q "$work/$m" 2>/dev/null || umount -l "$work/$m"
  done
}

mkdir -p "$store" "$debs"
if [ ! -x "$base/bin/bash" ]; then
  command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
  rm -rf "$base.new"
  if ! debootstrap --variant=minbase "$suite" "$base.new" "$mirror" >"$store/$suite-debootstrap.log" 2>&1; then
    tail -n 20 "$store/$suite-debootstrap.log" >&2
    echo "debian-root: debootstrap of $suite from $mirror failed" >&2
    exit 1
  fi
  printf 'deb %s %s main\ndeb %s %s-updates main\n' "$mirror" "$suite" "$mirror" "$suite" >"$base.new/etc/apt/sources.list"
  mv "$base.new" "$base"
fi

unmount
# Never into a mount left behind (the bound /dev above all).
rm -rf --one-file-system "$work"
cp -a "$base" "$work"
git clone -q "$project" "$work/root/veska"
cp /etc/resolv.conf "$work/etc/resolv.conf" 2>/dev/null || true
trap unmount EXIT
mount -t proc proc "$work/proc"
mount -t sysfs -o ro sysfs "$work/sys"
mount --bind /dev "$work/dev"
# World-writable, as on a real machine: the unprivileged sway tests need it.
mount -t tmpfs -o mode=1777 tmpfs "$work/dev/shm"
mkdir -p "$debs/partial"
mount --bind "$debs" "$work/var/cache/apt/archives"
chroot "$work" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  TERM=dumb LANG=C.UTF-8 bash -c "cd /root/veska && $cmd"
