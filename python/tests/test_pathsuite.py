"""The Python module against the programs and the reference engine, bit for
bit; NetworkX inputs; every error; an interrupt; many calls in flat memory."""

import math
import os
import signal
import subprocess
import sys
import textwrap
import time

import numpy as np
import pytest

from conftest import SOURCE_DIR, make_graph, reference, run, same_bits, triple

import pathsuite

nx = pytest.importorskip("networkx")

LENGTHS = ["inverse", "weight", "unit"]


def fixed6(v):
    """As C's "%f" prints v: Python drops the sign of a NaN."""
    v = float(v)
    return ("-nan" if math.copysign(1.0, v) < 0 else "nan") if math.isnan(v) else f"{v:f}"


def listing(names, values):
    return "".join(f"{n} {fixed6(v)}\n" for n, v in zip(names, values))


def graphs(rng, tmp_path):
    """The bundled dataset and generated graphs full of ties, repeated
    lines, self-loops and special weights."""
    files = [os.path.join(SOURCE_DIR, "data", "main.txt")]
    for k, (names, lines, special) in enumerate([(5, 12, 0), (30, 90, 10), (60, 240, 40),
                                                 (200, 700, 5)]):
        path = tmp_path / f"g{k}.txt"
        path.write_text(make_graph(rng, names, lines, special))
        files.append(str(path))
    return files


def test_betweenness_is_the_programs_and_the_references_bits(rng, tmp_path):
    for path in graphs(rng, tmp_path):
        graph = pathsuite.read_edges(path)
        program = run("anybridge", path, "x", str(max(graph.node_count, 1)))
        assert program.returncode == 0, program.stderr
        for length in LENGTHS:
            expected = reference("betweenness", path, length)
            for threads in (1, 2, 7):
                scores = pathsuite.betweenness(graph, length=length, threads=threads)
                assert scores.dtype == np.float64 and scores.shape == (graph.node_count,)
                assert same_bits(expected, scores), (path, length, threads)
                if length == "inverse":
                    assert listing(graph.names, scores) == program.stdout, (path, threads)


def test_distances_are_the_programs_and_the_references_bits(rng, tmp_path):
    for path in graphs(rng, tmp_path):
        graph = pathsuite.read_edges(path)
        n = graph.node_count
        program = run("anypairs", path, "x", str(max(n, 1)))
        assert program.returncode == 0, program.stderr
        for length in LENGTHS:
            expected = reference("distances", path, length)
            for threads in (1, 2, 7):
                matrix = pathsuite.distances(graph, length=length, threads=threads)
                assert matrix.shape == (n, n)
                reached = {(s, t): matrix[s, t] for s in range(n) for t in range(n)
                           if not np.isposinf(matrix[s, t]) or (s, t) in expected}
                assert sorted(reached) == sorted(expected), (path, length)
                assert same_bits([expected[k] for k in sorted(expected)],
                                 [reached[k] for k in sorted(expected)]), (path, length, threads)
                if length == "weight":
                    names = graph.names
                    text = "".join(f"{names[s]} {names[t]} {fixed6(expected[(s, t)])}\n"
                                   for (s, t) in sorted(expected) if t > s)
                    assert text == program.stdout
        part = pathsuite.distances(graph, sources=range(1, min(n, 4)))
        assert part.shape == (min(n, 4) - 1, n)
        assert np.array_equal(part, pathsuite.distances(graph)[1:min(n, 4)], equal_nan=True)


def test_every_input_form_gives_the_same_bits(rng, tmp_path):
    # Without repeated lines a NetworkX Graph holds the file's graph: nodes in
    # order of first appearance, each node's edges in line order.
    for k in range(6):
        path = tmp_path / f"simple{k}.txt"
        text = make_graph(rng, 40, 160, 15 if k % 2 else 0, repeats=False)
        path.write_text(text)
        expected = reference("betweenness", path, "inverse")
        first, second, weights = triple(text)
        graph = pathsuite.read_edges(path)
        index = {name: i for i, name in enumerate(graph.names)}
        nxg = nx.Graph()
        for a, b, w in zip(first, second, weights):
            nxg.add_edge(a, b, weight=w)
        forms = {
            "names": (first, second, weights),
            "numpy names": (np.array(first), np.array(second), np.array(weights)),
            "ids": ([index[a] for a in first], [index[b] for b in second], weights),
            "networkx": nxg,
        }
        for label, form in forms.items():
            assert same_bits(expected, pathsuite.betweenness(form, threads=2)), (k, label)
        assert pathsuite.as_dict(nxg, pathsuite.betweenness(nxg)) == pytest.approx(
            pathsuite.as_dict(graph, pathsuite.betweenness(graph)), nan_ok=True)


def test_networkx_graphs():
    multi = nx.MultiGraph()
    multi.add_edge("a", "b", w=1.0)
    multi.add_edge("a", "b", w=1.0)
    multi.add_edge("b", "c", w=1.0)
    multi.add_node("alone")
    # The parallel edges stay two paths: the lines of the same graph.
    lines = pathsuite.betweenness((["a", "a", "b"], ["b", "b", "c"], [1.0, 1.0, 1.0]))
    scores = pathsuite.betweenness(multi, weight="w")
    assert list(scores[:3]) == list(lines) and scores[3] == 0.0
    assert pathsuite.as_dict(multi, scores) == {"a": 0.0, "b": 2.0, "c": 0.0, "alone": 0.0}
    # Lengths as a peer computes them: the same scores, halved.
    les = nx.Graph()
    for line in open(os.path.join(SOURCE_DIR, "data", "main.txt")):
        a, b, w = line.split()
        les.add_edge(a, b, weight=float(w), length=1 / (1 + float(w)))
    for normalized in (False, True):
        ours = pathsuite.as_dict(les, pathsuite.betweenness(les, normalized=normalized))
        theirs = nx.betweenness_centrality(les, weight="length", normalized=normalized)
        scale = 1 if normalized else 2
        assert ours == pytest.approx({k: scale * v for k, v in theirs.items()}, abs=1e-9)
    unit = pathsuite.betweenness(les, weight=None, length="unit", normalized=True)
    assert pathsuite.as_dict(les, unit) == pytest.approx(nx.betweenness_centrality(les), abs=1e-12)


def test_scores_top_ten_normalised_is_networkx(tmp_path):
    """The analyst's job in one command: the top 10 of the normalised
    scores, for each length rule, as NetworkX prints them to six decimals,
    from the bundled data as blank lines and as a CSV with a header."""
    les = nx.Graph()
    csv = tmp_path / "main.csv"
    with open(os.path.join(SOURCE_DIR, "data", "main.txt")) as lines, open(csv, "w") as out:
        out.write("source,target,weight\n")
        for line in lines:
            a, b, w = line.split()
            les.add_edge(a, b, w=float(w), inverse=1 / (1 + float(w)))
            out.write(f"{a},{b},{w}\n")
    for length, attribute in (("inverse", "inverse"), ("weight", "w"), ("unit", None)):
        theirs = nx.betweenness_centrality(les, weight=attribute, normalized=True)
        top = sorted(theirs.items(), key=lambda kv: -kv[1])[:10]  # stable: ties in node order
        expected = "".join(f"{name} {fixed6(v)}\n" for name, v in top)
        for path in (os.path.join(SOURCE_DIR, "data", "main.txt"), str(csv)):
            out = run("pathsuite", "scores", path, "--normalized", "--top", "10", "--length", length)
            assert out.returncode == 0, out.stderr
            assert out.stdout == expected, (path, length)


@pytest.mark.parametrize("call, error, words", [
    (lambda p: pathsuite.read_edges(p / "absent.txt"), OSError, "cannot open"),
    (lambda p: pathsuite.read_edges(p), OSError, "cannot read"),
    (lambda p: pathsuite.betweenness(([0], [1], [1.0]), length="square"), ValueError, "length"),
    (lambda p: pathsuite.betweenness(([0], [1], [1.0]), threads=0), ValueError, "threads"),
    (lambda p: pathsuite.betweenness(([0, 1], [1], [1.0])), ValueError, "different lengths"),
    (lambda p: pathsuite.betweenness(([0], [-1], [1.0])), ValueError, "names node -1"),
    (lambda p: pathsuite.betweenness(([0], ["b"], [1.0])), TypeError, "integer ids or both names"),
    (lambda p: pathsuite.betweenness(nx.DiGraph([(0, 1)])), ValueError, "directed"),
    (lambda p: pathsuite.betweenness(nx.Graph([(0, 1)])), ValueError, "edge (0, 1) has no attribute"),
    (lambda p: pathsuite.betweenness(([0], [1], [1.0]), progress=3), TypeError, "progress"),
    (lambda p: pathsuite.distances(([0], [1], [1.0]), sources=range(0, 3)), ValueError, "range(0, 2)"),
    (lambda p: pathsuite.distances(([0], [1], [1.0]), sources=[0]), TypeError, "range"),
    (lambda p: pathsuite.betweenness("edges.txt"), TypeError, "graph must be"),
])
def test_errors(tmp_path, call, error, words):
    with pytest.raises(error) as raised:
        call(tmp_path)
    assert words in str(raised.value)


def test_a_bad_line_raises_the_programs_message(tmp_path):
    for text, line in [("a b 1\nc\n", 2), ("a b 1\n\nc d w\n", 3)]:
        path = tmp_path / "bad.txt"
        path.write_text(text)
        program = run("anybridge", str(path), "x", "10")
        with pytest.raises(ValueError) as raised:
            pathsuite.read_edges(path)
        assert f"{path}:{line}:" in str(raised.value)
        assert program.stderr == f"anybridge: {raised.value}\n"
    with pytest.raises(OSError) as raised:
        pathsuite.read_edges(tmp_path / "absent.txt")
    assert raised.value.errno == 2


def test_progress_is_told_in_order():
    graph = pathsuite.read_edges(os.path.join(SOURCE_DIR, "data", "main.txt"))
    seen = []
    pathsuite.betweenness(graph, progress=lambda done, total: seen.append((done, total)))
    assert seen and seen[-1] == (77, 77) and seen == sorted(seen)
    script = ("import pathsuite; g = pathsuite.read_edges(%r); "
              "pathsuite.betweenness(g, progress=True)" % os.path.join(SOURCE_DIR, "data", "main.txt"))
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True)
    assert out.returncode == 0 and "pathsuite: 0 of 77 sources" in out.stderr


INTERRUPTED = textwrap.dedent("""
    import os, sys, pathsuite
    first, second, weights = [], [], []
    for v in range(1, 20000):   # a graph of some 20 seconds' work
        for k in range(4):
            first.append(v); second.append((v * 7919 + k * 104729) % v); weights.append(1 + k)
    print("ready", flush=True)
    try:
        pathsuite.betweenness((first, second, weights), threads=2)
    except KeyboardInterrupt:
        print("interrupted", len(os.listdir("/proc/self/task")), flush=True)
        sys.exit(0)
    print("finished", flush=True)
""")


def test_ctrl_c_raises_keyboard_interrupt_within_a_second():
    child = subprocess.Popen([sys.executable, "-c", INTERRUPTED], stdout=subprocess.PIPE, text=True,
                             env=os.environ)
    assert child.stdout.readline().strip() == "ready"
    time.sleep(1.0)
    sent = time.monotonic()
    child.send_signal(signal.SIGINT)
    line = child.stdout.readline().split()
    took = time.monotonic() - sent
    assert child.wait(timeout=30) == 0
    assert line == ["interrupted", "1"], line  # every engine thread joined
    assert took < 1.0, took


def test_a_thousand_calls_in_flat_memory(rng):
    graph = pathsuite.read_edges(os.path.join(SOURCE_DIR, "data", "main.txt"))
    # Cheap calls with large results: a leak of any of them would show.
    first, second, weights = triple(make_graph(rng, 12, 30, 20))
    ids = {name: i for i, name in enumerate(dict.fromkeys(x for pair in zip(first, second)
                                                          for x in pair))}
    small = pathsuite._core.graph_from_ids(
        np.array([ids[a] for a in first]), np.array([ids[b] for b in second]),
        np.array(weights), 20000)

    def rss_kib():
        for line in open("/proc/self/status"):
            if line.startswith("VmRSS:"):
                return int(line.split()[1])

    expected = pathsuite.betweenness(graph, threads=2)
    for _ in range(100):
        pathsuite.betweenness(small, threads=2)
        pathsuite.distances(small, sources=range(0, 50), threads=2)
    before = rss_kib()
    for _ in range(1000):
        pathsuite.betweenness(small, threads=2, progress=lambda done, total: None)
        pathsuite.distances(small, sources=range(0, 50), threads=2)
    scores = pathsuite.betweenness(graph, threads=2)
    assert np.array_equal(scores, expected)
    assert rss_kib() - before < 2048
