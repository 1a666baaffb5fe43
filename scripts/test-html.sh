#!/usr/bin/env bash
# Opens a tree report page (zu_zozov tree --html) in a real headless browser
# (Debian's chromium) and checks what it shows: every node with its number of
# holdings (and name, where the expectation gives one), nothing hidden with
# every level open, the levels below the second folded away at load, the
# page's script run to its end, no markup smuggled in through names.
#
#   test-html.sh ZU_ZOZOV
#       runs  ZU_ZOZOV tree  on the example book and tree (examples/) with
#       --html and -o, and expects on the page, for every node, the number of
#       holdings whose path (the PATH column) passes through it; the root (if
#       the page has one) and the top-level nodes together hold them all.
#   test-html.sh --page PAGE.html --expect EXPECT
#       checks a page written elsewhere, e.g. the sample page that the test
#       htmlReport_tests leaves in the build's tests/ folder:
#         test-html.sh --page build/tests/htmlReport_sample.html \
#                      --expect build/tests/htmlReport_sample.expect
#       EXPECT: one line per node, "path<TAB>count[<TAB>name]", "#" comments.
#
# Installs chromium (and python3) when missing; run as root or with sudo.
# SCREENSHOT=FILE.png also saves a picture of the page with every level open.
# Exit status 0 when the page is right, 1 when it is not, 2 for bad usage.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

usage() { sed -n '2,22p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

tool="" page="" expect=""
while [ $# -gt 0 ]; do
    case "$1" in
        --page) page=${2:?}; shift 2 ;;
        --expect) expect=${2:?}; shift 2 ;;
        -h|--help) usage ;;
        -*) usage ;;
        *) [ -z "$tool" ] || usage; tool=$1; shift ;;
    esac
done
if [ -n "$tool" ]; then
    [ -z "$page$expect" ] || usage
else
    [ -n "$page" ] && [ -n "$expect" ] || usage
fi

need=()
command -v chromium >/dev/null 2>&1 || need+=(chromium)
command -v python3 >/dev/null 2>&1 || need+=(python3)
if [ ${#need[@]} -gt 0 ]; then
    echo "test-html: installing ${need[*]}" >&2
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/test-html.XXXXXX")
trap 'rm -rf "$work"' EXIT

if [ -n "$tool" ]; then
    tool=$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")
    page=$work/tree.html
    expect=$work/expect.tsv
    ex=$root/examples
    if ! "$tool" tree --rules "$ex/rules" --def "$ex/trees/business_tree.xml" --db "$ex/ref.sql" \
            -o "$work/paths.csv" --html "$page" "$ex/book/book.csv" \
            >"$work/tree.out" 2>"$work/tree.err"; then
        echo "test-html: $tool tree failed:" >&2
        cat "$work/tree.err" >&2
        exit 1
    fi
    # Every holding counts at each node along its path: ACCT.A1/ASSET_CLASS.0101
    # counts at A1 and at A1/0101 (a segment is RULE.CODE; the code follows
    # the first dot).
    python3 - "$work/paths.csv" >"$expect" <<'EOF'
import collections, csv, sys
counts = collections.Counter()
total = 0
with open(sys.argv[1], encoding="utf-8-sig", newline="") as f:
    rows = csv.reader(f)
    header = next(rows)
    at = header.index("PATH")
    for row in rows:
        total += 1
        codes = [seg.split(".", 1)[1] if "." in seg else seg for seg in row[at].split("/") if seg]
        for i in range(1, len(codes) + 1):
            counts["/".join(codes[:i])] += 1
print("\t%d" % total)
for path, n in sorted(counts.items()):
    print("%s\t%d" % (path, n))
EOF
fi

[ -r "$page" ] || { echo "test-html: cannot read $page" >&2; exit 2; }
[ -r "$expect" ] || { echo "test-html: cannot read $expect" >&2; exit 2; }
page=$(cd "$(dirname "$page")" && pwd)/$(basename "$page")

browse() {  # browse URL OUT: the DOM after the page's script ran
    timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$work/profile-$RANDOM" --virtual-time-budget=5000 \
        --dump-dom "$1" >"$2" 2>>"$work/chromium.log" ||
        { echo "test-html: chromium failed on $1:" >&2; tail -20 "$work/chromium.log" >&2; exit 1; }
}
browse "file://$page#all" "$work/all.html"
browse "file://$page" "$work/plain.html"
if [ -n "${SCREENSHOT:-}" ]; then
    shot=$(cd "$(dirname "$SCREENSHOT")" && pwd)/$(basename "$SCREENSHOT")
    timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$work/profile-shot" --virtual-time-budget=5000 --hide-scrollbars \
        --window-size=1400,2400 --screenshot="$shot" "file://$page#all" 2>>"$work/chromium.log" >/dev/null
fi

python3 "$root/scripts/check-html-page.py" "$expect" "$work/all.html" "$work/plain.html"
