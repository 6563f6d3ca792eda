#!/bin/sh
# Tries the README's two commands on a fresh Debian 12, as a new user would:
# a minimal system made with debootstrap, a clean clone of the current commit
# copied into it, then inside it (chroot, /proc, /dev and /sys bound)
#   ./scripts/test.sh                must pass, and
#   timeout 60 ./scripts/run.sh      must still be running, with the program
#                                    up, when the timeout ends.
# The last line says how it went:
#   fresh machine: test passed, program started
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

if [ "$(id -u)" -ne 0 ]; then
    verdict "not run: needs root (debootstrap and chroot)"
    exit 2
fi

unmount_all() {
    # Deepest first; a leftover mount would make the clean-up below reach
    # into the host's /dev, /proc or /sys.
    for m in $(awk -v r="$root" 'index($2, r) == 1 { print $2 }' /proc/mounts | sort -r); do
        umount -l "$m" 2>/dev/null || true
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

say "unpacking a new copy of the system"
unmount_all
rm -rf --one-file-system "$root"
mkdir -p "$root"
tar -C "$root" -xf "$base"

say "copying a clean clone of $(git rev-parse --short HEAD)"
rm -rf "$cache/clone"
git clone --quiet --no-hardlinks "$repo" "$cache/clone"
git -C "$cache/clone" checkout --quiet --detach "$(git rev-parse HEAD)"
mkdir -p "$root/root/tolmar"
cp -a "$cache/clone/." "$root/root/tolmar/"
rm -rf "$cache/clone"

cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"
mount --rbind /sys "$root/sys"
mount --make-rslave "$root/sys"
mount --bind "$cache/apt-archives" "$root/var/cache/apt/archives"

in_system() {
    chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        TERM=dumb LANG=C.UTF-8 /bin/sh -c "cd /root/tolmar && $1"
}

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
verdict "test passed, program started"
