#!/usr/bin/env bash
# Builds the library with its command-line tool and runs the main job on the
# bundled example book (examples/): check the rules and the tree, then sort
# every holding into the example classification tree.  Prints the tree with
# the number of holdings per node and writes the group path of every holding
# (build/paths.csv) and a collapsible page of the tree (build/business_tree.html).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DZU_ZOZOV_BUILD_EXAMPLES=ON >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target zu_zozov_cli >/dev/null
zu_zozov="$BUILD_DIR/tools/zu_zozov"
"$zu_zozov" check --columns examples/book/book.csv --db examples/ref.sql \
    examples/rules examples/trees/business_tree.xml
"$zu_zozov" tree \
    --rules examples/rules \
    --def examples/trees/business_tree.xml \
    --db examples/ref.sql \
    -o "$BUILD_DIR/paths.csv" \
    --html "$BUILD_DIR/business_tree.html" \
    examples/book/book.csv
