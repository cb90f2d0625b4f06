#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
# Extra arguments go to ctest (for example: -R core_fileoperation).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
# Qt keeps some allocations until exit on purpose; leaks are not judged.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
cd "${BUILD_DIR:-build}"
ctest --output-on-failure -j "$(nproc)" "$@"
