# What the benchmark scripts share; sourced, not run.

# Installs hyperfine and vipsthumbnail when they are missing.
bench_install_tools() {
    local missing=()
    command -v hyperfine >/dev/null 2>&1 || missing+=(hyperfine)
    command -v vipsthumbnail >/dev/null 2>&1 || missing+=(libvips-tools)
    if [ ${#missing[@]} -gt 0 ]; then
        echo "$1: installing ${missing[*]}"
        local sudo=""
        if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
        export DEBIAN_FRONTEND=noninteractive
        $sudo apt-get update -qq
        $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

# bench_decode_floor <folder> <name pattern> <scale>: the command that
# decodes each photo of the folder at that scale (djpeg -scale, e.g. 3/8),
# nothing written, $(nproc) photos at once. No thumbnail of the photos can
# be made faster on this machine; hyperfine times it beside the worker.
bench_decode_floor() {
    printf "find '%s' -maxdepth 1 -type f -name '%s' -print0 | xargs -0 -n 1 -P %s djpeg -scale %s -outfile /dev/null" \
        "$1" "$2" "$(nproc)" "$3"
}

# bench_copy_floor <folder> <name pattern> <output folder> [synced]: the
# command that copies each photo of the folder into the output folder with
# cp, $(nproc) at once. With synced each copy is also synced to the device
# (sync -d) before it counts, as every copy the client makes is.
bench_copy_floor() {
    if [ "${4:-}" = "synced" ]; then
        printf "mkdir -p '%s' && find '%s' -maxdepth 1 -type f -name '%s' -print0 | xargs -0 -n 1 -P %s sh -c 'cp -- \"\$2\" \"\$1/\" && sync -d -- \"\$1/\${2##*/}\"' sh '%s'" \
            "$3" "$1" "$2" "$(nproc)" "$3"
    else
        printf "mkdir -p '%s' && find '%s' -maxdepth 1 -type f -name '%s' -print0 | xargs -0 -n 1 -P %s cp -t '%s'" \
            "$3" "$1" "$2" "$(nproc)" "$3"
    fi
}

# Mean seconds of one command in a hyperfine CSV export.
mean_of() {
    awk -F, -v name="$2" 'NR > 1 && $1 == name { print $2 }' "$1"
}

# bench_figure <text> <value> <target> [<times>]: prints the figure with the
# times it comes from and its target, and MISSED when it is not at most the
# target; bench_missed is then 1. An empty target prints the figure as not
# judged.
bench_missed=0
bench_figure() {
    local times="${4:+$4; }"
    if [ -z "$3" ]; then
        echo "$1: ${2:-none} (${times}not judged)"
    elif awk -v v="$2" -v t="$3" 'BEGIN { exit !(v != "" && v <= t) }'; then
        echo "$1: $2 (${times}target at most $3)"
    else
        echo "$1: ${2:-none} (${times}target at most $3) MISSED"
        bench_missed=1
    fi
}

# bench_versus <text> <csv> <command> <reference> <target>: the figure of
# one command's mean time over another's in a hyperfine CSV export, printed
# by bench_figure with both times.
bench_versus() {
    local command reference
    command="$(mean_of "$2" "$3")"
    reference="$(mean_of "$2" "$4")"
    bench_figure "$1" \
        "$(awk -v c="$command" -v r="$reference" 'BEGIN { if (c != "" && r > 0) printf "%.2f", c / r }')" \
        "$5" \
        "$(awk -v c="$command" -v r="$reference" 'BEGIN { printf "%.2f s vs %.2f s", c, r }')"
}
