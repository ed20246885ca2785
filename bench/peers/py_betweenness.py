"""py_betweenness.py FILE networkx|igraph [normalized] -- weighted betweenness of an
edge list "a b w" by the Python NetworkX or igraph, edge length 1/(1+w), printed like
anybridge: "name score" with six decimals, in order of first appearance. Scores are
doubled to count ordered pairs, as ours do; "normalized" prints NetworkX's
normalized=True values instead (NetworkX only). Benchmark-only (Debian's
python3-networkx, python3-igraph); a duplicate pair stays one edge in NetworkX."""
import signal
import sys


def read_edges(path):
    with open(path) as f:
        rows = [line.split() for line in f if line.strip()]
    return [(a, b, 1 / (1 + float(w))) for a, b, w, *_ in rows]


def scores(edges, tool, normalized):
    names = list(dict.fromkeys(v for a, b, _ in edges for v in (a, b)))
    if tool == "networkx":
        import networkx as nx
        g = nx.Graph()
        g.add_weighted_edges_from(edges, weight="length")
        bc = nx.betweenness_centrality(g, weight="length", normalized=normalized)
        return [(v, bc[v] if normalized else 2 * bc[v]) for v in names]
    import igraph as ig
    g = ig.Graph.TupleList(edges, weights=True)
    bc = dict(zip(g.vs["name"], g.betweenness(weights="weight")))
    return [(v, 2 * bc[v]) for v in names]


def main():
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)  # quiet end under `| head`, like ours
    args = sys.argv[1:]
    if len(args) not in (2, 3) or args[1] not in ("networkx", "igraph") or \
            (len(args) == 3 and (args[2] != "normalized" or args[1] != "networkx")):
        sys.exit("usage: py_betweenness.py FILE networkx|igraph  |  FILE networkx normalized")
    for v, s in scores(read_edges(args[0]), args[1], len(args) == 3):
        print(f"{v} {s:f}")


main()
