#!/usr/bin/env bash
# bench/cluster.sh [BUILD_DIR] -- pathsuite-mpi on 1 to 4 local ranks against
# the single-process anybridge: wall time, speed-up over the first rank count
# (1 by default), peak RSS per rank, and whether the output is the same
# bytes. One thread a rank. On a machine with fewer cores than ranks the job
# is oversubscribed (ranks share cores), and the script says so in its table;
# up to one rank a core, each rank is bound to its core. Needs 2 cores.
#   GRAPH    edge list (default: social 17039 from graphgen into $B/graphs)
#   RANKS    rank counts (default "1 2 3 4"); RUNS: rounds (medians over them)
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
timed() { local s e; s=$(clock); "$@" > /dev/null; e=$(clock); echo "$e - $s" | bc; }

# The machine's speed drifts from minute to minute, so the runs go in
# rounds, each rank count once a round, and every speed-up is taken within
# its round. Each round also runs anybridge alone on CPU 0 and then twice at
# once, on CPUs 0 and 1: what two independent processes get from this
# machine's cores (shared caches, memory, the host) bounds what two ranks
# can.
for r in $(seq "$RUNS"); do
  for p in $RANKS; do
    # A rank a core while they suffice; beyond that the ranks share the cores.
    bind=; [ "$p" -le "$cores" ] && bind="--bind-to core"
    rm -f "$tmp"/rss.[0-9]*
    s=$(clock)
    mpirun -q $bind -np "$p" sh -c '/usr/bin/time -f %M -o "$0/rss.$OMPI_COMM_WORLD_RANK" "$@"' "$tmp" \
      "$BUILD/bin/pathsuite-mpi" --threads 1 anybridge "$GRAPH" x "$names" < /dev/null > "$tmp/got"
    e=$(clock)
    echo "$e - $s" | bc >> "$tmp/times.$p"
    for f in "$tmp"/rss.[0-9]*; do tail -n 1 "$f"; done >> "$tmp/peak.$p"
    cmp -s "$tmp/got" "$tmp/want" || echo differs >> "$tmp/differs.$p"
  done
  alone=$(timed taskset -c 0 "$BUILD/bin/anybridge" "$GRAPH" x "$names")
  timed taskset -c 0 "$BUILD/bin/anybridge" "$GRAPH" x "$names" > "$tmp/pair0" &
  timed taskset -c 1 "$BUILD/bin/anybridge" "$GRAPH" x "$names" > "$tmp/pair1" &
  wait
  slower=$(sort -g "$tmp/pair0" "$tmp/pair1" | tail -n 1)
  echo "$alone" >> "$tmp/single"
  echo "scale=3; 2 * $alone / $slower" | bc >> "$tmp/pairs"
  echo "round $r: $(for p in $RANKS; do echo -n "$p ranks $(tail -n 1 "$tmp/times.$p") s, "; done)anybridge alone $alone s, two at once $(cat "$tmp/pair0") and $(cat "$tmp/pair1") s" >&2
done
echo "graph $GRAPH, $names names, $RUNS rounds; anybridge 1 CPU: median $(median < "$tmp/single") s, peak RSS $single_rss MB"
echo "two anybridge at once, one a CPU: throughput $(median < "$tmp/pairs")x one alone (median of rounds)"
echo
echo "| ranks | cores | wall s (median of $RUNS) | speed-up over 1 rank (median of rounds) | peak RSS per rank MB (largest) | same bytes |"
echo "|---|---|---|---|---|---|"
first=${RANKS%% *}
for p in $RANKS; do
  wall=$(median < "$tmp/times.$p")
  speedup=$(paste "$tmp/times.$first" "$tmp/times.$p" | awk '{printf "%.3f\n", $1 / $2}' | median)
  rss=$(sort -g "$tmp/peak.$p" | tail -n 1 | awk '{printf "%.1f", $1 / 1024}')
  same=yes; [ -f "$tmp/differs.$p" ] && same=no
  note=$cores; [ "$p" -gt "$cores" ] && note="$cores (oversubscribed)"
  echo "| $p | $note | $wall | $speedup | $rss | $same |"
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
