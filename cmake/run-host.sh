#!/usr/bin/env bash
# The main job: installs what is missing, builds Oem.dll, the simulated modem and the host tool
# for Windows, registers the simulator in the build's private Wine prefix, and runs oemhost.exe
# under Wine, which loads Oem.dll and asks the (simulated) modem through COM.
# usage: bash cmake/run-host.sh [--profile FILE] [oemhost arguments...]    (default: report)
#   --profile FILE   the modem answers from FILE instead of sim/default-profile.txt
# The modem's carrier settings outlive each run (in the prefix's C:\ProgramData\OemSim).
set -euo pipefail
cd "$(dirname "$0")/.."
# OEM_BUILD_DIR: another build folder than the preset's (e.g. an engineer's own).
build=$(realpath -m "${OEM_BUILD_DIR:-build/windows}")

profile=
if [ "${1:-}" = "--profile" ]; then
  [ $# -ge 2 ] || { echo "usage: $0 [--profile FILE] [oemhost arguments...]" >&2; exit 2; }
  profile=$(realpath "$2")
  shift 2
fi

bash cmake/install-deps.sh
cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" --target oemhost oemsim
sh cmake/prepare-prefix.sh "$build/wineprefix" "$build/sim/oemsim.dll"

if [ -n "$profile" ]; then
  # Wine shows the Linux file system as drive Z:.
  export OEMSIM_PROFILE="Z:$(printf '%s' "$profile" | tr / '\\')"
fi
if [ $# -eq 0 ]; then
  set -- report
fi
echo "oemhost $*"
exec sh cmake/wine-run.sh "$build/wineprefix" "$build/oemhost/oemhost.exe" "$@"
