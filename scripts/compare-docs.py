#!/usr/bin/env python3
"""Compares two documents as `tessaline-cli doc show` prints them: the same fields, texts and
counts; numbers equal to within a relative tolerance; curve points (frequency, magnitude, phase)
equal in frequency, in level to within 0.1 dB and in phase to within 0.05 rad wherever the curve
is within 40 dB of its peak. Below that lies the simulated room's noise floor, which depends on
where in the sweep's period the capture began, and that follows the simulated clock's real-time
waits, which differ between systems. Prints the largest differences found.

usage: compare-docs.py A.json B.json [--tolerance T]"""
import math
import json
import sys


LEVEL_DB, PHASE_RAD, RANGE_DB = 0.1, 0.05, 40.0


def points(a, b, path, worst):
    if len(a) != len(b):
        raise ValueError(f"{path}: {len(a)} != {len(b)} points")
    peak = max((abs(p[1]) for p in a), default=0.0)
    for i, (p, q) in enumerate(zip(a, b)):
        if abs(p[0] - q[0]) > 1e-9 * max(abs(p[0]), 1.0):
            raise ValueError(f"{path}[{i}]: frequency {p[0]} != {q[0]}")
        if peak <= 0 or abs(p[1]) < peak * 10 ** (-RANGE_DB / 20):
            continue
        level = abs(20 * math.log10(max(abs(p[1]), 1e-300) / max(abs(q[1]), 1e-300)))
        phase = abs(p[2] - q[2]) % (2 * math.pi)
        phase = min(phase, 2 * math.pi - phase)
        worst[2] = max(worst[2], level)
        worst[3] = max(worst[3], phase)
        if level > LEVEL_DB or phase > PHASE_RAD:
            raise ValueError(f"{path}[{i}]: {p} != {q} ({level:.3g} dB, {phase:.3g} rad)")


def walk(a, b, path, tolerance, worst):
    if isinstance(a, dict) and isinstance(b, dict) and a.get("format") == 1 and "points" in a:
        walk({k: v for k, v in a.items() if k != "points"},
             {k: v for k, v in b.items() if k != "points"}, path, tolerance, worst)
        points(a["points"], b.get("points", []), path + ".points", worst)
        return
    if isinstance(a, bool) or isinstance(b, bool) or isinstance(a, str) or a is None:
        if a != b:
            raise ValueError(f"{path}: {a!r} != {b!r}")
        return
    if isinstance(a, (int, float)) and isinstance(b, (int, float)):
        scale = max(abs(a), abs(b), 1.0)
        d = abs(a - b) / scale
        if d > worst[0]:
            worst[0], worst[1] = d, path
        if d > tolerance:
            raise ValueError(f"{path}: {a} != {b} (relative {d:g})")
        return
    if isinstance(a, list) and isinstance(b, list):
        if len(a) != len(b):
            raise ValueError(f"{path}: {len(a)} != {len(b)} entries")
        for i, (x, y) in enumerate(zip(a, b)):
            walk(x, y, f"{path}[{i}]", tolerance, worst)
        return
    if isinstance(a, dict) and isinstance(b, dict):
        if list(a) != list(b):
            raise ValueError(f"{path}: fields {list(a)} != {list(b)}")
        for k in a:
            walk(a[k], b[k], f"{path}.{k}", tolerance, worst)
        return
    raise ValueError(f"{path}: {type(a).__name__} != {type(b).__name__}")


def main():
    args = sys.argv[1:]
    tolerance = 1e-6
    if "--tolerance" in args:
        i = args.index("--tolerance")
        tolerance = float(args[i + 1])
        del args[i : i + 2]
    with open(args[0]) as fa, open(args[1]) as fb:
        a, b = json.load(fa), json.load(fb)
    worst = [0.0, "", 0.0, 0.0]
    try:
        walk(a, b, "$", tolerance, worst)
    except ValueError as e:
        print(f"documents differ: {e}")
        return 1
    print(f"documents agree; largest relative difference {worst[0]:.3g} at {worst[1] or '-'}, "
          f"curves within {worst[2]:.3g} dB and {worst[3]:.3g} rad")
    return 0


if __name__ == "__main__":
    sys.exit(main())
