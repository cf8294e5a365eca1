"""Time generate_zj_signals with all eight built-in signals (default parameters).

    PYTHONPATH=python python bench/bench_signals.py [--sizes 1000,10000,100000]

Reports, per bar count: microseconds per call, microseconds per bar per
signal, and the pure-Python floor: reading the six numeric fields of every bar
dict once, plus building as many five-key output dicts from ready-made strings
as the call returns. The ratio ours / floor is the figure of merit.
"""
from __future__ import annotations

import argparse
import contextlib
import math
import os
import random
import sys
import time

from zjkit._native import generate_zj_signals, zj_signal_list

FIELDS = ("open", "high", "low", "close", "vol", "amount")


def make_bars(n: int, seed: int = 42) -> list[dict]:
    rng = random.Random(seed)
    close = 10.0
    bars = []
    for i in range(n):
        o = close
        close = max(0.5, close * (1 + rng.gauss(0, 0.02)))
        hi = max(o, close) * (1 + abs(rng.gauss(0, 0.005)))
        lo = min(o, close) * (1 - abs(rng.gauss(0, 0.005)))
        vol = rng.uniform(5e5, 5e6)
        bars.append({"dt": f"2020-01-01 {i}", "freq": "日线", "open": o, "high": hi, "low": lo,
                     "close": close, "vol": vol, "amount": vol * close})
    return bars


@contextlib.contextmanager
def quiet_stderr():
    """generate_zj_signals writes one diagnostic line per call; keep it off the terminal."""
    sys.stderr.flush()
    saved = os.dup(2)
    devnull = os.open(os.devnull, os.O_WRONLY)
    os.dup2(devnull, 2)
    try:
        yield
    finally:
        os.dup2(saved, 2)
        os.close(saved)
        os.close(devnull)


def best_of(fns, repeat: int) -> list[float]:
    """Best time of each function, the functions run in turn so that a change in
    machine load affects all of them alike."""
    best = [math.inf] * len(fns)
    for _ in range(repeat):
        for k, fn in enumerate(fns):
            t0 = time.perf_counter()
            fn()
            best[k] = min(best[k], time.perf_counter() - t0)
    return best


def floor(bars: list[dict], n_out: int) -> None:
    for b in bars:
        b["open"], b["high"], b["low"], b["close"], b["vol"], b["amount"]
    name, freq, v1, v2, v3 = "zj_vol_ratio_V260721", "日线", "平量", "任意", "任意"
    out = []
    append = out.append
    for _ in range(n_out):
        append({"name": name, "freq": freq, "v1": v1, "v2": v2, "v3": v3})


def main() -> None:
    ap = argparse.ArgumentParser()
    ap.add_argument("--sizes", default="1000,10000,100000")
    ap.add_argument("--repeat", type=int, default=7)
    args = ap.parse_args()

    names = sorted(zj_signal_list())
    config = [{"name": n, "freq": "日线"} for n in names]
    print(f"{len(names)} signals: {', '.join(names)}")
    print(f"{'bars':>8} {'records':>8} {'ours µs/call':>13} {'µs/bar/sig':>11} {'floor µs':>10} {'ours/floor':>10}")
    per_bar = []
    with quiet_stderr():
        for n in (int(s) for s in args.sizes.split(",")):
            bars = make_bars(n)
            n_out = len(generate_zj_signals(config, bars))
            repeat = args.repeat if n <= 20000 else max(3, args.repeat // 2)
            ours, base = best_of([lambda: generate_zj_signals(config, bars), lambda: floor(bars, n_out)], repeat)
            per_bar.append((n, ours / n, base / n))
            print(f"{n:>8} {n_out:>8} {ours * 1e6:>13.0f} {ours * 1e6 / n / len(names):>11.4f} "
                  f"{base * 1e6:>10.0f} {ours / base:>10.2f}", file=sys.stdout, flush=True)
    if len(per_bar) > 1:
        _, ours0, base0 = per_bar[0]
        print("time per bar relative to the smallest size, ours: " +
              ", ".join(f"{n}: {t / ours0:.2f}" for n, t, _ in per_bar) +
              "; floor: " + ", ".join(f"{n}: {b / base0:.2f}" for n, _, b in per_bar))


if __name__ == "__main__":
    main()
