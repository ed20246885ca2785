#!/usr/bin/env bash
# Installs the build into a temporary prefix, moves the installation
# elsewhere and runs each installed program once.
# usage: install_test.sh BUILD_DIR CONFIG VERSION BINDIR DATADIR MANDIR
#                        BUILT_BETWEENNESS [MAIN_DATASET [COMPANION_DATASET [PYTHON]]]
# BINDIR, DATADIR and MANDIR are relative to the prefix; the two datasets are
# the build's configured paths (empty: the bundled files); PYTHON, the
# interpreter of the Python module when it was built.
set -euo pipefail
build=$1 config=$2 version=$3 bindir=$4 datadir=$5 mandir=$6 built=$7
main=${8-} companion=${9-} python=${10-}
programs="anybridge plusbridge betweenness linkbridge spanpairs anypairs"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$tmp/prefix" ${config:+--config "$config"} >/dev/null
# Moving the tree catches any path fixed at install time.
mv "$tmp/prefix" "$tmp/moved"
prefix=$(cd "$tmp/moved" && pwd -P)  # the programs see their real location
bin=$prefix/$bindir
data=$prefix/$datadir/pathsuite

for p in $programs; do
  [ -x "$bin/$p" ] || fail "$p not installed in $bin"
  page=$prefix/$mandir/man1/$p.1
  [ -f "$page" ] || fail "no manual page $page"
  if command -v groff >/dev/null; then
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "$page: $warnings"
  fi
  out=$("$bin/$p" --version 2>"$tmp/err") || fail "$p --version failed"
  [ "$out" = "$p (pathsuite) $version" ] || fail "$p --version printed '$out'"
  [ ! -s "$tmp/err" ] || fail "$p --version wrote to standard error: $(cat "$tmp/err")"
done
# The programs made for people have pages too, and run from the installed runner.
for p in scores distances; do
  page=$prefix/$mandir/man1/$p.1
  [ -f "$page" ] || fail "no manual page $page"
  if command -v groff >/dev/null; then
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "$page: $warnings"
  fi
done
out=$(printf 'a,b\nb,c\n' | "$bin/pathsuite" scores - --format csv) || fail "installed scores failed"
[ "$out" = "$(printf 'a 0.000000\nb 2.000000\nc 0.000000')" ] || fail "installed scores printed '$out'"
for f in main.txt companion.txt; do
  cmp -s "$data/$f" "$build/$datadir/pathsuite/$f" || fail "$data/$f differs from the bundled $f"
done

# The installed listing is the build tree's, from the installed dataset.
"$bin/betweenness" >"$tmp/installed" 2>"$tmp/err" || fail "installed betweenness failed: $(cat "$tmp/err")"
[ ! -s "$tmp/err" ] || fail "installed betweenness wrote to standard error: $(cat "$tmp/err")"
"$built" >"$tmp/built" || fail "$built failed"
lines=$(wc -l <"$tmp/installed")
[ "$lines" -eq 17039 ] || fail "installed betweenness printed $lines lines, not 17039"
cmp -s "$tmp/installed" "$tmp/built" || fail "installed betweenness differs from $built"

# Replacing the installed datasets shows which files the programs read: the
# installed ones, unless the build named others. Scores of the two paths
# x-y-z and p-q-r-s count each ordered pair passing through a node.
rm -f "$data/main.txt" "$data/companion.txt"  # never write through a link
printf 'x y 1\ny z 1\n' >"$data/main.txt"
printf 'p q 1\nq r 1\nr s 1\n' >"$data/companion.txt"
if [ -z "$main" ]; then
  "$bin/betweenness" --help | grep -xF "Dataset: $data/main.txt" >/dev/null ||
    fail "installed betweenness --help does not name $data/main.txt"
  expected=$(printf 'x 0.000000\ny 2.000000\nz 0.000000\n')
else
  expected=$(head -n 3 "$tmp/built")
fi
"$bin/betweenness" >"$tmp/out"
got=$(head -n 3 "$tmp/out")
[ "$got" = "$expected" ] || fail "betweenness read the wrong dataset: got '$got', expected '$expected'"
if [ -z "$companion" ]; then
  expected=$(printf 'p 0.000000\nq 4.000000\nr 4.000000\ns 0.000000\n')
else
  "$(dirname "$built")/linkbridge" >"$tmp/out"
  expected=$(head -n 4 "$tmp/out")
fi
"$bin/linkbridge" >"$tmp/out"
got=$(head -n 4 "$tmp/out")
[ "$got" = "$expected" ] || fail "linkbridge read the wrong dataset: got '$got', expected '$expected'"
# A library user's project, built against the installed tree alone, gives
# the program's listing.
cmake -S "$(dirname "$0")/consumer" -B "$tmp/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS=${CONSUMER_CXX_FLAGS-}" >"$tmp/consumer.log" 2>&1 || fail "consumer configure: $(tail -5 "$tmp/consumer.log")"
cmake --build "$tmp/consumer" >>"$tmp/consumer.log" 2>&1 || fail "consumer build: $(tail -5 "$tmp/consumer.log")"
printf 'a b 0\na c 3\nc b 3\nlonger-than-twenty-bytes-name c 1\n' >"$tmp/edges.txt"
"$tmp/consumer/consumer" "$tmp/edges.txt" >"$tmp/consumer.out" || fail "consumer failed"
grep -v '^distance ' "$tmp/consumer.out" >"$tmp/consumer.scores"
printf 'a b 0\na c 3\nc b 3\n' >"$tmp/short.txt"
"$tmp/consumer/consumer" "$tmp/short.txt" | grep -v '^distance ' >"$tmp/consumer.short"
"$bin/anybridge" "$tmp/short.txt" x 10 >"$tmp/anybridge.short"
cmp -s "$tmp/consumer.short" "$tmp/anybridge.short" || fail "the consumer's scores differ from anybridge's"
[ "$(grep -c '^distance 0 ' "$tmp/consumer.out")" -eq 4 ] || fail "the consumer's rows: $(cat "$tmp/consumer.out")"
grep -qx 'longer-than-twenty-bytes-name 0.000000' "$tmp/consumer.scores" || fail "a long name: $(cat "$tmp/consumer.scores")"

# The Python module, where it was built, imports from the installed tree.
if [ -n "${python:-}" ]; then
  site=$(find "$prefix" -path '*/site-packages/pathsuite/__init__.py' | head -n 1)
  [ -n "$site" ] || fail "no Python module installed under $prefix"
  out=$(cd "$tmp" && PYTHONPATH=$(dirname "$(dirname "$site")") "$python" -c \
    'import pathsuite, sys; g = pathsuite.read_edges(sys.argv[1]); print(" ".join("%f" % s for s in pathsuite.betweenness(g)))' \
    "$tmp/short.txt") || fail "the installed Python module failed"
  [ "$out" = "0.000000 0.000000 2.000000" ] || fail "the installed Python module printed '$out'"
fi
echo "install test: ok ($prefix)"
