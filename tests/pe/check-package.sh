#!/bin/sh
# The release package as a host team gets it: made by cmake/package.sh, unpacked into a fresh
# folder, exactly the files listed, Oem.dll's PE facts, no debug information left in the shipped
# binaries, then oemhost from the unpacked folder in a fresh Wine prefix where nothing is
# registered: its versions, and the report page through --simulate.
# usage: check-package.sh RELEASE_DIR OBJDUMP VERSION
here=$(dirname "$0")
root=$here/../..
release=$1
objdump=$2
version=$3
fail() {
  echo "FAILED: $*"
  exit 1
}
OEM_RELEASE_DIR=$release bash "$root/cmake/package.sh" || fail "cmake/package.sh"
work=$release/package-test
rm -rf "$work"
mkdir -p "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$release/Oem-$version-win64.zip") || fail "unpacking the zip"
dir=$work/unpacked/Oem-$version-win64
files=$(cd "$dir" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
[ "$files" = "./Oem.def ./Oem.dll ./Oem.h ./Oem.lib ./README.txt ./debug/Oem.dll.debug ./debug/oemhost.exe.debug \
./debug/oemsim.dll.debug ./default-profile.txt ./ksconfig.ini ./oemhost.exe ./oemsim.dll ./old-firmware-profile.txt " ] ||
  fail "the zip's files: $files"
python3 "$here/check_pe_facts.py" "$objdump" "$dir/Oem.dll" "$here/expected_exports.txt" || fail "Oem.dll's PE facts"
for binary in Oem.dll oemhost.exe oemsim.dll; do
  sections=$("$objdump" -h "$dir/$binary")
  case "$sections" in *.debug_*) fail "$binary keeps debug sections" ;; esac
  case "$sections" in *.gnu_debuglink*) ;; *) fail "$binary has no debug link" ;; esac
done

sh "$root/cmake/wine-run.sh" "$work/prefix" wineboot -i >/dev/null 2>&1
run() { sh "$root/cmake/wine-run.sh" "$work/prefix" "$dir/oemhost.exe" "$@" | tr -d '\r'; }
versions=$(run --version)
case "$versions" in
  "oemhost $version
Oem.dll $version"[.\ ]*) ;;
  *) fail "versions: $versions" ;;
esac
sh "$root/cmake/wine-run.sh" "$work/prefix" "$dir/oemhost.exe" carrier-id >/dev/null &&
  fail "a modem answered without --simulate: the prefix is not fresh"
run --simulate report | diff "$root/tests/host/report-page.txt" - || fail "the report page through --simulate"
echo "package: passed"
