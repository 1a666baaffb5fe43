#!/usr/bin/env bash
# Builds Release and runs the book benchmarks (bench/book_bench.cpp): the
# 50-group rule through CGrpRule::evalGroup, SQLite and hand-written C++, and
# the three-level tree through appendHolds + grpPath and by hand, over one
# generated book, with ns and heap allocations per holding and the ratios.
#   ZU_ZOZOV_BOOK_SIZE   holdings in the book (default 1000000; 100k, 2m work)
#   BUILD_DIR            where to build (default build-release)
#   JOBS                 parallel build jobs (default 2)
# Further arguments go to the benchmark program, e.g.
#   scripts/bench-book.sh --benchmark_filter='Rule|EvalGroup|Sqlite'
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build-release}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DZU_ZOZOV_BUILD_BENCH=ON >/dev/null
cmake --build "$BUILD_DIR" -j "${JOBS:-2}" --target zu_zozov_book_bench
nice -n 10 "$BUILD_DIR/bench/zu_zozov_book_bench" "$@"
