#!/usr/bin/env bash
# Builds the library with its command-line host and runs the main job on the
# bundled example book: classify every holding by the example group rules,
# sort the book into the example classification tree, print each holding's
# group codes and path and the counts per group, and export the tree with its
# holdings to build/book_tree.xml.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DZU_ZOZOV_BUILD_EXAMPLES=ON >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target zu_classify >/dev/null
"$BUILD_DIR/tools/zu_classify" \
    --rules examples/rules \
    --book examples/book/holdings.csv \
    --tree examples/trees/book_tree.xml \
    --export "$BUILD_DIR/book_tree.xml"
