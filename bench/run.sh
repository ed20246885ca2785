#!/usr/bin/env bash
# bench/run.sh [quick] -- builds the suite (Release) and the peer programs,
# generates the benchmark graphs, times everything in one run and prints a
# markdown table (also saved to $B/results.md). `quick` = sizes 1000 and 4000, one
# run per cell, the reference at 1000 only (at 4000 anypairs' reference takes minutes).
# Every knob below can be overridden from the environment, e.g. RUNS=5 bench/run.sh
# or CPUS="2 3" bench/run.sh (one thread on CPU 2, two on CPUs 2 and 3).
set -u
cd "$(dirname "$0")/.."
allowed_cpus() {  # the CPU ids this process may run on, e.g. "0 1" for 0-1
    awk '/^Cpus_allowed_list/ {
        n = split($2, r, ",")
        for (i = 1; i <= n; i++) {
            split(r[i], b, "-"); hi = (2 in b) ? b[2] : b[1]
            for (c = b[1] + 0; c <= hi + 0; c++) printf "%s%d", (k++ ? " " : ""), c
        }
    }' /proc/self/status
}
case "${1:-}" in  # quick only changes defaults: a knob set in the environment wins
    "") ;;
    quick) SIZES=${QUICK_SIZES:-"1000 4000"}; RUNS=${RUNS:-1}
           REF_PAIRS_SIZES=${REF_PAIRS_SIZES-"1000"} ;;
    *) echo "usage: bench/run.sh [quick]" >&2; exit 2 ;;
esac

RUNS=${RUNS:-3}                                # timed runs per cell; the median is shown
SIZES=${SIZES:-"1000 4000 17039"}
KINDS=${KINDS:-"social road er"}
PAIRS_SIZES=${PAIRS_SIZES-$SIZES}              # sizes at which anypairs is timed too (empty: none)
BRIDGE_PEERS=${BRIDGE_PEERS:-"boost_brandes igraph_betweenness"}
PAIRS_PEERS=${PAIRS_PEERS:-"boost_apsp igraph_apsp"}
THREADS=${THREADS:-"1 2"}                      # CPUs given to our programs (taskset)
CPUS=${CPUS:-$(allowed_cpus)}                  # ids to pin to: t threads get the first t
REF_BRIDGE_SIZES=${REF_BRIDGE_SIZES-"1000"}   # the reference is O(n^3): keep it small
REF_PAIRS_SIZES=${REF_PAIRS_SIZES-"1000 4000"}
REF_RUNS=${REF_RUNS:-1}
PEER_RUNS=${PEER_RUNS:-$RUNS}
BIG=${BIG:-10000}                              # above this size a peer run takes minutes,
PEER_RUNS_BIG=${PEER_RUNS_BIG:-1}              # so peers are timed this many times there
COMPARE=${COMPARE:-1}                          # 0 = timings only, no output checks
PEER_FLAGS=${PEER_FLAGS:-"-O2 -DNDEBUG"}       # NDEBUG as in our Release build
B=${B:-build-bench}

say() { echo "[bench] $*" >&2; }
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
mkdir -p "$B/bench" "$B/graphs" "$B/out"

# --- (a) benchmark-only packages -------------------------------------------
need=()
[ -x /usr/bin/time ] || need+=(time)
[ -f /usr/include/boost/graph/betweenness_centrality.hpp ] || need+=(libboost-graph-dev)
[ -f /usr/include/igraph/igraph.h ] || need+=(libigraph-dev)
command -v pkg-config >/dev/null || need+=(pkg-config)
if [ ${#need[@]} -gt 0 ]; then
    say "installing ${need[*]}"
    if ! { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null; }; then
        say "could not install ${need[*]}"; exit 1
    fi
fi

# --- (b) the suite, Release ---------------------------------------------------
if [ -f CMakeLists.txt ]; then
    say "building the suite in $B (Release)"
    { cmake -S . -B "$B" -DCMAKE_BUILD_TYPE=Release && cmake --build "$B" -j2; } > "$B/build.log" 2>&1 ||
        say "build FAILED (see $B/build.log); continuing with what exists"
fi
find_prog() {  # our program NAME in the build tree, or empty
    if [ -x "$B/bin/$1" ]; then echo "$B/bin/$1"; return; fi
    find "$B" -maxdepth 3 -type f -name "$1" -perm -u+x -not -path "$B/bench/*" 2>/dev/null | head -n1
}
ANYBRIDGE=$(find_prog anybridge); ANYPAIRS=$(find_prog anypairs); BETWEENNESS=$(find_prog betweenness)
REFRUN=""; [ -x "$B/bench/refrun" ] && REFRUN="$B/bench/refrun"
for p in anybridge anypairs betweenness; do
    [ -n "$(find_prog $p)" ] || say "our '$p' was not built: its rows are skipped"
done
[ -n "$REFRUN" ] || say "reference runner $B/bench/refrun not built: reference rows are skipped"

# --- (c) generator, checker and peers -----------------------------------------
say "compiling graphgen, numdiff and the peers into $B/bench"
read -ra IG <<< "$(pkg-config --cflags --libs igraph 2>/dev/null || echo "-I/usr/include/igraph -ligraph")"
read -ra PF <<< "$PEER_FLAGS"
set -e
g++ -O2 -std=c++20 -ffp-contract=off -o "$B/bench/graphgen" bench/graphgen.cpp
g++ -O2 -std=c++20 -o "$B/bench/numdiff" bench/numdiff.cpp
for p in boost_brandes boost_apsp; do
    g++ "${PF[@]}" -std=c++20 -Ibench/peers -o "$B/bench/$p" "bench/peers/$p.cpp"
done
for p in igraph_betweenness igraph_apsp; do
    gcc "${PF[@]}" -Ibench/peers -o "$B/bench/$p" "bench/peers/$p.c" "${IG[@]}"
done
set +e

# --- timing helpers ---------------------------------------------------------
# timeit N OUT CMD...: runs CMD N times, stdout to OUT; sets T (median wall
# seconds, or FAIL) and M (largest peak RSS, MB).
timeit() {
    local n=$1 out=$2 i s e r rss=0
    shift 2
    : > "$TMP/times"
    for ((i = 0; i < n; i++)); do
        s=$(date +%s.%N)
        if ! /usr/bin/time -f %M -o "$TMP/rss" "$@" > "$out" 2> "$TMP/err"; then
            T=FAIL; M=-; say "FAILED: $* ($(tail -n1 "$TMP/err"))"; return 1
        fi
        e=$(date +%s.%N)
        echo "$e $s" | awk '{printf "%.4f\n", $1 - $2}' >> "$TMP/times"
        r=$(tail -n1 "$TMP/rss"); [ "$r" -gt "$rss" ] && rss=$r
    done
    T=$(sort -g "$TMP/times" | awk '{a[NR] = $1} END {printf "%.3f", a[int((NR + 1) / 2)]}')
    M=$(awk -v k="$rss" 'BEGIN {printf "%.1f", k / 1024}')
}
read -ra CPU_IDS <<< "$CPUS"
cpus() { local IFS=,; echo "${CPU_IDS[*]:0:$1}"; }  # the first $1 ids, for taskset -c
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else printf "-"}'; }
in_list() { case " $2 " in *" $1 "*) return 0 ;; esac; return 1; }
ROWS=()
declare -A OURS=()  # "task graph threads" -> our median time, for the ratios
FIRST_T=${THREADS%% *}; LAST_T=${THREADS##* }
# row TASK GRAPH N M TOOL THREADS CHECK -- records one table row with T and M
row() { ROWS+=("$1"$'\t'"$2"$'\t'"$3"$'\t'"$4"$'\t'"$5"$'\t'"$6"$'\t'"$T"$'\t'"$M"$'\t'"$7"); }

# bench_task TASK GRAPH FILE N M OURS REFSIZES PEER... : one block of rows.
bench_task() {
    local task=$1 g=$2 f=$3 n=$4 m=$5 ours=$6 refs=$7 th p chk base="" saved="$B/out/$1-${2//\//_}.txt"
    shift 7
    rm -f "$saved"
    local args=(); [ -n "$f" ] && args=("$f" x "$n")
    if [ -n "$ours" ]; then
        for th in $THREADS; do
            [ "$th" -le "${#CPU_IDS[@]}" ] || { say "$th thread(s): CPUS has fewer ids"; continue; }
            say "$task $g: ours, $th thread(s)"
            timeit "$RUNS" /dev/null taskset -c "$(cpus "$th")" "$ours" "${args[@]}" && OURS["$task $g $th"]=$T
            chk="-"
            if [ "$COMPARE" = 1 ] && [ "$T" != FAIL ]; then
                if [ ! -f "$saved" ]; then
                    taskset -c "$(cpus "$th")" "$ours" "${args[@]}" > "$saved"
                elif cmp -s "$saved" <(taskset -c "$(cpus "$th")" "$ours" "${args[@]}"); then
                    chk="same bytes as $FIRST_T thr"
                else
                    chk="**DIFFERS from $FIRST_T thr**"
                fi
            fi
            row "$task" "$g" "$n" "$m" ours "$th" "$chk"
        done
    fi
    for p in "$@"; do
        say "$task $g: $p"
        timeit "$([ "${g##*-}" -gt "$BIG" ] && echo "$PEER_RUNS_BIG" || echo "$PEER_RUNS")" /dev/null "$B/bench/$p" "$f"
        chk="-"
        if [ "$COMPARE" = 1 ] && [ "$T" != FAIL ]; then
            if [ -f "$saved" ]; then
                chk=$base$("$B/bench/numdiff" "$saved" <("$B/bench/$p" "$f"))
            else  # no output of ours: the first peer is the yardstick
                "$B/bench/$p" "$f" > "$saved" && base="vs $p: " && chk="yardstick (no output of ours)"
            fi
        fi
        row "$task" "$g" "$n" "$m" "$p" 1 "$chk"
    done
    if [ -n "$REFRUN" ] && { [ -z "$f" ] || in_list "${g##*-}" "$refs"; }; then
        say "$task $g: reference ($REF_RUNS run(s))"
        # The reference is timed writing to a file: at O(n^3) that cost is noise.
        timeit "$REF_RUNS" "$TMP/ref.txt" "$REFRUN" "$task" "${args[@]}"
        chk="-"
        if [ "$T" != FAIL ] && [ -f "$saved" ] && [ -z "$base" ]; then  # only against ours
            cmp -s "$saved" "$TMP/ref.txt" && chk="identical bytes" || chk="**DIFFERS**"
        fi
        row "$task" "$g" "$n" "$m" reference 1 "$chk"
    fi
    [ -n "${KEEP_OUT:-}" ] || rm -f "$saved"
}

# --- (d) graphs, (e) timings ------------------------------------------------------
for k in $KINDS; do
    for n in $SIZES; do
        g="$k-$n"; f="$B/graphs/$g.txt"
        "$B/bench/graphgen" "$k" "$n" > "$f" || { say "graphgen $k $n failed"; exit 1; }
        nodes=$(awk '{s[$1]; s[$2]} END {print length(s)}' "$f"); m=$(wc -l < "$f")
        say "graph $g: $nodes nodes, $m edges"
        # shellcheck disable=SC2086  # the peer lists are word lists
        bench_task anybridge "$g" "$f" "$nodes" "$m" "$ANYBRIDGE" "$REF_BRIDGE_SIZES" $BRIDGE_PEERS
        if in_list "$n" "$PAIRS_SIZES"; then
            # shellcheck disable=SC2086
            bench_task anypairs "$g" "$f" "$nodes" "$m" "$ANYPAIRS" "$REF_PAIRS_SIZES" $PAIRS_PEERS
        fi
    done
done
if [ -n "$BETWEENNESS" ]; then
    bundled=data/main.txt
    nodes=$(awk '{s[$1]; s[$2]} END {print length(s)}' "$bundled" 2>/dev/null || echo "?")
    m=$(wc -l < "$bundled" 2>/dev/null || echo "?")
    bench_task betweenness "$bundled" "" "$nodes" "$m" "$BETWEENNESS" ""
fi

{
    echo "Machine: $(nproc) CPUs (ours pinned to the first of: $CPUS), $(lscpu | sed -n 's/^Model name: *//p' | head -n1); runs per cell (median): ours $RUNS, peers $PEER_RUNS ($PEER_RUNS_BIG above $BIG nodes), reference $REF_RUNS"
    echo
    echo "| task | graph | nodes | edges | tool | threads | median s | peak RSS MB | / ours ${FIRST_T} thr | / ours ${LAST_T} thr | check |"
    echo "|---|---|---|---|---|---|---|---|---|---|---|"
    for r in "${ROWS[@]}"; do
        IFS=$'\t' read -r task g n m tool th t mb chk <<< "$r"
        echo "| $task | $g | $n | $m | $tool | $th | $t | $mb |" \
            "$(ratio "$t" "${OURS["$task $g $FIRST_T"]:-}") | $(ratio "$t" "${OURS["$task $g $LAST_T"]:-}") | $chk |"
    done
    echo
    echo "check: ours vs ours = byte identity across thread counts; peers = numdiff against our output"
    echo "(max abs / rel gap; peers sum path lengths in another order); reference = byte identity."
} | tee "$B/results.md"
