#!/bin/sh
# The release package as a host team gets it: made by cmake/package.sh and unpacked, exactly the
# files of its SDK layout; Oem.dll a 64-bit image with exactly the expected exports, only Windows
# system DLLs imported, ASLR and NX on; no debug information left in the shipped binaries;
# lib/Oem.lib in Microsoft's format. In a fresh Wine prefix: oemhost's versions and its report
# page through --simulate; then, with the package's simulator registered there, msvc-host.c built
# for the MSVC ABI as C and as C++, and the CMake project cmake-host/, each run against bin/.
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
[ "$files" = "./bin/Oem.dll ./bin/oemhost.exe ./bin/oemsim.dll ./debug/Oem.dll.debug ./debug/oemhost.exe.debug \
./debug/oemsim.dll.debug ./include/Oem.h ./lib/Oem.def ./lib/Oem.lib ./lib/cmake/Oem/OemConfig.cmake \
./lib/cmake/Oem/OemConfigVersion.cmake ./lib/libOem.dll.a ./share/oem/README.txt ./share/oem/default-profile.txt \
./share/oem/ksconfig.ini ./share/oem/old-firmware-profile.txt " ] || fail "the zip's files: $files"

dump=$("$objdump" -p "$dir/bin/Oem.dll")
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
  sections=$("$objdump" -h "$dir/bin/$binary")
  case "$sections" in *.debug_*) fail "$binary keeps debug sections" ;; esac
  case "$sections" in *.gnu_debuglink*) ;; *) fail "$binary has no debug link" ;; esac
done
# One short import record per export, as Microsoft's linker writes them.
[ "$(llvm-readobj "$dir/lib/Oem.lib" | grep -c '^Format: COFF-import-file')" -eq 6 ] || fail "lib/Oem.lib's format"

wine() { sh "$root/cmake/wine-run.sh" "$work/prefix" "$@"; }
windows() { printf 'Z:%s' "$1" | tr / '\\'; }
wine wineboot -i >/dev/null 2>&1
run() { wine "$dir/bin/oemhost.exe" "$@" | tr -d '\r'; }
versions=$(run --version)
case "$versions" in
  "oemhost $version
Oem.dll $version"[.\ ]*) ;;
  *) fail "versions: $versions" ;;
esac
wine "$dir/bin/oemhost.exe" carrier-id >/dev/null &&
  fail "a modem answered without --simulate: the prefix is not fresh"
run --simulate report | diff "$root/tests/host/report-page.txt" - || fail "the report page through --simulate"

wine regsvr32 /s "$(windows "$dir/bin/oemsim.dll")" || fail "registering oemsim.dll"
export OEMSIM_PROFILE="$(windows "$dir/share/oem/default-profile.txt")"
for lang in c c++; do
  clang --target=x86_64-pc-windows-msvc -x $lang -Wall -Wextra -Werror -I"$dir/include" -c "$here/msvc-host.c" \
    -o "$work/msvc-host-$lang.obj" &&
    lld-link -nologo -nodefaultlib -entry:start -subsystem:console -out:"$dir/bin/msvc-host-$lang.exe" \
      "$work/msvc-host-$lang.obj" "$dir/lib/Oem.lib" /usr/x86_64-w64-mingw32/lib/libkernel32.a ||
    fail "building the MSVC-ABI host as $lang"
  wine "$dir/bin/msvc-host-$lang.exe" || fail "the MSVC-ABI host as $lang"
done
cmake -S "$here/cmake-host" -B "$work/cmake-host" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$dir" && cmake --build "$work/cmake-host" || fail "building the CMake host"
WINEPATH=$(windows "$dir/bin") sh "$root/cmake/wine-run.sh" "$work/prefix" "$work/cmake-host/cmake-host.exe" || fail "the CMake host, Oem.dll on its PATH"
echo "package: passed"
