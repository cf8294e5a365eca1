"""Timings of tick_analysis (a market scan of 240-point charts) and get_zs_seq
(100,000 strokes), each against the pure-Python floor of merely reading the
records' keys. Timings are CPU time of this process, interleaved, and the best
of each is kept, so a
busy machine skews both sides alike.

    PYTHONPATH=python python bench/bench_tick_zs.py [--scan 10000] [--strokes 100000] [--repeat 7]
"""

from __future__ import annotations

import argparse
import gc
import time

from zjkit import _native
from zjkit.sample.minute import minute_charts
from zjkit.sample.strokes import strokes


def best_of(fns, repeat):
    """Best wall time of each function, run in turn `repeat` times."""
    best = {name: float("inf") for name in fns}
    for _ in range(repeat):
        for name, fn in fns.items():
            gc.collect()
            t0 = time.process_time()
            fn()
            best[name] = min(best[name], time.process_time() - t0)
    return best


def read_chart_keys(charts):
    for _, chart in charts:
        for p in chart:
            t = p["time"]
            x = p["price"]
            a = p.get("avg")
            v = p["vol"]
            m = p.get("momentum")
    return t, x, a, v, m


def read_stroke_keys(bis):
    for b in bis:
        d = b["direction"]
        h = b["high"]
        lo = b["low"]
        s = b["sdt"]
        e = b["edt"]
    return d, h, lo, s, e


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--scan", type=int, default=10_000, help="tick_analysis calls")
    ap.add_argument("--strokes", type=int, default=100_000, help="strokes for get_zs_seq")
    ap.add_argument("--repeat", type=int, default=7)
    args = ap.parse_args()

    distinct = minute_charts(200, seed=3)
    charts = [distinct[i % len(distinct)] for i in range(args.scan)]
    t = best_of(
        {
            "native": lambda: [_native.tick_analysis(c, pc) for pc, c in charts],
            "floor": lambda: read_chart_keys(charts),
        },
        args.repeat,
    )
    per = {k: v / args.scan * 1e6 for k, v in t.items()}
    print(f"tick_analysis: {args.scan} charts of 240 points: {per['native']:.1f} us/call;"
          f" reading the keys in Python {per['floor']:.1f} us/call; ratio {t['native'] / t['floor']:.2f}")

    n = args.strokes
    data = {form: strokes(n, times=form) for form in ("text", "rfc3339", "unix")}
    # The same strokes, built the same way, with every time text equal: their
    # texts are read once, so the difference is the cost of reading times.
    data["one_time"] = strokes(n, times="text", minutes=0)
    t = best_of(
        {
            "text": lambda: _native.get_zs_seq(data["text"]),
            "rfc3339": lambda: _native.get_zs_seq(data["rfc3339"]),
            "unix": lambda: _native.get_zs_seq(data["unix"]),
            "one_time": lambda: _native.get_zs_seq(data["one_time"]),
            "floor": lambda: read_stroke_keys(data["text"]),
        },
        args.repeat,
    )
    per = {k: v / n * 1e9 for k, v in t.items()}
    zones = len(_native.get_zs_seq(data["text"]))
    print(f"get_zs_seq: {n} strokes ({zones} zones), text times: {per['text']:.0f} ns/stroke;"
          f" reading the five keys in Python {per['floor']:.0f} ns/stroke; ratio {t['text'] / t['floor']:.2f}")
    print(f"  share spent reading the time texts {max(0.0, t['text'] - t['one_time']) / t['text']:.0%}"
          f" ({per['one_time']:.0f} ns/stroke when every text is the same);"
          f" RFC 3339 texts {per['rfc3339']:.0f} ns/stroke; Unix seconds {per['unix']:.0f} ns/stroke")


if __name__ == "__main__":
    main()
