#!/usr/bin/env bash
# bench/paired_run.sh BEFORE AFTER GRAPH... -- whole `anybridge GRAPH x N`
# runs of two builds side by side, one CPU each: in each round the two run at
# once, BEFORE on CPU C0 and AFTER on C1, then with the CPUs swapped, so that
# both see the same drift of a shared machine. Per graph: each pair's ratio
# after / before of user time (and of wall time), their geometric means, and
# whether the outputs of all runs have the same SHA-256 (the bytes the bench
# compares). BEFORE and AFTER are built trees with bin/anybridge. Knobs:
# ROUNDS (3), CPUS ("0 1"), N (the name capacity, default the graph's line
# count, enough for any graph).
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: bench/paired_run.sh BEFORE_BUILD AFTER_BUILD GRAPH..." >&2; exit 2; }
BEFORE=$1
AFTER=$2
shift 2
ROUNDS=${ROUNDS:-3}
read -r C0 C1 <<< "${CPUS:-0 1}"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
echo "| graph | pairs (user s before / after) | after / before, user (geometric mean) | after / before, wall (geometric mean) | same SHA-256 |"
echo "|---|---|---|---|---|"
for g in "$@"; do
  n=${N:-$(wc -l < "$g")}
  pairs=""
  : > "$tmp/ratios"
  for r in $(seq "$ROUNDS"); do
    for swap in 0 1; do
      cb=$C0 ca=$C1
      [ "$swap" = 1 ] && { cb=$C1; ca=$C0; }
      /usr/bin/time -f "%U %e" -o "$tmp/t.before" taskset -c "$cb" "$BEFORE/bin/anybridge" "$g" x "$n" \
        > "$tmp/out.before" &
      /usr/bin/time -f "%U %e" -o "$tmp/t.after" taskset -c "$ca" "$AFTER/bin/anybridge" "$g" x "$n" \
        > "$tmp/out.after" &
      wait
      sha256sum < "$tmp/out.before" >> "$tmp/sums"
      sha256sum < "$tmp/out.after" >> "$tmp/sums"
      read -r ub wb < <(tail -n 1 "$tmp/t.before")
      read -r ua wa < <(tail -n 1 "$tmp/t.after")
      pairs+="${pairs:+, }$ub / $ua"
      echo "$ub $ua $wb $wa" >> "$tmp/ratios"
    done
  done
  means=$(awk '{ u += log($2 / $1); w += log($4 / $3) } END { printf "%.4f | %.4f", exp(u / NR), exp(w / NR) }' "$tmp/ratios")
  same=no
  [ "$(sort -u "$tmp/sums" | wc -l)" = 1 ] && same="yes ($(cut -c1-12 < "$tmp/sums" | head -n 1))"
  rm -f "$tmp/sums"
  echo "| $(basename "$g" .txt) | $pairs | $means | $same |"
done
