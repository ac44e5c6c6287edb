#!/usr/bin/env bash
# Batch benchmark: 1,000 small builds with `plait batch` beside `xargs -P2 plait build`,
# `xargs -P2 qpdf` and GNU `parallel plait build` doing the same jobs, side by side, taking
# turns. Usage (from the repository root):
#   bench/batch/run.sh [BUILD_DIR] [DATA_DIR]
# COMMANDS="0 1 2 3" picks the rows (in the order above) and RUNS the rounds.
# BUILD_DIR holds a build of `plait` (default build/engine-rel); DATA_DIR receives the generated
# inputs, the jobs in both forms and the outputs (default build/bench-batch).
set -euo pipefail

build=${1:-build/engine-rel}
data=${2:-build/bench-batch}
plait=$(realpath "$build/src/cli/plait")
mkdir -p "$data/in" "$data/out"
data=$(realpath "$data")
jobs=${JOBS:-1000}
runs=${RUNS:-3}
parallelism=${PARALLEL:-2}

# 20 inputs of one to three pages, made with mutool.
for d in $(seq 0 19); do
    [ -f "$data/in/doc$d.pdf" ] && continue
    pages=()
    for p in $(seq 1 $((d % 3 + 1))); do
        printf '%%%%MediaBox 0 0 595 842\n%%%%Font Helv Helvetica\nBT /Helv 24 Tf 72 700 Td (doc %d page %d) Tj ET\n' \
            "$d" "$p" >"$data/in/doc$d-$p.txt"
        pages+=("$data/in/doc$d-$p.txt")
    done
    mutool create -o "$data/in/doc$d.pdf" "${pages[@]}"
done

# The same jobs three times: JSON Lines for `plait batch`, argument lines of `plait build` for
# xargs and parallel, and those of qpdf. Every fourth job overlays its second input on the first.
: >"$data/jobs.jsonl"
: >"$data/jobs.args"
: >"$data/jobs.qpdf"
for i in $(seq 1 "$jobs"); do
    a="$data/in/doc$((i % 20)).pdf"
    b="$data/in/doc$(((i * 7 + 3) % 20)).pdf"
    out="$data/out/job$i.pdf"
    if ((i % 4 == 0)); then
        printf '{"output":"%s","inputs":["%s","%s"],"mode":"overlay"}\n' "$out" "$a" "$b" >>"$data/jobs.jsonl"
        printf -- '--mode overlay -o %s %s %s\n' "$out" "$a" "$b" >>"$data/jobs.args"
        printf -- '%s --overlay %s -- %s\n' "$a" "$b" "$out" >>"$data/jobs.qpdf"
    else
        printf '{"output":"%s","inputs":["%s","%s"]}\n' "$out" "$a" "$b" >>"$data/jobs.jsonl"
        printf -- '-o %s %s %s\n' "$out" "$a" "$b" >>"$data/jobs.args"
        printf -- '--empty --pages %s %s -- %s\n' "$a" "$b" "$out" >>"$data/jobs.qpdf"
    fi
done

# The commands take turns, round after round, so that a change in the load of a shared
# machine falls on all of them alike; each run starts with no outputs.
names=("plait batch --jobs $parallelism" "xargs -P$parallelism plait build" "xargs -P$parallelism qpdf"
    "parallel -j$parallelism plait build")
commands=${COMMANDS:-0 1 2 3}
run_one() {
    case $1 in
    0) "$plait" batch --jobs "$parallelism" -q "$data/jobs.jsonl" ;;
    1) xargs -P"$parallelism" -L1 "$plait" build -q <"$data/jobs.args" 2>/dev/null ;;
    2) xargs -P"$parallelism" -L1 qpdf <"$data/jobs.qpdf" 2>/dev/null ;;
    3) parallel --will-cite -j"$parallelism" --colsep ' ' "$plait" build -q <"$data/jobs.args" 2>/dev/null ;;
    esac
}
declare -A times cpu
TIMEFORMAT='%R %U %S'
for round in $(seq 1 "$runs"); do
    for k in $commands; do
        rm -f "$data"/out/*.pdf
        sync
        # Wall-clock time, and the processor time of the command and all it started.
        read -r wall user sys < <({ time run_one "$k" >/dev/null 2>&1; } 2>&1)
        times[$k]+="$wall "
        processor=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
        cpu[$k]+="$processor "
        printf 'round %d  %-32s %6.2f s wall %6.2f s processor\n' "$round" "${names[$k]}" "$wall" "$processor"
    done
done
echo
echo "| Command | Wall mean | Wall min | Wall max | Processor mean |"
echo "|---|---|---|---|---|"
for k in $commands; do
    c=$(echo "${cpu[$k]}" | tr ' ' '\n' | grep . | awk '{ s += $1 } END { printf "%.2f", s / NR }')
    echo "${times[$k]}" | tr ' ' '\n' | grep . | sort -n |
        awk -v name="${names[$k]}" -v c="$c" '{ t[NR] = $1; sum += $1 }
            END { printf "| `%s` | %.2f s | %.2f s | %.2f s | %s s |\n", name, sum / NR, t[1], t[NR], c }'
done
# Every output of the last run is a PDF a reader opens.
bad=0
for f in "$data"/out/*.pdf; do qpdf --check "$f" >/dev/null 2>&1 || bad=$((bad + 1)); done
echo "outputs: $(ls "$data"/out/*.pdf | wc -l), failing qpdf --check: $bad"
