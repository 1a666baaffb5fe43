#!/usr/bin/env bash
# Builds the library with its examples and runs the main job on the bundled
# example data.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DZU_ZOZOV_BUILD_EXAMPLES=ON >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target expr_demo >/dev/null
"$BUILD_DIR/examples/expr_demo"
