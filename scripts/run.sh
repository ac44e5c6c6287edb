#!/usr/bin/env bash
# Builds PDF Plait (release) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release
cmake --build --preset release
exec ./build/release/src/gui/pdfplait "$@"
