"""A small market on disk: every kind of file the ``zjkit`` commands read.

``market(path)`` writes, as Parquet, for a few hundred symbols:

- ``bars/symbol=<code>/bars.parquet``: daily bars over a few years, one hive
  partition per symbol (dt, open, high, low, close, vol, amount);
- for the trading day after the last bar, one long table each, ordered by
  symbol: ``tape.parquet`` (symbol, time, price, vol, trade_count, bs_flag),
  ``minutes.parquet`` (symbol, time, price, avg, vol, momentum),
  ``auctions.parquet`` (symbol, time, price, matched, unmatched) and
  ``strokes.parquet`` (symbol, direction, high, low, sdt, edt);
- ``days.parquet``: one row per symbol for that day: date, pre_close, high and
  low (of the tape), open_price, limit_up, limit_down.

Everything is made by the generators of ``zjkit.sample`` and is deterministic
for a seed.
"""

from __future__ import annotations

import datetime as _dt
import random
from pathlib import Path

__all__ = ["codes", "market"]

# Boards as (code prefix, exchange suffix): Shenzhen main and ChiNext, Shanghai main and STAR.
_BOARDS = (("000", "SZ"), ("300", "SZ"), ("600", "SH"), ("688", "SH"))


def codes(count: int) -> list[str]:
    """``count`` distinct codes such as "000001.SZ", spread over the four boards."""
    return [f"{_BOARDS[k % 4][0]}{k // 4 + 1:03d}.{_BOARDS[k % 4][1]}" for k in range(count)]


def _seconds(text: str) -> _dt.time:
    return _dt.time.fromisoformat(text)


def _scaled_auction(kind: str, scale: float) -> tuple[list[dict], float]:
    from zjkit.sample.auctions import auction

    sample = auction(kind)  # drawn around a previous close of 10.00
    rows = [{"time": s["time"], "price": round(s["price"] * scale, 2), "matched": s["matched"],
             "unmatched": s["unmatched"]} for s in sample["data"]]
    return rows, rows[-1]["price"]


def market(path: str | Path, symbols: int = 200, days: int = 500, trades: int = 1000, seed: int = 7) -> dict:
    """Write the sample market under ``path`` (created if needed); returns the paths written by kind.

    ``symbols`` is the number of symbols, ``days`` the number of daily bars
    per symbol, ``trades`` the length of each symbol's tape.
    """
    import pyarrow as pa
    import pyarrow.parquet as pq

    from zjkit.sample.auctions import AUCTION_KINDS
    from zjkit.sample.bars import _trading_days, daily_bars
    from zjkit.sample.minute import MINUTE_PATTERNS, minute_chart
    from zjkit.sample.strokes import strokes
    from zjkit.sample.tapes import SCENARIOS, day_range, day_tape

    if symbols < 1 or days < 2 or trades < 10:
        raise ValueError("symbols must be at least 1, days at least 2 and trades at least 10")
    root = Path(path)
    root.mkdir(parents=True, exist_ok=True)
    rng = random.Random(seed)
    names = sorted(codes(symbols))
    bar_columns = ("dt", "open", "high", "low", "close", "vol", "amount")
    tape, minutes, snapshots, bis = [], [], [], []
    day_rows = []
    day = None
    for k, code in enumerate(names):
        bars = daily_bars(n=days, seed=seed * 1000 + k, symbol=code, start_price=round(rng.uniform(3.0, 80.0), 2))
        folder = root / "bars" / f"symbol={code}"
        folder.mkdir(parents=True, exist_ok=True)
        table = pa.table({c: [b[c] for b in bars] for c in bar_columns})
        table = table.set_column(0, "dt", pa.array([_dt.date.fromisoformat(b["dt"]) for b in bars], pa.date32()))
        pq.write_table(table, folder / "bars.parquet")

        pre_close = bars[-1]["close"]
        if day is None:
            day = _trading_days(_dt.date.fromisoformat(bars[-1]["dt"]) + _dt.timedelta(days=1), 1)[0]
        day_tape_rows = day_tape(n=trades, seed=seed * 1000 + k, pre_close=pre_close,
                                 scenario=SCENARIOS[k % len(SCENARIOS)])
        tape.extend({"symbol": code, **t} for t in day_tape_rows)
        minutes.extend({"symbol": code, **p} for p in minute_chart(MINUTE_PATTERNS[k % 3], seed + k, pre_close))
        auction_rows, open_price = _scaled_auction(AUCTION_KINDS[k % len(AUCTION_KINDS)], pre_close / 10.0)
        snapshots.extend({"symbol": code, **s} for s in auction_rows)
        for bi in strokes(n=24, seed=seed * 1000 + k, start=f"{day.isoformat()} 01:30:00", minutes=10):
            bis.append({"symbol": code, "direction": bi["direction"], "high": round(bi["high"] * pre_close / 10, 2),
                        "low": round(bi["low"] * pre_close / 10, 2),
                        "sdt": _dt.datetime.fromisoformat(bi["sdt"]), "edt": _dt.datetime.fromisoformat(bi["edt"])})
        high, low = day_range(day_tape_rows)
        day_rows.append({"symbol": code, "date": day, "pre_close": pre_close, "high": high, "low": low,
                         "open_price": open_price, "limit_up": round(pre_close * 1.1 + 1e-9, 2),
                         "limit_down": round(pre_close * 0.9 + 1e-9, 2)})

    def write(name: str, rows: list[dict], times: tuple[str, ...] = ()) -> Path:
        columns = {c: [r[c] for r in rows] for c in rows[0]}
        for c in times:
            columns[c] = pa.array([_seconds(v) for v in columns[c]], pa.time32("s"))
        target = root / f"{name}.parquet"
        pq.write_table(pa.table(columns), target)
        return target

    return {
        "bars": root / "bars",
        "tape": write("tape", tape, ("time",)),
        "minutes": write("minutes", minutes, ("time",)),
        "auctions": write("auctions", snapshots, ("time",)),
        "strokes": write("strokes", bis),
        "days": write("days", day_rows),
    }
