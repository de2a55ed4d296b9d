#!/bin/sh
# oemhost runs one after another against the simulated modem, whose carrier state outlives
# each run in STATE_FILE: the report page of the factory state, then a setting made in one run
# and seen by the next ones, then the factory state restored.
# usage: persisted-state.sh PREFIX OEMHOST STATE_FILE EXPECTED_REPORT_PAGE
prefix=$1
host=$2
state=$3
page=$4
check="$(dirname "$0")/expect-output.sh"
export OEMSIM_STATE="Z:$(printf '%s' "$state" | tr / '\\')"
rm -f "$state"

fail() {
  echo "FAILED: $*"
  exit 1
}

# The whole page, line ends as Wine's console gives them aside.
report=$("$(dirname "$0")/../../cmake/wine-run.sh" "$prefix" "$host" report | tr -d '\r')
printf '%s\n' "$report" | diff "$page" - || fail "the report page differs from $page"

sh "$check" 0 "Carrier lock: set to on, carrier 20 (the modem answered OK)." "$prefix" "$host" set-switch lock 20 ||
  fail "set-switch lock 20"
grep -q "= lock 1,20" "$state" || fail "the state file lacks the lock"
sh "$check" 0 "Carrier lock: on (carrier 20)" "$prefix" "$host" get-switch lock || fail "the lock in a second run"
sh "$check" 0 "Carrier id:               20" "$prefix" "$host" report || fail "the report after the lock"
sh "$check" 0 "Factory carrier state: restored" "$prefix" "$host" restore-factory || fail "restore-factory"
sh "$check" 0 "Carrier lock: off (carrier 5)" "$prefix" "$host" get-switch lock || fail "the lock after restore"
echo "persisted state: passed"
