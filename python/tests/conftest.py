"""What the module's tests share: the programs and the reference dump of the
build under test, graphs generated with exact ties and special weights, and
bit-for-bit comparison of doubles."""

import math
import os
import random
import struct
import subprocess

import pytest

PROGRAM_DIR = os.environ.get("PATHSUITE_PROGRAM_DIR", "")
SOURCE_DIR = os.environ.get("PATHSUITE_SOURCE_DIR", "")
REFERENCE_DUMP = os.environ.get("PATHSUITE_REFERENCE_DUMP", "")

pathsuite = pytest.importorskip("pathsuite")

TIE_WEIGHTS = ["1", "2", "3", "1", "0", "7", "0.5", "4", "0.1", "0.7", "1.3"]
SPECIAL_WEIGHTS = ["0", "-1", "inf", "nan", "-0.5", "-2", "1e-17", "1e300", "-nan", "-inf",
                   "1e-300", "0x1p-60", "-1e-17", "-100", "-101", "0.1", "0.2", "0.3", "1e16",
                   "-0"]


def make_graph(rng, names, lines, special_percent, repeats=True, loops=True):
    """Lines "nA nB W": ties, and with special_percent, special weights; with
    repeats, some lines twice; with loops, self-loops."""
    text = []
    seen = set()
    for _ in range(lines):
        a = rng.randrange(names)
        b = a if loops and rng.randrange(8) == 0 else rng.randrange(names)
        if not repeats and (min(a, b), max(a, b)) in seen:
            continue
        seen.add((min(a, b), max(a, b)))
        pool = SPECIAL_WEIGHTS if rng.randrange(100) < special_percent else TIE_WEIGHTS
        line = f"n{a} n{b} {rng.choice(pool)}\n"
        text.append(line)
        if repeats and rng.randrange(10) == 0:
            text.append(line)
    return "".join(text)


def weight_of(text):
    """A weight as the programs read it, hexadecimal included."""
    return float.fromhex(text) if "0x" in text else float(text)


def triple(text):
    """The (first, second, weights) lists of edge lines."""
    rows = [line.split() for line in text.splitlines()]
    return [r[0] for r in rows], [r[1] for r in rows], [weight_of(r[2]) for r in rows]


def run(program, *args):
    path = program if os.path.isabs(program) else os.path.join(PROGRAM_DIR, program)
    return subprocess.run([path, *args], capture_output=True, text=True)


def reference(kind, path, length):
    """The reference engine's doubles: scores by node, or {(s, t): distance}."""
    out = run(REFERENCE_DUMP, kind, str(path), length)
    assert out.returncode == 0, out.stderr
    if kind == "betweenness":
        return [float(x) for x in out.stdout.split()]
    rows = {}
    for line in out.stdout.splitlines():
        s, t, d = line.split()
        rows[(int(s), int(t))] = float(d)
    return rows


def bits(x):
    """A double's identity: its bits, or for any NaN its sign (the dump's
    text keeps no payload)."""
    x = float(x)
    if math.isnan(x):
        return ("nan", math.copysign(1.0, x))
    return struct.pack("<d", x)


def same_bits(expected, actual):
    return len(expected) == len(actual) and all(bits(a) == bits(b) for a, b in zip(expected, actual))


@pytest.fixture
def rng():
    return random.Random(20261210)
