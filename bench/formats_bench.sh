#!/usr/bin/env bash
# bench/formats_bench.sh [BUILD_DIR] -- times the readers against the
# programs' loader on the same edges of about a million lines (LINES to
# change it): the programs' format read by EdgeList_Read, then the same
# edges as blank, CSV with a header, TSV and gzipped CSV through
# Formats_Read. Two files: graphgen's social graph (integer weights) and
# the loader bench's mix (decimals, exponents, tabs). Every read must give
# the same graph (format_read prints its hash); the files live in a
# temporary directory. Needs a configured and built Release tree.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
LINES=${LINES:-1000000}
RUNS=${RUNS:-5}
READ="$BUILD/bench/format_read"
[ -x "$READ" ] || { echo "formats_bench: no $READ; build first" >&2; exit 1; }

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
g++ -O2 -std=c++20 -ffp-contract=off -o "$TMP/graphgen" bench/graphgen.cpp
"$TMP/graphgen" social $((LINES / 4)) > "$TMP/social.txt"
awk -v lines="$LINES" 'BEGIN {
    srand(12345);
    for (i = 0; i < lines; i++) {
        a = int(rand() * 100000); b = int(rand() * 100000);
        r = rand();
        if (r < 0.4)      w = int(rand() * 20) + 1;
        else if (r < 0.8) w = sprintf("%.6f", rand() * 10);
        else              w = sprintf("%.3e", rand());
        printf "node%d%s%s%d %s\n", a, (i % 10 == 0) ? "\t" : " ", (i % 3 ? "n" : "node"), b, w;
    }
}' > "$TMP/mixed.txt"

for graph in social mixed; do
    base="$TMP/$graph"
    awk 'BEGIN { print "source,target,weight" } { print $1 "," $2 "," $3 }' "$base.txt" > "$base.csv"
    awk 'BEGIN { OFS = "\t" } { print $1, $2, $3 }' "$base.txt" > "$base.tsv"
    gzip -c "$base.csv" > "$base.csv.gz"
    echo "== $graph: $(wc -l < "$base.txt") lines, $(wc -c < "$base.txt") bytes"
    printf '%-28s' "programs' loader"; "$READ" --programs "$base.txt" "$RUNS"
    for file in "$base.txt" "$base.csv" "$base.tsv" "$base.csv.gz"; do
        printf '%-28s' "readers, ${file##*/}"; "$READ" "$file" "$RUNS"
    done
done
