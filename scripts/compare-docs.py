#!/usr/bin/env python3
"""Compares two documents as `tessaline-cli doc show` prints them: the same fields, texts and
counts, numbers equal to within a relative tolerance. The Windows build's mathematical functions
round some results differently from glibc's, so its simulated measurement matches the Linux one in
content, not bit for bit. Prints the largest difference found.

usage: compare-docs.py A.json B.json [--tolerance T]"""
import json
import sys


def walk(a, b, path, tolerance, worst):
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
    worst = [0.0, ""]
    try:
        walk(a, b, "$", tolerance, worst)
    except ValueError as e:
        print(f"documents differ: {e}")
        return 1
    print(f"documents agree; largest relative difference {worst[0]:.3g} at {worst[1] or '-'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
