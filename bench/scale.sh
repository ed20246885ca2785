#!/usr/bin/env bash
# bench/scale.sh [BUILD_DIR] -- the runner on graphs of 10^5 and 10^6 names:
# load time, time per source and peak RSS with 1, 2 and 16 threads, and the
# total time projected for 1, 16 and 64 cores. Each run is stopped by
# SIGTERM after SECONDS (default 40) and the sources it finished are read
# from its checkpoint message; the graphs come from graphgen into $B/graphs.
# Needs GNU time (/usr/bin/time).
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
echo "| graph | names | lines | load s | threads | sources in ${SECONDS_PER_RUN} s | s a source (1 thread: per thread) | peak RSS MB |"
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
      start=$(date +%s.%N)
      /usr/bin/time -f %M -o "$tmp/rss" "$BUILD/bin/pathsuite" --threads "$t" --checkpoint "$tmp/ckpt" \
        --checkpoint-every 100000 anybridge "$f" x "$names" > /dev/null 2> "$tmp/err" &
      pid=$!
      sleep "$SECONDS_PER_RUN"
      pkill -TERM -P "$pid" || true
      wait "$pid" || true
      end=$(date +%s.%N)
      done_=$(sed -n 's/.* after \([0-9]*\) of .*/\1/p' "$tmp/err")
      rss=$(awk '{printf "%.0f", $1 / 1024}' "$tmp/rss")
      per=$(awk -v d="$done_" -v s="$start" -v e="$end" -v l="$load" -v t="$t" \
        'BEGIN { if (d > 0) printf "%.4f", (e - s - l) / d * (t == 1 ? 1 : 1); else print "-" }')
      echo "| $k-$n | $names | $lines | $load | $t | ${done_:-?} | $per | $rss |"
    done
  done
done
