#!/usr/bin/env bash
# Formats the C++ sources with .clang-format; --check only lists the files it would change (exit 1 then).
# clang-format 14 (Debian 12's, installed by scripts/setup.sh): other versions place some lines differently.
set -euo pipefail
cd "$(dirname "$0")/.."
FORMAT=${CLANG_FORMAT:-clang-format-14}
if ! "$FORMAT" --version 2>/dev/null | grep -q "version 14\."; then
  echo "$FORMAT is not clang-format 14 (bash scripts/setup.sh installs it)" >&2
  exit 2
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ ${1:-} == --check ]]; then
  bad=0
  for f in "${files[@]}"; do
    if ! "$FORMAT" --dry-run --Werror "$f" >/dev/null 2>&1; then
      echo "not formatted: $f"
      bad=1
    fi
  done
  exit $bad
fi
"$FORMAT" -i "${files[@]}"
