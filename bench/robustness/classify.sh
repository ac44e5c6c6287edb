#!/bin/sh
# Runs `plait build` over every file of a folder, one input per build, with a time limit,
# and classifies each run:
#
#   sound        success, and the output opens in qpdf (--check: no error, no damage),
#                poppler (pdfinfo) and mupdf (mutool info)
#   failure      a failure reported as such (exit 1, "plait: error:"), naming the input,
#                and no output written
#   unclear      a failure that does not name the input
#   bad-output   success reported for an output a reader refuses, or for no output at all
#   hang         still running at the time limit (stopped with SIGTERM, then SIGKILL)
#   crash        ended by a signal or with an exit status that is neither 0 nor 1
#   leftover     (added to any of the above) a temporary file stayed in the output folder
#
# With --peer, qpdf's own command line copies each file too, for comparison ("qpdf-sound":
# it wrote a file that passes the same readers).
#
# Usage: classify.sh [--time SECONDS] [--plait PATH] [--peer] FOLDER [RESULTS.tsv]
# Needs: qpdf, pdfinfo (poppler-utils), mutool (mupdf-tools), timeout (coreutils).
set -u

limit=20
plait=plait
peer=0
while [ $# -gt 0 ]; do
    case "$1" in
    --time) limit=$2; shift 2 ;;
    --plait) plait=$2; shift 2 ;;
    --peer) peer=1; shift ;;
    -h|--help) sed -n '2,22p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) break ;;
    esac
done
if [ $# -lt 1 ] || [ ! -d "$1" ]; then
    echo "usage: classify.sh [--time SECONDS] [--plait PATH] [--peer] FOLDER [RESULTS.tsv]" >&2
    exit 2
fi
folder=$1
results=${2:-/dev/stdout}
for tool in qpdf pdfinfo mutool timeout; do
    command -v "$tool" >/dev/null 2>&1 || { echo "classify.sh: $tool is missing" >&2; exit 2; }
done
command -v "$plait" >/dev/null 2>&1 || [ -x "$plait" ] || { echo "classify.sh: cannot run $plait" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/plait-classify-XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT INT TERM HUP

# An output every reader opens: qpdf finds no error and no damage, poppler and mupdf open it.
readable() {
    check=$(qpdf --check "$1" 2>&1)
    status=$?
    [ $status -eq 0 ] || [ $status -eq 3 ] || return 1
    if printf '%s' "$check" | grep -q -i -e 'damaged' -e 'reconstruct'; then return 1; fi
    pdfinfo "$1" >/dev/null 2>&1 || return 1
    mutool info "$1" >/dev/null 2>&1 || return 1
    return 0
}

printf 'file\tclass\tseconds\tmessage\n' >"$results"
summary="$work/summary"
: >"$summary"
find "$folder" -type f | LC_ALL=C sort | while IFS= read -r file; do
    run="$work/run"
    rm -rf "$run"
    mkdir "$run"
    start=$(date +%s.%N)
    timeout --signal=TERM --kill-after=5 "$limit" "$plait" build -q -o "$run/out.pdf" "$file" \
        >/dev/null 2>"$work/stderr"
    status=$?
    seconds=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
    name=$(basename "$file")
    message=$(grep -m1 -e 'plait: error' -e 'plait: warning: .*\(Cannot\|Error\|No pages\)' "$work/stderr" \
        | tr '\t' ' ' | cut -c1-200)
    case $status in
    0) if [ -f "$run/out.pdf" ] && readable "$run/out.pdf"; then class=sound; else class=bad-output; fi ;;
    1) if [ -f "$run/out.pdf" ]; then class=bad-output
       elif grep -q -F -e "$name" "$work/stderr" && grep -q 'plait: error:' "$work/stderr"; then class=failure
       else class=unclear; fi ;;
    124|137) class=hang ;;
    *) class=crash ;;
    esac
    if [ -n "$(find "$run" -mindepth 1 ! -name out.pdf)" ]; then class="$class+leftover"; fi
    if [ $peer -eq 1 ]; then
        timeout -s KILL "$limit" qpdf "$file" "$run/peer.pdf" >/dev/null 2>&1
        if [ -f "$run/peer.pdf" ] && readable "$run/peer.pdf"; then echo qpdf-sound >>"$summary"; fi
    fi
    echo "$class" >>"$summary"
    printf '%s\t%s\t%s\t%s\n' "$file" "$class" "$seconds" "$message" >>"$results"
done
echo "summary over $(grep -c -v '^qpdf-' "$summary") files:" >&2
sort "$summary" | uniq -c | sort -rn >&2
