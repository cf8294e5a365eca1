"""zjkit.frame.auctions and zjkit.frame.tape over a whole market.

(a) Auctions of 5,000 symbols x 200 snapshots in one pandas DataFrame: one
    frame.auctions call against grouping, to_dict("records") and 5,000 calls
    each of auction_scan and auction_false_sell.
(b) One market day of tapes, 2,000 symbols x 5,000 trades (10^7 rows) in one
    Parquet file: the read, the compute with workers=1 and workers=2, the
    frame path end to end (read, compute, write the result) against the dict
    path (read, to_dict per symbol, trans_analysis + screening_metrics), and
    the peak RSS of the frame path (in a fresh process) against the table's
    Arrow size.

    python bench/bench_frame_records.py               # both
    python bench/bench_frame_records.py --part a      # or b; --symbols/--rows to shrink
"""

from __future__ import annotations

import argparse
import os
import subprocess
import sys
import tempfile
import time

import numpy as np
import pandas as pd
import pyarrow as pa
import pyarrow.parquet as pq

import zjkit._native as native
from zjkit import frame


def best(fn, repeat, clock=time.perf_counter):
    times = []
    for _ in range(repeat):
        t0 = clock()
        fn()
        times.append(clock() - t0)
    return min(times)


def symbols_of(n):
    return np.array([f"{600000 + i:06d}" if i % 2 else f"{i:06d}" for i in range(n)], dtype=object)


# ---- (a) auctions --------------------------------------------------------------------


def auction_table(n_symbols, n_snaps, seed=3):
    """09:15:00 onwards every 3 s: prices wandering by ticks, matched volume
    growing, unmatched swinging between the sides."""
    rng = np.random.default_rng(seed)
    rows = n_symbols * n_snaps
    secs = 9 * 3600 + 15 * 60 + 3 * np.tile(np.arange(n_snaps), n_symbols)
    times = np.array([f"{s // 3600:02d}:{s // 60 % 60:02d}:{s % 60:02d}" for s in range(86400)],
                     dtype=object)[secs]
    steps = rng.integers(-2, 3, size=(n_symbols, n_snaps)).cumsum(axis=1) * 0.01
    price = (10.0 + rng.uniform(-1, 1, size=(n_symbols, 1)) + steps).round(2).ravel()
    matched = rng.integers(0, 400, size=(n_symbols, n_snaps)).cumsum(axis=1).ravel()
    unmatched = rng.integers(-3000, 3000, size=rows)
    return pd.DataFrame({
        "symbol": np.repeat(symbols_of(n_symbols), n_snaps),
        "time": times,
        "price": price,
        "matched": matched.astype(np.int64),
        "unmatched": unmatched.astype(np.int64),
    })


def auctions_dict_path(df):
    out = []
    for _, g in df.groupby("symbol", sort=True):
        records = g.drop(columns="symbol").to_dict("records")
        out.append((native.auction_scan(records), native.auction_false_sell(records)))
    return out


def part_a(symbols, snaps, repeat):
    df = auction_table(symbols, snaps)
    print(f"(a) auctions: {symbols:,} symbols x {snaps} snapshots in one pandas DataFrame")
    frame_s = best(lambda: frame.auctions(df), repeat)
    dict_s = best(lambda: auctions_dict_path(df), 1)
    print(f"  frame.auctions: {frame_s:7.3f} s (workers = cores)")
    print(f"  dict path:      {dict_s:7.3f} s"
          " (groupby, to_dict, auction_scan + auction_false_sell)")
    print(f"  speed-up: {dict_s / frame_s:.1f}x (target >= 5x)")


# ---- (b) tapes ---------------------------------------------------------------------------


def tape_file(path, n_symbols, n_trades, seed=5):
    """A day's trades of every symbol, time-sorted within each, as a Parquet
    file: symbol, time (time32[s]), price, vol (shares), trade_count, bs_flag."""
    rng = np.random.default_rng(seed)
    sessions = np.concatenate([np.arange(34200, 41400), np.arange(46800, 54000)])
    writer = None
    chunk = max(1, 200_000 // n_trades)
    days = {"symbol": [], "pre_close": [], "high": [], "low": []}
    for start in range(0, n_symbols, chunk):
        k = min(chunk, n_symbols - start)
        secs = np.sort(rng.choice(sessions, size=(k, n_trades)), axis=1).astype(np.int32)
        pre = rng.uniform(5, 50, size=(k, 1)).round(2)
        walk = (rng.normal(0, 0.0006, size=(k, n_trades)).cumsum(axis=1) + 1.0) * pre
        price = np.clip(walk, pre * 0.9, pre * 1.1).round(2)
        table = pa.table({
            "symbol": np.repeat(symbols_of(n_symbols)[start:start + k], n_trades),
            "time": pa.array(secs.ravel(), type=pa.time32("s")),
            "price": price.ravel(),
            "vol": (rng.geometric(0.05, size=k * n_trades) * 100).astype(np.int64),
            "trade_count": rng.integers(1, 40, size=k * n_trades).astype(np.int32),
            "bs_flag": rng.choice(np.array([0, 1, 2], dtype=np.int32), size=k * n_trades,
                                  p=[0.47, 0.47, 0.06]),
        })
        writer = writer or pq.ParquetWriter(path, table.schema)
        writer.write_table(table)
        days["symbol"].extend(symbols_of(n_symbols)[start:start + k])
        days["pre_close"].extend(pre.ravel())
        days["high"].extend(price.max(axis=1))
        days["low"].extend(price.min(axis=1))
    writer.close()
    return pd.DataFrame(days)


def tape_dict_path(path, days):
    by_symbol = days.set_index("symbol").to_dict("index")
    df = pq.read_table(path).to_pandas()
    out = []
    for symbol, g in df.groupby("symbol", sort=True):
        records = g.drop(columns="symbol").to_dict("records")
        d = by_symbol[symbol]
        out.append((native.trans_analysis(records, d["pre_close"], d["high"], d["low"]),
                    native.screening_metrics(records)))
    return out


def tape_frame_path(path, days, out_path, workers=None):
    table = pq.read_table(path)
    result = frame.tape(table, days, workers=workers)
    pq.write_table(result, out_path)


def rss_mb(key):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(key):
                return int(line.split()[1]) / 1024
    return float("nan")


def rss_child(path, days_path):
    days = pd.read_parquet(days_path)
    base = rss_mb("VmRSS")
    table = pq.read_table(path)
    frame.tape(table, days, workers=2)
    print(f"{rss_mb('VmHWM') - base:.1f} {table.nbytes / 2**20:.1f}")


def part_b(symbols, trades, repeat):
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "tapes.parquet")
        days = tape_file(path, symbols, trades)
        days_path = os.path.join(tmp, "days.parquet")
        days.to_parquet(days_path)
        out_path = os.path.join(tmp, "result.parquet")
        print(f"(b) tapes: {symbols:,} symbols x {trades:,} trades = {symbols * trades:,} rows,"
              f" one Parquet file of {os.path.getsize(path) / 2**20:.0f} MB")
        read_s = best(lambda: pq.read_table(path), repeat)
        table = pq.read_table(path)
        print(f"  read (pyarrow.parquet.read_table): {read_s:7.3f} s,"
              f" {table.nbytes / 2**20:.0f} MB in Arrow")
        compute = {}
        for workers in (1, 2):
            compute[workers] = best(lambda: frame.tape(table, days, workers=workers), repeat)
            print(f"  compute frame.tape workers={workers}: {compute[workers]:7.3f} s")
        cpu = best(lambda: frame.tape(table, days, workers=1), repeat, time.process_time)
        print(f"  compute frame.tape workers=1, CPU time: {cpu:7.3f} s (steadier on a loaded machine)")
        print(f"  compute speed-up with 2 workers: {compute[1] / compute[2]:.2f}x (target >= 1.7x;"
              f" load average {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores)")
        del table
        frame_s = best(lambda: tape_frame_path(path, days, out_path), repeat)
        dict_s = best(lambda: tape_dict_path(path, days), 1)
        print(f"  end to end, frame path (read, frame.tape, write Parquet): {frame_s:7.3f} s")
        print(f"  end to end, dict path (read, to_dict per symbol, two calls): {dict_s:7.3f} s")
        print(f"  speed-up: {dict_s / frame_s:.1f}x (target >= 10x)")
        cmd = [sys.executable, __file__, "--child", path, days_path]
        growth, arrow = map(float, subprocess.check_output(cmd, text=True).split())
        print(f"  peak RSS growth (read + frame.tape, fresh process): {growth:.0f} MB ="
              f" {growth / arrow:.2f}x the Arrow size {arrow:.0f} MB (target within 1.5x)")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--part", choices=["a", "b"])
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("--symbols", type=int)
    ap.add_argument("--rows", type=int, help="snapshots (a) or trades (b) per symbol")
    ap.add_argument("--child", nargs=2)
    args = ap.parse_args()
    if args.child:
        rss_child(*args.child)
        return
    if args.part in (None, "a"):
        part_a(args.symbols or 5000, args.rows or 200, args.repeat)
    if args.part in (None, "b"):
        part_b(args.symbols or 2000, args.rows or 5000, args.repeat)


if __name__ == "__main__":
    main()
