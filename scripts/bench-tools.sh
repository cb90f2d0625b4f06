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

# Mean seconds of one command in a hyperfine CSV export.
mean_of() {
    awk -F, -v name="$2" 'NR > 1 && $1 == name { print $2 }' "$1"
}

# bench_figure <text> <value> <target>: prints the figure with its target,
# and MISSED when it is not at most the target; bench_missed is then 1.
bench_missed=0
bench_figure() {
    if awk -v v="$2" -v t="$3" 'BEGIN { exit !(v != "" && v <= t) }'; then
        echo "$1: $2 (target at most $3)"
    else
        echo "$1: ${2:-none} (target at most $3) MISSED"
        bench_missed=1
    fi
}
