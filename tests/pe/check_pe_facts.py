#!/usr/bin/env python3
"""Fails when Oem.dll drifts from what a host may rely on: 64-bit PE, exactly the expected
exports by undecorated name, only Windows system DLLs imported, ASLR and NX flags set."""
import re
import subprocess
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll", "shell32.dll",
    "shlwapi.dll", "msvcrt.dll", "ntdll.dll", "ws2_32.dll", "bcrypt.dll", "api-ms-win-crt-runtime-l1-1-0.dll",
}
RUNTIME_DLLS = re.compile(r"libstdc\+\+|libgcc|libwinpthread|mingw", re.I)


def main(objdump, dll, expected_file):
    dump = subprocess.run([objdump, "-p", dll], check=True, capture_output=True, text=True).stdout
    failures = []

    if not re.search(r"file format pei-x86-64", subprocess.run(
            [objdump, "-f", dll], check=True, capture_output=True, text=True).stdout):
        failures.append("not a 64-bit PE image")

    imports = {m.group(1).lower() for m in re.finditer(r"DLL Name: (\S+)", dump)}
    for name in sorted(imports):
        if RUNTIME_DLLS.search(name) or name not in SYSTEM_DLLS:
            failures.append(f"imports a DLL that is not a Windows system DLL: {name}")

    table = dump.split("[Ordinal/Name Pointer] Table", 1)
    exports = set()
    if len(table) == 2:
        for line in table[1].splitlines()[1:]:
            m = re.match(r"\s+\[\s*\d+\]\s+(\S+)$", line)
            if not m:
                break
            exports.add(m.group(1))
    expected = {line.strip() for line in open(expected_file) if line.strip()}
    if exports != expected:
        failures.append(f"exports {sorted(exports)} but expected {sorted(expected)}")

    characteristics = re.search(r"DllCharacteristics\s+([0-9a-fA-F]+)", dump)
    flags = int(characteristics.group(1), 16) if characteristics else 0
    for bit, name in ((0x0020, "HIGH_ENTROPY_VA"), (0x0040, "DYNAMIC_BASE"), (0x0100, "NX_COMPAT")):
        if not flags & bit:
            failures.append(f"DllCharacteristics lacks {name} (0x{flags:04x})")

    for failure in failures:
        print("FAIL:", failure)
    print(f"imports: {sorted(imports)}\nexports: {sorted(exports)}\nDllCharacteristics: 0x{flags:04x}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
