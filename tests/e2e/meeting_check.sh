#!/usr/bin/env bash
# A short meeting through the program, then its files are checked with the
# command-line tools. Usage: meeting_check.sh HOUNDEX_SIM HOUNDEX_NX3 SEED
set -euo pipefail
sim=$1
nx3=$2
seed=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export QT_QPA_PLATFORM=offscreen

fail() { echo "FAIL: $*" >&2; exit 1; }

"$sim" --meeting "$out" --heats 3 --seed "$seed" | tee "$out/summary.txt" || fail "the meeting exited with $?"

shopt -s nullglob
recordings=("$out"/*.nx3)
[ ${#recordings[@]} -eq 3 ] || fail "expected three recordings, found ${#recordings[@]}"
for r in "${recordings[@]}"; do
  "$nx3" verify "$r" || fail "$(basename "$r") does not verify"
  grep -qF "\"recording\": \"$r\"" "$out/meeting.json" || fail "meeting.json does not list $(basename "$r")"
done
grep -q "^{\"seed\": $seed," "$out/meeting.json" || fail "meeting.json does not start with its seed"
grep -q '"breaches": \[\]}$' "$out/meeting.json" || fail "meeting.json lists breaches"
[ "$(grep -c '"heat_id"' "$out/meeting.json")" -eq 3 ] || fail "meeting.json does not hold three heats"
# The programme came in as a race card through the import, and the results file says where each heat stands.
[ -f "$out/race_card.csv" ] || fail "no race card was written"
grep -q '"dogs": 18, "dogs_imported": 18}' "$out/meeting.json" || fail "the race card's 18 dogs were not imported"
"$nx3" meeting "$out" --csv > "$out/results.csv" || fail "the meeting's results cannot be exported"
head -n1 "$out/results.csv" | grep -q '^event,heat_id,heat_name,status,.*,revision,declared_at' \
  || fail "the results file has no status, revision and declaration time"
[ "$(grep -cE ',(provisional|official|amended),' "$out/results.csv")" -ge 3 ] || fail "results without a status"
tail -n1 "$out/summary.txt" | grep -q "^assigned times against the true crossings over [1-9][0-9]* dogs: mean .* ms, max .* ms$" \
  || fail "the summary does not end with the error of the assigned times"
echo "meeting of seed $seed checked"
