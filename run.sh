#!/usr/bin/env bash
# Set-up, build (Release) and start the program, optionally with a book.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

book=()
if [ $# -ge 1 ]; then
    # The program runs from the build tree, so a relative path is resolved here.
    book=("$(realpath -m -- "$1")")
fi

"$here/tools/install-deps.sh"
# The update server's real address, also in a build tree the tests configured.
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=Release -ULF_UPDATE_VERSION_FILE_URL >/dev/null
cmake --build "$here/build" --parallel "$(nproc)" --target lumenfolio translations

# Resources/lang_ko.qm is found relative to the working directory.
cd "$here/build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting under a virtual X server (xvfb-run)."
    exec xvfb-run -a ./lumenfolio "${book[@]}"
fi
exec ./lumenfolio "${book[@]}"
