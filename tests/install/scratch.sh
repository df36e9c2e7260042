# Shared by the install and package checks (sourced): a scratch folder removed
# on exit together with a program still running from it, a way to start the
# program there, and a failure count.
scratch=$(mktemp -d)
program_pid=
cleanup() {
    if [ -n "$program_pid" ]; then
        kill "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

# Starts `program` (with any further arguments) in `folder` with a private
# data and temporary folder named by `label`, waits until its log shows
# `until` (at most 30 s), stops it and prints the log.
run_program() {
    local folder=$1 label=$2 until=$3 program=$4
    shift 4
    local log="$scratch/program-$label.log"
    mkdir -p "$scratch/tmp-$label" "$scratch/data-$label"
    (cd "$folder" && exec env TMPDIR="$scratch/tmp-$label" XDG_DATA_HOME="$scratch/data-$label" \
        QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$program" "$@" >"$log" 2>&1) &
    program_pid=$!
    for _ in $(seq 300); do
        grep -q "$until" "$log" && break
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
    program_pid=
    cat "$log"
}

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
