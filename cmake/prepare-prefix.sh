#!/bin/sh
# Creates the private Wine prefix of a build tree (once) and registers the simulated modem
# in it when its DLL is given.
# usage: prepare-prefix.sh PREFIX [SIMULATOR_DLL]
set -e
here=$(dirname "$0")
prefix=$1
sim=${2:-}
# A server kept by an earlier run would make the flush below wait for it to time out.
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
if [ ! -f "$prefix/system.reg" ]; then
  "$here/wine-run.sh" "$prefix" wineboot -i >/dev/null 2>&1 || true
fi
if [ -n "$sim" ]; then
  "$here/wine-run.sh" "$prefix" regsvr32 /s "Z:$(echo "$sim" | tr / '\\\\')"
fi
# Let the registry reach the disk before the first test reads it.
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -w
# One server for the whole run, kept a minute past its last program: a program started just as
# an idle server shuts down loses its connection ("recvmsg: Connection reset by peer"). Wine's
# own background programs live as long as the server, so they are started here, away from the
# output of whichever test would start them and then be waited for.
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -p60 </dev/null >/dev/null 2>&1
"$here/wine-run.sh" "$prefix" cmd /c exit </dev/null >/dev/null 2>&1 || true
