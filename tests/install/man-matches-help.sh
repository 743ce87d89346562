#!/usr/bin/env bash
# A man page and the program's --help must offer the same options and the same
# exit statuses. -h and --help themselves are left out: every program takes them,
# and not every --help lists them.
# Usage: man-matches-help.sh PAGE.scd PROGRAM
set -euo pipefail
page=${1:?usage: man-matches-help.sh PAGE.scd PROGRAM}
program=${2:?usage: man-matches-help.sh PAGE.scd PROGRAM}

help=$("$program" --help)
# The lines of one "# SECTION" of the page.
section() { awk -v name="$1" '/^# / { inside = ($0 == "# " name); next } inside' "$page"; }
without_help() { grep -vxE -- '-h|--help' || true; }
# grep -o that may find nothing: a program without options is no failure here.
matches() { grep -oE -- "$1" || true; }

help_options=$(matches '^[[:space:]]+-{1,2}[[:alnum:]][-[:alnum:]]*' <<<"$help" | sed 's/^[[:space:]]*//' | sort -u | without_help)
page_options=$(section OPTIONS | matches '^\*-.*' | matches '\*-{1,2}[[:alnum:]][-[:alnum:]]*\*' | tr -d '*' |
               sort -u | without_help)
help_statuses=$(sed -n '/[Ee]xit status:/,$p' <<<"$help" | sed 's/.*[Ee]xit status://' |
                matches '(^|[ ,])[0-9]+ ' | tr -d ' ,' | sort -u)
page_statuses=$(section 'EXIT STATUS' | matches '^\*[0-9]+\*' | tr -d '*' | sort -u)

status=0
compare() {
    if [ "$2" != "$3" ]; then
        echo "$(basename "$page") and $(basename "$program") --help list different $1:" >&2
        diff <(echo "$2") <(echo "$3") | sed -n 's/^</  only in the page:/p; s/^>/  only in --help:/p' >&2 || true
        status=1
    fi
}
compare options "$page_options" "$help_options"
compare "exit statuses" "$page_statuses" "$help_statuses"
[ -n "$help_statuses" ] || { echo "$(basename "$program") --help names no exit status" >&2; status=1; }
exit $status
