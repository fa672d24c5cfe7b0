#!/usr/bin/env bash
# End to end: one whole demo heat through the program, then the files it left
# are checked with the command-line tools. Usage: demo_check.sh HOUNDEX_SIM HOUNDEX_NX3
set -euo pipefail
sim=$1
nx3=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export QT_QPA_PLATFORM=offscreen

fail() { echo "FAIL: $*" >&2; exit 1; }

"$sim" --demo "$out" || fail "the demo exited with $?"

shopt -s nullglob
recordings=("$out"/*.nx3)
[ ${#recordings[@]} -eq 1 ] || fail "expected one recording, found ${#recordings[@]}"
"$nx3" verify "${recordings[0]}" || fail "the recording does not verify"
for f in goal_photo.pdf goal_photo_series.pdf results.txt summary.txt; do
  [ -s "$out/$f" ] || fail "$f is missing or empty"
done

# results.txt: "Heat1", then rank, name, time (ss,cc or m:ss,cc); times never
# fall, ranks never fall, only the dead heat shares a rank (at an equal time),
# the DSQ comes last.
tr -d '\r' < "$out/results.txt" > "$out/results.lf"
head -n1 "$out/results.lf" | grep -qx 'Heat1' || fail "results.txt does not start with the heat line"
awk -F'\t' '
  NR == 1 { next }
  { n++ }
  $3 == "DSQ" { dsq++; next }
  dsq { print "a timed dog after the DSQ: " $0; bad = 1 }
  {
    t = $3; m = 0
    if (index(t, ":")) { split(t, p, ":"); m = p[1]; t = p[2] }
    sub(",", ".", t); v = m * 60 + t
    if (timed && v < last) { print "times out of order at: " $0; bad = 1 }
    if (timed && $1 + 0 < lastrank + 0) { print "rank falling: " $0; bad = 1 }
    if (timed && $1 == lastrank && v != last) { print "shared rank, different times: " $0; bad = 1 }
    if (timed && $1 == lastrank) ties++
    last = v; lastrank = $1; timed++
  }
  END {
    if (n != 6) { print "expected 6 dogs, found " n; bad = 1 }
    if (dsq != 1) { print "expected one DSQ, found " dsq + 0; bad = 1 }
    if (ties < 1) { print "no dead heat"; bad = 1 }
    exit bad
  }' "$out/results.lf" || fail "results.txt: $(cat "$out/results.lf")"

# The printouts: the heading, every dog's name, the series title.
single=$(pdftotext -layout "$out/goal_photo.pdf" -)
series=$(pdftotext -layout "$out/goal_photo_series.pdf" -)
grep -q "Heat:" <<<"$single" || fail "no heat heading in the goal photo"
grep -q "Goal photos" <<<"$series" || fail "no \"Goal photos\" in the series"
for name in "Red Rocket" "Blue Streak" "Snowflake" "Midnight Run" "Marmalade" "Zebra Dash"; do
  grep -q "$name" <<<"$series" || fail "\"$name\" missing from the series printout"
  grep -q "$name" "$out/summary.txt" || fail "\"$name\" missing from summary.txt"
done
echo "demo heat checked: $(basename "${recordings[0]}")"
