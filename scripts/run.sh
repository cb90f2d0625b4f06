#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo file-server tree once,
# starts the stand-in web service (studio-service) on 127.0.0.1 with the demo
# fixture, and starts the client pointed at both. The service stops when the
# client exits; TERM or INT ends the client, the service and the virtual
# display this script started, and then the script. Without a display the
# client runs on a virtual one (Xvfb).
# BUILD_DIR (default build/) may be set.
set -euo pipefail
cd "$(dirname "$0")/.."

export BUILD_DIR="${BUILD_DIR:-build}"
bash scripts/build.sh
bash scripts/make-demo-data.sh

DEMO="$PWD/demo"
VOLUMES="$DEMO/volumes"
SERVICE_LOG="$DEMO/studio-service.log"
LABELS="$DEMO/labels"
service_pid=""
xvfb_pid=""
client_pid=""

cleanup() {
    if [ -n "$client_pid" ]; then
        kill "$client_pid" 2>/dev/null || true
        wait "$client_pid" 2>/dev/null || true
    fi
    if [ -n "$service_pid" ]; then
        kill "$service_pid" 2>/dev/null || true
        wait "$service_pid" 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The stand-in on a free port; it names the port in its first line.
: >"$SERVICE_LOG"
"$BUILD_DIR/service/studio-service" --port 0 --fixture service/fixtures/demo.json \
    --log "$DEMO/requests.jsonl" --volumes "$VOLUMES" 2>>"$SERVICE_LOG" &
service_pid=$!
url=""
for _ in $(seq 100); do
    url="$(grep -o 'listening on http://127\.0\.0\.1:[0-9]*' "$SERVICE_LOG" | head -n1 | sed 's/^listening on //' || true)"
    [ -n "$url" ] && break
    if ! kill -0 "$service_pid" 2>/dev/null; then
        cat "$SERVICE_LOG" >&2
        echo "run.sh: studio-service did not start" >&2
        exit 1
    fi
    sleep 0.1
done
if [ -z "$url" ]; then
    echo "run.sh: studio-service did not report its address" >&2
    exit 1
fi
grep 'warning' "$SERVICE_LOG" >&2 || true

if [ -z "${DISPLAY:-}" ]; then
    display=99
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        sleep 0.1
    done
    export DISPLAY=":$display"
    echo "run.sh: no display found; the client runs on the virtual display $DISPLAY (Xvfb)."
fi

cat <<INFO
run.sh: studio-service is answering at $url (requests logged in demo/requests.jsonl)
run.sh: demo file shares under $VOLUMES (camera card: $VOLUMES/card)
run.sh: sign in as demo / password demo123   (zhao / zhao123 is a disabled account)
run.sh: barcode labels are written as PDF files to $LABELS
INFO

# The client keeps its path list files in its working directory. It runs in
# the background so that the script hears TERM and INT while the client is
# open (bash runs a trap only between commands, and wait is one).
client="$(cd "$BUILD_DIR/app" && pwd)/dravin"
(cd "$DEMO" && DRAVIN_URL_HOST="$url" DRAVIN_VOLUMES_ROOT="$VOLUMES" DRAVIN_LABEL_PDF_DIR="$LABELS" exec "$client") &
client_pid=$!
status=0
wait "$client_pid" || status=$?
client_pid=""
exit "$status"
