"""generate_zj_signals with both WaveTrend signals over 10,000 bars, against
the pure-Python floor of moving the same data, and the import time of the
native module.

    python bench/bench_dispatch.py
"""

from __future__ import annotations

import os
import statistics
import subprocess
import sys
import time

import zjkit._native as native
from zjkit.sample import daily_bars

CONFIGS = [{"name": "zj_wavetrend_V260625", "freq": "日线"}, {"name": "zj_wavetrend_zone_V260724", "freq": "日线"}]
KEYS = ("open", "high", "low", "close", "vol", "amount")


def floor(bars: list[dict], names: list[str], freq: str, labels: tuple[str, str, str]) -> list[dict]:
    """Read the six numbers of every bar, then build as many five-key dicts."""
    for b in bars:
        b["open"]; b["high"]; b["low"]; b["close"]; b["vol"]; b["amount"]  # noqa: B018
    v1, v2, v3 = labels
    return [{"name": n, "freq": freq, "v1": v1, "v2": v2, "v3": v3} for n in names for _ in bars]


def alternate(a, b, rounds: int = 21) -> tuple[float, float]:
    """Median time of a and of b, run in turn so both see the same machine."""
    ta, tb = [], []
    for _ in range(rounds):
        for fn, out in ((a, ta), (b, tb)):
            t0 = time.perf_counter()
            fn()
            out.append(time.perf_counter() - t0)
    return statistics.median(ta), statistics.median(tb)


def main() -> None:
    bars = daily_bars(n=10_000, seed=3)
    devnull = os.open(os.devnull, os.O_WRONLY)
    saved = os.dup(2)
    os.dup2(devnull, 2)  # the per-call diagnostic line is not what we time
    names = [c["name"] for c in CONFIGS]
    try:
        ours, base = alternate(lambda: native.generate_zj_signals(CONFIGS, bars),
                               lambda: floor(bars, names, "日线", ("弱多", "多头", "增大")))
    finally:
        os.dup2(saved, 2)
    print(f"generate_zj_signals, 2 WaveTrend signals x 10,000 bars: {ours * 1e6:9.0f} us/call")
    print(f"pure-Python floor (read 6 fields, build 20,000 dicts):  {base * 1e6:9.0f} us/call")
    print(f"ratio ours/floor: {ours / base:.2f}")
    code = "import time; t=time.perf_counter(); import zjkit._native; print(time.perf_counter()-t)"
    imports = [float(subprocess.check_output([sys.executable, "-c", code])) for _ in range(7)]
    print(f"import zjkit._native: {statistics.median(imports) * 1e3:.2f} ms (median of 7 fresh interpreters)")


if __name__ == "__main__":
    main()
