#!/bin/sh
# Runs a Windows program under Wine in the given private prefix, headless.
# usage: wine-run.sh PREFIX PROGRAM [ARGS...]
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
exec /usr/lib/wine/wine64 "$@"
