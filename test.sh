#!/usr/bin/env bash
# Set-up, build and every test. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")"

# ./test.sh --sanitize [ctest options]: the suite under ASan and UBSan instead.
if [ "${1:-}" = "--sanitize" ]; then
    shift
    exec tools/test-sanitized.sh "$@"
fi

tools/install-deps.sh
# The sources follow the project's .clang-format.
tools/check-format.sh

build_dir=build
# The update check of every program the tests start asks loopback, never the
# name service or the update server.
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DWARNINGS_AS_ERRORS=ON \
    -DLF_UPDATE_VERSION_FILE_URL=http://127.0.0.1:9/lf_update/lf_version.xml >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"

# Tests never see the user's data directory: the temporary-files location and
# the user data location (which holds the data directory) are private to this run.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/runtime" "$scratch/data" && chmod 700 "$scratch/runtime" "$scratch/data"
export TMPDIR="$scratch"
export XDG_DATA_HOME="$scratch/data"
export XDG_RUNTIME_DIR="$scratch/runtime"
export QT_QPA_PLATFORM=offscreen

cd "$build_dir"
# Two tests at a time: each has folders of its own; the two on a virtual X
# display take turns.
ctest --output-on-failure --timeout 600 -j2 "$@"
