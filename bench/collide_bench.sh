#!/usr/bin/env bash
# bench/collide_bench.sh [BUILD_DIR...] -- times `anypairs FILE x N` on files of
# names crafted to share one code under the plain polynomial hash (graphgen
# collide) and on random names of the same length (graphgen scatter), N names
# in N/2 lines. Several build directories (default: build) give the columns,
# e.g. an older build beside the current one. Prints the median wall time of
# RUNS runs, output to /dev/null.
set -euo pipefail
cd "$(dirname "$0")/.."
SIZES=${SIZES:-"20000 40000 80000"}
RUNS=${RUNS:-3}
[ $# -gt 0 ] || set -- build
for b in "$@"; do
    [ -x "$b/bin/anypairs" ] ||
        { echo "collide_bench: no $b/bin/anypairs; build first" >&2; exit 1; }
done

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
g++ -O2 -std=c++20 -ffp-contract=off -o "$TMP/graphgen" bench/graphgen.cpp

median_seconds() {  # median_seconds COMMAND... : median wall time of RUNS runs
    local times=() r start end
    for ((r = 0; r < RUNS; r++)); do
        start=$(date +%s%N)
        "$@" > /dev/null
        end=$(date +%s%N)
        times+=("$(( (end - start) / 1000000 ))")
    done
    printf '%s\n' "${times[@]}" | sort -n |
        awk '{t[NR] = $1} END {printf "%.3f", t[int((NR + 1) / 2)] / 1000}'
}

printf '| names | kind |'; for b in "$@"; do printf ' %s |' "$b"; done; echo
printf '|---|---|'; for _ in "$@"; do printf -- '---|'; done; echo
for n in $SIZES; do
    for kind in collide scatter; do
        f="$TMP/$kind-$n.txt"
        "$TMP/graphgen" "$kind" "$n" > "$f"
        printf '| %s | %s |' "$n" "$kind"
        for b in "$@"; do printf ' %s s |' "$(median_seconds "$b/bin/anypairs" "$f" x "$n")"; done
        echo
    done
done
