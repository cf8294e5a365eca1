"""Instruction counts (valgrind's callgrind) of every function that reads
records, per call, for comparing two builds on a loaded machine where wall
time is too noisy. Each case runs twice under callgrind, once only setting up
its input and once calling the function 5 more times; the difference / 5 is
the count of one call. PYTHONHASHSEED is fixed so that both builds hash alike.

    python bench/bench_readers_icount.py BUILD_A_DIR [BUILD_B_DIR ...] [--cases zj,tb]

Each BUILD_DIR holds a `zjkit` package with its extensions (e.g. `python`).
"""

from __future__ import annotations

import argparse
import os
import re
import subprocess
import sys
import tempfile

CASES = ("zj", "wave", "ga", "ta_", "tb", "sm", "tick", "scan", "fs", "zs", "tasma")
REPEAT = 5


def case(name: str):
    import zjkit._native as native
    from zjkit import ta
    from zjkit.sample import daily_bars, day_range, day_tape, minute_charts, strokes
    from zjkit.sample.auctions import AUCTION_KINDS, auction

    if name in ("zj", "wave", "ga"):
        import pandas  # noqa: F401 - imported in the set-up run too

        bars = daily_bars(n=5000)
        vol = [{"name": "zj_vol_ratio_V260721"}]
        wave = [{"name": "zj_wavetrend_V260625", "freq": "日线"}]
        os.dup2(os.open(os.devnull, os.O_WRONLY), 2)  # the dispatcher's log line
        return {"zj": lambda: native.generate_zj_signals(vol, bars),
                "wave": lambda: native.generate_zj_signals(wave, bars),
                "ga": lambda: native.generate_all_signals(bars, vol)}[name]
    if name in ("ta_", "tb", "sm"):
        tape = day_tape(n=20000)
        hi, lo = day_range(tape)
        return {"ta_": lambda: native.trans_analysis(tape, 10.0, hi, lo),
                "tb": lambda: native.trans_breakout(tape, 10.2),
                "sm": lambda: native.screening_metrics(tape)}[name]
    if name == "tick":
        charts = minute_charts(100, seed=3)
        return lambda: [native.tick_analysis(c, pc) for pc, c in charts]
    if name in ("scan", "fs"):
        days = [auction(AUCTION_KINDS[k % len(AUCTION_KINDS)]) for k in range(100)]
        if name == "scan":
            return lambda: [native.auction_scan(a["data"], pre_close=a["pre_close"]) for a in days]
        return lambda: [native.auction_false_sell(a["data"]) for a in days]
    if name == "zs":
        bis = strokes(3000)
        return lambda: native.get_zs_seq(bis)
    xs = [float(i % 97) for i in range(100000)]
    return lambda: ta.sma(xs, 10)


def worker(name: str, mode: str) -> None:
    fn = case(name)
    fn()  # warm
    if mode == "run":
        for _ in range(REPEAT):
            fn()


def collected(build: str, name: str, mode: str) -> int:
    env = dict(os.environ, PYTHONPATH=build, PYTHONHASHSEED="0")
    with tempfile.TemporaryDirectory() as tmp:
        cmd = ["valgrind", "--tool=callgrind", f"--callgrind-out-file={tmp}/out",
               sys.executable, __file__, "--worker", name, mode]
        proc = subprocess.run(cmd, env=env, capture_output=True, text=True)
    return int(re.search(r"Collected : (\d+)", proc.stderr).group(1))


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("builds", nargs="*")
    parser.add_argument("--cases", default=",".join(CASES))
    parser.add_argument("--worker", nargs=2)
    args = parser.parse_args()
    if args.worker:
        worker(*args.worker)
        return
    print("case " + " ".join(f"{b:>16}" for b in args.builds))
    for name in args.cases.split(","):
        counts = [(collected(b, name, "run") - collected(b, name, "setup")) // REPEAT for b in args.builds]
        change = f"  {counts[-1] / counts[0] - 1:+.1%}" if len(counts) > 1 else ""
        print(f"{name:5}" + " ".join(f"{c:>16,}" for c in counts) + change, flush=True)


if __name__ == "__main__":
    main()
