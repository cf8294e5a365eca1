"""trans_analysis, trans_breakout and screening_metrics on day tapes of 10,000
and 100,000 trades, against the pure-Python floor of reading the keys of every
record once.

Tapes: realistic sample days (zjkit.sample.day_tape) and an adversarial day of
the same size and timing whose first half are all buys and second half all
sells at one price and one volume (every trade has hundreds of same-side
neighbours for the matched-pair search to pass over).

    python bench/bench_transaction.py
"""

from __future__ import annotations

import statistics
import time

import zjkit._native as native
from zjkit.sample import day_range, day_tape

SIZES = (10_000, 100_000)


def adversarial(n: int) -> list[dict]:
    times = [t["time"] for t in day_tape(n=n, seed=1)]
    return [{"time": t, "price": 10.0, "vol": 1000, "trade_count": 1, "bs_flag": 0 if k < n // 2 else 1}
            for k, t in enumerate(times)]


def floor5(tape: list[dict]) -> None:
    for r in tape:
        r["time"]; r["price"]; r["vol"]; r["trade_count"]; r["bs_flag"]  # noqa: B018


def floor4(tape: list[dict]) -> None:
    for r in tape:
        r["time"]; r["price"]; r["vol"]; r["trade_count"]  # noqa: B018


def timed(fns, repeat: int) -> list[float]:
    """Median CPU time of the process per call of each function. The functions
    take turns, so a change of load on a shared machine hits them alike; CPU
    time is the same measure for ours and the floor (one thread, no I/O)."""
    samples: list[list[float]] = [[] for _ in fns]
    for _ in range(repeat):
        for fn, out in zip(fns, samples):
            t0 = time.process_time()
            fn()
            out.append(time.process_time() - t0)
    return [statistics.median(s) for s in samples]


def main() -> None:
    tapes = {}
    for n in SIZES:
        tapes[("realistic", n)] = day_tape(n=n, seed=7)
        tapes[("adversarial", n)] = adversarial(n)

    functions = {
        "trans_analysis": (lambda tape, hi, lo: native.trans_analysis(tape, 10.0, hi, lo), floor5),
        "trans_breakout": (lambda tape, hi, lo: native.trans_breakout(tape, (hi + lo) / 2), floor5),
        "screening_metrics": (lambda tape, hi, lo: native.screening_metrics(tape), floor4),
    }
    for name, (call, floor) in functions.items():
        print(f"\n{name}")
        print(f"  {'tape':<12} {'trades':>8} {'ours ms':>9} {'floor ms':>9} {'ours/floor':>10}")
        per_size: dict[str, dict[int, float]] = {}
        for (kind, n), tape in tapes.items():
            hi, lo = day_range(tape)
            repeat = 41 if n <= 10_000 else 11
            ours, base = timed([lambda: call(tape, hi, lo), lambda: floor(tape)], repeat)
            per_size.setdefault(kind, {})[n] = ours
            print(f"  {kind:<12} {n:>8,} {ours * 1e3:>9.2f} {base * 1e3:>9.2f} {ours / base:>10.2f}")
        for kind, by_n in per_size.items():
            print(f"  {kind}: 100,000 / 10,000 = {by_n[100_000] / by_n[10_000]:.1f}x")


if __name__ == "__main__":
    main()
