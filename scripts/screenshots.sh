#!/usr/bin/env bash
# Draws the documentation's screenshots: runs the demo heat (houndex-sim) offscreen on a
# 1366 x 768 screen with the 600*1080 crop and keeps the screen live and in
# review, the settings, the review with the results window beside the picture,
# the results window and the camera delay calibration, in docs/screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -x "$BUILD_DIR/apps/houndex-sim/houndex-sim" ] || [ "${SKIP_BUILD:-0}" != 1 ]; then
  cmake --preset default -B "$BUILD_DIR" >/dev/null
  cmake --build "$BUILD_DIR" -j"$(nproc)" --target houndex-sim
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mkdir -p docs/screenshots
QT_QPA_PLATFORM=offscreen "$BUILD_DIR/apps/houndex-sim/houndex-sim" --demo "$out" --demo-screen 1366x768 \
  --demo-crop "600*1080" --demo-screenshots docs/screenshots
# The goal photo as printed (margins, the estimate where there is one, the finish strip).
pdftoppm -png -r 50 -singlefile "$out/goal_photo.pdf" docs/screenshots/goal_photo
ls -l docs/screenshots/*.png
