#!/usr/bin/env bash
# zu_zozov classify against the sqlite3 shell, side by side, and the memory
# that classify needs for a big book against a small one.
#
#   bench/classify_vs_sqlite.sh ZU_ZOZOV [ROWS [BIG_ROWS [SMALL_ROWS]]]
#
# 1. Speed. Both classify the same book of ROWS holdings (default 1,000,000,
#    written by examples/book/gen_book.py) by the same rule of 50 groups and
#    write I_CODE,ACCT_CODE,<group> as CSV:
#      zu_zozov   classify --rules DIR -o OUT.csv BOOK.csv, the rule as XML;
#      sqlite3    imports the CSV into a typed table of an in-memory database
#                 and runs the rule as one CASE WHEN (groups in code order, the
#                 first that holds wins, else 'xother'), writing CSV.
#    Timed with hyperfine (3 runs after a warm-up); the two outputs must be
#    equal row for row, or the comparison is void.
# 2. Memory. Peak resident set of classify (/usr/bin/time -v) on BIG_ROWS
#    (default 10,000,000) and SMALL_ROWS (default 100,000) holdings, the big
#    book streamed through standard input; the difference must stay within
#    50 MB.
#
# Data and results go to BENCH_DIR (default build/bench-classify); the books
# are kept there and reused. Installs hyperfine, time and sqlite3 (and
# python3) when missing. Run it on a quiet machine: it is niced, but the
# figures are only as good as the machine is idle. Exit status 1 when the
# outputs differ or the memory bound is broken.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

tool=${1:?usage: bench/classify_vs_sqlite.sh ZU_ZOZOV [ROWS [BIG_ROWS [SMALL_ROWS]]]}
rows=${2:-1000000}
big=${3:-10000000}
small=${4:-100000}
tool=$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")
dir=${BENCH_DIR:-$root/build/bench-classify}
mkdir -p "$dir"

need=()
command -v hyperfine >/dev/null 2>&1 || need+=(hyperfine)
command -v sqlite3 >/dev/null 2>&1 || need+=(sqlite3)
command -v python3 >/dev/null 2>&1 || need+=(python3)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
    echo "bench: installing ${need[*]}" >&2
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# ---------------------------------------------------------------- data

book() {  # book N FILE: N holdings, written once
    if [ ! -s "$2" ]; then
        echo "bench: writing $1 holdings to $2" >&2
        nice -n 10 python3 examples/book/gen_book.py --rows "$1" --out "$2.tmp"
        mv "$2.tmp" "$2"
    fi
}
book "$rows" "$dir/book-$rows.csv"
book "$small" "$dir/book-$small.csv"

# The rule, once as XML for zu_zozov and once as CASE WHEN for sqlite3.
mkdir -p "$dir/rules"
python3 - "$dir/rules/BENCH50.xml" "$dir/classify.sql" "$dir/book-$rows.csv" \
    "$dir/sqlite-out.csv" <<'EOF'
import sys
xml_path, sql_path, book_path, out_path = sys.argv[1:5]
groups = []  # (zu_zozov expression, SQL condition)
def q(s): return '"%s"' % s
def s(v): return "'%s'" % v
for market in ("XSHG", "XSHE", "XBSE"):
    for floor in (10000000, 1000000, None):
        e = 'A_TYPE == "STK" && M_TYPE == %s' % q(market)
        c = "A_TYPE = 'STK' AND M_TYPE = %s" % s(market)
        if floor:
            e += " && MKT_VALUE >= %d" % floor
            c += " AND MKT_VALUE >= %d" % floor
        groups.append((e, c))
for kind in ("GOV", "LOCAL", "PFB", "CORP", "MTN", "CP", "CB"):
    for ratings in (("AAA",), ("AA+", "AA"), None):
        e = 'A_TYPE == "BOND" && P_CODE1 == %s' % q(kind)
        c = "A_TYPE = 'BOND' AND P_CODE1 = %s" % s(kind)
        if ratings:
            e += ' && inColl(P_CODE2, "%s") == 1' % ",".join(ratings)
            c += " AND P_CODE2 IN (%s)" % ", ".join(s(r) for r in ratings)
        groups.append((e, c))
for kind in ("MMF", "ETF", "EQ", "BOND"):
    for market in ("XSHG", "XSHE", "OTC"):
        groups.append(('A_TYPE == "FUND" && P_CODE1 == %s && M_TYPE == %s' % (q(kind), q(market)),
                       "A_TYPE = 'FUND' AND P_CODE1 = %s AND M_TYPE = %s" % (s(kind), s(market))))
for direction in ("REPO", "RREPO"):
    for market in ("XSHG", "XIBM"):
        groups.append(('A_TYPE == "REPO" && P_CODE3 == %s && M_TYPE == %s' % (q(direction), q(market)),
                       "A_TYPE = 'REPO' AND P_CODE3 = %s AND M_TYPE = %s" % (s(direction), s(market))))
groups.append(('A_TYPE == "FUT" && inColl(substr(I_CODE, 0, 2), "IF,IC,IH,IM") == 1',
               "A_TYPE = 'FUT' AND substr(I_CODE, 1, 2) IN ('IF', 'IC', 'IH', 'IM')"))
groups.append(('A_TYPE == "FUT" && substr(I_CODE, 0, 1) == "T"',
               "A_TYPE = 'FUT' AND substr(I_CODE, 1, 1) = 'T'"))
for kind in ("DEMAND", "TIME"):
    groups.append(('A_TYPE == "CASH" && P_CODE1 == %s' % q(kind), "A_TYPE = 'CASH' AND P_CODE1 = %s" % s(kind)))
assert len(groups) == 50, len(groups)

def attr(text): return text.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;")
with open(xml_path, "w", encoding="utf-8") as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n<GroupRule Code="BENCH50" Name="50 groups">\n')
    for i, (e, _) in enumerate(groups, 1):
        f.write('  <Group Code="G%02d" Name="group %d" Exp="%s"/>\n' % (i, i, attr(e)))
    f.write("</GroupRule>\n")

with open(book_path, encoding="utf-8") as b:
    header = b.readline().rstrip("\n").split(",")
types = {"double": "REAL", "int": "INTEGER"}
cols = []
for h in header:
    name, _, t = h.partition(":")
    cols.append('"%s" %s' % (name, types.get(t, "TEXT" if t or name != "QTY" else "NUMERIC")))
case = "\n".join("    WHEN %s THEN 'G%02d'" % (c, i) for i, (_, c) in enumerate(groups, 1))
with open(sql_path, "w", encoding="utf-8") as f:
    f.write("CREATE TABLE book (%s);\n" % ", ".join(cols))
    f.write(".import --csv --skip 1 %s book\n" % book_path)
    f.write(".headers on\n.mode csv\n.output %s\n" % out_path)
    f.write("SELECT I_CODE, ACCT_CODE, CASE\n%s\n    ELSE 'xother' END AS BENCH50 FROM book;\n" % case)
    f.write(".output stdout\n")
EOF

# ---------------------------------------------------------------- speed

in=$dir/book-$rows.csv
tool_out=$dir/zu_zozov-out.csv
echo "== classify $rows holdings by 50 groups: zu_zozov against sqlite3 $(sqlite3 -version | cut -d' ' -f1)"
nice -n 5 hyperfine --warmup 1 --runs "${RUNS:-3}" --export-markdown "$dir/speed.md" \
    --export-json "$dir/speed.json" \
    -n "zu_zozov classify" "'$tool' classify --rules '$dir/rules' -o '$tool_out' '$in'" \
    -n "sqlite3 import + CASE WHEN" "sqlite3 :memory: < '$dir/classify.sql'"

# On a shared machine the wall time swings with the load; the CPU time of
# each command (user + system, mean of the runs) is the steadier figure.
python3 - "$dir/speed.json" <<'EOF' | tee -a "$dir/speed.md"
import json, sys
results = json.load(open(sys.argv[1]))["results"]
print()
print("| CPU time (user + system) | mean [s] |")
print("|---|---:|")
for r in results:
    print("| %s | %.3f |" % (r["command"], r["user"] + r["system"]))
cpu = [r["user"] + r["system"] for r in results]
wall = [r["mean"] for r in results]
print()
print("zu_zozov / sqlite3: %.2f in CPU time, %.2f in wall time (the goal: at most 1)"
      % (cpu[0] / cpu[1], wall[0] / wall[1]))
EOF

status=0
if python3 - "$tool_out" "$dir/sqlite-out.csv" <<'EOF'
import csv, sys
with open(sys.argv[1], encoding="utf-8", newline="") as a, open(sys.argv[2], encoding="utf-8", newline="") as b:
    ra, rb = list(csv.reader(a)), list(csv.reader(b))
if len(ra) != len(rb):
    print("bench: zu_zozov wrote %d rows, sqlite3 %d" % (len(ra), len(rb))); sys.exit(1)
bad = [i for i in range(1, len(ra)) if ra[i] != rb[i]]
if bad:
    print("bench: %d rows differ, the first at data row %d: %s against %s"
          % (len(bad), bad[0], ra[bad[0]], rb[bad[0]])); sys.exit(1)
print("bench: both wrote the same %d rows" % (len(ra) - 1))
EOF
then :; else status=1; fi

# ---------------------------------------------------------------- memory

peak() {  # peak LABEL CMD...: runs CMD under /usr/bin/time, prints the peak RSS in kB
    /usr/bin/time -v -o "$dir/time-$1.txt" "${@:2}" >/dev/null
    sed -n 's/.*Maximum resident set size (kbytes): //p' "$dir/time-$1.txt"
}
echo "== peak memory of classify: $small holdings against $big"
small_kb=$(peak small nice -n 10 "$tool" classify --rules "$dir/rules" -o - "$dir/book-$small.csv")
# The big book is the ROWS book's holdings over and over, streamed through a
# pipe (sed, not head, cuts the last copy short: no broken pipe).
full=$(( big / rows )) rest=$(( big % rows ))
big_kb=$( { head -n 1 "$in"
            for _ in $(seq "$full"); do tail -n +2 "$in"; done
            [ "$rest" -eq 0 ] || sed -n "2,$((rest + 1))p" "$in"; } |
    { /usr/bin/time -v -o "$dir/time-big.txt" nice -n 10 "$tool" classify --rules "$dir/rules" -o - - >/dev/null
      sed -n 's/.*Maximum resident set size (kbytes): //p' "$dir/time-big.txt"; } )
grep -E "Elapsed|Maximum resident" "$dir/time-big.txt" | sed 's/^\s*/  big:   /'
grep -E "Elapsed|Maximum resident" "$dir/time-small.txt" | sed 's/^\s*/  small: /'
diff_mb=$(( (big_kb - small_kb) / 1024 ))
echo "peak RSS: $small holdings $((small_kb / 1024)) MB, $big holdings $((big_kb / 1024)) MB, difference $diff_mb MB (bound 50 MB)"
if [ "$diff_mb" -gt 50 ]; then
    echo "bench: memory grows with the book" >&2
    status=1
fi
{
    echo
    echo "| peak RSS | holdings | MB |"
    echo "|---|---:|---:|"
    echo "| classify | $small | $((small_kb / 1024)) |"
    echo "| classify | $big | $((big_kb / 1024)) |"
} >>"$dir/speed.md"
echo "results: $dir/speed.md"
exit $status
