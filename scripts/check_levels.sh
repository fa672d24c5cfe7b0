#!/usr/bin/env bash
# Lists every include from a folder of src/ to a folder at its own or a higher
# level; exits 1 when there is one. The order below is the level order: a
# folder may include only the folders before it.
set -euo pipefail
cd "$(dirname "$0")/.."
order=(platform common settings metadata recording controlbox capture review web diagnostics printing event shell)
declare -A rank
for i in "${!order[@]}"; do rank[${order[$i]}]=$i; done

status=0
for dir in src/*/; do
  from=$(basename "$dir")
  if [[ -z ${rank[$from]+set} ]]; then
    echo "src/$from: not in the level order of scripts/check_levels.sh"
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
