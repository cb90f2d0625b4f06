#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need.
# Idempotent: apt-get runs only when something is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config
    qtbase5-dev qtbase5-dev-tools qttools5-dev-tools
    libqt5webkit5-dev
    libexiv2-dev
    libturbojpeg0-dev # lossless turns and scaled decodes of photos
    libjpeg-dev # the coefficient interface the lossless turn uses
    libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev
    fonts-noto-cjk qttranslations5-l10n
    libzint-dev
    libzbar-dev
    libxlsxwriter-dev
    libminizip-dev # reads a workbook back before it is saved
    xvfb xauth
    openbox x11-utils # a window manager and xprop for the tests that need a frame and a window state
    poppler-utils # pdfinfo, pdftotext and pdfimages for the tests that print sheets
    libjpeg-turbo-progs # jpegtran and djpeg: the import benchmark's baseline, the benchmarks' decode floor
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
# Another package manager may hold the lock for a while (an unattended
# upgrade, a second build): wait for it instead of failing at once.
apt=(apt-get -o DPkg::Lock::Timeout=600)
$SUDO "${apt[@]}" update -qq
$SUDO "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
