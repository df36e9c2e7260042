#!/usr/bin/env bash
# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-asan/, with leak checking on. Run as `./test.sh --sanitize`; extra
# arguments go to ctest. Any finding ends the process that meets it, so the
# test fails. Only leaks from inside system libraries (the web engine, Qt's
# offscreen platform) are suppressed; tools/sanitizer/*.supp says why for each.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

build_dir=build-asan
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DBUILD_BENCHMARKS=OFF \
    -DLF_UPDATE_VERSION_FILE_URL=http://127.0.0.1:9/lf_update/lf_version.xml \
    -DWITH_ASAN=ON -DWARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/runtime" "$scratch/data" && chmod 700 "$scratch/runtime" "$scratch/data"
export TMPDIR="$scratch"
export XDG_DATA_HOME="$scratch/data"
export XDG_RUNTIME_DIR="$scratch/runtime"
export QT_QPA_PLATFORM=offscreen

suppressions="$PWD/tools/sanitizer"
# Full unwinding through the system libraries (built without frame pointers)
# gives the whole allocation stack, which the suppressions are matched against.
export ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$suppressions/lsan.supp:print_suppressions=0"
# A test function may take several times its usual time too (QtTest ends one
# after 300 s by default).
export QTEST_FUNCTION_TIMEOUT=900000
export UBSAN_OPTIONS="suppressions=$suppressions/ubsan.supp:print_stacktrace=1:halt_on_error=1"

# The whole-journey test gives each step of a real display session a few
# seconds, which the sanitized program (several times slower) may overrun. Run it
# anyway with LF_SANITIZE_SKIP= ./test.sh --sanitize.
skip=${LF_SANITIZE_SKIP-^tst_journey\$}

cd "$build_dir"
ctest --output-on-failure --timeout 900 ${skip:+-E "$skip"} "$@"
