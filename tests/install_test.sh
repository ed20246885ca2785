#!/usr/bin/env bash
# Installs the build into a temporary prefix, moves the installation
# elsewhere and runs each installed program once.
# usage: install_test.sh BUILD_DIR CONFIG VERSION BINDIR DATADIR MANDIR
#                        BUILT_BETWEENNESS [MAIN_DATASET [COMPANION_DATASET]]
# BINDIR, DATADIR and MANDIR are relative to the prefix; the two datasets are
# the build's configured paths (empty: the bundled files).
set -euo pipefail
build=$1 config=$2 version=$3 bindir=$4 datadir=$5 mandir=$6 built=$7
main=${8-} companion=${9-}
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
echo "install test: ok ($prefix)"
