#!/bin/sh
# Runs a Windows program under Wine in the given prefix; passes when it exits with the expected
# code and its output (standard output and error) holds the expected text.
# usage: expect-output.sh EXIT_CODE TEXT PREFIX PROGRAM [ARGS...]
expected=$1
text=$2
shift 2
output=$("$(dirname "$0")/../../cmake/wine-run.sh" "$@" 2>&1)
code=$?
printf '%s\n' "$output"
if [ "$code" -ne "$expected" ]; then
  echo "exit code $code, expected $expected"
  exit 1
fi
case "$output" in
  *"$text"*) ;;
  *) echo "the output lacks: $text"; exit 1 ;;
esac
