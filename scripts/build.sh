#!/usr/bin/env bash
# Configures and builds the client, the stand-in service and the tests.
# BUILD_DIR (default build/) and BUILD_TYPE (default RelWithDebInfo) may be set;
# SANITIZE=1 builds with the address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

BUILD_DIR="${BUILD_DIR:-build}"
BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}"
args=(-S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE")
if command -v ccache >/dev/null 2>&1; then
    args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
args+=(-DDRAVIN_SANITIZE="$([ "${SANITIZE:-}" = 1 ] && echo ON || echo OFF)")
if [ "${CI:-}" = "true" ]; then
    args+=(-DDRAVIN_WERROR=ON)
fi
cmake "${args[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" "$@"
