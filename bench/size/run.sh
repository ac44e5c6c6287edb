#!/bin/bash
# Output size and time of merging 500 invoices that share a logo and two fonts: plait (plain and
# --smallest) beside mutool, qpdf and Ghostscript's pdfwrite (when installed).
# Usage: bench/size/run.sh BUILD_DIR DATA_DIR [COUNT]
set -euo pipefail
build=$(realpath "$1")
data=$2
count=${3:-500}
plait="$build/src/cli/plait"
here=$(dirname "$(realpath "$0")")

mkdir -p "$data"
cd "$data"
if [ ! -f "invoices/invoice-$(printf %04d "$count").pdf" ]; then
    python3 "$here/make_invoices.py" invoices "$count"
fi
inputs=(invoices/invoice-*.pdf)
printf '%s\n' "$(du -sb invoices | cut -f1) bytes in ${#inputs[@]} inputs"

measure() { # name, then the command; prints seconds, peak memory and output size
    local name=$1 out=$2
    shift 2
    rm -f "$out"
    local t
    /usr/bin/time -o time.txt -f '%e %M' "$@" >/dev/null 2>&1 || echo "$name: failed"
    t=$(tail -1 time.txt)
    qpdf --check "$out" >/dev/null 2>&1 || echo "$name: qpdf --check complains"
    printf '| %s | %s s | %s MB | %s |\n' "$name" "${t% *}" "$(( ${t#* } / 1024 ))" "$(stat -c %s "$out")"
}

echo '| Tool | Time | Peak memory | Output bytes |'
echo '|---|---|---|---|'
measure "plait build" plait.pdf "$plait" build -q -o plait.pdf "${inputs[@]}"
measure "plait build --smallest" plait-small.pdf "$plait" build -q --smallest -o plait-small.pdf "${inputs[@]}"
measure "mutool merge + mutool clean -ggggz" mutool.pdf \
    bash -c 'mutool merge -o mutool-merged.pdf "$@" && mutool clean -ggggz mutool-merged.pdf mutool.pdf' _ "${inputs[@]}"
measure "qpdf --empty --pages ... --recompress-flate --compression-level=9 --object-streams=generate" qpdf.pdf \
    qpdf --empty --pages "${inputs[@]}" -- --recompress-flate --compression-level=9 --object-streams=generate qpdf.pdf
if command -v gs >/dev/null; then
    measure "gs -sDEVICE=pdfwrite" gs.pdf gs -q -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile=gs.pdf "${inputs[@]}"
fi
