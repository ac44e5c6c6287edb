#!/usr/bin/env bash
# Writes pictures of the main window (light and dark themes), the build notes, the progress
# window, the about box and each tab of the settings dialog to docs/screenshots/.
# Needs no display: the dialog is drawn on Qt's offscreen platform.
# Usage: scripts/screenshots.sh [build-dir]   (default build/dev; built first if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/dev}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset dev
    build=build/dev
fi
cmake --build "$build" --target gui_tests
export QT_QPA_PLATFORM=offscreen
export PLAIT_SCREENSHOT_DIR="$PWD/docs/screenshots"
"$build/tests/gui_tests" --gtest_also_run_disabled_tests --gtest_filter='SettingsScreenshots.*:MainWindowScreenshots.*:DesktopScreenshots.*'
ls -1 "$PLAIT_SCREENSHOT_DIR"/*.png
