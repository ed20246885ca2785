"""gt_betweenness.py FILE SOURCES -- graph-tool's weighted betweenness from SOURCES
sources of an edge list "a b w", edge length 1/(1+w), on one thread: the sources
are the ones bench/search_cost takes (name indices 0, n/SOURCES, 2n/SOURCES, ...,
names numbered in order of first appearance), given to graph-tool as pivots.
Prints the time a source (wall, and CPU time, which on a shared machine leaves
out the time another job held the CPU) and the sum of the scores, doubled to count ordered
pairs as ours do, against search_cost's sum of dependencies. Benchmark-only
(Debian's python3-graph-tool, so Debian's /usr/bin/python3)."""
import sys
import time

import numpy as np
import graph_tool.all as gt


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: gt_betweenness.py FILE SOURCES")
    path, sources = sys.argv[1], int(sys.argv[2])
    gt.openmp_set_num_threads(1)
    start = time.perf_counter()
    index = {}
    ends, weights = [], []
    with open(path) as f:
        for line in f:
            fields = line.split()
            if len(fields) < 3:
                continue
            for name in fields[:2]:
                ends.append(index.setdefault(name, len(index)))
            weights.append(float(fields[2]))
    g = gt.Graph(directed=False)
    g.add_vertex(len(index))
    g.add_edge_list(np.array(ends, dtype=np.int64).reshape(-1, 2))
    length = g.new_edge_property("double")
    length.a = 1.0 / (1.0 + np.array(weights))
    loaded = time.perf_counter() - start
    n = len(index)
    step = max(1, n // sources)
    pivots = list(range(0, n, step))[:sources]
    start = time.perf_counter()
    cpu = time.process_time()
    vb, _ = gt.betweenness(g, pivots=pivots, weight=length, norm=False)
    took = time.perf_counter() - start
    took_cpu = time.process_time() - cpu
    print(f"{path}: {n} names, {g.num_edges()} edges, loaded in {loaded:.1f} s; "
          f"{len(pivots)} sources: {took / len(pivots) * 1e3:.2f} ms a source, "
          f"CPU {took_cpu / len(pivots) * 1e3:.2f} ms a source; "
          f"sum of scores {2 * vb.a.sum():.15e}")


main()
