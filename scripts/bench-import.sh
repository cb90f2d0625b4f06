#!/usr/bin/env bash
# Times the import of camera photos by the import worker against a baseline
# doing the same work with standard tools on the same photos: each photo's
# main copy (cp, or for orientation 3, 6 and 8 the lossless turn
# jpegtran -rotate ... -perfect -copy none), its backup copy (cp) and the
# vipsthumbnail cascade (2250 from the photo, 1000 from the 2250, 200 from
# the 1000), run with xargs -P $(nproc).
#
# In the same hyperfine runs it times the decode floor: the same photos
# decoded at the 2250 thumbnail's scale (djpeg -scale 3/8), nothing written,
# $(nproc) at once, which no import of them can go below on this machine.
#
# First checks both outputs, then times the worker, the baseline and the
# floor with hyperfine on a corpus of mixed orientations (1, 3, 6, 8) and on
# upright photos (orientation 1, the common case), and the single-order
# import (bench_import run-single: the window's photo jobs and shot-time
# records) on the upright photos. Then it runs the worker once more on the
# mixed corpus for its peak memory, and the real batch import dialog on it
# with a 10 ms timer on its event loop (the longest gap between ticks). It
# ends with one line a figure (the worker's time over the baseline's and
# over the floor's, each with both times), its target and whether it met
# it; the exit status is 1 when any figure misses its target. The mixed
# corpus is judged against the baseline only: its turned photos are turned
# before their copies are decoded.
#
# BENCH_PHOTOS (default 48) sets the number of 6000x4000 photos, BENCH_RUNS
# (default 5) the timed runs; the corpora are kept in $BUILD_DIR/bench-corpus.
set -euo pipefail

if [ "${1:-}" = "--baseline" ]; then
    src="$2"
    mkdir -p "$3"
    out="$(cd "$3" && pwd)"
    mkdir -p "$out/photos" "$out/backup" "$out/t2250" "$out/t1000" "$out/t200"
    find "$src" -maxdepth 1 -type f -name '*.JPG' -print0 |
        xargs -0 -P "$(nproc)" -I{} sh -c '
            f="$1"; out="$2"; n=$(basename "$f")
            case "$(vipsheader -f orientation "$f" 2>/dev/null)" in
                3) jpegtran -rotate 180 -perfect -copy none -outfile "$out/photos/$n" "$f" ;;
                6) jpegtran -rotate 90 -perfect -copy none -outfile "$out/photos/$n" "$f" ;;
                8) jpegtran -rotate 270 -perfect -copy none -outfile "$out/photos/$n" "$f" ;;
                *) cp "$f" "$out/photos/$n" ;;
            esac
            cp "$f" "$out/backup/$n"
            vipsthumbnail "$f" --size 2250x2250 -o "$out/t2250/$n"
            vipsthumbnail "$out/t2250/$n" --size 1000x1000 -o "$out/t1000/$n"
            vipsthumbnail "$out/t1000/$n" --size 200x200 -o "$out/t200/$n"
        ' sh {} "$out"
    exit 0
fi

cd "$(dirname "$0")/.."
root="$PWD"

source scripts/bench-tools.sh
bench_install_tools bench-import

export BUILD_DIR="${BUILD_DIR:-build}"
bash scripts/build.sh --target bench_import
bench="$root/$BUILD_DIR/bench/bench_import"

count="${BENCH_PHOTOS:-48}"
runs="${BENCH_RUNS:-5}"
corpus="$root/$BUILD_DIR/bench-corpus"
upright="$corpus/upright-$count"
mixed="$corpus/mixed-$count"
echo "bench-import: $count photos of 6000x4000 in $corpus"
"$bench" generate "$upright" "$count" 1
"$bench" generate "$mixed" "$count" 1,3,6,8

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The outputs first: thumbnail sizes, portrait for 6 and 8, copies
# byte-identical for orientation 1.
for photos in "$mixed" "$upright"; do
    rm -rf "$work/w" "$work/b"
    if ! "$bench" run "$photos" "$work/w" 2>"$work/run.log"; then
        tail -n 20 "$work/run.log" >&2
        exit 1
    fi
    "$bench" check "$photos" "$work/w"
    rm -rf "$work/s"
    if ! "$bench" run-single "$photos" "$work/s" 2>"$work/run.log"; then
        tail -n 20 "$work/run.log" >&2
        exit 1
    fi
    "$bench" check-single "$photos" "$work/s"
    bash "$root/scripts/bench-import.sh" --baseline "$photos" "$work/b"
    "$bench" check-baseline "$photos" "$work/b"
done

# Times the worker, the baseline and the decode floor on the photos into
# $work/<label>.csv.
time_against() {
    local photos="$1" label="$2" mode="$3"
    hyperfine --warmup 1 --runs "$runs" --export-csv "$work/$label.csv" \
        --prepare "rm -rf '$work/w' '$work/b'" \
        -n worker "'$bench' $mode '$photos' '$work/w'" \
        -n baseline "bash '$root/scripts/bench-import.sh' --baseline '$photos' '$work/b'" \
        -n floor "$(bench_decode_floor "$photos" '*.JPG' 3/8)" >&2
}

time_against "$upright" single run-single
rm -rf "$work/w"
"$bench" memory "$mixed" "$work/w" 2>/dev/null | tee "$work/memory.txt"
"$bench" dialog "$mixed" 2>/dev/null | tee "$work/dialog.txt"
peak="$(sed -n 's/^worker peak RSS: \([0-9]*\) MB.*/\1/p' "$work/memory.txt")"
stall="$(sed -n 's/.*longest stall of its event loop: \([0-9]*\) ms.*/\1/p' "$work/dialog.txt")"

time_against "$mixed" mixed run
time_against "$upright" upright run

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
bench_figure "worker peak RSS, mixed orientations, MB" "$peak" 400
bench_figure "dialog's longest event-loop stall, ms" "$stall" 50
bench_versus "single-order import, orientation 1, worker/baseline" "$work/single.csv" worker baseline 0.25
bench_versus "single-order import, orientation 1, worker/decode floor at 3/8" "$work/single.csv" worker floor 1.7
bench_versus "mixed orientations 1, 3, 6, 8, worker/baseline" "$work/mixed.csv" worker baseline 0.45
bench_versus "mixed orientations 1, 3, 6, 8, worker/decode floor at 3/8" "$work/mixed.csv" worker floor ""
bench_versus "orientation 1, worker/baseline" "$work/upright.csv" worker baseline 0.25
bench_versus "orientation 1, worker/decode floor at 3/8" "$work/upright.csv" worker floor 1.6
exit "$bench_missed"
