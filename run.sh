#!/usr/bin/env bash
# Sets up the machine, builds the program and starts it. Arguments go to the
# program; with --demo or --meeting they go to the harness app houndex-sim.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
app=houndex
for a in "$@"; do
  if [ "$a" = --demo ] || [ "$a" = --meeting ]; then app=houndex-sim; fi
done
cmake --preset default -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target "$app"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: running offscreen." >&2
  export QT_QPA_PLATFORM=offscreen
fi
exec "$BUILD_DIR/apps/$app/$app" "$@"
