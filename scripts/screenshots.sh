#!/usr/bin/env bash
# Draws the documentation's screenshots: runs the demo heat offscreen and keeps
# the main window live and in review, and the results window, in docs/screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -x "$BUILD_DIR/apps/houndex/houndex" ] || [ "${SKIP_BUILD:-0}" != 1 ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$BUILD_DIR" -j"$(nproc)" --target houndex
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mkdir -p docs/screenshots
QT_QPA_PLATFORM=offscreen "$BUILD_DIR/apps/houndex/houndex" --demo "$out" --demo-screenshots docs/screenshots
ls -l docs/screenshots/*.png
