#!/usr/bin/env python3
"""Tables of span_bench medians: the fast paths against pixman, the plain path and memcpy.

    span_compare.py run.json              one run
    span_compare.py before.json after.json  the same rows for two runs side by side

Ratios are times divided so that above 1 means the fast path is faster: pixman/ours,
plain/ours; the copy and fill rows also give ours/memcpy (at most 2 is the target).
"""
import json
import re
import sys

COMPARED = ["Copy_row0", "CopyBlended_row0", "FadeBlended_row0", "Add_row0", "Rule_row0", "Fill"]
SIZES = ["800x600", "801x600", "24x24"]
FAST = ["sse2", "avx2"]


def medians(path):
    with open(path) as f:
        data = json.load(f)
    times = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = re.sub(r"/iterations:\d+$", "", b.get("run_name", b["name"]))
        times.setdefault(name, []).append(b["real_time"])
    # With aggregates only the median is left; without, take the median of the repetitions.
    return {k: sorted(v)[len(v) // 2] for k, v in times.items()}


def row(t, op, size):
    def get(engine):
        return t.get(f"{op}/{engine}/{size}")
    cells = []
    for engine in FAST:
        ours = get(engine)
        if ours is None:
            cells += ["-", "-", "-"]
            continue
        ref, plain, mem = get("pixman"), get("plain"), t.get(f"Memcpy/libc/{size}")
        cells.append(f"{ref / ours:5.2f}" if ref else "-")
        cells.append(f"{plain / ours:5.1f}" if plain else "-")
        cells.append(f"{ours / mem:4.2f}" if mem and op in ("Copy_row0", "Fill") else "")
    return cells


def table(t, title):
    print(f"\n{title}")
    print(f"{'operation':<18}{'size':<9}| {'sse2: pix':>9} {'plain':>6} {'memcpy':>6} | {'avx2: pix':>9} {'plain':>6} {'memcpy':>6}")
    for op in COMPARED:
        for size in SIZES:
            c = row(t, op, size)
            print(f"{op:<18}{size:<9}| {c[0]:>9} {c[1]:>6} {c[2]:>6} | {c[3]:>9} {c[4]:>6} {c[5]:>6}")


def plain_gaps(t):
    """Every routine whose fast time is under 4x the plain one."""
    print("\nfast paths under 4x the plain path:")
    found = False
    for name, ours in sorted(t.items()):
        parts = name.split("/")
        if len(parts) != 3 or parts[1] not in FAST:
            continue
        plain = t.get(f"{parts[0]}/plain/{parts[2]}")
        if plain and plain / ours < 4:
            print(f"  {name:<40} {plain / ours:5.2f}x")
            found = True
    if not found:
        print("  none")


def main(paths):
    runs = [medians(p) for p in paths]
    for p, t in zip(paths, runs):
        table(t, f"{p} (pix: pixman/ours, plain: plain/ours, memcpy: ours/memcpy)")
        plain_gaps(t)


if __name__ == "__main__":
    main(sys.argv[1:])
