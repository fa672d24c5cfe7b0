#!/usr/bin/env bash
# The program carries no harness and no test double: no scripted-dialog,
# fake-clock or harness symbol in its binary, no meeting or demo option in its
# help. The harness app offers both. Usage: product_check.sh HOUNDEX HOUNDEX_SIM
set -euo pipefail
houndex=$1
sim=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

command -v nm >/dev/null || fail "nm is missing (binutils)"
symbols=$(nm -C "$houndex" | grep -E 'Platform::(ScriptedDialogs|FakeClock)|Run_Meeting|Run_Demo|Sim_Race_Session|Meeting_Plan|Meeting_Capture_Log' || true)
[ -z "$symbols" ] || fail "the program carries test doubles or the harness:"$'\n'"$symbols"

help=$("$houndex" --help)
if grep -qE -- '--(demo|meeting|heats|seed|clock)' <<<"$help"; then fail "houndex --help offers a harness option"; fi

sim_help=$("$sim" --help)
for option in --demo --meeting --heats --seed --clock; do
  grep -qE -- "$option( |$)" <<<"$sim_help" || fail "houndex-sim --help does not offer $option"
done
if "$sim" --meeting 2>/dev/null; then fail "houndex-sim ran without a folder"; fi
if "$sim" --meeting /tmp/x --heats 0 2>/dev/null; then fail "houndex-sim took --heats 0"; fi
echo "the program carries no harness"
