#!/bin/sh
# Creates the private Wine prefix of a build tree (once) and registers the simulated modem
# in it when its DLL is given.
# usage: prepare-prefix.sh PREFIX [SIMULATOR_DLL]
set -e
here=$(dirname "$0")
prefix=$1
sim=${2:-}
if [ ! -f "$prefix/system.reg" ]; then
  "$here/wine-run.sh" "$prefix" wineboot -i >/dev/null 2>&1 || true
fi
if [ -n "$sim" ]; then
  "$here/wine-run.sh" "$prefix" regsvr32 /s "Z:$(echo "$sim" | tr / '\\\\')"
fi
# Let the registry reach the disk before the first test reads it.
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -w
