#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test the program.
# Quick when everything is present: apt-get runs only for missing packages.
# Extra package names given as arguments are installed too (tools/fuzz.sh
# asks for clang and its libFuzzer runtime this way).
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools
    libqt5webkit5-dev libqt5svg5-dev qt5-image-formats-plugins libqt5x11extras5-dev
    libminizip-dev zlib1g-dev
    # ICU: the search finds terms in the stored page text as the engine does.
    libicu-dev
    # Qt's own texts (file dialog, context menus) in Korean.
    qttranslations5-l10n
    # The application font, then fonts for the scripts books are written in:
    # Noto covers Latin, Greek, Cyrillic, Arabic, Hebrew, the Indic scripts,
    # Thai and more; Noto CJK the Chinese, Japanese and Korean ideographs.
    fonts-nanum fonts-noto-core fonts-noto-cjk
    xvfb xauth xdotool imagemagick
    # A small window manager under which the reader window is maximised and
    # resized as on a desktop, and xprop to see that it runs.
    openbox x11-utils
    # pdftoppm: the printing test looks at the sheets it printed.
    poppler-utils
    unzip zip python3
    clang-format
    desktop-file-utils
    # The Debian package: its library dependencies are found by dpkg-shlibdeps,
    # and lintian judges it as Debian would.
    dpkg-dev lintian
)
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
