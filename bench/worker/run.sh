#!/usr/bin/env bash
# A build in the program against `plait build`: the merge of ten thousand-page PDFs, its engine
# calls (as `plait calls` prints them) replayed on the isolated engine through the engine
# worker, as the program builds, beside `plait build` on the same inputs, in paired rounds.
# Usage (from the repository root, after bench/engine/run.sh has made its inputs):
#   bench/worker/run.sh [BUILD_DIR] [DATA_DIR] [OTHER_WORKER]
# BUILD_DIR holds a build of `plait` and `plait-engine-worker` (default build/engine-rel);
# DATA_DIR holds the engine benchmark's inputs (default build/bench-data); OTHER_WORKER, when
# given, is a second worker executable (an earlier version, say) timed beside the first.
set -euo pipefail

build=$(realpath "${1:-build/engine-rel}")
data=$(realpath "${2:-build/bench-data}")
other=${3:-}
rounds=${RUNS:-20}
bench="$build/worker-bench"
mkdir -p "$bench" "$data/out"
g++ -O2 -std=c++20 -Isrc bench/worker/worker_bench.cpp "$build/src/worker/libplait_worker.a" \
    "$build/src/engine/libplait_engine.a" -o "$bench/worker_bench"
large=("$data"/large/*.pdf)
"$build/src/cli/plait" calls -o "$data/out/worker.pdf" "${large[@]}" >"$bench/large-calls.txt"
sed "s|out/worker.pdf|out/worker-other.pdf|" "$bench/large-calls.txt" >"$bench/large-calls-other.txt"

commands=("plait build" "$build/src/cli/plait build -q -o $data/out/plait.pdf ${large[*]}"
    "worker" "$bench/worker_bench $build/src/worker/plait-engine-worker $bench/large-calls.txt")
if [ -n "$other" ]; then
    commands+=("other worker" "$bench/worker_bench $(realpath "$other") $bench/large-calls-other.txt")
fi
python3 bench/engine/paired.py "$rounds" "${commands[@]}"
qpdf --check "$data/out/worker.pdf" >/dev/null && echo "worker output passes qpdf --check"
