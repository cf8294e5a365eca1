"""zjkit.ta against TA-Lib on 1,000,000 values, from Python.

Both libraries run on the same numpy arrays in the same process, alternating
call by call; each figure is the median of several runs. Reports the ratio
ours / TA-Lib per function (of the medians, and the median of per-round
ratios), then max/min on a strictly decreasing series and
bbands with a non-SMA average at periods 10 and 100.

    PYTHONPATH=python python bench/bench_ta.py [--n 1000000] [--rounds 15]
"""

from __future__ import annotations

import argparse
import statistics
import time

import numpy as np
import talib

import zjkit.ta as ta


def timed(fn, *args):
    t0 = time.perf_counter()
    fn(*args)
    return time.perf_counter() - t0


def race(ours, theirs, args, rounds):
    """Median times of both, and the median of the per-round ratios (each round
    runs both back to back, in alternating order, so a burst of load on the
    machine hits both sides of a ratio)."""
    ours(*args), theirs(*args)  # warm up (page faults, caches)
    a, b = [], []
    for r in range(rounds):
        if r % 2:
            a.append(timed(ours, *args))
            b.append(timed(theirs, *args))
        else:
            b.append(timed(theirs, *args))
            a.append(timed(ours, *args))
    return statistics.median(a), statistics.median(b), statistics.median(x / y for x, y in zip(a, b))


def main() -> None:
    p = argparse.ArgumentParser()
    p.add_argument("--n", type=int, default=1_000_000)
    p.add_argument("--rounds", type=int, default=21)
    opts = p.parse_args()
    rng = np.random.default_rng(42)
    close = 50.0 * np.exp(np.cumsum(rng.normal(0.0, 0.02, opts.n)))
    high = close + rng.uniform(0.01, 1.0, opts.n)
    low = close - rng.uniform(0.01, 1.0, opts.n)
    x = (close,)
    hlc = (high, low, close)

    cases = [
        ("sma(30)", lambda v: ta.sma(v, 30), lambda v: talib.SMA(v, 30), x),
        ("ema(30)", lambda v: ta.ema(v, 30), lambda v: talib.EMA(v, 30), x),
        ("wma(30)", lambda v: ta.wma(v, 30), lambda v: talib.WMA(v, 30), x),
        ("dema(30)", lambda v: ta.dema(v, 30), lambda v: talib.DEMA(v, 30), x),
        ("tema(30)", lambda v: ta.tema(v, 30), lambda v: talib.TEMA(v, 30), x),
        ("trima(30)", lambda v: ta.trima(v, 30), lambda v: talib.TRIMA(v, 30), x),
        ("kama(30)", lambda v: ta.kama(v, 30), lambda v: talib.KAMA(v, 30), x),
        ("t3(5)", lambda v: ta.t3(v, 5, 0.7), lambda v: talib.T3(v, 5, 0.7), x),
        ("mama", lambda v: ta.mama(v, 0.5, 0.05), lambda v: talib.MAMA(v, 0.5, 0.05), x),
        ("bbands(5, SMA)", lambda v: ta.bbands(v, 5), lambda v: talib.BBANDS(v, 5), x),
        ("bbands(20, SMA)", lambda v: ta.bbands(v, 20), lambda v: talib.BBANDS(v, 20), x),
        ("max(30)", lambda v: ta.max(v, 30), lambda v: talib.MAX(v, 30), x),
        ("min(30)", lambda v: ta.min(v, 30), lambda v: talib.MIN(v, 30), x),
        ("linearreg(14)", lambda v: ta.linearreg(v, 14), lambda v: talib.LINEARREG(v, 14), x),
        ("linearreg_components(14)", lambda v: ta.linearreg_components(v, 14),
         lambda v: (talib.LINEARREG_SLOPE(v, 14), talib.LINEARREG_INTERCEPT(v, 14)), x),
        ("atr(14)", lambda *v: ta.atr(*v, 14), lambda *v: talib.ATR(*v, 14), hlc),
        ("plus_di(14)", lambda *v: ta.plus_di(*v, 14), lambda *v: talib.PLUS_DI(*v, 14), hlc),
        ("minus_di(14)", lambda *v: ta.minus_di(*v, 14), lambda *v: talib.MINUS_DI(*v, 14), hlc),
        ("adx(14)", lambda *v: ta.adx(*v, 14), lambda *v: talib.ADX(*v, 14), hlc),
        ("adxr(14)", lambda *v: ta.adxr(*v, 14), lambda *v: talib.ADXR(*v, 14), hlc),
    ]
    print(f"{opts.n:,} values, median of {opts.rounds} alternating runs")
    print(f"{'function':28s} {'zjkit.ta ms':>12s} {'TA-Lib ms':>10s} {'ratio':>7s} {'paired':>7s}")
    for name, ours, theirs, args in cases:
        a, b, paired = race(ours, theirs, args, opts.rounds)
        print(f"{name:28s} {a * 1e3:12.2f} {b * 1e3:10.2f} {a / b:7.2f} {paired:7.2f}")

    falling = np.linspace(1000.0, 1.0, opts.n)
    print("\nstrictly decreasing series (max rescans every window) and bbands with EMA / KAMA middles")
    print(f"{'function':28s} {'p=10 ms':>9s} {'p=100 ms':>9s} {'growth':>7s} {'ratio@10':>9s} {'ratio@100':>10s}")
    special = [
        ("max, decreasing", lambda v, n: ta.max(v, n), lambda v, n: talib.MAX(v, n), falling),
        ("min, increasing", lambda v, n: ta.min(v, n), lambda v, n: talib.MIN(v, n), falling[::-1].copy()),
        ("bbands EMA", lambda v, n: ta.bbands(v, n, 2.0, 2.0, 1), lambda v, n: talib.BBANDS(v, n, 2, 2, 1),
         close),
        ("bbands KAMA", lambda v, n: ta.bbands(v, n, 2.0, 2.0, 6), lambda v, n: talib.BBANDS(v, n, 2, 2, 6),
         close),
    ]
    rounds = max(3, opts.rounds // 3)
    for name, ours, theirs, series in special:
        a10, b10, _ = race(ours, theirs, (series, 10), rounds)
        a100, b100, _ = race(ours, theirs, (series, 100), rounds)
        print(f"{name:28s} {a10 * 1e3:9.2f} {a100 * 1e3:9.2f} {a100 / a10:7.2f} {a10 / b10:9.2f} {a100 / b100:10.2f}")


if __name__ == "__main__":
    main()
