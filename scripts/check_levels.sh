#!/usr/bin/env bash
# Lists every include from a folder of src/ to a folder at its own or a higher
# level; exits 1 when there is one. src/levels.txt holds the level order (the
# build reads it too): a folder may include only the folders before it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t order < <(grep -E '^[a-z_]+$' src/levels.txt)
declare -A rank
for i in "${!order[@]}"; do rank[${order[$i]}]=$i; done

status=0
for dir in src/*/; do
  from=$(basename "$dir")
  if [[ -z ${rank[$from]+set} ]]; then
    echo "src/$from: not in the level order of src/levels.txt"
    status=1
    continue
  fi
  while IFS=: read -r file line text; do
    to=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$text")
    [[ $to == "$from" ]] && continue
    if [[ -z ${rank[$to]+set} ]] || (( rank[$to] >= rank[$from] )); then
      echo "$file:$line: $from includes $to"
      status=1
    fi
  done < <(grep -rnE '^\s*#\s*include "[a-z_]+/' "$dir" || true)
done
[[ $status == 0 ]] && echo "levels: every include points to a lower folder"
exit $status
