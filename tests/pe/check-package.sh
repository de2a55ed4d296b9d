#!/bin/sh
# The release package as a host team gets it: made by cmake/package.sh, unpacked into a fresh
# folder, exactly the files listed; Oem.dll a 64-bit image with exactly the expected exports,
# only Windows system DLLs imported and ASLR and NX on; no debug information left in the shipped
# binaries; then oemhost from the unpacked folder in a fresh Wine prefix where nothing is
# registered: its versions (Oem.dll's from its version resource), and the report page through --simulate.
# usage: check-package.sh RELEASE_DIR OBJDUMP VERSION
here=$(dirname "$0")
root=$here/../..
release=$1 objdump=$2 version=$3
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

dump=$("$objdump" -p "$dir/Oem.dll")
case "$dump" in *"file format pei-x86-64"*) ;; *) fail "Oem.dll is not a 64-bit PE image" ;; esac
exports=$(printf '%s\n' "$dump" | sed -n '/Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]*\] //p' | LC_ALL=C sort)
[ "$exports" = "$(LC_ALL=C sort "$here/expected_exports.txt")" ] || fail "Oem.dll's exports: $exports"
system=" kernel32.dll user32.dll advapi32.dll ole32.dll oleaut32.dll shell32.dll shlwapi.dll msvcrt.dll ntdll.dll "
for dll in $(printf '%s\n' "$dump" | sed -n 's/^\s*DLL Name: //p' | tr A-Z a-z); do
  case "$system" in *" $dll "*) ;; *) fail "Oem.dll imports $dll, not a Windows system DLL" ;; esac
done
flags=0x$(printf '%s\n' "$dump" | sed -n 's/^DllCharacteristics\s*//p')
# HIGH_ENTROPY_VA, DYNAMIC_BASE and NX_COMPAT
[ $((flags & 0x160)) -eq $((0x160)) ] || fail "Oem.dll lacks ASLR or NX: DllCharacteristics $flags"
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
