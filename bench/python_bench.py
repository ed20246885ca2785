"""python_bench.py GRAPH [ROUNDS] -- the Python module beside anybridge and the
Python peers on one edge list, one CPU each, side by side in one run.

Each cell is a fresh process pinned to the first CPU this process may use:
  ours       pathsuite.read_edges + pathsuite.betweenness(threads=1), file read included
  anybridge  the program on the same file (wall time of the process)
  graph-tool betweenness() with one OpenMP thread, the call alone
  igraph     Graph.betweenness(weights=...), the call alone
  networkx   betweenness_centrality(weight=...), the call alone (once: minutes)
Rounds alternate ours and anybridge, so that a slow moment hits both. Peers
get edge lengths 1/(1+w), as ours. Memory: the peak RSS of the call beyond
what the process held before it (imports done), against anybridge's peak RSS.
Run with Debian's /usr/bin/python3 and PYTHONPATH=<build>/python; PROGRAM_DIR
(default build/bin) holds anybridge.
"""
import json
import os
import statistics
import subprocess
import sys
import time

CELL = r"""
import json, resource, sys, time
tool, path = sys.argv[1], sys.argv[2]
def peak_kib(): return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
rows = [l.split() for l in open(path) if l.strip()]
edges = [(a, b, 1 / (1 + float(w))) for a, b, w, *_ in rows]
if tool == "ours":
    import pathsuite, numpy
    before = peak_kib(); start = time.perf_counter()
    s = pathsuite.betweenness(pathsuite.read_edges(path), threads=1)
elif tool == "graph-tool":
    import graph_tool.all as gt
    gt.openmp_set_num_threads(1)
    g = gt.Graph(directed=False); length = g.new_edge_property("double")
    g.add_edge_list([(a, b, w) for a, b, w in edges], hashed=True, eprops=[length])
    before = peak_kib(); start = time.perf_counter()
    s = gt.betweenness(g, weight=length, norm=False)
elif tool == "igraph":
    import igraph as ig
    g = ig.Graph.TupleList(edges, weights=True)
    before = peak_kib(); start = time.perf_counter()
    s = g.betweenness(weights="weight")
else:
    import networkx as nx
    g = nx.Graph(); g.add_weighted_edges_from(edges, weight="length")
    before = peak_kib(); start = time.perf_counter()
    s = nx.betweenness_centrality(g, weight="length", normalized=False)
took = time.perf_counter() - start
print(json.dumps({"seconds": took, "extra_kib": peak_kib() - before}))
"""


def pinned():
    return ["taskset", "-c", str(min(os.sched_getaffinity(0)))]


def cell(tool, path):
    out = subprocess.run(pinned() + [sys.executable, "-c", CELL, tool, path],
                         capture_output=True, text=True, check=True)
    return json.loads(out.stdout)


def anybridge(path, program_dir):
    names = len({v for line in open(path) for v in line.split()[:2]})
    start = time.perf_counter()
    out = subprocess.run(pinned() + ["/usr/bin/time", "-f", "%M", os.path.join(program_dir, "anybridge"),
                                     path, "x", str(names)],
                         capture_output=True, text=True, check=True)
    took = time.perf_counter() - start
    return {"seconds": took, "peak_kib": int(out.stderr.split()[-1])}


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    path, rounds = sys.argv[1], int(sys.argv[2]) if len(sys.argv) == 3 else 3
    program_dir = os.environ.get("PROGRAM_DIR", "build/bin")
    ours, programs = [], []
    for r in range(rounds):
        first, second = (cell, anybridge) if r % 2 == 0 else (anybridge, cell)
        for run in (first, second):
            if run is cell:
                ours.append(cell("ours", path))
            else:
                programs.append(anybridge(path, program_dir))
    peers = {tool: cell(tool, path) for tool in ("graph-tool", "igraph", "networkx")}
    t_ours = statistics.median(c["seconds"] for c in ours)
    t_prog = statistics.median(c["seconds"] for c in programs)
    print(f"graph: {path}, {rounds} rounds of ours and anybridge, peers once, one CPU each")
    print("| tool | seconds | ours faster by | memory |")
    print("|---|---|---|---|")
    print(f"| pathsuite (Python) | {t_ours:.3f} | | {max(c['extra_kib'] for c in ours)} KiB beyond the process's |")
    print(f"| anybridge | {t_prog:.3f} | {t_prog / t_ours:.2f}x | {max(c['peak_kib'] for c in programs)} KiB peak |")
    for tool, c in peers.items():
        print(f"| {tool} | {c['seconds']:.3f} | {c['seconds'] / t_ours:.1f}x | {c['extra_kib']} KiB beyond |")
    by_round = lambda cells: " ".join("%.3f" % c["seconds"] for c in cells)
    print(f"ours by round: {by_round(ours)}")
    print(f"anybridge by round: {by_round(programs)}")


if __name__ == "__main__":
    main()
