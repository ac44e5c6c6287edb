#!/usr/bin/env bash
# Merge engine benchmarks: `plait build` beside qpdf, mutool, pdftk, pdfunite and img2pdf, on
# the same inputs in one run. Usage (from the repository root):
#   bench/engine/run.sh [BUILD_DIR] [DATA_DIR]
# BUILD_DIR holds a Release build of `plait` (default build/engine-rel); DATA_DIR receives the
# generated inputs (default build/bench-data) and the outputs. PLAIT_BEFORE=OLD_BUILD_DIR adds
# an older build's plait beside each plait command, in the same hyperfine run.
set -euo pipefail

build=${1:-build/engine-rel}
data=${2:-build/bench-data}
plait=$(realpath "$build/src/cli/plait")
mkdir -p "$data"
data=$(realpath "$data")
out="$data/out"
mkdir -p "$out"

if [ ! -f "$data/text/numbers.pdf" ] || [ ! -f "$data/stamp/stamp.pdf" ]; then
    g++ -O2 -std=c++20 bench/engine/make_inputs.cpp -o "$data/make_inputs" \
        $(pkg-config --cflags --libs libqpdf libjpeg) -DPOINTERHOLDER_TRANSITION=4
    "$data/make_inputs" "$data"
fi

# The yardstick: the least a merge on libqpdf does (minimal_merge.cpp).
minimal="$data/minimal_merge"
if [ ! -x "$minimal" ] || [ bench/engine/minimal_merge.cpp -nt "$minimal" ]; then
    g++ -O2 -std=c++20 bench/engine/minimal_merge.cpp -o "$minimal" \
        $(pkg-config --cflags --libs libqpdf) -DPOINTERHOLDER_TRANSITION=4
fi

# The start-up floor: a program linked to libqpdf that does nothing (start_floor.cpp).
floor="$data/start_floor"
if [ ! -x "$floor" ] || [ bench/engine/start_floor.cpp -nt "$floor" ]; then
    g++ -O2 -std=c++20 bench/engine/start_floor.cpp -o "$floor" \
        $(pkg-config --cflags --libs libqpdf) -DPOINTERHOLDER_TRANSITION=4
fi

small=("$data"/small/*.pdf)
large=("$data"/large/*.pdf)
photos=("$data"/photos/*.jpg)
q() { printf '%q ' "$@"; }

runs=${RUNS:-5}
# SECTIONS="small large encrypt photos memory one numbers text startup outline overlay" (the
# default) picks what to run; "paired" adds the goal rows as paired rounds (ROUNDS of them, 20
# unless set), and "instructions" counts them with valgrind.
sections=" ${SECTIONS:-small large encrypt photos memory one numbers text startup outline overlay} "
want() { [[ $sections == *" $1 "* ]]; }
# hf SECTION NAME COMMAND [NAME COMMAND ...]: one hyperfine run, commands side by side.
# With PLAIT_BEFORE=BUILD_DIR (an older Release build), every plait command is also run with
# that build's plait, as "NAME, before", in the same hyperfine run.
before=${PLAIT_BEFORE:+$(realpath "$PLAIT_BEFORE/src/cli/plait")}
hf() {
    local section=$1 args=() self
    self=$(q "$plait")
    shift
    while (($#)); do
        # A peer that is not installed (pdftk, say) is left out rather than ending the run.
        if command -v "${2%% *}" > /dev/null; then
            args+=(--command-name "$1" "$2")
            if [[ -n $before && $2 == "$self"* ]]; then
                args+=(--command-name "$1, before" "$(q "$before")${2#"$self"}")
            fi
        else
            echo "($1: ${2%% *} is not installed; left out)"
        fi
        shift 2
    done
    hyperfine -N --warmup 1 --runs "$runs" --style basic --export-markdown "$out/$section.md" "${args[@]}" |
        grep -v "^Benchmark\|Range\|^ *$"
    cat "$out/$section.md"
}

# Settings files made from the defaults: one with "Keep Bookmark Layout" off, for the plain
# merge beside the default build (which keeps every input's outline), and one with 128-bit
# encryption and both passwords.
setfields() { # FIELD=VALUE ...: replaces the value line after each field's header
    local IFS='|'
    "$plait" settings | awk -v pairsText="$*" '
        BEGIN { n = split(pairsText, pairs, "|"); for (i = 1; i <= n; i++) { split(pairs[i], kv, "="); want[kv[1]] = kv[2] } }
        pending != "" { print want[pending] "\r"; pending = ""; next }
        { print }
        match($0, /^\[Field=[^ ]+/) { f = substr($0, 8, RLENGTH - 7); if (f in want) pending = f }'
}
nokeep="$out/nokeep.plt"
setfields "chkKeepBM= 0 " > "$nokeep"
enc="$out/encrypt128.plt"
setfields "chkKeepBM= 0 " "Compat_Com= 2 " "perm1_txt=owner" "perm2_txt=owner" "open1_txt=user" "open2_txt=user" > "$enc"
aes="$out/aes256.plt"
setfields "chkKeepBM= 0 " "Compat_Com= 2 " "perm1_txt=owner" "perm2_txt=owner" "open1_txt=user" "open2_txt=user" \
    "txtParams=aes256" > "$aes"
# Highlighting in yellow (0x00FFFF: red and green) a phrase that occurs once and a word that
# occurs about ten thousand times in the thousand pages of text/words.pdf.
hl1="$out/highlight-once.plt"
setfields "txthighlight=quantum marmalade" "picColor= 65535 " > "$hl1"
hlmany="$out/highlight-many.plt"
setfields "txthighlight=ledger" "picColor= 65535 " > "$hlmany"
# Page numbers ("N of 1000", bottom left), as text/numbers.pdf holds them ready-made.
numbers="$out/numbers.plt"
setfields "chkKeepBM= 0 " "chkPage= 1 " > "$numbers"

want small && echo "== 500 four-page PDFs" && hf small \
    "plait" "$(q "$plait" build -q -o "$out/plait.pdf" "${small[@]}")" \
    "qpdf" "$(q qpdf --empty --pages "${small[@]}" -- "$out/qpdf.pdf")" \
    "minimal libqpdf merge" "$(q "$minimal" "$out/minimal.pdf" "${small[@]}")" \
    "mutool" "$(q mutool merge -o "$out/mutool.pdf" "${small[@]}")" \
    "pdftk" "$(q pdftk "${small[@]}" cat output "$out/pdftk.pdf")" \
    "pdfunite" "$(q pdfunite "${small[@]}" "$out/pdfunite.pdf")"

want large && echo "== 10 thousand-page PDFs" && hf large \
    "plait (keeps outlines)" "$(q "$plait" build -q -o "$out/plait.pdf" "${large[@]}")" \
    "plait (plain merge)" "$(q "$plait" build -q --settings "$nokeep" -o "$out/plait-nokeep.pdf" "${large[@]}")" \
    "qpdf" "$(q qpdf --empty --pages "${large[@]}" -- "$out/qpdf.pdf")" \
    "minimal libqpdf merge" "$(q "$minimal" "$out/minimal.pdf" "${large[@]}")" \
    "mutool" "$(q mutool merge -o "$out/mutool.pdf" "${large[@]}")" \
    "pdftk" "$(q pdftk "${large[@]}" cat output "$out/pdftk.pdf")" \
    "pdfunite" "$(q pdfunite "${large[@]}" "$out/pdfunite.pdf")"

one="${large[0]}"
want encrypt && echo "== 128-bit encryption of a thousand-page PDF" && hf encrypt \
    "plait" "$(q "$plait" build -q --settings "$enc" -o "$out/plait-enc.pdf" "$one")" \
    "qpdf" "$(q qpdf --allow-weak-crypto --encrypt user owner 128 --use-aes=n -- "$one" "$out/qpdf-enc.pdf")" \
    "mutool" "$(q mutool clean -E rc4-128 -U user -O owner "$one" "$out/mutool-enc.pdf")" \
    "pdftk" "$(q pdftk "$one" output "$out/pdftk-enc.pdf" owner_pw owner user_pw user encrypt_128bit)"

want photos && echo "== 200 JPEG photos" && hf photos \
    "plait" "$(q "$plait" build -q -o "$out/plait-photos.pdf" "${photos[@]}")" \
    "img2pdf" "$(q img2pdf -o "$out/img2pdf.pdf" "${photos[@]}")"

words="$data/text/words.pdf"
peer=bench/engine/highlight_peer.py
want text && echo "== highlight a phrase (1 match) and a word (10,182 matches) in 1000 pages" && hf text \
    "plait, 1 match" "$(q "$plait" build -q --settings "$hl1" -o "$out/plait-hl1.pdf" "$words")" \
    "PyMuPDF, 1 match" "$(q /usr/bin/python3 "$peer" "$words" "$out/peer-hl1.pdf" "quantum marmalade")" \
    "plait, 10,182 matches" "$(q "$plait" build -q --settings "$hlmany" -o "$out/plait-hl2.pdf" "$words")" \
    "PyMuPDF, 10,182 matches" "$(q /usr/bin/python3 "$peer" "$words" "$out/peer-hl2.pdf" ledger)" \
    "pdftotext of the whole file" "$(q pdftotext "$words" "$out/words.txt")"

want one && echo "== one-file jobs on a thousand-page PDF" && hf one \
    "plait rewrite" "$(q "$plait" build -q --settings "$nokeep" -o "$out/plait-one.pdf" "$one")" \
    "qpdf rewrite" "$(q qpdf "$one" "$out/qpdf-one.pdf")" \
    "plait AES-256" "$(q "$plait" build -q --settings "$aes" -o "$out/plait-aes.pdf" "$one")" \
    "qpdf AES-256" "$(q qpdf --encrypt user owner 256 -- "$one" "$out/qpdf-aes.pdf")"

want numbers && echo "== page numbers on a thousand-page PDF" && hf numbers \
    "plait page numbers" "$(q "$plait" build -q --settings "$numbers" -o "$out/plait-numbers.pdf" "$one")" \
    "qpdf overlay of ready-made numbers" \
    "$(q qpdf "$one" --overlay "$data/text/numbers.pdf" -- "$out/qpdf-numbers.pdf")" \
    "qpdf rewrite" "$(q qpdf "$one" "$out/qpdf-one.pdf")"

two=("${small[@]:0:2}")
parts=("$data"/outline/*.pdf)
want outline && echo "== three ten-page PDFs keeping their 24-entry outline" && hf outline \
    "plait" "$(q "$plait" build -q -o "$out/plait-parts.pdf" "${parts[@]}")" \
    "qpdf (the outline is lost)" "$(q qpdf --empty --pages "${parts[@]}" -- "$out/qpdf-parts.pdf")" \
    "mutool" "$(q mutool merge -o "$out/mutool-parts.pdf" "${parts[@]}")"

# Overlay: the second thousand-page PDF laid page by page over the first; repeat: one page
# laid over every page.
stamp="$data/stamp/stamp.pdf"
want overlay && echo "== overlay of 1000 pages, and one page repeated over 1000" && hf overlay \
    "plait overlay" "$(q "$plait" build -q --mode overlay -o "$out/plait-over.pdf" "$one" "${large[1]}")" \
    "qpdf --overlay" "$(q qpdf "$one" --overlay "${large[1]}" -- "$out/qpdf-over.pdf")" \
    "plait repeat" "$(q "$plait" build -q --mode repeat -o "$out/plait-repeat.pdf" "$one" "$stamp")" \
    "qpdf --overlay --repeat=1" "$(q qpdf "$one" --overlay "$stamp" --repeat=1 -- "$out/qpdf-repeat.pdf")"

want startup && echo "== start-up and a two-file merge" && hf startup \
    "plait --help" "$(q "$plait" --help)" \
    "qpdf --version" "$(q qpdf --version)" \
    "a program linked to libqpdf doing nothing" "$(q "$floor")" \
    "plait two-file merge" "$(q "$plait" build -q -o "$out/plait-two.pdf" "${two[@]}")" \
    "qpdf two-file merge" "$(q qpdf --empty --pages "${two[@]}" -- "$out/qpdf-two.pdf")" \
    "mutool two-file merge" "$(q mutool merge -o "$out/mutool-two.pdf" "${two[@]}")"

# The goal rows again, each as paired rounds (paired.py): plait's time over the peer's within
# each round, for a machine whose speed drifts (not in the default SECTIONS).
pair() { # NAME PLAIT_ARGS PEER_NAME PEER_COMMAND
    args=("plait" "$(q "$plait") $2")
    [[ -n $before ]] && args+=("plait before" "$(q "$before") $2")
    echo "== $1 (paired rounds)"
    python3 bench/engine/paired.py "${ROUNDS:-20}" "$3" "$4" "${args[@]}"
}
if want paired; then
    pair "rewrite" "build -q --settings $(q "$nokeep") -o $(q "$out/plait-one.pdf") $(q "$one")" \
        "qpdf" "$(q qpdf "$one" "$out/qpdf-one.pdf")"
    pair "128-bit RC4" "build -q --settings $(q "$enc") -o $(q "$out/plait-enc.pdf") $(q "$one")" \
        "qpdf" "$(q qpdf --allow-weak-crypto --encrypt user owner 128 --use-aes=n -- "$one" "$out/qpdf-enc.pdf")"
    pair "AES-256" "build -q --settings $(q "$aes") -o $(q "$out/plait-aes.pdf") $(q "$one")" \
        "qpdf" "$(q qpdf --encrypt user owner 256 -- "$one" "$out/qpdf-aes.pdf")"
    pair "page numbers" "build -q --settings $(q "$numbers") -o $(q "$out/plait-numbers.pdf") $(q "$one")" \
        "qpdf --overlay" "$(q qpdf "$one" --overlay "$data/text/numbers.pdf" -- "$out/qpdf-numbers.pdf")"
    pair "highlight, 1 match" "build -q --settings $(q "$hl1") -o $(q "$out/plait-hl1.pdf") $(q "$words")" \
        "PyMuPDF" "$(q /usr/bin/python3 "$peer" "$words" "$out/peer-hl1.pdf" "quantum marmalade")"
    pair "highlight, 10,182 matches" "build -q --settings $(q "$hlmany") -o $(q "$out/plait-hl2.pdf") $(q "$words")" \
        "PyMuPDF" "$(q /usr/bin/python3 "$peer" "$words" "$out/peer-hl2.pdf" ledger)"
    pair "two-file merge" "build -q -o $(q "$out/plait-two.pdf") $(q "${two[@]}")" \
        "qpdf" "$(q qpdf --empty --pages "${two[@]}" -- "$out/qpdf-two.pdf")"
fi

# The goal rows counted in instructions (valgrind's callgrind, every thread of the process),
# which the machine's speed does not move (not in the default SECTIONS).
instructions() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 > /dev/null |
    sed -n 's/.*Collected : //p'; }
count() { # NAME PLAIT_ARGS... -- PEER_COMMAND...
    local name=$1 plaitArgs=() mine theirs
    shift
    while [[ $1 != -- ]]; do plaitArgs+=("$1"); shift; done
    shift
    mine=$(instructions "$plait" "${plaitArgs[@]}")
    theirs=$(instructions "$@")
    echo "| $name | $mine | $theirs | $(awk -v a="$mine" -v b="$theirs" 'BEGIN { printf "%.3f", a / b }') |"
}
if want instructions; then
    echo "== instructions (callgrind)"
    echo "| Job | plait | peer | ratio |"
    echo "|---|---:|---:|---:|"
    count "rewrite (qpdf)" build -q --settings "$nokeep" -o "$out/plait-one.pdf" "$one" -- \
        qpdf "$one" "$out/qpdf-one.pdf"
    count "128-bit RC4 (qpdf)" build -q --settings "$enc" -o "$out/plait-enc.pdf" "$one" -- \
        qpdf --allow-weak-crypto --encrypt user owner 128 --use-aes=n -- "$one" "$out/qpdf-enc.pdf"
    count "AES-256 (qpdf)" build -q --settings "$aes" -o "$out/plait-aes.pdf" "$one" -- \
        qpdf --encrypt user owner 256 -- "$one" "$out/qpdf-aes.pdf"
    count "page numbers (qpdf --overlay)" build -q --settings "$numbers" -o "$out/plait-numbers.pdf" "$one" -- \
        qpdf "$one" --overlay "$data/text/numbers.pdf" -- "$out/qpdf-numbers.pdf"
    count "two-file merge (qpdf)" build -q -o "$out/plait-two.pdf" "${two[@]}" -- \
        qpdf --empty --pages "${two[@]}" -- "$out/qpdf-two.pdf"
fi

want memory || exit 0
echo "== peak memory (maximum resident set, kB)"
mem() { /usr/bin/time -f "%M kB  $1" "${@:2}" > /dev/null; }
mem "plait 500 small" "$plait" build -q -o "$out/plait.pdf" "${small[@]}"
mem "qpdf 500 small" qpdf --empty --pages "${small[@]}" -- "$out/qpdf.pdf"
mem "minimal 500 small" "$minimal" "$out/minimal.pdf" "${small[@]}"
mem "plait 10 large" "$plait" build -q -o "$out/plait.pdf" "${large[@]}"
mem "qpdf 10 large" qpdf --empty --pages "${large[@]}" -- "$out/qpdf.pdf"
mem "minimal 10 large" "$minimal" "$out/minimal.pdf" "${large[@]}"
mem "mutool 10 large" mutool merge -o "$out/mutool.pdf" "${large[@]}"
mem "plait highlight 1 match" "$plait" build -q --settings "$hl1" -o "$out/plait-hl1.pdf" "$words"
mem "PyMuPDF highlight 1 match" /usr/bin/python3 "$peer" "$words" "$out/peer-hl1.pdf" "quantum marmalade"
mem "plait highlight 10,182 matches" "$plait" build -q --settings "$hlmany" -o "$out/plait-hl2.pdf" "$words"
mem "PyMuPDF highlight 10,182 matches" /usr/bin/python3 "$peer" "$words" "$out/peer-hl2.pdf" ledger
