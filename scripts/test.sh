#!/usr/bin/env bash
# Builds the library with its tests and runs them all.
#   BUILD_DIR (default build)   where to build
#   CMAKE_ARGS                  extra arguments for cmake's configure step
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
JOBS=${JOBS:-$(nproc)}
cmake -S . -B "$BUILD_DIR" -DZU_ZOZOV_BUILD_TESTS=ON ${CMAKE_ARGS:-} >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS"
