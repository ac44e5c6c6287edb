#!/usr/bin/env bash
# Builds PDF Plait with warnings as errors and runs every test: unit, offscreen GUI and end to end.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
cmake --preset ci
cmake --build --preset ci
ctest --preset ci -j2
# The Debian package: made, unpacked into a scratch root and checked.
bash scripts/check-package.sh build/ci
