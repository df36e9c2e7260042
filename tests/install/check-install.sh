#!/usr/bin/env bash
# Installs the build into a private DESTDIR and checks that a desktop finds what
# it needs: the program, its translation where the desktop entry starts it, a
# valid desktop entry and the icons in the hicolor theme. Then starts the
# installed program (offscreen) the way the desktop entry does, and from an
# unrelated folder the way a shell does, and checks that both read its Korean
# translation from the installed data folder.
#
#   check-install.sh <build dir> <full bin dir> <full data dir>
set -euo pipefail

build_dir=$1
bin_dir=$2
data_dir=$3

# shellcheck source=scratch.sh
source "$(dirname "$0")/scratch.sh"

root="$scratch/root"
DESTDIR="$root" cmake --install "$build_dir" >"$scratch/install.log" || {
    cat "$scratch/install.log"
    echo "FAIL: cmake --install"
    exit 1
}

program="$root$bin_dir/lumenfolio"
desktop="$root$data_dir/applications/lumenfolio.desktop"
[ -x "$program" ] || fail "no program at $program"
[ -f "$desktop" ] || { fail "no desktop entry at $desktop"; exit 1; }

# desktop-file-validate exits non-zero on errors; hints and warnings are shown.
if ! command -v desktop-file-validate >/dev/null; then
    fail "desktop-file-validate missing (tools/install-deps.sh installs desktop-file-utils)"
elif ! desktop-file-validate "$desktop"; then
    fail "desktop entry is not valid"
fi

entry() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
exec_program=$(entry Exec | cut -d' ' -f1)
start_dir=$(entry Path)
icon=$(entry Icon)
[ "$exec_program" = "$bin_dir/lumenfolio" ] || fail "Exec names $exec_program, not the installed program"
entry MimeType | grep -q 'application/epub+zip;' || fail "the entry does not open application/epub+zip"
# The program reads Resources/lang_ko.qm from the folder the entry starts it in.
[ -s "$root$start_dir/Resources/lang_ko.qm" ] || fail "no translation at $start_dir/Resources/lang_ko.qm"

png="$root$data_dir/icons/hicolor/64x64/apps/$icon.png"
svg="$root$data_dir/icons/hicolor/scalable/apps/$icon.svg"
if [ ! -f "$png" ]; then
    fail "no 64x64 icon at $png"
else
    # Width and height from the PNG header must match the folder's size.
    size=$(od -An -tu1 -j16 -N8 "$png" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }')
    [ "$size" = "64x64" ] || fail "icon in 64x64/ is $size"
fi
grep -q '<svg' "$svg" 2>/dev/null || fail "no scalable icon at $svg"

korean="translation loaded: ko_KR from "
started=$(run_program "$root$start_dir" entry "first instance started" "$program")
if ! grep -q "first instance started" <<<"$started"; then
    fail "the installed program did not start: $started"
elif ! grep -qF "${korean}Resources/lang_ko.qm" <<<"$started"; then
    fail "the installed program did not read its translation where the entry starts it: $started"
fi
# Started from a folder that holds no translation, it finds the installed one.
elsewhere=$(run_program "$scratch" elsewhere "first instance started" "$program")
grep -qF "$korean$root$data_dir/lumenfolio/Resources/lang_ko.qm" <<<"$elsewhere" \
    || fail "a start outside $start_dir did not read the installed translation: $elsewhere"

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "install checks passed"
