#!/bin/bash
# Tries the Windows build of scripts/build-windows.sh under Wine:
#  - tolmar-cli.exe devices --simulate, record --simulate --count 5 into a
#    CSV file, and convert round trips through the packet (.xml), CSV and
#    the exported text (.txt): packet -> CSV -> packet gives the packet
#    back, and each conversion gives the bytes of the Linux tolmar-cli's
#    conversion of the same file (where build/ has one);
#  - tolmar.exe --simulate under Wine and Xvfb (openbox draws the title
#    bar): clicks "USB Connection", waits 20 s and takes a screenshot
#    (build-windows/check/window.png); passes when the reading grid filled.
# The last line says what passed.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
DIST=$ROOT/build-windows/dist/bin
OUT=$ROOT/build-windows/check
export WINEPREFIX=${WINEPREFIX:-$ROOT/.cache/windows/wine} WINEDEBUG=${WINEDEBUG:--all}
WINE=/usr/lib/wine/wine64
passed=() failed=()
ok() { passed+=("$1"); echo "check-windows: passed: $1"; }
bad() { failed+=("$1"); echo "check-windows: FAILED: $1 ${2:-}" >&2; }

[ -x "$DIST/tolmar.exe" ] || { echo "check-windows: run scripts/build-windows.sh first" >&2; exit 1; }
for p in xvfb xdotool openbox imagemagick; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="${missing:-} $p"
done
if [ -n "${missing:-}" ]; then
    apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi
rm -rf "$OUT" && mkdir -p "$OUT"
cli() { (cd "$OUT" && "$WINE" "$DIST/tolmar-cli.exe" "$@"); }
"$WINE" wineboot --init >/dev/null 2>&1

# The CLI.
if cli devices --simulate > "$OUT/devices.txt" 2>&1 && grep -q "USB to Serial" "$OUT/devices.txt"; then
    ok "devices --simulate"
else
    bad "devices --simulate" "$(cat "$OUT/devices.txt")"
fi
if cli record --simulate --count 5 --out x.csv > "$OUT/record.txt" 2>&1 \
        && [ "$(wc -l < "$OUT/x.csv")" -eq 6 ]; then
    ok "record --simulate --count 5 --out x.csv (5 records)"
else
    bad "record --simulate --count 5" "$(cat "$OUT/record.txt")"
fi
roundtrip_ok=1
steps=("x.csv x.xml" "x.xml x2.csv" "x2.csv x2.xml" "x.xml x.txt" "x.txt x3.xml")
for pair in "${steps[@]}"; do
    set -- $pair
    cli convert "$1" "$2" || { roundtrip_ok=0; echo "check-windows: convert $1 $2 failed" >&2; }
done
# Packet -> CSV -> packet keeps every byte (the packet keeps no dates, so the
# recorded CSV itself does not come back whole).
cmp -s "$OUT/x.xml" "$OUT/x2.xml" || { roundtrip_ok=0; echo "check-windows: x.xml -> x2.csv -> x2.xml differs" >&2; }
# Each conversion gives the Linux tolmar-cli's bytes.
if [ -x build/cli/tolmar-cli ]; then
    for pair in "${steps[@]}"; do
        set -- $pair
        (cd "$OUT" && "$ROOT/build/cli/tolmar-cli" convert "$1" "linux-$2") || roundtrip_ok=0
        cmp -s "$OUT/$2" "$OUT/linux-$2" || { roundtrip_ok=0; echo "check-windows: $1 -> $2 differs from Linux" >&2; }
    done
fi
[ $roundtrip_ok = 1 ] && ok "convert round trips (csv -> xml -> csv -> xml, xml -> txt -> xml), as on Linux" \
    || bad "convert round trips"

# The window.
DISPLAY_NUMBER=:47
Xvfb $DISPLAY_NUMBER -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
trap 'kill $XVFB 2>/dev/null; [ -n "${WM:-}" ] && kill $WM 2>/dev/null; [ -n "${APP:-}" ] && kill $APP 2>/dev/null; "$WINE"server -k 2>/dev/null' EXIT
sleep 2
export DISPLAY=$DISPLAY_NUMBER
openbox >/dev/null 2>&1 &
WM=$!
# The window of the run before was killed: its session journal would be
# offered for restore first. This prefix is the check's own.
rm -f "$WINEPREFIX"/drive_c/users/*/AppData/Local/Tolmar/*.journal
(cd "$OUT" && exec "$WINE" "$DIST/tolmar.exe" --simulate) > "$OUT/window-log.txt" 2>&1 &
APP=$!
window=""
for _ in $(seq 60); do
    window=$(xdotool search --onlyvisible --name "Tolmar Interface Program" 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 1
done
if [ -z "$window" ]; then
    bad "tolmar.exe --simulate opens its window" "$(tail -5 "$OUT/window-log.txt")"
else
    ok "tolmar.exe --simulate opens its window"
    xdotool windowactivate --sync "$window" 2>/dev/null; sleep 2
    import -window root "$OUT/before.png"
    # "USB Connection": 27,6 150x22 in the panel under the menu bar.
    menu=${TOLMAR_MENU_HEIGHT:-20}
    xdotool mousemove --window "$window" $((27 + 75)) $((menu + 6 + 11)) click 1
    sleep 20
    import -window root "$OUT/window.png"
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # The grid: 11,216 334x321 in the panel; filled rows make it differ.
    grid="300x150+$((X + 20))+$((Y + menu + 240))"
    changed=$(compare -metric AE -crop "$grid" "$OUT/before.png" "$OUT/window.png" null: 2>&1 | cut -d' ' -f1)
    if [ "${changed:-0}" -gt 500 ] 2>/dev/null; then
        ok "USB Connection clicked: readings in the grid after 20 s (build-windows/check/window.png)"
    else
        bad "readings in the grid after 20 s" "(${changed:-?} pixels changed; see $OUT/window.png)"
    fi
fi

echo "check-windows: ${#passed[@]} passed, ${#failed[@]} failed${failed:+: ${failed[*]}}"
[ ${#failed[@]} -eq 0 ]
