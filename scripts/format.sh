#!/usr/bin/env bash
# Formats the C++ sources with .clang-format; --check only lists the files it would change (exit 1 then).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ ${1:-} == --check ]]; then
  bad=0
  for f in "${files[@]}"; do
    if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
      echo "not formatted: $f"
      bad=1
    fi
  done
  exit $bad
fi
clang-format -i "${files[@]}"
