#!/usr/bin/env bash
# Fails (exit 1) when a benchmark run went wrong, so that no figure of a broken
# run is taken for a measurement: a program error printed on the run's
# standard error (the error handler's "error N, ... at LOCATION" lines and its
# "*Error in" lines) or a benchmark that stopped with an error in the JSON
# report. Usage: check_run.sh STDERR_FILE JSON_FILE
set -euo pipefail
err=$1
json=$2

errors=$(grep -E '^(error -?[0-9]+, |\*Error in )' "$err" || true)
stopped=$(python3 -c '
import json, sys
try:
    report = json.load(open(sys.argv[1]))
except (OSError, ValueError) as e:
    print("  the JSON report is missing or cut short (the run ended early?): " + str(e))
    sys.exit()
for b in report.get("benchmarks", []):
    if b.get("error_occurred"):
        print("  " + b.get("name", "?") + ": " + b.get("error_message", ""))
' "$json")

status=0
if [ -n "$errors" ]; then
  echo "FAIL: $(wc -l <<<"$errors") program errors printed during the benchmarks; the distinct ones:" >&2
  # Frame numbers and counts differ from line to line: one line per kind of error.
  sed -E 's/[0-9]+/N/g' <<<"$errors" | sort | uniq -c | sort -rn | head -20 >&2
  status=1
fi
if [ -n "$stopped" ]; then
  echo "FAIL: benchmarks stopped with an error:" >&2
  echo "$stopped" >&2
  status=1
fi
exit $status
