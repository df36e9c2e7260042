#!/usr/bin/env bash
# Builds the Debian package as it ships (prefix /usr, no update check) in a
# build tree of its own beside the main one, kept between runs so that only
# what changed since is built again (with the main build's compiler launcher),
# checks its control data and file list with dpkg-deb and
# that lintian finds no error in it (its warnings are shown),
# unpacks it into a scratch root and starts the unpacked program offscreen, the
# way its desktop entry does with a book, and from / the way a shell does,
# checking that both speak Korean.
#
#   check-package.sh <source dir> <book.epub> <package build dir> [compiler launcher]
set -euo pipefail

source_dir=$1
book=$2
build=$3
launcher=${4:-}

# shellcheck source=scratch.sh
source "$(dirname "$0")/scratch.sh"

mkdir -p "$build"
# One run at a time builds in the tree.
exec 9>"$build/.lock"
flock 9
# Configured afresh, with no setting left from an earlier run; what was built stays.
rm -f "$build"/lumenfolio_*.deb "$build/CMakeCache.txt"
if ! { cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DBUILD_BENCHMARKS=OFF \
    -DWITH_UPDATE_CHECK=OFF -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_CXX_COMPILER_LAUNCHER="$launcher" \
    && cmake --build "$build" --parallel "$(nproc)" \
    && (cd "$build" && cpack -G DEB); } >"$scratch/build.log" 2>&1; then
    tail -n 40 "$scratch/build.log"
    echo "FAIL: the package was not built"
    exit 1
fi
deb=$(ls "$build"/lumenfolio_*.deb)

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = lumenfolio ] || fail "package name $(field Package)"
[ "$(field Version)" = 1.2.3-1 ] || fail "version $(field Version)"
depends=$(field Depends)
# Found in the program's own links, and named for the books' scripts.
for needed in libqt5webkit5 libqt5widgets5 libicu libminizip fonts-noto-core fonts-noto-cjk qttranslations5-l10n; do
    grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

files=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for path in ./usr/bin/lumenfolio ./usr/share/applications/lumenfolio.desktop \
    ./usr/share/lumenfolio/Resources/lang_ko.qm ./usr/share/icons/hicolor/64x64/apps/lumenfolio.png \
    ./usr/share/icons/hicolor/scalable/apps/lumenfolio.svg ./usr/share/doc/lumenfolio/copyright \
    ./usr/share/doc/lumenfolio/changelog.Debian.gz ./usr/share/man/man1/lumenfolio.1.gz; do
    grep -qx -- "$path" <<<"$files" || fail "the package lacks $path"
done
grep -q '^\./usr/local' <<<"$files" && fail "the package installs below /usr/local"

# Debian's own judgement of the package: errors fail, warnings are shown.
if ! command -v lintian >/dev/null; then
    fail "lintian missing (tools/install-deps.sh installs it)"
else
    lintian_output=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
    echo "$lintian_output"
    grep -q '^E: ' <<<"$lintian_output" && fail "lintian reports errors"
fi

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
start_dir=$(sed -n 's/^Path=//p' "$root/usr/share/applications/lumenfolio.desktop" | head -n 1)
name=$(basename "$book" .epub)
output=$(run_program "$root$start_dir" package "open requested: $name" "$root/usr/bin/lumenfolio" "$book")
grep -q "open requested: $name" <<<"$output" || fail "the unpacked program did not open the book: $output"
grep -q "update check: off" <<<"$output" || fail "the package was built with the update check: $output"
korean="translation loaded: ko_KR from "
grep -qF "$korean" <<<"$output" || fail "the unpacked program did not read its translation: $output"
# From / the working directory holds no Resources folder: the program finds
# the data folder the package installed beside its own.
from_root=$(run_program / root "first instance started" "$root/usr/bin/lumenfolio")
grep -qF "${korean}$root/usr/share/lumenfolio/Resources/lang_ko.qm" <<<"$from_root" \
    || fail "started from /, the unpacked program did not speak Korean: $from_root"

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "package: $(basename "$deb"), $(wc -l <<<"$files") entries"
