#!/usr/bin/env bash
# bench/scale.sh BEFORE AFTER -- two builds of the suite side by side on
# graphs of 10^5 and 10^6 names, and graph-tool beside them:
#   a source   the fast engine's time a source on one thread (search and
#              accumulation, median of search_cost's SOURCES sources), by
#              the wall clock and by the thread's CPU time (which leaves out
#              the time another job held the CPU); each
#              round runs the two builds at once, one on each CPU, then with
#              the CPUs swapped, so that both see the same drift of a shared
#              machine; the median of the rounds' medians;
#   peer       graph-tool's betweenness from the same sources (pivots), one
#              thread (bench/peers/gt_betweenness.py, Debian's
#              python3-graph-tool under /usr/bin/python3), alone on a CPU;
#              the sums of the scores must agree with ours;
#   loading    load_time: the reference loader and the fast loader
#              (EdgeList_Read and FastGraph_FromEdges) of each build, paired
#              and swapped the same way, the run of the best wall time of
#              the two, its wall and CPU time;
#   memory     peak RSS of `pathsuite --threads T anybridge` (T = 1, 2)
#              stopped by SIGTERM after MEMORY_SECONDS, each build alone;
#              the difference is what one more thread holds.
# BEFORE and AFTER are configured and built Release trees, either layout:
# the library libpathsuite.a with the public headers under include/ (this
# tree) or libpathcore.a (trees before the library was split out, such as
# a11f9c7), and bin/pathsuite; search_cost and load_time are compiled here
# against each, from this tree's bench/, with the include paths of the tree
# each build was configured from (its root and its include/). The sums of
# dependencies of the two builds must agree exactly (same sources, same
# additions). Knobs: SIZES, KINDS, ROUNDS (2), SOURCES_5 / SOURCES_6
# (sources at 10^5 / 10^6: 16, 6), PEER=0 (no graph-tool), MEMORY=0 (no
# memory runs), MEMORY_SECONDS (45), CPUS ("0 1"), B (build-bench).
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 2 ] || { echo "usage: bench/scale.sh BEFORE_BUILD AFTER_BUILD" >&2; exit 2; }
BEFORE=$1
AFTER=$2
B=${B:-build-bench}
SIZES=${SIZES:-"100000 1000000"}
KINDS=${KINDS:-"social road"}
ROUNDS=${ROUNDS:-2}
SOURCES_5=${SOURCES_5:-16}
SOURCES_6=${SOURCES_6:-6}
PEER=${PEER:-1}
MEMORY=${MEMORY:-1}
MEMORY_SECONDS=${MEMORY_SECONDS:-45}
read -r C0 C1 <<< "${CPUS:-0 1}"
mkdir -p "$B/graphs" "$B/bench"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
g++ -O2 -std=c++20 -ffp-contract=off -o "$B/bench/graphgen" bench/graphgen.cpp
for side in before after; do
  build=$BEFORE
  [ "$side" = after ] && build=$AFTER
  src=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
  lib=$build/libpathsuite.a
  [ -f "$lib" ] || lib=$build/libpathcore.a
  [ -f "$lib" ] || { echo "scale.sh: $build holds neither libpathsuite.a nor libpathcore.a" >&2; exit 2; }
  for tool in search_cost load_time; do
    g++ -std=c++20 -O3 -DNDEBUG -ffp-contract=off -I"$src" -I"$src/include" "bench/$tool.cpp" "$lib" \
      -pthread -o "$tmp/$tool.$side"
  done
done
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# Runs "$1 ARGS" for before and after at once, CPUs C0 / C1, then swapped,
# ROUNDS times; the output of each run in $tmp/out.SIDE.N.
paired() {
  local n=0
  for r in $(seq "$ROUNDS"); do
    for swap in 0 1; do
      local cb=$C0 ca=$C1
      [ "$swap" = 1 ] && { cb=$C1; ca=$C0; }
      taskset -c "$cb" "$tmp/$1.before" "${@:2}" > "$tmp/out.before.$n" &
      taskset -c "$ca" "$tmp/$1.after" "${@:2}" > "$tmp/out.after.$n" &
      wait
      n=$((n + 1))
    done
  done
}
speed=()
loads=()
memory=()
for k in $KINDS; do
  for n in $SIZES; do
    f="$B/graphs/$k-$n.txt"
    [ -f "$f" ] || "$B/bench/graphgen" "$k" "$n" > "$f"
    lines=$(wc -l < "$f")
    sources=$SOURCES_6
    [ "$n" -lt 1000000 ] && sources=$SOURCES_5
    paired search_cost "$f" "$sources" 0
    before=$(cat "$tmp"/out.before.* | sed -n 's/.*total \([0-9.]*\) ms$/\1/p' | median)
    after=$(cat "$tmp"/out.after.* | sed -n 's/.*total \([0-9.]*\) ms$/\1/p' | median)
    before_cpu=$(cat "$tmp"/out.before.* | sed -n 's/.*total \([0-9.]*\) ms cpu$/\1/p' | median)
    after_cpu=$(cat "$tmp"/out.after.* | sed -n 's/.*total \([0-9.]*\) ms cpu$/\1/p' | median)
    sum=$(sed -n 's/^sum of dependencies //p' "$tmp/out.after.0")
    same=$([ "$sum" = "$(sed -n 's/^sum of dependencies //p' "$tmp/out.before.0")" ] && echo yes || echo NO)
    names=$(sed -n 's/.*: \([0-9]*\) names.*/\1/p' "$tmp/out.after.0")
    peer="-"
    peer_cpu="-"
    agree="-"
    if [ "$PEER" = 1 ]; then
      out=$(OMP_NUM_THREADS=1 taskset -c "$C0" /usr/bin/python3 bench/peers/gt_betweenness.py "$f" "$sources")
      peer=$(sed -n 's/.* sources: \([0-9.]*\) ms a source.*/\1/p' <<< "$out")
      peer_cpu=$(sed -n 's/.* CPU \([0-9.]*\) ms a source.*/\1/p' <<< "$out")
      theirs=$(sed -n 's/.*sum of scores //p' <<< "$out")
      agree=$(awk -v a="$sum" -v b="$theirs" 'BEGIN { d = a - b; if (d < 0) d = -d;
        printf "%s (%.1e)", (d <= 1e-9 * a ? "yes" : "no"), d / a }')
    fi
    speed+=("| $k-$n | $names | $lines | $sources | $before | $after | $(awk -v b="$before" -v a="$after" 'BEGIN { printf "%.2fx", b / a }') | $before_cpu | $after_cpu | $(awk -v b="$before_cpu" -v a="$after_cpu" 'BEGIN { printf "%.2fx", b / a }') | $peer | $peer_cpu | $(awk -v p="$peer_cpu" -v a="$after_cpu" 'BEGIN { if (p == "-") print "-"; else printf "%.2fx", p / a }') | $same | $agree |")
    ROUNDS=1 paired load_time "$f" 1
    lt() { sed -n "s/^$2: .*loads: \([0-9.]*\) s wall, \([0-9.]*\) s CPU.*/\1 (\2)/p" "$tmp"/out."$1".* |
      sort -g | head -1; }
    loads+=("| $k-$n | $lines | $(lt before reference) | $(lt after reference) | $(lt before fast) | $(lt after fast) | $(sed -n 's/.*(read \([0-9.]*\) s, build \([0-9.]*\) s wall)$/\1 s, \2 s/p' "$tmp/out.after.0") |")
    if [ "$MEMORY" = 1 ]; then
      row="| $k-$n"
      for side in before after; do
        build=$BEFORE
        [ "$side" = after ] && build=$AFTER
        for t in 1 2; do
          /usr/bin/time -f %M -o "$tmp/rss" taskset -c "$C0,$C1" "$build/bin/pathsuite" --threads "$t" \
            anybridge "$f" x "$names" > /dev/null 2> /dev/null &
          pid=$!
          sleep "$MEMORY_SECONDS"
          pkill -TERM -P "$pid" || true
          wait "$pid" || true
          eval "rss$t=$(tail -n 1 "$tmp/rss" | awk '{printf "%.0f", $1 / 1024}')"
        done
        row+=" | $rss1 | $rss2 | $((rss2 - rss1))"
      done
      memory+=("$row |")
    fi
  done
done
echo "| graph | names | lines | sources | before ms a source | after ms a source | before / after | before CPU ms | after CPU ms | before / after, CPU | graph-tool ms a source | graph-tool CPU ms | graph-tool / after, CPU | before, after sums equal | graph-tool's sum agrees (relative gap) |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${speed[@]}"
echo
echo "| graph | lines | reference loader, before s (CPU) | reference loader, after s (CPU) | fast loader, before s (CPU) | fast loader, after s (CPU) | after: read, build |"
echo "|---|---|---|---|---|---|---|"
printf '%s\n' "${loads[@]}"
if [ "$MEMORY" = 1 ]; then
  echo
  echo "| graph | before, 1 thread MB | before, 2 threads MB | before, a thread MB | after, 1 thread MB | after, 2 threads MB | after, a thread MB |"
  echo "|---|---|---|---|---|---|---|"
  printf '%s\n' "${memory[@]}"
fi
