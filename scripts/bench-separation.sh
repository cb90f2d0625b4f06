#!/usr/bin/env bash
# Times the copy and sheet-thumbnail stages of one design separation order
# against a baseline doing the same work with standard tools on the same
# finished photos: cp of each photo into the output folder and
# vipsthumbnail -s 88 of each, run with xargs -P $(nproc).
#
# First checks both outputs, then times both with hyperfine. The last line
# is the ratio worker/baseline and its target; the exit status is 1 when it
# misses the target.
#
# BENCH_PHOTOS (default 48) sets the number of 6000x4000 photos, BENCH_RUNS
# (default 5) the timed runs. The photos are the import benchmark's corpus
# ($BUILD_DIR/bench-corpus), linked into an order's "成品/".
set -euo pipefail

if [ "${1:-}" = "--baseline" ]; then
    src="$2"
    mkdir -p "$3"
    out="$(cd "$3" && pwd)"
    mkdir -p "$out/copies" "$out/thumbs"
    find "$src" -maxdepth 1 -type f -name '*.jpg' -print0 |
        xargs -0 -P "$(nproc)" -I{} sh -c '
            f="$1"; out="$2"; n=$(basename "$f")
            cp "$f" "$out/copies/$n"
            vipsthumbnail "$f" -s 88 -o "$out/thumbs/$n"
        ' sh {} "$out"
    exit 0
fi

cd "$(dirname "$0")/.."
root="$PWD"

source scripts/bench-tools.sh
bench_install_tools bench-separation

export BUILD_DIR="${BUILD_DIR:-build}"
bash scripts/build.sh --target bench_import bench_separation
generator="$root/$BUILD_DIR/bench/bench_import"
bench="$root/$BUILD_DIR/bench/bench_separation"

count="${BENCH_PHOTOS:-48}"
runs="${BENCH_RUNS:-5}"
corpus="$root/$BUILD_DIR/bench-corpus"
photos="$corpus/upright-$count"
order="$corpus/separation-$count"
echo "bench-separation: $count photos of 6000x4000 in $order/成品"
"$generator" generate "$photos" "$count" 1
rm -rf "$order"
mkdir -p "$order/成品"
for f in "$photos"/*.JPG; do
    n="$(basename "$f" .JPG).jpg"
    ln "$f" "$order/成品/$n" 2>/dev/null || cp "$f" "$order/成品/$n"
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A run writes the photos' small thumbnails into the order folder's
# "成品缩略图/" when they are missing; every run starts with the folder
# there (an imported order has it) and empty, so each photo is decoded, as
# the baseline decodes it.
prepare="rm -rf '$work/w' '$work/b' '$order/成品缩略图' && mkdir -p '$order/成品缩略图'"

# The outputs first: byte-identical copies and 88-pixel thumbnails.
eval "$prepare"
if ! "$bench" run "$order" "$work/w" 2>"$work/run.log"; then
    tail -n 20 "$work/run.log" >&2
    exit 1
fi
"$bench" check "$order" "$work/w"
bash "$root/scripts/bench-separation.sh" --baseline "$order/成品" "$work/b"
"$bench" check-baseline "$order" "$work/b"

hyperfine --warmup 1 --runs "$runs" --export-csv "$work/times.csv" \
    --prepare "$prepare" \
    -n worker "'$bench' run '$order' '$work/w'" \
    -n baseline "bash '$root/scripts/bench-separation.sh' --baseline '$order/成品' '$work/b'" >&2
ratio="$(awk -v w="$(mean_of "$work/times.csv" worker)" -v b="$(mean_of "$work/times.csv" baseline)" \
    'BEGIN { printf "%.2f\n", w / b }')"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
bench_figure "copies and sheet thumbnails of one order, worker/baseline" "$ratio" 0.5
exit "$bench_missed"
