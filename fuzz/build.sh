#!/usr/bin/env bash
# Builds the libFuzzer target with clang 14:  fuzz/build.sh [BUILD_DIR]
# (default: build-fuzz at the repository root). The library sources are
# compiled directly, so the CMake project needs no option for it; the six
# program entry files are left out because libFuzzer brings its own main.
# The runner's table names the analyst programs, which read through the
# format readers: both come along (without zlib, gzip input is refused).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build-fuzz}"
mkdir -p "$out/obj"
out="$(cd "$out" && pwd)"
export FUZZ_CXX="${FUZZ_CXX:-clang++-14}"

# _GLIBCXX_ASSERTIONS bounds-checks every vector index, which the address
# sanitizer alone misses inside a vector's spare capacity. Asserts stay on.
flags="-std=c++20 -O2 -g -Wall -Wextra -ffp-contract=off -pthread -I$root -I$root/include \
  -D_GLIBCXX_ASSERTIONS -fno-sanitize-recover=all"
export FUZZ_FLAGS="$flags"

cd "$root"
sources=()
for f in containers/*.cpp graph/*.cpp graph/formats/*.cpp paths/*.cpp library/*.cpp cli/*.cpp \
  runner/*.cpp analyst/*.cpp; do
  case "$(basename "$f" .cpp)" in
    # Entry files bring their own main; the cluster front end needs MPI.
    anybridge|plusbridge|betweenness|linkbridge|spanpairs|anypairs|pathsuite|pathsuite_mpi|Cluster*) ;;
    *) sources+=("$f") ;;
  esac
done

rm -f "$out"/obj/*.o
printf '%s\n' "${sources[@]}" | xargs -P "$(nproc)" -I{} sh -c \
  'o="$0/obj/$(echo "{}" | tr / _).o"; $FUZZ_CXX $FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -c "{}" -o "$o"' "$out"
# shellcheck disable=SC2086
$FUZZ_CXX $flags -fsanitize=fuzzer,address,undefined fuzz/fuzz_engines.cpp "$out"/obj/*.o \
  -o "$out/fuzz_engines"
echo "built $out/fuzz_engines"
