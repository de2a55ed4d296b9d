#!/bin/sh
# The release package as a host team gets it, made by cmake/package.sh and unpacked: exactly the
# files of its SDK layout, each as SHA256SUMS lists it, and the zip as the SHA256SUMS beside it
# lists it; Oem.dll a 64-bit image with exactly the expected exports, ASLR and NX on; no shipped
# binary importing a DLL outside the KnownDLLs or keeping debug sections; each binary naming its
# PDB by bare file name, with that PDB's GUID and age, and the PDB resolving Oem.dll's exports;
# lib/Oem.lib in Microsoft's format. In a fresh Wine prefix: oemhost's versions and its report
# page through --simulate; a foreign registration of the real class untouched by the simulator's
# regsvr32 and regsvr32 /u; then, with the package's simulator registered there, msvc-host.c built
# for the MSVC ABI as C and as C++, and the CMake project cmake-host/, each run against bin/.
# usage: check-package.sh RELEASE_DIR OBJDUMP VERSION
here=$(dirname "$0")
root=$here/../..
release=$1 objdump=$2 version=$3
fail() {
  echo "FAILED: $*"
  exit 1
}
work=$release/package-test
rm -rf "$work"
mkdir -p "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$release/Oem-$version-win64.zip") || fail "unpacking the zip"
dir=$work/unpacked/Oem-$version-win64
files=$(cd "$dir" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
[ "$files" = "./SHA256SUMS ./bin/Oem.dll ./bin/oemhost.exe ./bin/oemsim.dll ./debug/Oem.pdb ./debug/oemhost.pdb \
./debug/oemsim.pdb ./include/Oem.h ./lib/Oem.def ./lib/Oem.lib ./lib/cmake/Oem/OemConfig.cmake \
./lib/cmake/Oem/OemConfigVersion.cmake ./lib/libOem.dll.a ./share/oem/README.txt ./share/oem/default-profile.txt \
./share/oem/ksconfig.ini ./share/oem/old-firmware-profile.txt " ] || fail "the zip's files: $files"
(cd "$dir" && sha256sum --quiet -c SHA256SUMS && [ "$(wc -l <SHA256SUMS)" -eq 16 ]) || fail "the package's SHA256SUMS"
(cd "$release" && sha256sum --quiet -c SHA256SUMS) || fail "the SHA256SUMS beside the zip"

dump=$("$objdump" -p "$dir/bin/Oem.dll")
case "$dump" in *"file format pei-x86-64"*) ;; *) fail "Oem.dll is not a 64-bit PE image" ;; esac
exports=$(printf '%s\n' "$dump" | sed -n '/Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]*\] //p' | LC_ALL=C sort)
[ "$exports" = "$(LC_ALL=C sort "$here/expected_exports.txt")" ] || fail "Oem.dll's exports: $exports"
# Windows 10's KnownDLLs (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs),
# which the loader always maps from System32, and ntdll.dll, mapped into every process: any
# other import would be looked for in the folder of the program first (version.dll from a
# Downloads folder, say).
known=" advapi32.dll clbcatq.dll combase.dll comdlg32.dll coml2.dll difxapi.dll gdi32.dll gdiplus.dll \
imagehlp.dll imm32.dll kernel32.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll ntdll.dll ole32.dll oleaut32.dll \
psapi.dll rpcrt4.dll sechost.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll user32.dll wldap32.dll ws2_32.dll "
for binary in Oem.dll oemhost.exe oemsim.dll; do
  for dll in $("$objdump" -p "$dir/bin/$binary" | sed -n 's/^\s*DLL Name: //p' | tr A-Z a-z); do
    case "$known" in *" $dll "*) ;; *) fail "$binary imports $dll, which is not a KnownDLL" ;; esac
  done
done
flags=0x$(printf '%s\n' "$dump" | sed -n 's/^DllCharacteristics\s*//p')
# HIGH_ENTROPY_VA, DYNAMIC_BASE and NX_COMPAT
[ $((flags & 0x160)) -eq $((0x160)) ] || fail "Oem.dll lacks ASLR or NX: DllCharacteristics $flags"
for binary in Oem.dll oemhost.exe oemsim.dll; do
  sections=$("$objdump" -h "$dir/bin/$binary")
  case "$sections" in *.debug_*) fail "$binary keeps debug sections" ;; esac
  # The CodeView record's GUID as bytes, in the order the PDB prints them: {4-2-2-2-6}.
  record=$(llvm-readobj --coff-debug-directory "$dir/bin/$binary")
  guid=$(printf '%s\n' "$record" | sed -n 's/^ *PDBGUID: (\(.*\))$/\1/p' |
    awk '{ printf "{%s%s%s%s-%s%s-%s%s-%s%s-%s%s%s%s%s%s}", $4,$3,$2,$1, $6,$5, $8,$7, $9,$10, $11,$12,$13,$14,$15,$16 }')
  pdb=${binary%.*}.pdb
  summary=$(llvm-pdbutil dump -summary "$dir/debug/$pdb")
  printf '%s\n' "$record" | grep -qx " *PDBFileName: $pdb" || fail "$binary does not name $pdb by its bare name"
  printf '%s\n' "$summary" | grep -qx " *GUID: $guid" || fail "$binary's PDB GUID $guid is not $pdb's"
  [ "$(printf '%s\n' "$record" | sed -n 's/^ *PDBAge: //p')" = "$(printf '%s\n' "$summary" | sed -n 's/^ *Age: //p')" ] ||
    fail "$binary's PDB age is not $pdb's"
done
# A debugger's view: the binary and its PDB side by side, each export's address resolved to the
# export's own name.
mkdir "$work/symbols" && cp "$dir/bin/Oem.dll" "$dir/debug/Oem.pdb" "$work/symbols/"
base=$(printf '%s\n' "$dump" | sed -n 's/^ImageBase\s*//p')
resolved=$(printf '%s\n' "$dump" | sed -n 's/^\s*\[ *\([0-9]*\)\] +base\[ *[0-9]*\] \([0-9a-f]*\) Export RVA$/\1 \2/p' |
  while read -r index rva; do
    name=$(printf '%s\n' "$dump" | sed -n "/Ordinal\/Name Pointer\] Table/,/^\$/s/^\s*\[ *$index\] //p")
    symbol=$(cd "$work/symbols" && llvm-symbolizer --obj=Oem.dll "0x$(printf '%x' $((0x$base + 0x$rva)))" | head -n 1)
    [ "$symbol" = "$name" ] && echo "$symbol"
  done | LC_ALL=C sort)
[ "$resolved" = "$exports" ] || fail "the PDB resolves only these exports by name: $resolved"
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

# A registration of the real class stays as it is through regsvr32 and regsvr32 /u of the
# simulator, and the simulator's other class is not registered either.
class='HKCR\CLSID\{BDFEE05B-4418-11DD-90ED-001C257CCFF1}' other='HKCR\CLSID\{2269DAA3-2A9F-4165-A501-CE00A6F7A75B}'
wine reg add "$class\InprocServer32" /ve /d 'C:\windows\system32\mbnapi.dll' /f >/dev/null
foreign=$(wine reg query "$class" /s)
wine regsvr32 /s "$(windows "$dir/bin/oemsim.dll")" && fail "oemsim.dll registered over another server"
wine regsvr32 /s /u "$(windows "$dir/bin/oemsim.dll")"
[ "$(wine reg query "$class" /s)" = "$foreign" ] || fail "the foreign registration changed: $(wine reg query "$class" /s)"
wine reg query "$other" >/dev/null 2>&1 && fail "oemsim.dll registered one class of two"
wine reg delete "$class" /f >/dev/null
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
cp "$dir/bin/Oem.dll" "$work/cmake-host/" && wine "$work/cmake-host/cmake-host.exe" || fail "the CMake host, Oem.dll beside it"
echo "package: passed"
