"""zjkit.market.run end to end: one market day of tapes from one Parquet file to
a result file, daily bars of a market as hive partitions, and the same run on
a Dask LocalCluster against the local run.

Data are synthetic (numpy, fixed seed): 2,000 symbols x 5,000 trades in one
long Parquet file clustered by symbol (10^7 rows), and 2,000 symbols x 1,000
daily bars, one hive partition per symbol. Commands whose frame function is
not in this build are reported as skipped; the runner's own cost is measured
with a trivial frame function (rows and last price per symbol, in pyarrow),
so that reading, batching, spooling and writing are timed whatever exists.

Every run is a fresh child process, so that its peak RSS is its own.

    python bench/bench_market.py [--symbols 2000] [--trades 5000] [--bars 1000] [--repeat 3] [--no-dask]
"""

from __future__ import annotations

import argparse
import json
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent


def trivial(table, *, symbol=None, columns=None, workers=None, errors="raise", days=None, **_):
    """Rows and last price per symbol: the runner's overhead with next to no compute."""
    import pyarrow as pa

    price = "price" if "price" in table.column_names else "close"
    grouped = table.group_by(symbol, use_threads=False).aggregate([(price, "count"), (price, "last")])
    result = grouped.rename_columns(["rows", "last", "symbol"]).select(["symbol", "rows", "last"])
    result = result.sort_by("symbol")
    empty = pa.table({"symbol": pa.array([], pa.string()), "error": pa.array([], pa.string())})
    return (result, empty) if errors == "collect" else result


def make_tape(path: Path, symbols: int, trades: int) -> None:
    import numpy as np
    import pyarrow as pa
    import pyarrow.parquet as pq

    from zjkit.sample.market import codes

    rng = np.random.default_rng(7)
    names = sorted(codes(symbols))  # exported ordered by code
    seconds = np.concatenate([np.arange(34200, 41400), np.arange(46800, 53820)])
    writer = None
    day_rows = []
    for k, name in enumerate(names):
        pre_close = round(float(rng.uniform(3, 80)), 2)
        t = np.sort(rng.choice(seconds, trades))
        steps = rng.choice([-0.01, 0.0, 0.01], trades, p=[0.3, 0.4, 0.3])
        price = np.round(np.clip(pre_close + np.cumsum(steps), pre_close * 0.9, pre_close * 1.1), 2)
        table = pa.table({
            "symbol": pa.array([name] * trades, pa.string()),
            "time": pa.array(t.astype("int32"), pa.int32()).cast(pa.time32("s")),
            "price": price,
            "vol": (rng.lognormal(2.5, 1.1, trades).astype("int64") + 1) * 100,
            "trade_count": rng.integers(1, 4, trades),
            "bs_flag": rng.choice(np.array([0, 1, 2], dtype="int64"), trades, p=[0.48, 0.48, 0.04]),
        })
        if writer is None:
            writer = pq.ParquetWriter(path / "tape.parquet", table.schema)
        writer.write_table(table)
        day_rows.append({"symbol": name, "pre_close": pre_close, "high": float(price.max()),
                         "low": float(price.min())})
    writer.close()
    pq.write_table(pa.Table.from_pylist(day_rows), path / "days.parquet")


def make_bars(path: Path, symbols: int, bars: int) -> None:
    import numpy as np
    import pyarrow as pa
    import pyarrow.parquet as pq

    from zjkit.sample.market import codes

    rng = np.random.default_rng(11)
    dt = pa.array(np.arange(np.datetime64("2020-01-02"), np.datetime64("2020-01-02") + bars))
    for name in codes(symbols):
        close = np.round(20 * np.exp(np.cumsum(rng.normal(0, 0.02, bars))), 2)
        spread = np.abs(rng.normal(0, 0.01, bars)) * close
        table = pa.table({"dt": dt, "open": np.round(close * (1 + rng.normal(0, 0.005, bars)), 2),
                          "high": np.round(close + spread, 2), "low": np.round(close - spread, 2),
                          "close": close, "vol": (rng.lognormal(10, 0.4, bars).astype("int64")) * 100.0,
                          "amount": close * 1e6})
        folder = path / "bars" / f"symbol={name}"
        folder.mkdir(parents=True)
        pq.write_table(table, folder / "part-0.parquet")


def child(job: dict) -> dict:
    """One measured run in this process."""
    import resource

    import pyarrow.parquet as pq

    sys.path.insert(0, str(HERE))
    import zjkit.market
    from zjkit.market import COMMANDS, Command

    COMMANDS["trivial"] = Command("trivial", "bench_market:trivial", "bench",
                                  COMMANDS["auctions"].options)  # days optional
    base = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    t0 = time.perf_counter()
    if job["what"] == "read":
        table = pq.read_table(job["data"])
        out = {"arrow_mb": table.nbytes / 2**20}
    elif job["what"] == "frame":
        import zjkit.frame

        table = pq.read_table(job["data"])
        days = pq.read_table(job["days"]) if job.get("days") else None
        t0 = time.perf_counter()
        fn = getattr(zjkit.frame, job["command"])
        fn(table, days, workers=job["workers"]) if days is not None else fn(table, workers=job["workers"])
        out = {}
    elif job["what"] == "dict":
        import zjkit._native as native

        table = pq.read_table(job["data"])
        days = {r["symbol"]: r for r in pq.read_table(job["days"]).to_pylist()}
        t0 = time.perf_counter()
        n = 0
        for sym, part in table.to_pandas().groupby("symbol", sort=True):
            if n == job["limit"]:
                break
            records = part.drop(columns="symbol").to_dict("records")
            d = days[sym]
            native.trans_analysis(records, d["pre_close"], d["high"], d["low"])
            native.screening_metrics(records)
            n += 1
        out = {"symbols": n}
    else:
        options = job.get("options", {})
        if job.get("dask"):
            from distributed import Client, LocalCluster

            os.environ["PYTHONPATH"] = os.pathsep.join([str(HERE), os.environ.get("PYTHONPATH", "")])
            with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                              dashboard_address=None) as cluster, Client(cluster) as client:
                client.run(lambda: None)  # workers up before the clock starts
                t0 = time.perf_counter()
                zjkit.market.run(job["command"], job["data"], job["out"], workers=1, dask=client,
                                 progress=False, **options)
                out = {"seconds": time.perf_counter() - t0}
                return {**out, "rss_mb": None}
        zjkit.market.run(job["command"], job["data"], job["out"], workers=job.get("workers"),
                         progress=False, **options)
        out = {}
    out["seconds"] = time.perf_counter() - t0
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    out["rss_mb"] = peak / 1024
    out["rss_growth_mb"] = (peak - base) / 1024
    return out


REPEAT = 3
SIGNALS = ["zj_vol_ratio_V260721", "zj_wavetrend_zone_V260724"]
_options = {"repeat": REPEAT}


def measure(job: dict) -> dict:
    """The fastest of a few fresh processes (the machine is shared: the fastest is the least disturbed)."""
    best: dict = {}
    for _ in range(_options["repeat"]):
        done = subprocess.run([sys.executable, __file__, "--child", json.dumps(job)], capture_output=True,
                              text=True)
        if done.returncode != 0:
            return {"failed": done.stderr.strip().splitlines()[-1] if done.stderr.strip() else done.returncode}
        r = json.loads(done.stdout.strip().splitlines()[-1])
        if not best or r["seconds"] < best["seconds"]:
            best = r
    return best


def show(label: str, r: dict) -> None:
    if "failed" in r:
        print(f"  {label:<44} failed: {r['failed']}")
        return
    rss = f"  peak RSS {r['rss_mb']:7.0f} MB" if r.get("rss_mb") else ""
    print(f"  {label:<44} {r['seconds']:8.2f} s{rss}")


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--child")
    parser.add_argument("--symbols", type=int, default=2000)
    parser.add_argument("--trades", type=int, default=5000)
    parser.add_argument("--bars", type=int, default=1000)
    parser.add_argument("--no-dask", action="store_true")
    parser.add_argument("--repeat", type=int, default=REPEAT)
    args = parser.parse_args()
    if args.child:
        print(json.dumps(child(json.loads(args.child))))
        return
    _options["repeat"] = args.repeat
    from zjkit.market import COMMANDS

    with tempfile.TemporaryDirectory(prefix="zjkit-bench-") as folder:
        root = Path(folder)
        t0 = time.perf_counter()
        make_tape(root, args.symbols, args.trades)
        make_bars(root, args.symbols, args.bars)
        print(f"data: {args.symbols} symbols x {args.trades} trades in one Parquet file "
              f"({(root / 'tape.parquet').stat().st_size / 2**20:.0f} MB), {args.symbols} x {args.bars} "
              f"daily bars in hive partitions; made in {time.perf_counter() - t0:.0f} s")
        tape, days, bars = str(root / "tape.parquet"), str(root / "days.parquet"), str(root / "bars")
        read = measure({"what": "read", "data": tape})
        print(f"\ntape day ({args.symbols * args.trades:,} rows, {read.get('arrow_mb', 0):.0f} MB as Arrow)")
        show("read the Parquet file", read)
        runs = [
            ("runner, trivial frame function, 1 worker", {"command": "trivial", "data": tape,
                                                          "workers": 1, "options": {"days": days}}),
        ]
        if COMMANDS["tape"].available():
            for w in (1, 2):
                show(f"frame.tape compute, {w} worker{'s' * (w > 1)}",
                     measure({"what": "frame", "command": "tape", "data": tape, "days": days, "workers": w}))
            runs += [(f"zjkit tape, {w} worker{'s' * (w > 1)}", {"command": "tape", "data": tape,
                                                                 "workers": w, "options": {"days": days}})
                     for w in (1, 2)]
            limit = min(200, args.symbols)
            r = measure({"what": "dict", "data": tape, "days": days, "limit": limit})
            if "failed" not in r:
                r["seconds"] *= args.symbols / limit
            show(f"dict path (to_dict + 2 calls), x{args.symbols / limit:.0f} of {limit}", r)
        else:
            print("  zjkit tape: skipped (zjkit.frame.tape is not in this build)")
        for label, job in runs:
            show(label, measure({"what": "run", "out": str(root / "out.parquet"), **job}))

        print(f"\ndaily bars in hive partitions ({args.symbols * args.bars:,} rows)")
        show("runner, trivial frame function, 1 worker",
             measure({"what": "run", "command": "trivial", "data": bars, "workers": 1,
                      "out": str(root / "bars-out.parquet")}))
        if COMMANDS["signals"].available():
            for w in (1, 2):
                show(f"zjkit signals (2 signals), {w} worker{'s' * (w > 1)}",
                     measure({"what": "run", "command": "signals", "data": bars, "workers": w,
                              "out": str(root / "signals.parquet"),
                              "options": {"signal": SIGNALS}}))
        else:
            print("  zjkit signals: skipped (zjkit.frame.signals is not in this build)")

        if args.no_dask:
            return
        try:
            import distributed  # noqa: F401
        except ImportError:
            print("\nDask: skipped (pip install 'zjkit[dask]')")
            return
        print("\nDask LocalCluster (2 worker processes x 1 thread) against the local run, 1 worker")
        tape_run = ("tape", tape, {"days": days}) if COMMANDS["tape"].available() else ("trivial", tape, {})
        bars_run = ("signals", bars, {"signal": SIGNALS}) if COMMANDS["signals"].available() else ("trivial", bars, {})
        for command, data, options in (tape_run, bars_run):
            for where in ("local", "Dask"):
                show(f"{command} over {Path(data).name}, {where}",
                     measure({"what": "run", "command": command, "data": data, "workers": 1,
                              "dask": where == "Dask", "out": str(root / "d.parquet"), "options": options}))

if __name__ == "__main__":
    main()
