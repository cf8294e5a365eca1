"""Timings of tick_analysis (a market scan of 240-point charts) and get_zs_seq
(100,000 strokes), each against the pure-Python floor of merely reading the
records' keys.

    PYTHONPATH=python python bench/bench_tick_zs.py [--scan 10000] [--strokes 100000]
"""

from __future__ import annotations

import argparse
import gc
import time

from zjkit import _native
from zjkit.sample.minute import minute_charts
from zjkit.sample.strokes import strokes


def best(fn, repeat):
    times = []
    for _ in range(repeat):
        gc.collect()
        t0 = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t0)
    return min(times)


def read_chart_keys(charts):
    for _, chart in charts:
        for p in chart:
            p["time"], p["price"], p.get("avg"), p["vol"], p.get("momentum")


def read_stroke_keys(bis):
    for b in bis:
        b["direction"], b["high"], b["low"], b["sdt"], b["edt"]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--scan", type=int, default=10_000, help="tick_analysis calls")
    ap.add_argument("--strokes", type=int, default=100_000, help="strokes for get_zs_seq")
    ap.add_argument("--repeat", type=int, default=5)
    args = ap.parse_args()

    distinct = minute_charts(200, seed=3)
    charts = [distinct[i % len(distinct)] for i in range(args.scan)]
    native = best(lambda: [_native.tick_analysis(c, pc) for pc, c in charts], args.repeat)
    floor = best(lambda: read_chart_keys(charts), args.repeat)
    print(f"tick_analysis  {args.scan} charts x 240 points: {native / args.scan * 1e6:7.2f} us/call;"
          f" reading the keys in Python {floor / args.scan * 1e6:7.2f} us/call;"
          f" ratio {native / floor:.2f}")

    n = args.strokes
    text = strokes(n, times="text")
    rfc = strokes(n, times="rfc3339")
    unix = strokes(n, times="unix")
    t_text = best(lambda: _native.get_zs_seq(text), args.repeat)
    t_rfc = best(lambda: _native.get_zs_seq(rfc), args.repeat)
    t_unix = best(lambda: _native.get_zs_seq(unix), args.repeat)
    floor = best(lambda: read_stroke_keys(text), args.repeat)
    zones = len(_native.get_zs_seq(text))
    print(f"get_zs_seq     {n} strokes ({zones} zones), text times: {t_text / n * 1e9:6.0f} ns/stroke;"
          f" reading the five keys in Python {floor / n * 1e9:6.0f} ns/stroke; ratio {t_text / floor:.2f}")
    print(f"               RFC 3339 times {t_rfc / n * 1e9:6.0f} ns/stroke; Unix seconds {t_unix / n * 1e9:6.0f}"
          f" ns/stroke; time texts' share (text vs unix) {max(0.0, t_text - t_unix) / t_text:.0%}")


if __name__ == "__main__":
    main()
