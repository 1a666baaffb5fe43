#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/*_fuzz.cpp) with clang++ and libFuzzer, and runs
# each for FUZZ_SECONDS from its seed corpus fuzz/corpus/<target> (with the
# dictionary fuzz/<target>.dict when there is one).  Fails when
# a target crashes, hangs, leaks, runs out of memory or a sanitizer reports.
#   FUZZ_SECONDS (default 60)    run time of each target
#   BUILD_DIR (default build-fuzz)
#   JOBS (default nproc)         build parallelism
# A finding leaves its input in $BUILD_DIR/fuzz-artifacts/; reproduce it with
#   $BUILD_DIR/fuzz/<target> <input file>
# Inputs the targets found interesting accumulate in $BUILD_DIR/fuzz-work/
# (not committed; copy a small one into fuzz/corpus/<target> if it matters).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh fuzz
BUILD_DIR=${BUILD_DIR:-build-fuzz}
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
JOBS=${JOBS:-$(nproc)}

cmake -S . -B "$BUILD_DIR" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZU_ZOZOV_BUILD_FUZZ=ON -DZU_ZOZOV_BUILD_TESTS=OFF -DZU_ZOZOV_BUILD_BENCH=OFF \
    -DZU_ZOZOV_BUILD_EXAMPLES=OFF -DZU_ZOZOV_INSTALL=OFF -DZU_ZOZOV_WERROR=ON >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
artifacts="$BUILD_DIR/fuzz-artifacts"
mkdir -p "$artifacts"
passed=0
failed=0
for src in fuzz/*_fuzz.cpp; do
    name=$(basename "$src" .cpp)
    exe="$BUILD_DIR/fuzz/$name"
    seeds="fuzz/corpus/$name"
    work="$BUILD_DIR/fuzz-work/$name"
    log="$BUILD_DIR/fuzz-$name.log"
    mkdir -p "$work" "$seeds"
    dict=()
    if [ -f "fuzz/$name.dict" ]; then dict=(-dict="fuzz/$name.dict"); fi
    echo "fuzz: $name for ${FUZZ_SECONDS}s"
    status=0
    "$exe" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "${dict[@]}" \
        "$work" "$seeds" >"$log" 2>&1 || status=$?
    if [ "$status" -ne 0 ] ||
        grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' "$log"; then
        echo "fuzz: $name FAILED (exit $status); the end of $log:" >&2
        tail -n 60 "$log" >&2
        failed=$((failed + 1))
    else
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
        echo "fuzz: $name ok, $runs runs, $rate exec/s"
        passed=$((passed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
