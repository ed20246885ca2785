#!/usr/bin/env bash
# The error of `scores`' estimates against its exact scores, on the three
# graphs of 17039 names, for each E and seed: the largest normalised error
# over the nodes, and the run's time against the exact run's.
# usage: bench/estimates.sh [BUILD]      (knobs: SEEDS, EPSILONS, KINDS, THREADS)
set -euo pipefail
build=${1:-build}
seeds=${SEEDS:-20}
epsilons=${EPSILONS:-0.1 0.05}
kinds=${KINDS:-social road er}
threads=${THREADS:-1}
run=("$build/bin/pathsuite" --threads "$threads" --no-progress scores)

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
g++ -O2 -std=c++20 -ffp-contract=off "$(dirname "$0")/graphgen.cpp" -o "$tmp/graphgen"

# Seconds of one run, its listing in $tmp/out.
timed() {
  local start end
  start=$(date +%s.%N)
  "${run[@]}" "$@" --normalized --exact >"$tmp/out"
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

# The largest |estimate - exact| over the nodes, both listings in node order.
max_error() {
  paste -d ' ' "$tmp/exact" "$tmp/out" |
    awk '{ d = $4 - $2; if (d < 0) d = -d; if (d > m) m = d } END { printf "%.6f", m }'
}

echo "| graph | n | E | mode | K | largest error, worst of $seeds seeds | median | worst / E | time / exact |"
echo "|---|---|---|---|---|---|---|---|---|"
for kind in $kinds; do
  graph=$tmp/$kind.txt
  "$tmp/graphgen" "$kind" 17039 >"$graph"
  exact_s=$(timed "$graph")
  mv "$tmp/out" "$tmp/exact"
  n=$(wc -l <"$tmp/exact")
  for e in $epsilons; do
    for mode in fixed adaptive; do
      extra=()
      [ "$mode" = adaptive ] && extra=(--adaptive)
      errors=() seconds=0
      for seed in $(seq 1 "$seeds"); do
        s=$(timed "$graph" --epsilon "$e" --seed "$seed" "${extra[@]}")
        seconds=$(echo "$seconds + $s" | bc -l)
        errors+=("$(max_error)")
      done
      # K: Hoeffding's with all of D; for the adaptive stop, its checks (the
      # powers of two whose fixed term can be within E) and its cap (K for
      # D/2), or, when no check can pass, the fixed K.
      k=$(awk -v n="$n" -v e="$e" -v mode="$mode" 'function K(d,  r, k) {
            r = n / (n - 1); k = r * r * log(2 * n / d) / (2 * e * e)
            k = (k == int(k)) ? k : int(k) + 1; return k > n ? n : k }
          BEGIN {
            if (mode == "fixed") { print K(0.1); exit }
            cap = K(0.05); m = 0
            for (p = 2; p < cap; p *= 2) m++
            kappa = 7 / 3 + 3 / sqrt(2); L = log(20 * n * m / 0.1); checks = ""
            for (p = 2; p < cap; p *= 2)
              if (kappa * n / (n - 1) * L / p < e) checks = checks (checks == "" ? "" : ",") p
            if (checks == "") print K(0.1) " (no check)"
            else print "checks " checks ", cap " cap }')
      sorted=$(printf '%s\n' "${errors[@]}" | sort -g)
      worst=$(tail -n 1 <<<"$sorted")
      median=$(sed -n "$(( (seeds + 1) / 2 ))p" <<<"$sorted")
      printf '| %s-17039 | %s | %s | %s | %s | %s | %s | %.2f | %.3f |\n' "$kind" "$n" "$e" "$mode" \
        "$k" "$worst" "$median" \
        "$(echo "$worst / $e" | bc -l)" "$(echo "$seconds / $seeds / $exact_s" | bc -l)"
    done
  done
  echo "exact run on $kind-17039: ${exact_s} s, $threads thread(s)" >&2
done
