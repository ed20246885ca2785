#!/usr/bin/env python3
"""Writes the degree-corrected companion of an edge list.

Each line "a b w" becomes "a b w'" with w' = w / sqrt(k_a * k_b), where k is
a node's number of distinct neighbours. Line order and names are kept.

Usage: make_companion.py data/main.txt > data/companion.txt
"""
import math
import sys


def main(path):
    with open(path, encoding="utf-8") as f:
        edges = [line.split()[:3] for line in f if line.strip()]
    neighbours = {}
    for a, b, _ in edges:
        neighbours.setdefault(a, set()).add(b)
        neighbours.setdefault(b, set()).add(a)
    for a, b, w in edges:
        corrected = float(w) / math.sqrt(len(neighbours[a]) * len(neighbours[b]))
        print(f"{a} {b} {corrected:.10g}")


if __name__ == "__main__":
    main(sys.argv[1])
