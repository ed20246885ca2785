#!/usr/bin/env bash
# bench/cluster_model.sh -- the efficiency of pathsuite-mpi's score ring at
# many ranks, modelled from costs measured on one machine (bench/README.md,
# "On several ranks"). Per rank, with T threads and blocks of B = 4T sources:
#   C = B S / T                 searching a block (S: one search, 1 thread)
#   W = B n f + n c + k l       folding the block into every segment and
#                               passing the whole vector on, per round
#   L = P (B s f + s c + l)     one segment's trip around the ring of P ranks
# with n names, f the fold per (source, node), c the pass per double, l a
# message's latency, s the segment (the default: at least 4096 and enough
# for 2P segments) and k = n / s segments. A rank's main thread does the
# ring work beside its T search threads; a round ends when the slowest of
# the three is done, and the first round's scores must first come round
# once: over R = n / (P B) rounds, efficiency = R C / (R max(C, W, L) + L).
# With T threads on T cores the ring's thread shares them, and C + W takes
# the place of C in the maximum; both are printed. Messages here are local
# (shared memory); on a network c and l are the network's.
# Knobs: S_* seconds a search at 10^5, 10^6, 10^7 names; F, C_DOUBLE, LAT in
# seconds; RANKS, THREADS; SEGMENT (nodes) in place of the default.
set -euo pipefail
S_5=${S_5:?seconds a search at 10^5 names} S_6=${S_6:?at 10^6} S_7=${S_7:?at 10^7}
F=${F:-1.32e-9} C_DOUBLE=${C_DOUBLE:-1.03e-9} LAT=${LAT:-5e-6}
RANKS=${RANKS:-"64 1024"} THREADS=${THREADS:-"1 16"} SEGMENT=${SEGMENT:-0}
echo "| names | ranks | threads a rank | segment | rounds R | C s | W s | L s | efficiency, ring on its own core | ring sharing the cores |"
echo "|---|---|---|---|---|---|---|---|---|---|"
for n in 100000 1000000 10000000; do
  case $n in 100000) S=$S_5 ;; 1000000) S=$S_6 ;; *) S=$S_7 ;; esac
  for p in $RANKS; do
    for t in $THREADS; do
      awk -v n="$n" -v p="$p" -v t="$t" -v S="$S" -v f="$F" -v c="$C_DOUBLE" -v l="$LAT" -v seg="$SEGMENT" 'BEGIN {
        s = seg; if (s == 0) { s = 4096; while (s * 2 * p < n) s *= 2 }
        k = int((n + s - 1) / s); B = 4 * t
        C = B * S / t; W = B * n * f + n * c + k * l; L = p * (B * s * f + s * c + l)
        R = n / (p * B)
        m = C; if (W > m) m = W; if (L > m) m = L
        q = C + W; if (L > q) q = L
        printf "| %d | %d | %d | %d | %.3g | %.3g | %.3g | %.3g | %.1f%% | %.1f%% |\n", n, p, t, s,
          R, C, W, L, 100 * R * C / (R * m + L), 100 * R * C / (R * q + L) }'
    done
  done
done
