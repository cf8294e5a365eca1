"""zjkit.ta.sma on a polars Series and on pyarrow data against the same values
as a numpy array: float64 without nulls is read in place and the output is
wrapped without a copy, so the times should match (target: within 1.1x).

Each round times the numpy call and the columnar call back to back, in
alternating order; figures are medians over the rounds.

    PYTHONPATH=python python bench/bench_ta_columnar.py [--n 10000000] [--rounds 21]
"""

from __future__ import annotations

import argparse
import statistics
import time

import numpy as np
import pandas as pd
import polars as pl
import pyarrow as pa

import zjkit

ta = zjkit.ta


def timed(fn, arg):
    t0 = time.perf_counter()
    fn(arg, 30)
    return time.perf_counter() - t0


def race(base, other, rounds):
    ta.sma(base, 30), ta.sma(other, 30)  # warm up (page faults, caches)
    a, b = [], []
    for r in range(rounds):
        pair = [(a, base), (b, other)]
        for times, arg in (pair if r % 2 else pair[::-1]):
            times.append(timed(ta.sma, arg))
    return statistics.median(a), statistics.median(b), statistics.median(y / x for x, y in zip(a, b))


def main() -> None:
    p = argparse.ArgumentParser()
    p.add_argument("--n", type=int, default=10_000_000)
    p.add_argument("--rounds", type=int, default=21)
    opts = p.parse_args()
    values = np.random.default_rng(7).random(opts.n) * 10 + 5
    inputs = {
        "polars Series": pl.Series("close", values),
        "pyarrow Array": pa.array(values),
        "pyarrow ChunkedArray (1 chunk)": pa.chunked_array([values]),
        "pandas Series": pd.Series(values),
        "pyarrow ChunkedArray (4 chunks, one copy)": pa.chunked_array(np.array_split(values, 4)),
    }
    print(f"zjkit.ta.sma(x, 30), {opts.n:,} float64 values, median of {opts.rounds} rounds")
    print(f"{'input':44} {'numpy ms':>9} {'input ms':>9} {'ratio':>6}")
    for name, arg in inputs.items():
        base, other, ratio = race(values, arg, opts.rounds)
        print(f"{name:44} {base * 1e3:9.2f} {other * 1e3:9.2f} {ratio:6.2f}")


if __name__ == "__main__":
    main()
