#!/usr/bin/env bash
# bench/engine_profile.sh GRAPH... -- where a source's time and cache misses
# go in the fast engine, on one CPU: relaxing cells, the selection queue
# (its buckets or heap, the checks of stale entries, the fetch of the next
# node's cells), the accumulation and the reset between sources.
#
# Builds the tree with debug information (Release flags plus -g) into
# $PROF (default build-prof), then per graph:
#   time    build-prof/bench/search_cost GRAPH $SOURCES (median a source, and
#           the floor kernel), the thread's CPU time;
#   shares  perf record -e cpu-clock of search_cost GRAPH $PERF_SOURCES 0, the
#           samples of the engine's code grouped by the source file (and
#           function) they fall in; the groups' shares of the engine's
#           samples turn the median time into ns a relaxed arc (relax) and
#           ns a settled node (the rest);
#   misses  for graphs of at most $CG_MAX names, cachegrind of search_cost
#           GRAPH $CG_SOURCES 0 with the caches of this machine's cores (L1d
#           48 KB 12-way, L2 1 MB 16-way, as cachegrind's last level), the
#           misses of each group a source, per arc or per node.
# The grouping follows the engine's files: a change that moves code between
# them must change the awk below too (the sort of the radix queue's groups,
# out of line in std::sort, counts as the queue).
set -euo pipefail
cd "$(dirname "$0")/.."
PROF=${PROF:-build-prof}
SOURCES=${SOURCES:-8}
PERF_SOURCES=${PERF_SOURCES:-16}
CG_SOURCES=${CG_SOURCES:-2}
CG_MAX=${CG_MAX:-200000}
cmake -S . -B "$PROF" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS=-g -DPATHSUITE_MPI=OFF \
  -DBUILD_TESTING=OFF > /dev/null
cmake --build "$PROF" -j2 --target search_cost > /dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cost="$PROF/bench/search_cost"

# Reads "percent-or-count file sym" lines; prints the groups' sums.
group() {
  awk '
  { v = $1; file = $2; sym = $3; g = "";
    # The radix queue sorts each group of equal distance by name (RadixQueue.h)
    # and std::sort stays out of line, under its own name; the only other
    # sorts in search_cost are of its few dozen timings.
    if (sym ~ /FastWorkspace_Reset/) g = "reset";
    else if (sym ~ /^std::__(introsort_loop|insertion_sort|final_insertion_sort|unguarded_linear_insert|unguarded_partition|move_median_to_first|heap_select|adjust_heap|sort)/) g = "queue";
    else if (sym ~ /SearchOn|FastPolicy|Search(By|With)/) {
      if (file ~ /FastRelax|FastCounts/ || (file ~ /\/bit$|^bit$/ && sym ~ /Heap/)) g = "relax";
      else g = "queue";
    } else if (sym ~ /^main$|Accumulate/ && file ~ /FastEngine|OrderedMath|FastCounts|Accumulate/) g = "accumulate";
    if (g != "") s[g] += v }
  END { printf "%.6g %.6g %.6g %.6g\n", s["relax"], s["queue"], s["accumulate"], s["reset"] }'
}

echo "| graph | ms a source | relax ns/arc | queue ns/node | accumulation ns/node | reset ns/node | floor ms | ours / floor | relax D1, L2 misses/arc | queue D1, L2 misses/node | accumulation D1, L2 misses/node | reset D1, L2 misses/node |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|"
for g in "$@"; do
  out=$(taskset -c 0 "$cost" "$g" "$SOURCES" 3)
  # The thread's CPU time (on a shared machine the wall clock also counts
  # the time other jobs held the CPU); the wall clock from older builds.
  total=$(sed -n 's/.*total \([0-9.]*\) ms cpu$/\1/p' <<< "$out")
  [ -n "$total" ] || total=$(sed -n 's/.*total \([0-9.]*\) ms$/\1/p' <<< "$out")
  arcs=$(sed -n 's/.* nodes settled, \([0-9]*\) arcs.*/\1/p' <<< "$out")
  nodes=$(sed -n 's/^[0-9]* sources: \([0-9]*\) nodes.*/\1/p' <<< "$out")
  floor=$(sed -n 's/^floor, CPU time: \([0-9.]*\) ms.*/\1/p' <<< "$out")
  [ -n "$floor" ] || floor=$(sed -n 's/^floor: \([0-9.]*\) ms.*/\1/p' <<< "$out")
  taskset -c 0 perf record -q -e cpu-clock -F 2000 -o "$tmp/perf.data" "$cost" "$g" "$PERF_SOURCES" 0 > /dev/null 2>&1
  perf report -i "$tmp/perf.data" --sort srcfile,sym -F overhead,srcfile,sym --stdio 2> /dev/null |
    awk '/%/ && !/^#/ { p = $1; sub("%", "", p); f = $2; $1 = ""; $2 = ""; sub(/^ *\[\.\] */, ""); print p, f, $0 }' |
    sed 's/ (anonymous namespace)::/ /' | awk '{ print $1, $2, $3 }' > "$tmp/shares"
  read -r pr pq pa pz < <(group < "$tmp/shares")
  times=$(awk -v t="$total" -v a="$arcs" -v n="$nodes" -v r="$pr" -v q="$pq" -v c="$pa" -v z="$pz" 'BEGIN {
    e = r + q + c + z; ns = t * 1e6;
    printf "%.1f | %.1f | %.1f | %.1f", ns * r / e / a, ns * q / e / n, ns * c / e / n, ns * z / e / n }')
  misses="- | - | - | -"
  names=$(sed -n 's/.*: \([0-9]*\) names.*/\1/p' <<< "$out")
  if [ "$names" -le "$CG_MAX" ]; then
    taskset -c 0 valgrind -q --tool=cachegrind --cache-sim=yes --I1=32768,8,64 --D1=49152,12,64 \
      --LL=1048576,16,64 --cachegrind-out-file="$tmp/cg.out" "$cost" "$g" "$CG_SOURCES" 0 > /dev/null 2>&1
    # Lines "D1mr DLmr D1mw DLmw file:function", each count maybe with its share.
    cg_annotate --threshold=0 --show=D1mr,DLmr,D1mw,DLmw "$tmp/cg.out" 2> /dev/null |
      sed -n 's/([ 0-9.]*%)//g; s/,//g; /^ *[0-9][0-9]* *[0-9][0-9]* *[0-9][0-9]* *[0-9][0-9]* *[^ ]*:/p' |
      awk '{ loc = $0; sub(/^ *[0-9]+ +[0-9]+ +[0-9]+ +[0-9]+ +/, "", loc);
        file = loc; sub(/:.*/, "", file); sym = loc; sub(/^[^:]*:/, "", sym);
        gsub(/\(anonymous namespace\)::/, "", sym); sub(/\(.*/, "", sym); sub(/<.*/, "", sym);
        n = split(sym, w, " "); sym = w[n];
        print $1 + $3, $2 + $4, file, sym }' > "$tmp/cg"
    for col in 1 2; do
      awk -v c="$col" '{ print $c, $3, $4 }' "$tmp/cg" | group > "$tmp/m$col"
    done
    misses=$(paste -d' ' "$tmp/m1" "$tmp/m2" | awk -v s="$CG_SOURCES" -v a="$arcs" -v n="$nodes" '{
      printf "%.2f, %.2f | %.2f, %.2f | %.2f, %.2f | %.2f, %.2f",
        $1 / s / a, $5 / s / a, $2 / s / n, $6 / s / n, $3 / s / n, $7 / s / n, $4 / s / n, $8 / s / n }')
  fi
  ratio=$(awk -v t="$total" -v f="$floor" 'BEGIN { printf "%.2f", t / f }')
  echo "| $(basename "$g" .txt) | $total | $times | $floor | $ratio | $misses |"
done
