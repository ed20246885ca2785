#!/usr/bin/env bash
# bench/loader_bench.sh [BUILD_DIR] -- times the loader on a generated file of
# one million lines (LINES to change it). Needs a configured and built
# Release tree (default: build); the file lives in a temporary directory and
# is removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
LINES=${LINES:-1000000}
NAMES=${NAMES:-100000}
RUNS=${RUNS:-3}

[ -f "$BUILD/libpathcore.a" ] || { echo "loader_bench: no $BUILD/libpathcore.a; build first" >&2; exit 1; }
grep -q 'CMAKE_BUILD_TYPE:STRING=Release' "$BUILD/CMakeCache.txt" ||
    echo "loader_bench: warning: $BUILD is not a Release build" >&2

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

g++ -std=c++20 -O2 -DNDEBUG -I. bench/load_time.cpp "$BUILD/libpathcore.a" -pthread -o "$TMP/load_time"

# Names of varied length, mixed weights (integers, decimals, exponents), and
# some tabs and trailing words so the line scanner does its real work.
awk -v lines="$LINES" -v names="$NAMES" 'BEGIN {
    srand(12345);
    for (i = 0; i < lines; i++) {
        a = int(rand() * names); b = int(rand() * names);
        r = rand();
        if (r < 0.4)      w = int(rand() * 20) + 1;
        else if (r < 0.8) w = sprintf("%.6f", rand() * 10);
        else              w = sprintf("%.3e", rand());
        sep = (i % 10 == 0) ? "\t" : " ";
        tail = (i % 50 == 0) ? " note" : "";
        printf "node%d%s%s%d %s%s\n", a, sep, (i % 3 ? "n" : "node"), b, w, tail;
    }
}' > "$TMP/edges.txt"

echo "loader_bench: $LINES lines, $(wc -c < "$TMP/edges.txt") bytes"
"$TMP/load_time" "$TMP/edges.txt" "$RUNS"
