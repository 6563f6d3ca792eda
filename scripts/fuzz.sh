#!/bin/sh
# Builds the fuzz targets (fuzz/: the data-file readers, the report stream
# through the main window's core, the report-descriptor parser) with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer into build-fuzz/ and runs
# each for SECONDS (default 60). Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
#
# Each target keeps its corpus in build-fuzz/corpus/<target>/, so later runs
# go on from what earlier ones found; every run seeds it again from
# tests/data/files (packets for the packet targets, texts for the import), the
# sample capture (the report stream), the sysfs descriptors (the parser) and
# from tests/data/files/fuzz-crashes/<target>-*, the reproducers of faults
# found before. A crash, leak, timeout or failed check is kept in
# build-fuzz/findings/<target>/, its path printed, and the script exits 1.
# scripts/install-deps.sh installs clang.
set -eu
cd "$(dirname "$0")/.."

seconds=${1:-60}
case $seconds in
'' | *[!0-9]*)
    echo "usage: scripts/fuzz.sh [SECONDS] [TARGET...]" >&2
    exit 2
    ;;
esac
if [ $# -gt 0 ]; then shift; fi
for tool in clang-14 clang++-14; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "fuzz: $tool not found; scripts/install-deps.sh installs it" >&2
        exit 2
    fi
done

out=build-fuzz
targets="PacketReaderFuzz TextImportFuzz PacketTokenizerFuzz JournalReaderFuzz ReportStreamFuzz ReportDescriptorFuzz"
if [ $# -gt 0 ]; then targets="$*"; fi
CC=clang-14 CXX=clang++-14 cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOLMAR_BUILD_FUZZERS=ON -DTOLMAR_BUILD_GUI=OFF -DTOLMAR_BUILD_BENCH=OFF -DBUILD_TESTING=OFF >/dev/null
# shellcheck disable=SC2086 # the target names are words
cmake --build "$out" --parallel "$(nproc)" --target $targets

# Symbolized stacks when the symbolizer is there (llvm-14).
if [ -z "${ASAN_SYMBOLIZER_PATH:-}" ] && [ -x /usr/bin/llvm-symbolizer-14 ]; then
    export ASAN_SYMBOLIZER_PATH=/usr/bin/llvm-symbolizer-14
fi
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

# A few seeds of our own beside the golden files, written anew each run.
seed() { printf '%b' "$2" >"$seeds/inline-$1"; }
fields='<FIELD attrname="No" fieldtype="i4"/><FIELD attrname="Time" fieldtype="time"/><FIELD attrname="DC/AC" fieldtype="string" WIDTH="20"/><FIELD attrname="Value" fieldtype="string" WIDTH="20"/><FIELD attrname="Unit" fieldtype="string" WIDTH="20"/><FIELD attrname="Auto" fieldtype="string" WIDTH="20"/><FIELD attrname="Nval" fieldtype="i4"/>'
packet_head='<?xml version="1.0" standalone="yes"?>  <DATAPACKET Version="2.0"><METADATA><FIELDS>'"$fields"'</FIELDS><PARAMS/></METADATA><ROWDATA>'
packet_seeds() {
    seed empty "$packet_head"'</ROWDATA></DATAPACKET>'
    seed rows "$packet_head"'<ROW No="1" Time="14:05:07250" DC/AC="DC" Value="12.345" Unit=" V" Auto="AUTO" Nval="12345"/><ROW No="-2" Time="23:59:59999" Value="OL"/><ROW/><ROW RowState="4" Nval="-2147483648"/></ROWDATA></DATAPACKET>'
    seed escapes "$packet_head"'<ROW No="3" DC/AC="&lt;&gt;&amp;&apos;&quot;" Value="&#013;&#010;&#009;&#092;" Unit="&#xB5;A" Auto="&#181;&#x10FFFF;"/></ROWDATA></DATAPACKET>'
    seed change-log '<DATAPACKET Version="2.0"><METADATA><FIELDS>'"$fields"'<FIELD attrname="Extra" fieldtype="i2"/></FIELDS><PARAMS CHANGE_LOG="1 0 4"/></METADATA><ROWDATA><ROW RowState="4" Extra="1" Nval="1" No="1"/></ROWDATA></DATAPACKET>\r\n'
    seed windows-1252 "$packet_head"'<ROW No="1" Unit="\0265A" Value="\0200 \0201"/></ROWDATA></DATAPACKET>'
    seed utf8 "$packet_head"'<ROW No="1" Unit="\0302\0265A" Value="\0342\0202\0254\0360\0237\0230\0200"/></ROWDATA></DATAPACKET>'
    seed cut "$packet_head"'<ROW No="1" Time="14:05'
    seed rows-first '<DATAPACKET Version="2.0"><ROWDATA><ROW No="1"/></ROWDATA><METADATA/></DATAPACKET>'
    seed nested "$packet_head"'<ROW No="1"><A><B><C><D/></C></B></A></ROW><ROW RowState="256"/></ROWDATA><METADATA/></DATAPACKET>'
}
text_seeds() {
    seed rows 'No\tTime\tFunc\tValue\tUnit\tJudge\r\n1\t14:05:07\tDC\t12.345\t V\tAUTO\t12345\r\n-2\t23:59:59\tAC\tOL\tmV\t\t\r\n'
    seed line-ends 'head\n1\t0:00\tDC\r2\t00:00:01\n\r3\t12:00:00\r\n'
    seed bad-line 'head\r\n1\t10:00:00\tDC\r\n2\tNULL\tDC\r\n3\t10:00:02\r\n'
    seed too-many 'head\r\n1\t10:00:00\ta\tb\tc\td\t7\textra\r\n'
    seed windows-1252 'head\r\n1\t10:00:00\t\0265A\t\0200\t\0201\r\n'
}

# The journal of a real run, and its lines without their checks after a '#'
# (the target gives each line its check: mutations reach what lines say).
journal_seeds() {
    { printf '#'; sed 's/\t[0-9a-f]\{8\}$//' tests/data/files/session.journal; } >"$seeds/inline-bodies"
}

# The sample capture as steps of the report stream target: a report of n
# data bytes is the byte n - 1 and the bytes.
stream_seeds() {
    capture="$seeds/inline-sample-capture"
    : >"$capture"
    while read -r tag _id bytes; do
        [ "$tag" = R ] || continue
        # shellcheck disable=SC2086 # the bytes are words
        set -- $bytes
        printf "\\$(printf '%03o' $(($# - 1)))" >>"$capture"
        for byte in "$@"; do printf "\\$(printf '%03o' $((0x$byte)))" >>"$capture"; done
    done <tests/data/sample-capture.txt
    # The same frame twice, a stall between (timers run), then cut short.
    cat "$capture" "$capture" >"$seeds/inline-two-frames"
    printf '\377\377\377\377' >>"$seeds/inline-two-frames"
    head -c 30 "$capture" >"$seeds/inline-cut"
}
descriptor_seeds() {
    n=0
    find tests/data/sysfs-hid -name report_descriptor | while read -r file; do
        n=$((n + 1))
        cp "$file" "$seeds/inline-descriptor-$n"
    done
}

status=0
for target in $targets; do
    dict=
    case $target in
    TextImportFuzz) kind=text extension=txt dict="-dict=fuzz/text.dict" ;;
    JournalReaderFuzz) kind=journal extension=journal ;;
    ReportStreamFuzz) kind=stream extension=none ;;
    ReportDescriptorFuzz) kind=descriptor extension=none ;;
    *) kind=packet extension=xml dict="-dict=fuzz/packet.dict" ;;
    esac
    corpus="$out/corpus/$target"
    seeds="$out/seeds/$target"
    findings="$out/findings/$target"
    log="$out/logs/$target.log"
    rm -rf "$seeds"
    mkdir -p "$corpus" "$seeds" "$findings" "$out/logs"
    for file in tests/data/files/*."$extension" tests/data/files/fuzz-crashes/"$target"-*; do
        if [ -f "$file" ]; then cp "$file" "$seeds/"; fi
    done
    case $kind in
    text) text_seeds ;;
    journal) journal_seeds ;;
    stream) stream_seeds ;;
    descriptor) descriptor_seeds ;;
    *) packet_seeds ;;
    esac

    echo "fuzz: $target for $seconds s (log: $log)"
    code=0
    "$out/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -timeout=25 -rss_limit_mb=2048 \
        $dict -artifact_prefix="$findings/" -print_final_stats=1 \
        "$corpus" "$seeds" >"$log" 2>&1 || code=$?

    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    if [ -z "$runs" ]; then
        runs=$(sed -n 's/^#\([0-9][0-9]*\).*/\1/p' "$log" | tail -n 1)
    fi
    coverage=$(grep -o 'cov: [0-9]* ft: [0-9]* corp: [0-9]*' "$log" | tail -n 1 || true)
    # A unit that took longer than 10 s is kept too ("slow-unit-"), but only
    # told: a loaded machine makes those; a real hang ends as a timeout.
    slow=$(sed -n 's/.*Test unit written to \(.*slow-unit-.*\)$/\1/p' "$log")
    for file in $slow; do
        echo "fuzz: $target: note: a slow input (not a finding): $file"
    done
    found=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | grep -v 'slow-unit-' || true)
    count=$(printf '%s' "$found" | grep -c . || true)
    echo "fuzz: $target: ${runs:-0} executions, ${coverage:-no coverage line}, $count findings"
    if [ "$code" -ne 0 ] || [ "$count" -ne 0 ]; then
        status=1
        grep -E 'ERROR: |fuzz check failed|SUMMARY: |runtime error' "$log" | head -n 5 >&2 || true
        for file in $found; do
            echo "fuzz: $target: kept $file (reproduce: $out/fuzz/$target $file)" >&2
        done
        if [ -z "$found" ]; then
            echo "fuzz: $target ended with status $code and kept no input; see $log" >&2
            tail -n 40 "$log" >&2
        fi
    fi
done
if [ "$status" -ne 0 ]; then
    echo "fuzz: findings, see above" >&2
fi
exit "$status"
