#!/usr/bin/env bash
# The release package: installs what is missing, builds Oem.dll, oemhost.exe and the simulated
# modem in the release configuration (optimised, runtime linked statically) in build/release
# (or $OEM_RELEASE_DIR) and writes Oem-<version>-win64.zip there.
# usage: bash cmake/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${OEM_RELEASE_DIR:-build/release}")
bash cmake/install-deps.sh
cmake --preset release -B "$build" >/dev/null
cmake --build "$build" --target package_zip
