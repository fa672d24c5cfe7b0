#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
# PRESET=ci (as CI runs it) makes every warning an error.
cmake --preset "${PRESET:-default}" -B "$BUILD_DIR"
cmake --build "$BUILD_DIR" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" "$@"
