#!/bin/sh
# Checks the HTML user guide in DIR (docs/guide, or the installed guide):
# every picture, style sheet and page a page refers to is there, every link
# inside the guide (#name) has its target, and nothing is fetched from the
# network or run (the guide must read offline, without JavaScript).
#   check-guide.sh DIR
set -eu
dir=$1
refs=$(mktemp)
trap 'rm -f "$refs"' EXIT
failures=0
fail() { echo "check-guide: $*" >&2; failures=$((failures + 1)); }

[ -f "$dir/index.html" ] || fail "$dir/index.html is missing"
for page in "$dir"/*.html; do
    [ -f "$page" ] || continue
    name=${page##*/}
    # Comments hold the places of pictures still to come; they are not read.
    text=$(perl -0pe 's/<!--.*?-->//gs' "$page")
    printf '%s\n' "$text" | grep -o -E '(src|href)="[^"]*"' | sed -E 's/^(src|href)="(.*)"$/\2/' |
        sort -u >"$refs"
    while IFS= read -r ref; do
        case $ref in
        http://* | https://*)
            # A link for the reader to follow is fine; a picture or style
            # sheet from the network is not.
            printf '%s\n' "$text" | grep -q -E "(src=|rel=\"stylesheet\" href=)\"$ref\"" &&
                fail "$name loads $ref from the network"
            ;;
        mailto:*) ;;
        \#*)
            printf '%s\n' "$text" | grep -q "id=\"${ref#\#}\"" || fail "$name links to $ref, which it does not have"
            ;;
        *)
            file=${ref%%#*}
            [ -e "$dir/$file" ] || fail "$name refers to $file, which is not there"
            ;;
        esac
    done <"$refs"
    printf '%s\n' "$text" | grep -q -i '<script' && fail "$name has a script"
done

if [ "$failures" -ne 0 ]; then
    echo "check-guide: $failures problem(s) in $dir" >&2
    exit 1
fi
echo "check-guide: every reference of $dir is there"
