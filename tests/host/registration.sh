#!/bin/sh
# regsvr32 of a second copy of the simulator, where both Mobile Broadband classes are already
# registered to another server (the test prefix's own simulator), changes neither class key,
# and regsvr32 /u of that copy removes neither.
# usage: registration.sh PREFIX OEMSIM_DLL WORK_DIR
set -u
prefix=$1 sim=$2 work=$3
wine_run="$(dirname "$0")/../../cmake/wine-run.sh"
rm -rf "$work" && mkdir -p "$work" && cp "$sim" "$work/oemsim.dll"
copy="Z:$(echo "$work/oemsim.dll" | tr / '\\\\')"
servers() {
  for clsid in BDFEE05B-4418-11DD-90ED-001C257CCFF1 2269DAA3-2A9F-4165-A501-CE00A6F7A75B; do
    "$wine_run" "$prefix" reg query "HKCR\\CLSID\\{$clsid}\\InprocServer32" /ve 2>/dev/null | tr -d '\r' | grep REG_SZ
  done
}
before=$(servers)
failed=0
[ "$(printf "%s\n" "$before" | grep -c oemsim.dll)" -eq 2 ] || { echo "no registration to keep: $before"; failed=1; }
"$wine_run" "$prefix" regsvr32 /s "$copy" && { echo "regsvr32 took classes registered elsewhere"; failed=1; }
[ "$(servers)" = "$before" ] || { echo "regsvr32 changed: $(servers)"; failed=1; }
"$wine_run" "$prefix" regsvr32 /u /s "$copy"
[ "$(servers)" = "$before" ] || { echo "regsvr32 /u changed: $(servers)"; failed=1; }
# Whatever happened, the prefix's own simulator stays registered for the other tests.
"$wine_run" "$prefix" regsvr32 /s "Z:$(echo "$sim" | tr / '\\\\')"
[ $failed -eq 0 ] && echo "a foreign registration is left as it was"
exit $failed
