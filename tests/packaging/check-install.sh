#!/bin/sh
# Installs a build into a scratch root as the package does (prefix /usr) and
# checks what lands there: every file in its place, the desktop entry and the
# AppStream data valid and pointing at each other, the icon in each size its
# folder names, the manual pages readable, the user guide with its pictures.
#   check-install.sh BUILD_DIR
# Needs desktop-file-validate, appstreamcli and file (scripts/install-deps.sh).
set -eu
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failures=0
fail() { echo "check-install: $*" >&2; failures=$((failures + 1)); }

DESTDIR="$root" cmake --install "$build" --prefix /usr >"$root.log" 2>&1 || {
    cat "$root.log" >&2; rm -f "$root.log"; exit 1
}
rm -f "$root.log"
usr="$root/usr"
id=org.tolmar.Tolmar

for f in bin/tolmar bin/tolmar-cli; do
    [ -x "$usr/$f" ] || fail "$f is missing or not executable"
done
for f in lib/udev/rules.d/70-tolmar.rules \
         share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg \
         share/man/man1/tolmar.1.gz share/man/man1/tolmar-cli.1.gz \
         share/doc/tolmar/copyright share/doc/tolmar/changelog.gz \
         share/doc/tolmar/guide/index.html share/doc/tolmar/guide/guide.css; do
    [ -f "$usr/$f" ] || fail "$f is missing"
done
# The guide as installed: every picture it shows is installed beside it.
sh "$(dirname "$0")/check-guide.sh" "$usr/share/doc/tolmar/guide" >/dev/null || fail "the installed guide is incomplete"
# Nothing may go to /etc (the administrator's) or outside /usr.
for top in "$root"/*; do
    [ "$top" = "$usr" ] || fail "installs outside /usr: ${top#"$root"}"
done

for size in 16 22 24 32 48 64 128 256; do
    png="$usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
    if [ ! -f "$png" ]; then
        fail "no ${size}x${size} icon"
    elif ! file "$png" | grep -q "PNG image data, $size x $size, 8-bit/color RGBA"; then
        fail "${size}x${size}/apps/$id.png is $(file -b "$png")"
    fi
done

desktop="$usr/share/applications/$id.desktop"
if [ -f "$desktop" ]; then
    # Hints count too: it must have nothing to say.
    if ! out=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$out" ]; then
        fail "desktop-file-validate: $out"
    fi
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    [ -x "$usr/bin/$exec_name" ] || fail "the desktop entry starts $exec_name, which is not installed"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [ "$icon" = "$id" ] || fail "the desktop entry's icon is $icon, not $id"
fi
metainfo="$usr/share/metainfo/$id.metainfo.xml"
if [ -f "$metainfo" ]; then
    out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "the AppStream data does not launch $id.desktop"
    grep -q "<id>$id</id>" "$metainfo" || fail "the AppStream id is not $id"
fi

for page in tolmar tolmar-cli; do
    gz="$usr/share/man/man1/$page.1.gz"
    [ -f "$gz" ] || continue
    gzip -t "$gz" || fail "$page.1.gz is not a valid gzip file"
    gzip -dc "$gz" | sed 's/\\-/-/g' | grep -q "^\.TH \"\{0,1\}$(echo "$page" | tr a-z A-Z)\"\{0,1\} 1 " ||
        fail "$page.1.gz has no .TH line for section 1"
done

if [ "$failures" -ne 0 ]; then
    echo "check-install: $failures problem(s)" >&2
    exit 1
fi
echo "check-install: all files in place and valid"
