#!/usr/bin/env bash
# bench/cluster.sh [BUILD_DIR] -- pathsuite-mpi on 1 to 4 local ranks against
# the single-process anybridge: wall time, speed-up over 1 rank, peak RSS per
# rank, and whether the output is the same bytes. One thread a rank. On a
# machine with fewer cores than ranks the job is oversubscribed (ranks share
# cores), and the script says so in its table; up to one rank a core, each
# rank is bound to its core.
#   GRAPH    edge list (default: social 17039 from graphgen into $B/graphs)
#   RANKS    rank counts (default "1 2 3 4"); RUNS: runs per cell (median)
# Needs Open MPI's mpirun and GNU time (/usr/bin/time).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
B=${B:-build-bench}
RANKS=${RANKS:-"1 2 3 4"}
RUNS=${RUNS:-3}
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 \
  OMPI_MCA_rmaps_base_oversubscribe=1 OMPI_MCA_hwloc_base_binding_policy=none \
  OMPI_MCA_mpi_yield_when_idle=1
mkdir -p "$B/graphs" "$B/bench"
if [ -z "${GRAPH:-}" ]; then
  g++ -O2 -std=c++20 -ffp-contract=off -o "$B/bench/graphgen" bench/graphgen.cpp
  GRAPH="$B/graphs/social-17039.txt"
  [ -f "$GRAPH" ] || "$B/bench/graphgen" social 17039 > "$GRAPH"
fi
names=$(awk '{s[$1]; s[$2]} END {print length(s)}' "$GRAPH")
cores=$(nproc)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
clock() { date +%s.%N; }
median() { sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

/usr/bin/time -f %M -o "$tmp/rss.single" taskset -c 0 "$BUILD/bin/anybridge" "$GRAPH" x "$names" > "$tmp/want"
single_rss=$(tail -n 1 "$tmp/rss.single" | awk '{printf "%.1f", $1 / 1024}')
for r in $(seq "$RUNS"); do
  s=$(clock); taskset -c 0 "$BUILD/bin/anybridge" "$GRAPH" x "$names" > /dev/null; e=$(clock)
  echo "$e - $s" | bc
done | median > "$tmp/single"
echo "graph $GRAPH, $names names; anybridge 1 CPU: $(cat "$tmp/single") s, peak RSS $single_rss MB"
echo
echo "| ranks | cores | wall s (median of $RUNS) | speed-up over 1 rank | peak RSS per rank MB (largest) | same bytes |"
echo "|---|---|---|---|---|---|"
one=
for p in $RANKS; do
  # A rank a core while they suffice; beyond that the ranks share the cores.
  bind=; [ "$p" -le "$cores" ] && bind="--bind-to core"
  for r in $(seq "$RUNS"); do
    rm -f "$tmp"/rss.[0-9]*
    s=$(clock)
    mpirun -q $bind -np "$p" sh -c '/usr/bin/time -f %M -o "$0/rss.$OMPI_COMM_WORLD_RANK" "$@"' "$tmp" \
      "$BUILD/bin/pathsuite-mpi" --threads 1 anybridge "$GRAPH" x "$names" < /dev/null > "$tmp/got"
    e=$(clock)
    echo "$e - $s" | bc >> "$tmp/times.$p"
  done
  wall=$(median < "$tmp/times.$p")
  one=${one:-$wall}
  rss=$(for f in "$tmp"/rss.[0-9]*; do tail -n 1 "$f"; done | sort -g | tail -n 1 | awk '{printf "%.1f", $1 / 1024}')
  same=no; cmp -s "$tmp/got" "$tmp/want" && same=yes
  note=$cores; [ "$p" -gt "$cores" ] && note="$cores (oversubscribed)"
  echo "| $p | $note | $wall | $(echo "scale=2; $one / $wall" | bc) | $rss | $same |"
done

# Memory on a large graph (BIG=FILE): the single-process runner and 2 ranks,
# one thread each; each process's peak RSS (VmHWM) is read after BIG_SECONDS
# (default 40) and the run then stopped.
[ -n "${BIG:-}" ] || exit 0
big_names=$(awk '{s[$1]; s[$2]} END {print length(s)}' "$BIG")
secs=${BIG_SECONDS:-40}
hwm() { awk '/^VmHWM/ {printf "%.0f MB", $2 / 1024}' "/proc/$1/status"; }
"$BUILD/bin/pathsuite" --threads 1 anybridge "$BIG" x "$big_names" > /dev/null 2>&1 &
pid=$!
sleep "$secs"
echo
echo "$BIG, $big_names names, after $secs s:"
echo "  pathsuite --threads 1: peak RSS $(hwm "$pid")"
kill -TERM "$pid"; wait "$pid" || true
mpirun -q -np 2 "$BUILD/bin/pathsuite-mpi" --threads 1 anybridge "$BIG" x "$big_names" \
  < /dev/null > /dev/null 2>&1 &
pid=$!
sleep "$secs"
for rank in $(pgrep -f "^$BUILD/bin/pathsuite-mpi"); do
  echo "  2 ranks, process $rank: peak RSS $(hwm "$rank")"
done
kill -TERM "$pid"; wait "$pid" || true
