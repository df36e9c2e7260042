#!/usr/bin/env bash
# Builds a libFuzzer target with clang (into build-fuzz/) and runs it for a
# given time over its seed corpus (made from tests/data/books and tests/data/corpus,
# which are only read, and the hand-made seeds in fuzz/seeds/<target>/).
#
#   tools/fuzz.sh <fuzz_epubparser|fuzz_unzipthread|fuzz_searchtextfile|all> <seconds> [libFuzzer options...]
#
# 0 seconds runs without a time bound, e.g. `tools/fuzz.sh all 0 -runs=1000000`
# for a million inputs per target, one target after the other.
#
# Inputs that grow coverage are kept in build-fuzz/corpus/<target>/ for the
# next run. A crash, a leak, an input that takes over 2 s, or a process that
# grows past 1 GiB ends the run with its input in build-fuzz/artifacts/<target>/
# and a non-zero exit: slowness and swelling count as findings, since the
# parsers run on the window's thread.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
    echo "usage: $0 <fuzz_epubparser|fuzz_unzipthread|fuzz_searchtextfile|all> <seconds> [libFuzzer options...]" >&2
    exit 2
fi
target=$1
seconds=$2
shift 2
case "$target" in
    all) targets=(fuzz_epubparser fuzz_unzipthread fuzz_searchtextfile) ;;
    fuzz_epubparser | fuzz_unzipthread | fuzz_searchtextfile) targets=("$target") ;;
    *) echo "unknown target: $target" >&2; exit 2 ;;
esac

# clang and its libFuzzer runtime come on top of the usual packages.
tools/install-deps.sh clang libclang-rt-14-dev

build_dir=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_FUZZERS=ON \
    -DBUILD_TESTING=OFF -DBUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build_dir" --target "${targets[@]}" --parallel "$(nproc)"

# The targets write their book folders below TMPDIR: memory when available.
scratch=$(mktemp -d -p "$([ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")")
trap 'rm -rf "$scratch"' EXIT

for name in "${targets[@]}"; do
    seeds="$build_dir/seeds/$name"
    corpus="$build_dir/corpus/$name"
    artifacts="$build_dir/artifacts/$name"
    rm -rf "$seeds"
    mkdir -p "$corpus" "$artifacts"
    tools/make-fuzz-seeds.py "$name" "$seeds"
    if [ -d "fuzz/seeds/$name" ]; then
        cp fuzz/seeds/"$name"/* "$seeds"/
    fi
    echo "== $name for $seconds s"
    TMPDIR="$scratch" ASAN_OPTIONS="detect_leaks=1:${ASAN_OPTIONS:-}" \
        "$build_dir/fuzz/bin/$name" "$corpus" "$seeds" \
        -dict="fuzz/$name.dict" -max_total_time="$seconds" -timeout=2 -rss_limit_mb=1024 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 "$@"
done
