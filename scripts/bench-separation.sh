#!/usr/bin/env bash
# Times the copy and sheet-thumbnail stages of one design separation order
# against a baseline doing the same work with standard tools on the same
# finished photos: cp of each photo into the output folder and
# vipsthumbnail -s 88 of each, run with xargs -P $(nproc).
#
# Two orders of the same photos are timed: one with every small thumbnail
# missing (the run makes each from its photo), against the decode floor
# (the photos decoded at the small thumbnail's scale, djpeg -scale 2/8,
# nothing written, $(nproc) at once); and an imported order, its small
# thumbnails in "成品缩略图/" as the import leaves them, against the copy
# floor (cp of the photos, $(nproc) at once, each copy synced to the device
# as the client's copies are; plain cp, which leaves its copies to the
# write-back, is printed beside it). Each is also put over the baseline.
#
# First checks the outputs, then times them all with hyperfine. It ends
# with one line a figure (the worker's time over the baseline's or the
# floor's, with both times), its target and whether it met it; the exit
# status is 1 when any figure misses its target.
#
# BENCH_PHOTOS (default 48) sets the number of 6000x4000 photos, BENCH_RUNS
# (default 5) the timed runs. The photos are the import benchmark's corpus
# ($BUILD_DIR/bench-corpus), linked into each order's "成品/"; the imported
# order's small thumbnails are those the import worker makes of them.
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
imported="$corpus/separation-imported-$count"
echo "bench-separation: $count photos of 6000x4000 in $order/成品 and $imported/成品"
"$generator" generate "$photos" "$count" 1

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# link <file> <folder> <name>: the file under that name, linked where the
# folders share a file system.
link() {
    ln "$1" "$2/$3" 2>/dev/null || cp "$1" "$2/$3"
}

# The import's small thumbnails, from its upright run on the photos.
if ! "$generator" run "$photos" "$work/import" 2>"$work/run.log"; then
    tail -n 20 "$work/run.log" >&2
    exit 1
fi
thumbs="$(find "$work/import/server" -type d -name thumbnail)"
rm -rf "$order" "$imported"
mkdir -p "$order/成品" "$imported/成品" "$imported/成品缩略图"
for f in "$photos"/*.JPG; do
    n="$(basename "$f" .JPG).jpg"
    link "$f" "$order/成品" "$n"
    link "$f" "$imported/成品" "$n"
    link "$thumbs/$(basename "$f")" "$imported/成品缩略图" "$n"
done
rm -rf "$work/import"

# A run writes the photos' small thumbnails into the order folder's
# "成品缩略图/" when they are missing; every run of the first order starts
# with the folder there and empty, so each photo is decoded, as the
# baseline decodes it. The imported order's thumbnails are all there, so
# its run writes none.
prepare="rm -rf '$work/w' '$work/v' '$work/b' '$work/c' '$work/d' '$order/成品缩略图' && mkdir -p '$order/成品缩略图'"

# run_and_check <order> <output>: one run of the worker on the order, and
# its output checked: byte-identical copies and 88-pixel thumbnails.
run_and_check() {
    if ! "$bench" run "$1" "$2" 2>"$work/run.log"; then
        tail -n 20 "$work/run.log" >&2
        exit 1
    fi
    "$bench" check "$1" "$2"
}

# The outputs first.
eval "$prepare"
run_and_check "$order" "$work/w"
run_and_check "$imported" "$work/v"
bash "$root/scripts/bench-separation.sh" --baseline "$order/成品" "$work/b"
"$bench" check-baseline "$order" "$work/b"

hyperfine --warmup 1 --runs "$runs" --export-csv "$work/times.csv" \
    --prepare "$prepare" \
    -n missing "'$bench' run '$order' '$work/w'" \
    -n imported "'$bench' run '$imported' '$work/v'" \
    -n baseline "bash '$root/scripts/bench-separation.sh' --baseline '$order/成品' '$work/b'" \
    -n decode "$(bench_decode_floor "$order/成品" '*.jpg' 2/8)" \
    -n copy "$(bench_copy_floor "$imported/成品" '*.jpg' "$work/c")" \
    -n synced "$(bench_copy_floor "$imported/成品" '*.jpg' "$work/d" synced)" >&2
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
csv="$work/times.csv"
bench_versus "every thumbnail missing, worker/baseline" "$csv" missing baseline ""
bench_versus "every thumbnail missing, worker/decode floor at 2/8" "$csv" missing decode 1.6
bench_versus "imported order, worker/baseline" "$csv" imported baseline 0.5
bench_versus "imported order, worker/copy floor, each copy synced" "$csv" imported synced 1.6
bench_versus "imported order, worker/cp without sync" "$csv" imported copy ""
exit "$bench_missed"
