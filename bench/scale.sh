#!/usr/bin/env bash
# bench/scale.sh [BUILD_DIR] -- anybridge through the runner on graphs of
# 10^5 and 10^6 names: load time, time per source, the total time projected
# for 1, 16 and 64 cores, and peak RSS with 1, 2 and 16 threads.
#
# Each run is stopped by SIGTERM after SECONDS_PER_RUN (default 40) seconds;
# the sources it finished come from its checkpoint message. Time per source
# is (seconds to the signal - load time) / sources, so it includes building
# the search graph and starting the threads: a slight overestimate. The
# projection takes the 1-thread rate and assumes the searches scale with the
# cores (the 17039-name graphs gain 1.96x from 2 cores): load + names x
# seconds a source / cores. Threads beyond the machine's CPUs (16 on a 2-core
# machine) measure memory, not speed. Needs GNU time (/usr/bin/time).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
B=${B:-build-bench}
SECONDS_PER_RUN=${SECONDS_PER_RUN:-40}
SIZES=${SIZES:-"100000 1000000"}
KINDS=${KINDS:-"social road"}
THREADS=${THREADS:-"1 2 16"}
mkdir -p "$B/graphs" "$B/bench"
g++ -O2 -std=c++20 -ffp-contract=off -o "$B/bench/graphgen" bench/graphgen.cpp
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
clock() { date +%s.%N; }
hms() { awk -v s="$1" 'BEGIN { s = int(s + 0.5); printf "%d:%02d:%02d", s / 3600, s % 3600 / 60, s % 60 }'; }
rows_time=()
echo "| graph | names | lines | load s | threads | sources in ${SECONDS_PER_RUN} s | wall s a source | peak RSS MB |"
echo "|---|---|---|---|---|---|---|---|"
for k in $KINDS; do
  for n in $SIZES; do
    f="$B/graphs/$k-$n.txt"
    [ -f "$f" ] || "$B/bench/graphgen" "$k" "$n" > "$f"
    names=$(awk '{s[$1]; s[$2]} END {print length(s)}' "$f")
    lines=$(wc -l < "$f")
    load=$("$BUILD/bench/load_time" "$f" 1 | sed -n 's/.*: \([0-9.]*\) s wall.*/\1/p')
    for t in $THREADS; do
      rm -f "$tmp/ckpt"
      start=$(clock)
      /usr/bin/time -f %M -o "$tmp/rss" "$BUILD/bin/pathsuite" --threads "$t" --checkpoint "$tmp/ckpt" \
        --checkpoint-every 100000 anybridge "$f" x "$names" > /dev/null 2> "$tmp/err" &
      pid=$!
      sleep "$SECONDS_PER_RUN"
      stop=$(clock)
      pkill -TERM -P "$pid" || true
      wait "$pid" || true
      done_=$(sed -n 's/.* after \([0-9]*\) of .*/\1/p' "$tmp/err")
      # GNU time writes "Command exited with non-zero status" before the figure.
      rss=$(tail -n 1 "$tmp/rss" | awk '{printf "%.0f", $1 / 1024}')
      per=$(awk -v d="${done_:-0}" -v s="$start" -v e="$stop" -v l="$load" \
        'BEGIN { if (d > 0) printf "%.4f", (e - s - l) / d; else print "-" }')
      echo "| $k-$n | $names | $lines | $load | $t | ${done_:-?} | $per | $rss |"
      if [ "$t" = 1 ] && [ "$per" != - ]; then
        rows_time+=("| $k-$n | $load | $per | $(hms "$(echo "$load + $names * $per" | bc)") | $(hms "$(echo "$load + $names * $per / 16" | bc -l)") | $(hms "$(echo "$load + $names * $per / 64" | bc -l)") |")
      fi
    done
  done
done
echo
echo "| graph | load s | s a source, 1 thread | projected, 1 core | 16 cores | 64 cores |"
echo "|---|---|---|---|---|---|"
for r in "${rows_time[@]}"; do echo "$r"; done
