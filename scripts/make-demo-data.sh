#!/usr/bin/env bash
# Builds, once, the demo file-server tree that the stand-in web service's
# demo fixture points at: the shops' picture roots and N8 folders, the order
# folders with photos, finished photos, designs, thumbnails and marks, and a
# camera card to import from (card/DCIM, card/VIDEO, card/N8).
# Usage: scripts/make-demo-data.sh [--force] [ROOT]    (ROOT: demo/volumes)
# BUILD_DIR (default build/) names the build to take the maker from.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR="${BUILD_DIR:-build}"
force=0
if [ "${1:-}" = "--force" ]; then
    force=1
    shift
fi
ROOT="${1:-demo/volumes}"
MAKER="$BUILD_DIR/service/make-demo-data"

# A tree made before the fixture or the maker last changed is made again.
if [ "$force" -eq 0 ] && [ -f "$ROOT/.demo-complete" ] &&
    [ "$ROOT/.demo-complete" -nt service/fixtures/demo.json ] &&
    [ "$ROOT/.demo-complete" -nt service/demo/makedemodata.cpp ]; then
    exit 0
fi
if [ ! -x "$MAKER" ]; then
    BUILD_DIR="$BUILD_DIR" bash scripts/build.sh --target make-demo-data
fi
# The maker rewrites its own files in place, so an interrupted run is
# simply repeated; nothing else under ROOT is touched.
"$MAKER" --fixture service/fixtures/demo.json --root "$ROOT"
touch "$ROOT/.demo-complete"
