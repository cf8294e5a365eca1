"""Time to draw a 750-bar signals figure with three signal bands and render
it to PNG (target: under a second once matplotlib's font cache exists), and
the time of `import zjkit` with and without zjkit.plot in the package (it must
not change: importing zjkit does not import matplotlib).

Chart timings are wall time and CPU time of this process (a busy machine
inflates the first only), best and median of --repeat runs after one warm-up
run (which builds the font cache and loads the CJK font); import timings are
the best of --imports fresh interpreters.

    PYTHONPATH=python python bench/bench_plot.py [--repeat 7] [--imports 15]
"""

from __future__ import annotations

import argparse
import io
import os
import statistics
import subprocess
import sys
import time

from zjkit.sample import daily_bars

SIGNALS = [
    {"name": "zj_wavetrend_zone_V260724", "freq": "日线", "params": {"n1": "10", "n2": "21", "n3": "4"}},
    {"name": "zj_ttm_squeeze_V260711", "freq": "日线"},
    {"name": "zj_osc_state_V260721", "freq": "日线"},
]


def render(plot, bars, clock=time.perf_counter) -> tuple[float, float]:
    """(seconds to build the figure, seconds to render it to PNG)."""
    t0 = clock()
    fig = plot.signals(bars, SIGNALS)
    t1 = clock()
    fig.savefig(io.BytesIO(), format="png")
    return t1 - t0, clock() - t1


def import_time(code: str, runs: int) -> float:
    best = float("inf")
    for _ in range(runs):
        t0 = time.perf_counter()
        subprocess.run([sys.executable, "-c", code], check=True, env=os.environ)
        best = min(best, time.perf_counter() - t0)
    return best


def main() -> None:
    ap = argparse.ArgumentParser()
    ap.add_argument("--repeat", type=int, default=7)
    ap.add_argument("--imports", type=int, default=15)
    args = ap.parse_args()

    empty = import_time("pass", args.imports)
    bare = import_time("import zjkit, sys; assert 'matplotlib' not in sys.modules", args.imports)
    print(f"import zjkit: {1000 * (bare - empty):.1f} ms over a bare interpreter "
          f"({1000 * empty:.1f} ms), matplotlib not imported")

    # The dispatch line on standard error is not part of the chart.
    devnull = os.open(os.devnull, os.O_WRONLY)
    saved = os.dup(2)
    os.dup2(devnull, 2)
    try:
        t0 = time.perf_counter()
        from zjkit import plot
        loaded = time.perf_counter() - t0
        bars = daily_bars(n=750, seed=7)
        first = render(plot, bars)
        runs = {"wall": [render(plot, bars) for _ in range(args.repeat)],
                "CPU": [render(plot, bars, time.process_time) for _ in range(args.repeat)]}
    finally:
        os.dup2(saved, 2)
    print(f"import zjkit.plot (matplotlib included): {loaded:.2f} s")
    print(f"first signals figure (font cache, CJK font): {sum(first):.2f} s")
    for clock, times in runs.items():
        totals = [a + b for a, b in times]
        print(f"signals, 750 bars, 3 bands, to PNG, {clock} time: best {min(totals):.3f} s, median "
              f"{statistics.median(totals):.3f} s (build {statistics.median(a for a, _ in times):.3f} s, "
              f"render {statistics.median(b for _, b in times):.3f} s)")


if __name__ == "__main__":
    main()
