#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test; any sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build-asan}
cmake --preset asan -B "$BUILD_DIR"
cmake --build "$BUILD_DIR" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
# intercept_tls_get_addr=0: the leak checker's tracking of dynamically loaded
# libraries' thread-local storage reads a bogus range after the print plugins
# load and crashes the checker itself ("Tracer caught signal 11").
export ASAN_OPTIONS="abort_on_error=1:halt_on_error=1:detect_leaks=1:intercept_tls_get_addr=0"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" "$@"
