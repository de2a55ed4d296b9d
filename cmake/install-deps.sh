#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, only what is missing.
# clang-14 builds the native sanitizer tests and the fuzz targets; libclang-rt-14-dev holds its
# sanitizer and libFuzzer runtimes (a recommendation of clang, so not installed with it here).
# The Windows build is clang-16 and lld-16 targeting mingw-w64 (PDB symbols); the package step
# takes llvm-objcopy, llvm-dlltool and osslsigncode, its test openssl, llvm-pdbutil and
# llvm-symbolizer, and the package test's MSVC-ABI host clang and lld-link.
set -euo pipefail
need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
for pkg in cmake ninja-build g++ g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
           wine64 googletest python3 clang-14 libclang-rt-14-dev clang lld llvm clang-16 lld-16 \
           osslsigncode openssl; do
  have "$pkg" || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${need[*]} (run as root to install them)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
