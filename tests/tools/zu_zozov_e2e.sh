#!/usr/bin/env bash
# End-to-end tests of the zu_zozov command: runs the built tool on the bundled
# examples and on a table of good and bad inputs (tests/tools/data) and
# compares what it prints, the files it writes and its exit status with the
# golden files in tests/tools/golden.
#
#   zu_zozov_e2e.sh PATH/TO/zu_zozov            run every case
#   UPDATE=1 zu_zozov_e2e.sh PATH/TO/zu_zozov   rewrite the golden files
set -uo pipefail
Z=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd)
examples=$(cd "$here/../../examples" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
zu_zozov() { "$Z" "$@"; }

# name | files to show after the run | command (run in a fresh copy of data/)
cases=$(cat <<'TABLE'
check_clean        |                  | zu_zozov check rules def.xml
check_syntax       |                  | zu_zozov check rules_bad
check_columns      |                  | zu_zozov check --columns good.csv rules rules_sec
check_unknown_rule |                  | zu_zozov check rules unknown_def.xml
check_usage        |                  | zu_zozov check
check_unreadable   |                  | zu_zozov check no_such_file.xml
classify_good      |                  | zu_zozov classify --rules rules --db ref.sql good.csv
classify_stdin     | out.csv          | zu_zozov classify --rules rules --db ref.sql -o out.csv - < good.csv
classify_no_db     |                  | zu_zozov classify --rules rules good.csv
ragged_stops       | out.csv          | echo earlier > out.csv; zu_zozov classify --rules rules --db ref.sql -o out.csv ragged.csv
ragged_rejects     | out.csv rej.csv  | zu_zozov classify --rules rules --db ref.sql -o out.csv --rejects rej.csv ragged.csv
invalid_utf8       | rej.csv          | zu_zozov classify --rules rules --db ref.sql --rejects rej.csv invalid_utf8.csv
no_gbk             | rej.csv          | zu_zozov classify --rules rules --db ref.sql --rejects rej.csv no_gbk.csv
bad_typed          | rej.csv          | zu_zozov classify --rules rules --db ref.sql --rejects rej.csv bad_typed.csv
duplicate_columns  |                  | zu_zozov classify --rules rules --db ref.sql dup_columns.csv
empty_book         |                  | zu_zozov classify --rules rules --db ref.sql empty.csv
syntax_error_rule  | out.csv          | echo earlier > out.csv; zu_zozov classify --rules rules_bad -o out.csv good.csv
unwritable_output  |                  | zu_zozov classify --rules rules --db ref.sql -o no_dir/out.csv good.csv
typed_column       |                  | zu_zozov classify --rules rules_sec untyped.csv; zu_zozov classify --rules rules_sec typed.csv
tree_good          | paths.csv        | zu_zozov tree --rules rules --db ref.sql --def def.xml -o paths.csv good.csv >tree.txt; r=$?; grep -E '^ {0,4}[^ ]' tree.txt; md5sum <tree.txt; (exit $r)
tree_unknown_rule  |                  | zu_zozov tree --rules rules --db ref.sql --def unknown_def.xml good.csv
tree_paths_stdout  |                  | zu_zozov tree --rules rules --db ref.sql --def def.xml -o - good.csv 2>err.txt; r=$?; grep -vE '^ {4}' err.txt >&2; (exit $r)
examples_check     |                  | zu_zozov check --columns "$EXAMPLES"/book/book.csv --db "$EXAMPLES"/ref.sql "$EXAMPLES"/rules "$EXAMPLES"/trees/business_tree.xml "$EXAMPLES"/trees/industry_tree.xml
examples_tree      |                  | zu_zozov tree --rules "$EXAMPLES"/rules --def "$EXAMPLES"/trees/business_tree.xml --db "$EXAMPLES"/ref.sql --xml tree.xml "$EXAMPLES"/book/book.csv >tree.txt && grep -E '^ {0,2}[^ ]' tree.txt && md5sum <tree.txt && grep -o '<[A-Za-z]*' tree.xml | sort | uniq -c
examples_industry  |                  | zu_zozov tree --rules "$EXAMPLES"/rules --def "$EXAMPLES"/trees/industry_tree.xml --db "$EXAMPLES"/ref.sql -o - "$EXAMPLES"/book/book.csv 2>err.txt | md5sum && grep -E '^ {0,2}[^ ]' err.txt >&2 && md5sum <err.txt
TABLE
)

run_case() {  # name files command
    local name=$1 files=$2 cmd=$3 dir="$work/$1"
    rm -rf "$dir"; cp -r "$here/data" "$dir"
    (
        cd "$dir" || exit 1
        EXAMPLES=$examples
        eval "$cmd" >"$dir/.stdout" 2>"$dir/.stderr" </dev/null
        echo $? >"$dir/.rc"
    )
    {
        echo "\$ $cmd    # exit $(cat "$dir/.rc")"
        if [ -s "$dir/.stdout" ]; then echo "--- stdout"; cat "$dir/.stdout"; fi
        if [ -s "$dir/.stderr" ]; then echo "--- stderr"; cat "$dir/.stderr"; fi
        for f in $files; do
            echo "--- file $f"
            if [ -e "$dir/$f" ]; then cat "$dir/$f"; else echo "(missing)"; fi
        done
        # Outputs are written whole or not at all: no temporary file stays.
        ls -A "$dir" | grep '^\.[^.].*\.[A-Za-z0-9]\{6\}$' | sed 's/^/--- left behind: /'
    } | sed "s#$examples#EXAMPLES#g" >"$work/$name.actual"
}

# An interrupted run: the tool waits for more of the book on a pipe when it is
# sent SIGINT; the earlier output must stay and no temporary file may remain.
interrupted_case() {
    local dir="$work/interrupted"
    rm -rf "$dir"; cp -r "$here/data" "$dir"
    (
        cd "$dir" || exit 1
        echo earlier >out.csv
        mkfifo book.pipe
        "$Z" classify --rules rules --db ref.sql -o out.csv book.pipe 2>.stderr &
        pid=$!
        exec 3>book.pipe
        head -3 good.csv >&3
        sleep 0.5
        kill -INT $pid
        wait $pid
        echo "exit $?" >.rc
        exec 3>&-
    )
    {
        echo "\$ zu_zozov classify ... -o out.csv book.pipe, interrupted by SIGINT"
        cat "$dir/.rc"
        echo "--- file out.csv"; cat "$dir/out.csv"
        ls -A "$dir" | grep '^\.[^.].*\.[A-Za-z0-9]\{6\}$' | sed 's/^/--- left behind: /'
    } >"$work/interrupted.actual"
}

passed=0; failed=0
check_golden() {
    local name=$1 golden="$here/golden/$1.txt"
    if [ "${UPDATE:-}" = 1 ]; then cp "$work/$name.actual" "$golden"; fi
    if diff -u "$golden" "$work/$name.actual" >"$work/$name.diff" 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $name"; cat "$work/$name.diff"
    fi
}

while IFS='|' read -r name files cmd; do
    name=$(echo "$name" | xargs); files=$(echo "$files" | xargs)
    cmd=$(echo "$cmd" | sed 's/^ *//')
    [ -z "$name" ] && continue
    run_case "$name" "$files" "$cmd"
    check_golden "$name"
done <<<"$cases"
interrupted_case
check_golden interrupted

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
