"""Exact shortest-path betweenness and distances on weighted undirected graphs.

The engine of the pathsuite programs, for graphs in memory: the same bits as
the programs print, on any number of threads.

    >>> import pathsuite
    >>> g = pathsuite.read_edges("edges.txt")        # "a b weight" lines
    >>> scores = pathsuite.betweenness(g)            # numpy array by node index
    >>> pathsuite.as_dict(g, scores)                 # {name: score}

A graph is what read_edges returns, a (sources, targets, weights) triple of
arrays or sequences (endpoints as names, or as integer ids), or a NetworkX
Graph or MultiGraph.
"""

import os
from collections import deque

import numpy as np

from . import _core
from ._core import Graph

__all__ = ["Graph", "read_edges", "betweenness", "distances", "as_dict"]


def read_edges(path):
    """Reads an edge-list file: one edge a line, two names and a weight.

    Nodes are numbered in order of first appearance, the first name of a line
    before the second; names may be of any length. A line without two names
    and a weight raises ValueError naming "file:line"; a file that cannot be
    read raises OSError.
    """
    return _core.read_edges(os.fspath(path))


def betweenness(graph, *, length="inverse", normalized=False, threads=None, progress=False,
                weight="weight"):
    """The shortest-path betweenness of every node, a float64 array by node index.

    The sum over every ordered pair of other nodes (s, t) of the share of
    shortest s-t paths through the node, so each unordered pair counts twice:
    twice NetworkX's betweenness_centrality(normalized=False). With
    normalized=True, NetworkX's normalisation for undirected graphs,
    1/((n-1)(n-2)).

    length: the length of an edge of weight w, "inverse" 1/(1+w) (the
    programs' rule), "weight" w, or "unit" 1. threads: None for every CPU.
    progress: True draws a meter on standard error; a callable is told
    (done, total) sources. weight: the edge attribute of a NetworkX graph
    (None: every weight 1). Ctrl-C stops the run and raises
    KeyboardInterrupt.
    """
    core, _ = _as_graph(graph, weight)
    return _core.betweenness(core, length, normalized, _threads(threads), progress)


def distances(graph, *, length="inverse", sources=None, threads=None, progress=False,
              weight="weight"):
    """Shortest distances from a range of sources: a float64 matrix of
    len(sources) rows by node_count columns, inf where a node is not reached.

    sources: a range of node indices with step 1 (None: every node). The
    other arguments are betweenness's.
    """
    core, _ = _as_graph(graph, weight)
    if sources is None:
        sources = range(core.node_count)
    if not isinstance(sources, range) or sources.step != 1:
        raise TypeError("sources must be a range with step 1")
    return _core.distances(core, length, sources.start, max(sources.stop, sources.start),
                           _threads(threads), progress)


def as_dict(graph, values):
    """{name: value} for values by node index: names as read_edges read
    them, a triple's names or ids, or a NetworkX graph's nodes."""
    values = np.asarray(values)
    if hasattr(graph, "is_multigraph"):
        nodes = list(graph)
    elif isinstance(graph, Graph):
        nodes = graph.names
    else:
        nodes = _as_graph(graph, None)[1]
    if len(nodes) != len(values):
        raise ValueError(f"{len(values)} values for {len(nodes)} nodes")
    return {node: value.item() for node, value in zip(nodes, values)}


def _threads(threads):
    if threads is None:
        return 0
    if isinstance(threads, bool) or not isinstance(threads, int) or not 1 <= threads <= 4096:
        raise ValueError(f"threads must be None or a whole number from 1 to 4096, not {threads!r}")
    return threads


def _as_graph(graph, weight):
    """The library's graph for any accepted input, and the nodes by index."""
    if isinstance(graph, Graph):
        return graph, graph.names
    if hasattr(graph, "is_multigraph"):
        return _from_networkx(graph, weight)
    if isinstance(graph, (tuple, list)) and len(graph) == 3:
        return _from_triple(*graph)
    raise TypeError("graph must be a pathsuite.Graph, a (sources, targets, weights) triple "
                    "or a NetworkX Graph or MultiGraph")


def _from_triple(first, second, weights):
    first, second = np.asarray(first), np.asarray(second)
    weights = np.asarray(weights, dtype=np.float64)
    if first.dtype.kind in "iu" and second.dtype.kind in "iu":
        core = _core.graph_from_ids(first.astype(np.int64), second.astype(np.int64), weights, -1)
        return core, list(range(core.node_count))
    if first.dtype.kind in "US" and second.dtype.kind in "US":
        core = _core.graph_from_names([str(x) for x in first], [str(x) for x in second], weights)
        return core, core.names
    raise TypeError("the endpoints of a triple must both be integer ids or both names (str)")


def _from_networkx(graph, weight):
    """Nodes numbered as the graph holds them; edges in an order that every
    node's adjacency follows, as the lines of the file it was read from
    would be, so that ties are broken as the programs break them."""
    if graph.is_directed():
        raise ValueError("a directed graph: betweenness here is for undirected graphs")
    nodes = list(graph)
    index = {node: i for i, node in enumerate(nodes)}
    multi = graph.is_multigraph()
    order = _edge_order(graph, index, multi)
    first, second, weights = [], [], []
    for u, v, data in order:
        if weight is None:
            w = 1.0
        elif weight in data:
            w = data[weight]
        else:
            raise ValueError(f"edge ({u!r}, {v!r}) has no attribute {weight!r}")
        first.append(index[u])
        second.append(index[v])
        weights.append(w)
    core = _core.graph_from_ids(np.asarray(first, dtype=np.int64),
                                np.asarray(second, dtype=np.int64),
                                np.asarray(weights, dtype=np.float64), len(nodes),
                                [str(node) for node in nodes])
    return core, nodes


def _edge_order(graph, index, multi):
    """The edges (u, v, data), u the end of lower index, in an order in which
    each node meets its edges as its adjacency lists them (Kahn's algorithm
    over the adjacency lists' successive pairs); any such order gives every
    node the same order of cells. Graphs whose adjacencies admit none (built
    otherwise than edge by edge) take the order of graph.edges."""
    lists = {}  # node -> its edge keys in adjacency order
    data = {}
    for u, neighbours in graph.adjacency():
        keys = []
        for v, attrs in neighbours.items():
            low, high = (u, v) if index[u] <= index[v] else (v, u)
            for key, d in (attrs.items() if multi else [(None, attrs)]):
                edge = (index[low], index[high], key)
                keys.append(edge)
                data[edge] = (low, high, d)
        lists[u] = keys
    after = {edge: [] for edge in data}
    waiting = {edge: 0 for edge in data}
    for keys in lists.values():
        for a, b in zip(keys, keys[1:]):
            if a != b:  # a self-loop stands once in its node's list
                after[a].append(b)
                waiting[b] += 1
    ready = deque(edge for edge in data if waiting[edge] == 0)
    order = []
    while ready:
        edge = ready.popleft()
        order.append(data[edge])
        for b in after[edge]:
            waiting[b] -= 1
            if waiting[b] == 0:
                ready.append(b)
    if len(order) != len(data):
        edges = graph.edges(keys=True, data=True) if multi else graph.edges(data=True)
        order = [(u, v, e[-1]) for e in edges for u, v in [e[:2]]]
    return order
