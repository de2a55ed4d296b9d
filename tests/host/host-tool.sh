#!/bin/sh
# oemhost.exe as a person runs it against the simulated modem: the whole report page, a setting
# carried across runs in the state file, a refused setting as text, and the exit codes 3 and 4
# (json-doctor.py holds the others).
# usage: host-tool.sh PREFIX OEMHOST OEMSIM_DLL STATE_FILE EXPECTED_REPORT_PAGE
prefix=$1 host=$2 sim=$3 state=$4 page=$5
export OEMSIM_STATE="Z:$(printf '%s' "$state" | tr / '\\')"
rm -f "$state"
status=0

# run CODE TEXT ARGUMENTS...: oemhost must exit with CODE and print TEXT (a file: the whole page).
run() {
  code=$1 text=$2
  shift 2
  out=$("$(dirname "$0")/../../cmake/wine-run.sh" "$prefix" "$host" "$@" 2>&1)
  got=$?
  out=$(printf '%s\n' "$out" | tr -d '\r')
  if [ "$got" -ne "$code" ]; then
    echo "FAILED oemhost $*: exit code $got, expected $code"; status=1
  elif [ -f "$text" ]; then
    printf '%s\n' "$out" | diff "$text" - || { echo "FAILED oemhost $*: the page differs from $text"; status=1; }
  else
    case "$out" in *"$text"*) ;; *) echo "FAILED oemhost $*: the output lacks: $text"; status=1 ;; esac
  fi
}

run 0 "$page" report
run 0 "Carrier lock: set to on, carrier 20 (the modem answered OK)." set-switch lock 20
grep -q "= lock 1,20" "$state" || { echo "FAILED: the state file lacks the lock"; status=1; }
run 0 "Carrier id:               20" report
run 0 "Factory carrier state: restored" restore-factory
run 0 "$page" report
run 1 "Factory-default carrier: not set to carrier -1" set-switch factory-default -1
run 4 "differs, update due" package-differs A1.B2.C3.10.4 A1.B2.C3.10.5
run 3 "has no export OEM_GetCurrentCarrierID" --dll "$sim" carrier-id
exit $status
