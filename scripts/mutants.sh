#!/usr/bin/env bash
# Mutation testing: how many small faults planted in the library do the tests
# catch?  Draws a seeded sample of mutants from the library's sources
# (expr/ common/ zu_zozov/ xml/ log/, not tests, bench, fuzz or tools), applies
# them one at a time, rebuilds incrementally, runs the tests, restores the
# source, and prints the share of mutants the tests kill with the survivors
# listed.
#
#   bash scripts/mutants.sh [--seed N] [--count N] [--jobs N] [--timeout SECONDS]
#                           [--build-dir DIR] [--headers] [--list]
#
#   --seed N       seed of the sample (default 1)
#   --count N      number of mutants (default 80)
#   --jobs N       parallel build and test jobs (default 2)
#   --timeout S    limit for one mutant's test run; a mutant that runs the
#                  tests past it counts as killed by timeout (default: four
#                  times the unmutated run, at least 60 s)
#   --build-dir D  build directory (default build-mutants)
#   --headers      draw from the .h files as well as the .cpp files (a header
#                  mutant rebuilds much more)
#   --list         print the sample and stop
#
# Mutations: flip a comparison (== !=, < >=, > <=), swap && and ||, drop a
# statement (a one-line statement that is not a declaration), change a
# constant (0 <-> 1, true <-> false, n -> n+1), return early (a default value
# returned at the start of a function body, or in place of a `return x;`,
# where the return type is plain: void, bool, numbers, pointers, std::string).
# The same seed and count give the same sample on the same sources.  Mutants
# that do not compile are counted apart and are not kills.  The mutated file
# is restored after every mutant, and on exit or interrupt.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

SEED=1
COUNT=80
JOBS=2
LIMIT=""
BUILD_DIR=build-mutants
HEADERS=0
LIST=0

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; }
number() {
    [[ $2 =~ ^[0-9]+$ ]] || { echo "mutants.sh: $1 wants a number, not '$2'" >&2; exit 2; }
}
while (($#)); do
    case $1 in
        --seed) number "$1" "${2-}"; SEED=$2; shift 2 ;;
        --count) number "$1" "${2-}"; COUNT=$2; shift 2 ;;
        --jobs) number "$1" "${2-}"; JOBS=$2; shift 2 ;;
        --timeout) number "$1" "${2-}"; LIMIT=$2; shift 2 ;;
        --build-dir) BUILD_DIR=${2:?--build-dir wants a directory}; shift 2 ;;
        --headers) HEADERS=1; shift ;;
        --list) LIST=1; shift ;;
        -h | --help) usage; exit 0 ;;
        *) echo "mutants.sh: unknown argument '$1'" >&2; usage >&2; exit 2 ;;
    esac
done
((JOBS > 0)) || JOBS=1
bash scripts/install-deps.sh mutants

WORK=$(mktemp -d "${TMPDIR:-/tmp}/zu_mutants.XXXXXX")
MUTATED=""     # the source file that holds a mutant now, relative to ROOT
CHILD=""       # the build or test job running now
INTERRUPTED=0

restore() {
    if [[ -n $MUTATED ]]; then
        cp "$WORK/original" "$ROOT/$MUTATED"
        MUTATED=""
    fi
}
cleanup() {
    local rc=$?
    trap '' INT TERM HUP
    if [[ -n $CHILD ]]; then
        kill -TERM "$CHILD" 2>/dev/null || true
        wait "$CHILD" 2>/dev/null || true
    fi
    restore
    rm -rf "$WORK"
    if ((INTERRUPTED)); then
        echo "mutants.sh: interrupted; the sources are restored" >&2
    fi
    exit "$rc"
}
trap cleanup EXIT
trap 'INTERRUPTED=1; exit 130' INT TERM HUP

# Runs a command under a time limit in the background, so that an interrupt
# reaches the trap at once; timeout(1) puts the command in a process group of
# its own and takes the whole group down when the limit passes or it is told
# to stop.  Returns the command's status, 124 when the limit passed.
run_limited() {
    local limit=$1 log=$2 rc=0
    shift 2
    timeout -k 10 "$limit" "$@" >"$log" 2>&1 &
    CHILD=$!
    wait "$CHILD" || rc=$?
    CHILD=""
    return "$rc"
}

cat >"$WORK/mutants.py" <<'PYTHON'
# Chooses the sample and applies one mutant (the mutants.sh helper).
import json
import random
import re
import sys
from pathlib import Path

LIB_DIRS = ["expr", "common", "zu_zozov", "xml", "log"]
ENC = dict(encoding="utf-8", errors="surrogateescape", newline="")


def read(path):
    with open(path, **ENC) as f:
        return f.read()


def write(path, text):
    with open(path, "w", **ENC) as f:
        f.write(text)


def mask(text):
    """The text with comments blanked and literal contents replaced by 'x'.

    Offsets and line breaks are kept, so a column found in the masked text
    is the same column in the source."""
    out = list(text)
    i, n = 0, len(text)
    raw = re.compile(r'(?:u8|u|U|L)?R"([^()\\\s"]{0,16})\(')
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                out[i] = " "
                i += 1
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            for k in range(i, end):
                if text[k] != "\n":
                    out[k] = " "
            i = end
        elif c in "uULR" and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")) and raw.match(text, i):
            m = raw.match(text, i)
            close = ")" + m.group(1) + '"'
            end = text.find(close, m.end())
            end = n if end < 0 else end + len(close)
            for k in range(m.end(), end - len(close)):
                if text[k] != "\n":
                    out[k] = "x"
            i = end
        elif c == '"' or c == "'":
            # A quote after a digit is a digit separator, not a literal.
            if c == "'" and i > 0 and text[i - 1].isdigit():
                i += 1
                continue
            k = i + 1
            while k < n and text[k] != c and text[k] != "\n":
                if text[k] == "\\":
                    out[k] = "x"
                    k += 1
                out[k] = "x"
                k += 1
            i = k + 1
        else:
            i += 1
    return "".join(out)


def source_files(root, headers):
    files = []
    for d in LIB_DIRS:
        files += sorted((root / d).glob("*.cpp"))
        if headers:
            files += sorted((root / d).glob("*.h"))
    return sorted(files, key=lambda p: p.relative_to(root).as_posix())


COMPARE = {"==": "!=", "!=": "==", "<": ">=", ">=": "<", ">": "<=", "<=": ">"}
COMPARE_RE = re.compile(r"(?<= )(==|!=|<=|>=|<|>)(?= )")
LOGIC_RE = re.compile(r"(?<= )(&&|\|\|)(?= )")
INT_RE = re.compile(r"(?<![\w.'])(\d+)([uUlL]*)(?![\w.'])")
BOOL_RE = re.compile(r"\b(true|false)\b")
DECL_START = re.compile(
    r"^(?:const|static|auto|constexpr|using|typedef|typename|template|namespace|"
    r"class|struct|enum|union|friend|extern|unsigned|signed|int|long|short|char|bool|"
    r"double|float|void|size_t)\b"
)
# "Type name ...", "Type<...> name", "Type* name", "a::B& name": a declaration.
DECL_SHAPE = re.compile(r"^[A-Za-z_][\w:]*(?:<.*>)?[\s*&]+[*&]?[A-Za-z_]\w*\s*(?:[=({\[;,]|$)")
KEEP_KEYWORDS = re.compile(r"^(?:delete|return|throw|goto|case|default|else|do)\b")
FUNC_NOT = re.compile(r"^(?:namespace|class|struct|enum|union|template|using|typedef|extern|static_assert|#)\b")
CODE_END = (";", "{", "}", ":")


def balanced(s):
    return s.count("(") == s.count(")") and s.count("{") == s.count("}") and s.count("[") == s.count("]")


def default_for(ret):
    ret = re.sub(r"\b(?:static|inline|constexpr|virtual|explicit)\b", "", ret).strip()
    ret = re.sub(r"\s+", " ", ret)
    if ret == "void":
        return ""
    if ret == "bool":
        return "false"
    if ret in ("double", "float"):
        return "0.0"
    if re.fullmatch(r"(?:unsigned |signed )?(?:int|long|long long|short|char|unsigned)|(?:std::)?u?int\d+_t|(?:std::)?size_t", ret):
        return "0"
    if ret.endswith("*") and "&" not in ret:
        return "nullptr"
    if ret == "std::string":
        return "std::string()"
    return None


def functions(masked_lines):
    """(start_line, open_line, close_line, return type) of every function defined
    at column 0 whose signature ends its last line with '{'."""
    found = []
    i, n = 0, len(masked_lines)
    while i < n:
        line = masked_lines[i]
        if not line or not (line[0].isalpha() or line[0] == "_") or FUNC_NOT.match(line):
            i += 1
            continue
        sig, j = [], i
        while j < n and j < i + 8:
            s = masked_lines[j].rstrip()
            sig.append(s.strip())
            if s.endswith("{") or s.endswith(";") or s.endswith("}"):
                break
            j += 1
        if j >= n or not masked_lines[j].rstrip().endswith("{"):
            i += 1
            continue
        text = " ".join(sig)
        head = text.split("(", 1)[0].strip()
        if "(" not in text or "=" in head and "operator" not in head:
            i = j + 1
            continue
        # Find the closing brace of the body.
        depth, k = 0, j
        while k < n:
            depth += masked_lines[k].count("{") - masked_lines[k].count("}")
            if depth <= 0 and k >= j:
                break
            k += 1
        if "operator" in head:
            ret = head[: head.find("operator")].strip()
            ret = ret.rsplit(" ", 1)[0] if " " in ret else ""
        else:
            parts = head.rsplit(None, 1)
            ret = parts[0] if len(parts) == 2 else ""
            # "T* C::f" splits as "T*", "C::f"; "T *f" as "T", "*f".
            if len(parts) == 2 and parts[1].startswith(("*", "&")):
                ret += parts[1][0]
        found.append((i, j, k, ret))
        i = k + 1
    return found


def candidates(root, path):
    text = read(path)
    lines = text.splitlines(keepends=True)
    masked = mask(text).splitlines(keepends=True)
    rel = path.relative_to(root).as_posix()
    body = [m.rstrip("\r\n") for m in masked]
    out = []

    def add(idx, op, desc, new):
        old = lines[idx]
        eol = old[len(old.rstrip("\r\n")):]
        new = new.rstrip("\r\n") + eol
        if new != old:
            out.append(dict(file=rel, line=idx + 1, op=op, desc=desc, old=old.rstrip("\r\n"), new=new.rstrip("\r\n")))

    def prev_code(idx):
        k = idx - 1
        while k >= 0 and not body[k].strip():
            k -= 1
        return body[k].rstrip() if k >= 0 else ""

    for idx, m in enumerate(body):
        src = lines[idx].rstrip("\r\n")
        stripped = m.strip()
        if not stripped or stripped.startswith("#"):
            continue
        for mt in COMPARE_RE.finditer(m):
            a, b = mt.span()
            rep = COMPARE[mt.group(1)]
            add(idx, "compare", f"'{mt.group(1)}' -> '{rep}' (col {a + 1})", src[:a] + rep + src[b:])
        for mt in LOGIC_RE.finditer(m):
            a, b = mt.span()
            rep = "||" if mt.group(1) == "&&" else "&&"
            add(idx, "logic", f"'{mt.group(1)}' -> '{rep}' (col {a + 1})", src[:a] + rep + src[b:])
        for mt in INT_RE.finditer(m):
            a, b = mt.span(1)
            v = int(mt.group(1))
            rep = {0: "1", 1: "0"}.get(v, str(v + 1))
            # A negative literal: -1 -> 0, -n -> -(n - 1).
            if a > 0 and m[a - 1] == "-" and (a < 2 or m[a - 2] in " (,=?:[{"):
                a, v = a - 1, -v
                rep = str(v + 1)
            add(idx, "constant", f"{src[a:b]} -> {rep} (col {a + 1})", src[:a] + rep + src[b:])
        for mt in BOOL_RE.finditer(m):
            a, b = mt.span()
            rep = "false" if mt.group(1) == "true" else "true"
            add(idx, "constant", f"{mt.group(1)} -> {rep} (col {a + 1})", src[:a] + rep + src[b:])
        # Drop a whole statement: one line, begun on this line, not a declaration.
        if (
            stripped.endswith(";")
            and balanced(stripped)
            and prev_code(idx).endswith(CODE_END)
            and not stripped.startswith(("}", ":", "?", "<<", "|", "."))
            and not KEEP_KEYWORDS.match(stripped)
            and not DECL_START.match(stripped)
            and not DECL_SHAPE.match(stripped)
        ):
            nxt = idx + 1
            while nxt < len(body) and not body[nxt].strip():
                nxt += 1
            if not (nxt < len(body) and body[nxt].strip().startswith("else")) and m[0].isspace():
                indent = src[: len(src) - len(src.lstrip())]
                add(idx, "drop", "statement removed", indent)

    for start, open_idx, close_idx, ret in functions(body):
        if not ret:
            continue
        value = default_for(ret)
        if value is None:
            continue
        ret_stmt = f"return {value};" if value else "return;"
        src = lines[open_idx].rstrip("\r\n")
        add(open_idx, "return", f"early '{ret_stmt}' at body start", src + " " + ret_stmt)
        if not value:
            continue
        for idx in range(open_idx + 1, close_idx):
            s = body[idx].strip()
            mt = re.fullmatch(r"return (.+);", s)
            if mt and balanced(s) and prev_code(idx).endswith(CODE_END):
                src_i = lines[idx].rstrip("\r\n")
                indent = src_i[: len(src_i) - len(src_i.lstrip())]
                if mt.group(1).strip() != value:
                    add(idx, "return", f"'return ...;' -> '{ret_stmt}'", indent + ret_stmt)
    # One mutant per distinct mutated line.
    seen, uniq = set(), []
    for c in out:
        key = (c["line"], c["new"])
        if key not in seen:
            seen.add(key)
            uniq.append(c)
    return uniq


def cmd_sample(args):
    root, seed, count, headers = Path(args[0]), int(args[1]), int(args[2]), args[3] == "1"
    pool = []
    for f in source_files(root, headers):
        pool += candidates(root, f)
    rng = random.Random(seed)
    chosen = rng.sample(pool, min(count, len(pool)))
    chosen.sort(key=lambda c: (c["file"], c["line"], c["new"]))
    sys.stderr.write(f"{len(pool)}\n")
    for c in chosen:
        print(json.dumps(c, ensure_ascii=False))


def load(sample, k):
    with open(sample, encoding="utf-8") as f:
        return json.loads(f.read().splitlines()[int(k)])


def cmd_field(args):
    c = load(args[0], args[1])
    sys.stdout.write(str(c[args[2]]))


def cmd_show(args):
    c = load(args[0], args[1])
    print(f"  {c['file']}:{c['line']}  {c['op']}: {c['desc']}")
    print(f"    - {c['old'].strip()}")
    print(f"    + {c['new'].strip() or '(line removed)'}")


def cmd_apply(args):
    root, c = Path(args[0]), load(args[1], args[2])
    path = root / c["file"]
    lines = read(path).splitlines(keepends=True)
    old = lines[c["line"] - 1]
    if old.rstrip("\r\n") != c["old"]:
        sys.exit(f"{c['file']}:{c['line']} is not the line the sample was drawn from")
    lines[c["line"] - 1] = c["new"] + old[len(old.rstrip("\r\n")):]
    write(path, "".join(lines))


if __name__ == "__main__":
    {"sample": cmd_sample, "field": cmd_field, "show": cmd_show, "apply": cmd_apply}[sys.argv[1]](sys.argv[2:])
PYTHON
PY=(python3 "$WORK/mutants.py")
LIB_DIRS=(expr common zu_zozov xml log)
tree_state() { git status --porcelain -- "${LIB_DIRS[@]}" 2>/dev/null | sha256sum; }
TREE_BEFORE=$(tree_state)
SAMPLE=$WORK/sample.jsonl
field() { "${PY[@]}" field "$SAMPLE" "$1" "$2"; }

"${PY[@]}" sample "$ROOT" "$SEED" "$COUNT" "$HEADERS" >"$SAMPLE" 2>"$WORK/pool"
N=$(wc -l <"$SAMPLE")
FINGERPRINT=$(sha256sum "$SAMPLE" | cut -c1-12)
echo "Sample: $N of $(cut -d' ' -f1 "$WORK/pool") candidate mutants, seed $SEED (fingerprint $FINGERPRINT)"
if ((LIST)); then
    for ((i = 0; i < N; i++)); do
        "${PY[@]}" show "$SAMPLE" "$i"
    done
    exit 0
fi

# The library is a shared object: with LINK_DEPENDS_NO_SHARED a mutant in a
# .cpp file recompiles that file and relinks the library, nothing else.
echo "Building the unmutated tree in $BUILD_DIR ..."
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZU_ZOZOV_BUILD_TESTS=ON \
    -DZU_ZOZOV_BUILD_EXAMPLES=ON -DZU_ZOZOV_BUILD_BENCH=OFF -DZU_ZOZOV_BUILD_FUZZ=OFF \
    -DZU_ZOZOV_SANITIZE=OFF -DZU_ZOZOV_WERROR=OFF -DCMAKE_LINK_DEPENDS_NO_SHARED=ON \
    >"$WORK/configure.log" 2>&1 || { cat "$WORK/configure.log" >&2; exit 1; }
BUILD=(cmake --build "$BUILD_DIR" -j "$JOBS")
if ! run_limited 3600 "$WORK/build.log" "${BUILD[@]}"; then
    tail -n 40 "$WORK/build.log" >&2
    echo "mutants.sh: the unmutated tree does not build" >&2
    exit 1
fi
CTEST=(ctest --test-dir "$BUILD_DIR" --stop-on-failure -j "$JOBS")
start=$SECONDS
if ! run_limited 3600 "$WORK/test.log" "${CTEST[@]}"; then
    grep -E '\*\*\*|Failed|Timeout' "$WORK/test.log" | head -n 20 >&2 || true
    echo "mutants.sh: the tests fail without any mutant; mend them first" >&2
    exit 1
fi
BASE=$((SECONDS - start))
if [[ -z $LIMIT ]]; then
    LIMIT=$((4 * BASE))
    ((LIMIT >= 60)) || LIMIT=60
fi
echo "Unmutated test run: ${BASE}s; limit per mutant: ${LIMIT}s"

killed=0
timeouts=0
survived=0
broken=0
: >"$WORK/survivors"
: >"$WORK/tally"
all_start=$SECONDS
for ((i = 0; i < N; i++)); do
    file=$(field "$i" file)
    op=$(field "$i" op)
    where="$file:$(field "$i" line)"
    printf '[%2d/%d] %s %s %s ... ' "$((i + 1))" "$N" "$where" "$op" "$(field "$i" desc)"
    t0=$SECONDS
    cp "$ROOT/$file" "$WORK/original"
    MUTATED=$file
    "${PY[@]}" apply "$ROOT" "$SAMPLE" "$i"
    if ! run_limited 1800 "$WORK/build.log" "${BUILD[@]}"; then
        result="does not compile"
        broken=$((broken + 1))
    else
        t1=$SECONDS
        rc=0
        run_limited "$LIMIT" "$WORK/test.log" "${CTEST[@]}" || rc=$?
        first=$(grep -m1 -E '\*\*\*(Failed|Timeout|Exception)' "$WORK/test.log" |
            sed -E 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: //; s/ +\.+ */ /; s/ +[0-9.]+ sec$//' || true)
        if ((rc == 0)); then
            result="SURVIVED"
            survived=$((survived + 1))
            "${PY[@]}" show "$SAMPLE" "$i" >>"$WORK/survivors"
        elif ((rc == 124 || rc == 137)) || [[ $first == *Timeout* ]]; then
            result="killed by timeout${first:+ ($first)}"
            killed=$((killed + 1))
            timeouts=$((timeouts + 1))
        else
            result="killed${first:+ ($first)}"
            killed=$((killed + 1))
        fi
    fi
    restore
    echo "$op ${result%% (*}" >>"$WORK/tally"
    if [[ $result == "does not compile" ]]; then
        echo "$result, $((SECONDS - t0))s"
    else
        echo "$result, $((SECONDS - t0))s (build $((t1 - t0))s)"
    fi
done

ran=$((killed + survived))
# Leave the build directory built from the unmutated sources.
run_limited 1800 "$WORK/build.log" "${BUILD[@]}" || echo "mutants.sh: the final rebuild of $BUILD_DIR failed" >&2
echo
echo "Mutants: $N drawn (seed $SEED, fingerprint $FINGERPRINT), $broken did not compile, $ran ran"
echo "         $killed killed ($timeouts by timeout), $survived survived; $((SECONDS - all_start))s in all"
if ((ran > 0)); then
    awk -v k="$killed" -v r="$ran" 'BEGIN { printf "Kill rate: %.1f%% (%d/%d)\n", 100 * k / r, k, r }'
fi
echo "By operator (killed/ran, not compiling):"
awk '{ op = $1; res = substr($0, length($1) + 2); ops[op] = 1
       if (res ~ /^killed/) k[op]++; if (res ~ /^(killed|SURVIVED)/) r[op]++; if (res ~ /^does not/) b[op]++ }
     END { for (op in ops) printf "  %-9s %d/%d, %d\n", op, k[op], r[op], b[op] }' "$WORK/tally" | sort
if ((survived > 0)); then
    echo "Survivors:"
    cat "$WORK/survivors"
fi
if [[ $(tree_state) != "$TREE_BEFORE" ]]; then
    echo "mutants.sh: the library's sources differ from when the run began" >&2
    exit 1
fi
