#!/bin/sh
# Tries the README's two commands on a fresh Debian 12, as a new user would:
# a minimal system made with debootstrap, a clean clone of the current commit
# copied into it, then inside it (chroot, /proc, /dev and /sys bound)
#   ./scripts/test.sh                must pass, and
#   timeout 60 ./scripts/run.sh      must still be running, with the program
#                                    up, when the timeout ends.
# Then the Debian package that ./scripts/test.sh made is tried in a second
# fresh copy of the system, one that never saw the build's packages:
#   apt-get install ./tolmar_*.deb, then tolmar --version, tolmar-cli devices
#   --simulate, the window up for 5 s (offscreen, on the simulated meter),
#   man -w tolmar and desktop-file-validate on the installed entry, and
#   apt-get purge tolmar, which must leave none of its files behind.
# With --package DEB only that second part runs, on the given package.
# The last line says how it went:
#   fresh machine: test passed, program started, package installed, ran and removed
# or what failed. Needs root. Not part of CI: it takes about as long as CI.
#
# The debootstrapped base is cached (packed) in .cache/fresh-machine/, which
# git ignores, so only the first run downloads it; every run unpacks a new
# copy, so nothing of an earlier run is left in the system under test. The
# downloaded .deb files are kept there too, which saves downloads but not a
# single install step.
set -eu
cd "$(dirname "$0")/.."
repo=$(pwd)
cache="$repo/.cache/fresh-machine"
base="$cache/bookworm-minbase.tar"
root="$cache/root"
mirror=${TOLMAR_DEBIAN_MIRROR:-http://deb.debian.org/debian}
started=$(date +%s)

say() { echo "check-fresh-machine: $*" >&2; }
verdict() {
    say "took $(( $(date +%s) - started )) s"
    echo "fresh machine: $*"
}

# --package DEB tries only a package already made, in the second system.
package_only=""
if [ "${1:-}" = "--package" ] && [ -f "${2:-}" ]; then
    package_only=$(readlink -f "$2")
elif [ $# -gt 0 ]; then
    echo "usage: scripts/check-fresh-machine.sh [--package TOLMAR.deb]" >&2
    exit 2
fi

if [ "$(id -u)" -ne 0 ]; then
    verdict "not run: needs root (debootstrap and chroot)"
    exit 2
fi

root2="$cache/root-package"

unmount_all() {
    # Deepest first; a leftover mount would make the clean-up below reach
    # into the host's /dev, /proc or /sys.
    for r in "$root" "$root2"; do
        for m in $(awk -v r="$r/" 'index($2 "/", r) == 1 { print $2 }' /proc/mounts | sort -r); do
            umount -l "$m" 2>/dev/null || true
        done
    done
}
cleanup() {
    if [ -n "${runner:-}" ]; then kill "$runner" 2>/dev/null || true; fi
    unmount_all
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$cache/apt-archives"
if [ ! -s "$base" ]; then
    if ! command -v debootstrap >/dev/null 2>&1; then
        say "installing debootstrap on this machine"
        apt-get update >/dev/null
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap >/dev/null
    fi
    say "making a minimal Debian 12 (first run only)"
    rm -rf --one-file-system "$cache/bootstrap"
    if ! debootstrap --variant=minbase bookworm "$cache/bootstrap" "$mirror" >"$cache/debootstrap.log" 2>&1; then
        verdict "debootstrap failed, see $cache/debootstrap.log"
        exit 1
    fi
    tar -C "$cache/bootstrap" -cf "$base.part" . && mv "$base.part" "$base"
    rm -rf --one-file-system "$cache/bootstrap"
fi

# A new copy of the base system at $1, with /proc, /dev, /sys and the
# download cache bound in.
new_system() {
    rm -rf --one-file-system "$1"
    mkdir -p "$1"
    tar -C "$1" -xf "$base"
    cp /etc/resolv.conf "$1/etc/resolv.conf"
    mount -t proc proc "$1/proc"
    mount --rbind /dev "$1/dev"
    mount --make-rslave "$1/dev"
    mount --rbind /sys "$1/sys"
    mount --make-rslave "$1/sys"
    mount --bind "$cache/apt-archives" "$1/var/cache/apt/archives"
}

in_root() {
    chroot "$1" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        TERM=dumb LANG=C.UTF-8 /bin/sh -c "$2"
}
in_system() { in_root "$root" "cd /root/tolmar && $1"; }

if [ -z "$package_only" ]; then
say "unpacking a new copy of the system"
unmount_all
new_system "$root"

say "copying a clean clone of $(git rev-parse --short HEAD)"
rm -rf "$cache/clone"
git clone --quiet --no-hardlinks "$repo" "$cache/clone"
git -C "$cache/clone" checkout --quiet --detach "$(git rev-parse HEAD)"
mkdir -p "$root/root/tolmar"
cp -a "$cache/clone/." "$root/root/tolmar/"
rm -rf "$cache/clone"

say "running ./scripts/test.sh (log: $cache/test.log)"
if ! in_system ./scripts/test.sh >"$cache/test.log" 2>&1; then
    tail -n 30 "$cache/test.log" >&2
    verdict "test failed, see $cache/test.log"
    exit 1
fi

say "running timeout 60 ./scripts/run.sh (log: $cache/run.log)"
in_system "timeout 60 ./scripts/run.sh" >"$cache/run.log" 2>&1 &
runner=$!
# The program counts as started when its process, inside this system, is
# still alive in the last seconds before the timeout.
seen_up=0
while kill -0 "$runner" 2>/dev/null; do
    for pid in $(pgrep -x tolmar 2>/dev/null); do
        if [ "$(readlink "/proc/$pid/root")" = "$root" ]; then
            seen_up=$(( seen_up + 1 ))
        fi
    done
    sleep 1
done
status=0
wait "$runner" || status=$?
runner=""
if [ "$status" -ne 124 ]; then
    tail -n 30 "$cache/run.log" >&2
    verdict "test passed, but the program ended before the timeout (status $status), see $cache/run.log"
    exit 1
fi
if [ "$seen_up" -lt 5 ]; then
    tail -n 30 "$cache/run.log" >&2
    verdict "test passed, but the program was not up for 5 s within 60 s, see $cache/run.log"
    exit 1
fi

deb=$(ls "$root"/root/tolmar/build/package/tolmar_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ]; then
    verdict "test passed, program started, but ./scripts/test.sh made no package"
    exit 1
fi
cp "$deb" "$cache/"
deb="$cache/$(basename "$deb")"
unmount_all
rm -rf --one-file-system "$root"  # the build's system is done with; frees its disk
done_before="test passed, program started, "
else
    deb=$package_only
    done_before=""
fi

say "trying the package in a second fresh system (log: $cache/package.log)"
new_system "$root2"
cp "$deb" "$root2/root/"
# Each step is echoed with its output into the log; the first failure ends
# the check. The window check counts it as up when it is still running after
# 5 s. The last step proves the purge took every file of the package.
if ! in_root "$root2" '
    set -eu
    export DEBIAN_FRONTEND=noninteractive
    step() { echo "\$ $*"; "$@"; }
    cd /root
    step apt-get update -q
    step apt-get install -y -q ./tolmar_*.deb
    dpkg -L tolmar >/tmp/tolmar-files
    step tolmar --version
    step tolmar-cli devices --simulate
    echo "\$ QT_QPA_PLATFORM=offscreen tolmar --simulate (5 s)"
    QT_QPA_PLATFORM=offscreen tolmar --simulate & pid=$!
    sleep 5
    kill -0 $pid
    kill $pid; wait $pid || true
    echo "up after 5 s"
    step apt-get install -y -q --no-install-recommends man-db desktop-file-utils
    step man -w tolmar
    step man -w tolmar-cli
    step desktop-file-validate /usr/share/applications/org.tolmar.Tolmar.desktop
    echo "(desktop-file-validate: no complaints)"
    step apt-get purge -y -q tolmar
    left=0
    while read -r f; do
        if [ -f "$f" ] || [ -L "$f" ]; then echo "left behind: $f"; left=1; fi
    done </tmp/tolmar-files
    [ "$left" -eq 0 ]
    echo "purged: none of the $(wc -l </tmp/tolmar-files) paths of the package is left a file"
' >"$cache/package.log" 2>&1; then
    tail -n 30 "$cache/package.log" >&2
    verdict "${done_before}but the package failed, see $cache/package.log"
    exit 1
fi
verdict "${done_before}package installed, ran and removed"
