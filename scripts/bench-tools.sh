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
