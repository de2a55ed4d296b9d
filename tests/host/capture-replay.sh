#!/bin/sh
# A capture replays as the modem it came from: for each profile, oemhost --simulate captures
# the modem, then the report page of the capture equals the original's, and a capture of the
# replay holds the same replies byte for byte. Each run starts from the profile's own state.
# usage: capture-replay.sh PREFIX OEMHOST WORK_DIR PROFILE...
prefix=$1 host=$2 work=$3
shift 3
fail() {
  printf "FAILED: %s\n" "$*"
  exit 1
}
windows() { printf 'Z:%s' "$1" | tr / '\\'; }
export OEMSIM_STATE="$(windows "$work/state.txt")"
run() {
  windowsProfile=$(windows "$1")
  shift
  rm -f "$work/state.txt"
  "$(dirname "$0")/../../cmake/wine-run.sh" "$prefix" "$host" --simulate --profile "$windowsProfile" "$@" | tr -d '\r'
}
mkdir -p "$work"
for profile in "$@"; do
  rm -f "$work/capture.txt" "$work/again.txt"
  run "$profile" capture "$(windows "$work/capture.txt")" >/dev/null
  run "$work/capture.txt" capture "$(windows "$work/again.txt")" >/dev/null
  [ "$(grep -v '^#' "$work/capture.txt")" = "$(grep -v '^#' "$work/again.txt")" ] || fail "$profile: replies of the replay"
  [ "$(run "$profile" report)" = "$(run "$work/capture.txt" report)" ] || fail "$profile: report page of the replay"
done
run "$1" capture "$(windows "$work/capture.txt")" 2>&1 | grep -q "exists; --force" || fail "an existing capture overwritten"
# --force replaces only a plain file: a symbolic link, a hard link and a dangling link are
# refused and what they lead to is left as it was.
echo keep >"$work/target.txt"
for plant in "-s target.txt" "target.txt" "-s missing.txt"; do
  rm -f "$work/linked.txt" "$work/missing.txt"
  (cd "$work" && ln $plant linked.txt)
  run "$1" capture "$(windows "$work/linked.txt")" --force >/dev/null 2>&1
  [ "$(cat "$work/target.txt")" = keep ] && [ ! -e "$work/missing.txt" ] || fail "capture --force through 'ln $plant'"
done
echo "capture and replay: passed"
