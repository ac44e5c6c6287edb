#!/usr/bin/env bash
# Builds PDF Plait and runs every check CI runs, in this order:
#   1. the `ci` preset (warnings as errors): every test, unit, offscreen GUI and end to end;
#   2. the `core-only` preset: everything but the GUI builds without Qt, and the core and
#      engine tests pass in a debug build;
#   3. the `asan` preset (AddressSanitizer and UndefinedBehaviorSanitizer): the core, engine
#      and PDF engine tests, where any report fails the run;
#   4. scripts/format-check.sh over the tracked sources.
# PLAIT_SKIP_FORMAT_CHECK=1 leaves out step 4 (for a tree not yet formatted as a whole).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen

stage() {
    echo "== $1 ($(date -u +%H:%M:%S))"
}

stage "ci: build and every test"
cmake --preset ci
cmake --build --preset ci
ctest --preset ci -j2
# The Debian package: made, unpacked into a scratch root and checked.
bash scripts/check-package.sh build/ci

stage "core-only: build without the GUI, core and engine tests"
cmake --preset core-only
cmake --build --preset core-only
./build/core-only/tests/engine_tests
./build/core-only/tests/core_tests

stage "asan: core, engine and PDF engine tests under the sanitizers"
cmake --preset asan
cmake --build --preset asan --target core_tests engine_tests pdfengine_tests
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
./build/asan/tests/engine_tests
./build/asan/tests/core_tests
./build/asan/tests/pdfengine_tests

if [[ "${PLAIT_SKIP_FORMAT_CHECK:-0}" != 1 ]]; then
    stage "format check"
    bash scripts/format-check.sh
fi
stage "all checks passed"
