#!/bin/sh
# Keeps the manual pages in step with what the programs say of themselves.
#
#   check-manpages.sh TOLMAR TOLMAR_CLI MANDIR
#
# TOLMAR and TOLMAR_CLI are the built programs, MANDIR holds tolmar.1 and
# tolmar-cli.1. For each program the page must name every long option its
# --help lists and no long option it does not; tolmar-cli.1 must have an entry
# (a .TP item or a .SS or .IP heading starting with the name) for every command
# of the Commands: list; .TH must carry the version --version prints; and
# groff, when present, must format the page without a warning.
# Exit status 0 when all holds, else 1 with a line per problem.
set -eu

me=check-manpages

if [ "$#" -ne 3 ]; then
    echo "usage: $me TOLMAR TOLMAR_CLI MANDIR" >&2
    exit 1
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/check-manpages.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
trap 'exit 1' HUP INT TERM

problems=0
problem() {
    echo "$me: $*" >&2
    problems=$((problems + 1))
}

# Every long option (--word or --word-word...) in the input, once each.
long_options() {
    awk '{
        s = $0
        while (match(s, /--[A-Za-z][A-Za-z0-9]*(-[A-Za-z0-9]+)*/)) {
            print substr(s, RSTART, RLENGTH)
            s = substr(s, RSTART + RLENGTH)
        }
    }' | sort -u
}

# The page's source as plain words: no comments, "\-" as "-", no font
# changes and no escapes that only steer hyphenation or spacing.
page_text() {
    sed -e '/^[.'\''][[:space:]]*\\"/d' \
        -e 's/\\".*//' \
        -e 's/\\-/-/g' \
        -e 's/\\(hy/-/g' \
        -e 's/\\[%&:]//g' \
        -e 's/\\f[BIRP1-4]//g' \
        -e 's/\\f([A-Z][A-Z]//g' \
        -e 's/\\f\[[^]]*\]//g' \
        "$1"
}

# The first word of each entry: the tag line after .TP (with or without a
# font macro) and the text of .SS and .IP, without quotes or a trailing comma.
entry_heads() {
    awk '
        function first(s) {
            sub(/^[ \t"]+/, "", s)
            sub(/[ \t,"].*/, "", s)
            return s
        }
        tag {
            tag = 0
            if ($1 ~ /^\.[BI][RI]?$/)
                $1 = ""
            print first($0)
            next
        }
        $1 == ".TP" { tag = 1; next }
        $1 == ".SS" || $1 == ".IP" { $1 = ""; print first($0) }
    ' | sort -u
}

# The command names of "tolmar-cli --help": the lines of its Commands: list
# that start an entry, indented by two blanks. Blank lines may part the
# entries; the list ends at the next line that is not indented.
help_commands() {
    awk '
        /^Commands:/ { list = 1; next }
        list && /^[^ \t]/ { list = 0 }
        list && /^  [a-z]/ { sub(/,.*/, "", $1); print $1 }
    ' | sort -u
}

# Runs "PROGRAM ARG" into FILE; false, with the problem told, when it fails.
run() {
    status=0
    "$1" "$2" >"$3" 2>"$tmp/stderr" || status=$?
    if [ "$status" -ne 0 ]; then
        problem "'$1 $2' failed with exit status $status: $(head -n 3 "$tmp/stderr")"
        rm -f "$3"
        return 1
    fi
}

# check_page PROGRAM PAGE
check_page() {
    program=$1
    page=$2
    name=$(basename "$page")
    if [ ! -f "$page" ]; then
        problem "$page: no such manual page"
        return 0
    fi
    help=$tmp/$name.help
    run "$program" --help "$help" || return 0
    page_text "$page" >"$tmp/page"

    long_options <"$help" >"$tmp/help-options"
    long_options <"$tmp/page" >"$tmp/page-options"
    if [ ! -s "$tmp/help-options" ]; then
        problem "'$program --help' lists no long option: is this the right program?"
    fi
    while read -r option; do
        grep -qxF -e "$option" "$tmp/page-options" ||
            problem "$name does not name $option, which '$program --help' lists"
    done <"$tmp/help-options"
    while read -r option; do
        grep -qxF -e "$option" "$tmp/help-options" ||
            problem "$name names $option, which '$program --help' does not have"
    done <"$tmp/page-options"

    if run "$program" --version "$tmp/version"; then
        version=$(awk '{ print $NF; exit }' "$tmp/version")
        grep '^\.TH[[:space:]]' "$page" | grep -qF -e "\"Tolmar $version\"" ||
            problem "$name: .TH does not say \"Tolmar $version\" as '$program --version' does"
    fi

    if [ -n "$groff" ]; then
        warnings=$("$groff" -man -ww -z -t "$page" 2>&1) || true
        if [ -n "$warnings" ]; then
            problem "groff warns about $name:"
            printf '%s\n' "$warnings" | sed 's/^/    /' >&2
        fi
    fi
}

groff=$(command -v groff || true)
[ -n "$groff" ] || echo "$me: groff not found: formatting not checked" >&2

check_page "$1" "$3/tolmar.1"
check_page "$2" "$3/tolmar-cli.1"

# The commands of tolmar-cli: each needs its own entry in the page.
if [ -f "$tmp/tolmar-cli.1.help" ]; then
    help_commands <"$tmp/tolmar-cli.1.help" >"$tmp/help-commands"
    page_text "$3/tolmar-cli.1" | entry_heads >"$tmp/page-heads"
    if [ ! -s "$tmp/help-commands" ]; then
        problem "'$2 --help' has no Commands: list"
    fi
    while read -r command; do
        grep -qxF -e "$command" "$tmp/page-heads" ||
            problem "tolmar-cli.1 has no entry for the command $command, which '$2 --help' lists"
    done <"$tmp/help-commands"
fi

if [ "$problems" -ne 0 ]; then
    echo "$me: $problems problem(s) with the manual pages in $3" >&2
    exit 1
fi
echo "$me: the manual pages in $3 match --help"
