#!/usr/bin/env bash
# The release package: installs what is missing, builds Oem.dll, oemhost.exe and the simulated
# modem in the release configuration (optimised, runtime linked statically) in build/release
# (or $OEM_RELEASE_DIR) and writes Oem-<version>-win64.zip and its SHA256SUMS there. One commit
# gives the same bytes wherever it is built; the zip's entries carry the commit's time.
# usage: bash cmake/package.sh
# Signing: OEM_SIGN_PFX (a PKCS#12 file), OEM_SIGN_PASSWORD_FILE (a file holding its password),
# optionally OEM_SIGN_TIMESTAMP_URL (an RFC 3161 time-stamp server).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${OEM_RELEASE_DIR:-build/release}")
bash cmake/install-deps.sh
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && git rev-parse --git-dir >/dev/null 2>&1; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
  export SOURCE_DATE_EPOCH
fi
cmake --preset release -B "$build" >/dev/null
cmake --build "$build" --target package_zip
