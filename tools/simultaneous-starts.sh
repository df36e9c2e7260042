#!/usr/bin/env bash
# Starts the program twice at the same instant, each with its own book and one
# shared temporary and data location, over and over, and counts how each trial ends:
# one instance left with both books in its bookcase, or not.
#
#   tools/simultaneous-starts.sh [program] [trials]
#
# Defaults: build/lumenfolio, 50 trials. LF_CORPUS_DIR names the folder of
# corpus books (default: tests/data/corpus).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "${1:-$here/../build/lumenfolio}")
trials=${2:-50}
corpus=${LF_CORPUS_DIR:-$here/../tests/data/corpus}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/books"
cp "$corpus/minimal-epub2.epub" "$scratch/books/left.epub"
cp "$corpus/minimal-epub3.epub" "$scratch/books/right.epub"

export QT_QPA_PLATFORM=offscreen
fine=0 lost_book=0 no_instance=0 two_instances=0

running() { kill -0 "$1" 2>/dev/null; }
has_book() { grep -q "\"file_name\":\"$1\"" "$2" 2>/dev/null; }

for ((trial = 1; trial <= trials; ++trial)); do
    tmp="$scratch/tmp$trial"
    mkdir -m 700 "$tmp" "$tmp/data"
    TMPDIR=$tmp XDG_DATA_HOME=$tmp/data "$program" "$scratch/books/left.epub" >"$tmp.left.log" 2>&1 &
    left=$!
    TMPDIR=$tmp XDG_DATA_HOME=$tmp/data "$program" "$scratch/books/right.epub" >"$tmp.right.log" 2>&1 &
    right=$!

    # Settled: one start has ended and the bookcase holds both books, or 15 s passed.
    bookcase="$tmp/data/LF_Epub_Viewer_N/bl"
    for ((tick = 0; tick < 150; ++tick)); do
        if { ! running $left || ! running $right; } && has_book left "$bookcase" && has_book right "$bookcase"; then
            break
        fi
        sleep 0.1
    done

    alive=0
    for pid in $left $right; do running $pid && alive=$((alive + 1)); done
    if ((alive == 0)); then
        no_instance=$((no_instance + 1)); outcome="no instance left"
    elif ((alive == 2)); then
        two_instances=$((two_instances + 1)); outcome="two instances"
    elif has_book left "$bookcase" && has_book right "$bookcase"; then
        fine=$((fine + 1)); outcome="fine"
    else
        lost_book=$((lost_book + 1)); outcome="a book lost"
    fi
    echo "trial $trial: $outcome"
    kill -9 $left $right 2>/dev/null || true
    wait $left $right 2>/dev/null || true
done

echo "$trials trials: $fine fine, $lost_book lost a book, $no_instance left no instance, $two_instances left two instances"
