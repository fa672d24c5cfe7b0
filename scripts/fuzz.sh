#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address + undefined sanitizers),
# writes the seed corpora with the program's own writers when they are missing,
# and runs one target for the given time.
#   scripts/fuzz.sh TARGET SECONDS [extra libFuzzer flags]
#   TARGET: nx3 header event dog_import ini jpeg journal audit box_line http_request (or fuzz_<name>)
# Findings go to build-fuzz/findings/<target>/; keep each one as a file under
# fuzz/regressions/<target>/ together with its fix and test.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer flags]" >&2
  exit 2
fi
TARGET=${1#fuzz_}
SECONDS_TO_RUN=$2
shift 2

bash scripts/setup.sh

BUILD_DIR=${BUILD_DIR:-build-fuzz}
JOBS=${JOBS:-2}
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake --preset fuzz -B "$BUILD_DIR" >/dev/null
fi
# NO_BUILD=1 runs the targets as they are built (several runs one after the other).
if [ "${NO_BUILD:-0}" != 1 ] || [ ! -x "$BUILD_DIR/fuzz/fuzz_$TARGET" ]; then
  cmake --build "$BUILD_DIR" -j"$JOBS" --target "fuzz_$TARGET" houndex_fuzz_seeds
fi

SEEDS="$ROOT/$BUILD_DIR/seeds"
if [ ! -d "$SEEDS/$TARGET" ]; then
  QT_QPA_PLATFORM=offscreen "$BUILD_DIR/fuzz/houndex_fuzz_seeds" "$SEEDS"
fi
CORPUS="$ROOT/$BUILD_DIR/corpus/$TARGET"
FINDINGS="$ROOT/$BUILD_DIR/findings/$TARGET"
mkdir -p "$CORPUS" "$FINDINGS"
# The regression inputs run first, so a fix that came undone shows at once.
DIRS=("$CORPUS" "$SEEDS/$TARGET")
[ -d "fuzz/regressions/$TARGET" ] && DIRS+=("fuzz/regressions/$TARGET")

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:allocator_may_return_null=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"
# The element names of the documents, where a target reads one.
DICT=()
[ -f "fuzz/$TARGET.dict" ] && DICT=(-dict="fuzz/$TARGET.dict")
LOG="$FINDINGS/run-$(date +%Y%m%d-%H%M%S).log"
set +e
started=$(date +%s)
"$BUILD_DIR/fuzz/fuzz_$TARGET" -max_total_time="$SECONDS_TO_RUN" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$FINDINGS/" -print_final_stats=1 "${DICT[@]}" "$@" "${DIRS[@]}" 2>&1 | tee "$LOG"
rc=${PIPESTATUS[0]}
elapsed=$(( $(date +%s) - started ))
set -e
execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$LOG" | tail -1 | grep -o '[0-9]*$')
echo "fuzz_$TARGET: ${execs:-unknown} executions in ${elapsed} s of ${SECONDS_TO_RUN} s asked (exit $rc, log $LOG)"
exit "$rc"
