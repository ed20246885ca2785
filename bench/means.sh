#!/usr/bin/env bash
# bench/means.sh BUILD GRAPH... -- what two of the engine's means give, in a
# tree that has them: search_cost built three ways against BUILD's library,
#   full      as the programs run (nodes numbered breadth first, large
#             arrays on huge pages);
#   byname    -DSEARCH_COST_NUMBERING=FAST_BY_NAME: node i is name i;
#   nohuge    linked with bench/no_huge_pages.cpp: ordinary 4 KB pages;
# each variant run at the same time as full, one CPU each, then swapped,
# ROUNDS (2) rounds; per graph the medians of the runs' medians a source
# (search and accumulation, the thread's CPU time, which leaves out the time
# another job held the CPU) and variant / full. Knobs: ROUNDS, SOURCES (6),
# CPUS ("0 1").
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 2 ] || { echo "usage: bench/means.sh BUILD GRAPH..." >&2; exit 2; }
build=$1
shift
ROUNDS=${ROUNDS:-2}
SOURCES=${SOURCES:-6}
read -r C0 C1 <<< "${CPUS:-0 1}"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
src=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
flags=(-std=c++20 -O3 -DNDEBUG -ffp-contract=off -I"$src" -I"$src/include")
g++ "${flags[@]}" bench/search_cost.cpp "$build/libpathsuite.a" -pthread -o "$tmp/full"
g++ "${flags[@]}" -DSEARCH_COST_NUMBERING=FAST_BY_NAME bench/search_cost.cpp "$build/libpathsuite.a" \
  -pthread -o "$tmp/byname"
g++ "${flags[@]}" bench/search_cost.cpp bench/no_huge_pages.cpp "$build/libpathsuite.a" -pthread \
  -o "$tmp/nohuge"
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
cpu() { sed -n 's/.*total \([0-9.]*\) ms cpu$/\1/p' "$@" | median; }
echo "| graph | variant | full CPU ms a source | variant CPU ms a source | variant / full | same sums |"
echo "|---|---|---|---|---|---|"
for g in "$@"; do
  for v in byname nohuge; do
    n=0
    for r in $(seq "$ROUNDS"); do
      for swap in 0 1; do
        cf=$C0 cv=$C1
        [ "$swap" = 1 ] && { cf=$C1; cv=$C0; }
        taskset -c "$cf" "$tmp/full" "$g" "$SOURCES" 0 > "$tmp/out.full.$n" &
        taskset -c "$cv" "$tmp/$v" "$g" "$SOURCES" 0 > "$tmp/out.$v.$n" &
        wait
        n=$((n + 1))
      done
    done
    f=$(cpu "$tmp"/out.full.*)
    x=$(cpu "$tmp"/out."$v".*)
    same=no
    [ "$(grep -h '^sum of' "$tmp"/out.full.* "$tmp"/out."$v".* | sort -u | wc -l)" = 1 ] && same=yes
    echo "| $(basename "$g" .txt) | $v | $f | $x | $(awk -v f="$f" -v x="$x" 'BEGIN { printf "%.3f", x / f }') | $same |"
    rm -f "$tmp"/out.*
  done
done
