#!/usr/bin/env bash
# Builds the library with its command-line tool and runs the main job on the
# bundled example book: check the rules, then sort every holding into the
# example classification tree, print the tree with its counts, and write the
# group path of every holding (build/paths.csv), the tree with its holdings
# (build/book_tree.xml) and a page of the tree (build/book_tree.html).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DZU_ZOZOV_BUILD_EXAMPLES=ON >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target zu_zozov_cli >/dev/null
"$BUILD_DIR/tools/zu_zozov" check examples/rules examples/trees/book_tree.xml
"$BUILD_DIR/tools/zu_zozov" tree \
    --rules examples/rules \
    --def examples/trees/book_tree.xml \
    -o "$BUILD_DIR/paths.csv" \
    --xml "$BUILD_DIR/book_tree.xml" \
    examples/book/holdings.csv
