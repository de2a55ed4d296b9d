#!/usr/bin/env bash
# The test command: installs what is missing, builds Oem.dll, the simulator, the host tool
# and the tests for Windows, runs them under Wine, then builds and runs the plain text logic
# natively under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash cmake/install-deps.sh
cmake --preset windows
cmake --build --preset windows
ctest --preset windows
cmake --preset native
cmake --build --preset native
ctest --preset native
