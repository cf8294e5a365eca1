"""Built-in signals as a table, and mixed with czsc's own signals when czsc is installed."""

from __future__ import annotations

import contextlib
import datetime
import importlib.util
import io
from typing import TextIO

from zjkit import _native
from zjkit.sample import daily_bars

TITLE = "generate_all_signals: built-in and czsc signals in one table"

BUILTIN = [
    {"name": "zj_wavetrend_V260625", "freq": "日线", "n1": 10, "n2": 21, "n3": 4},
    {"name": "zj_wavetrend_zone_V260724", "freq": "日线", "n1": 10, "n2": 21, "n3": 4},
    # One reading, of the newest bar: it fills the last row; the rows above read 其他_任意_任意_0.
    {"name": "zj_ic_state_V260718", "freq": "日线"},
]
CZSC = [
    {"name": "czsc.signals.cxt_bi_base_V230228", "freq": "日线", "bi_init_length": 9},
    {"name": "czsc.signals.tas_ma_base_V221101", "freq": "日线", "di": 1, "ma_type": "SMA", "timeperiod": 5},
]


def _show(rows: list[dict], columns: list[str], out: TextIO) -> None:
    for row in rows:
        print(f"  {row['dt']}  close {row['close']:.2f}", file=out)
        for c in columns:
            print(f"    {c:<40} {row[c]}", file=out)


def run(seed: int, out: TextIO) -> None:
    bars = daily_bars(n=750, seed=seed)
    records = _native.generate_all_signals(bars, BUILTIN, init_n=100)
    columns = [c for c in records[0] if c not in ("dt", "close")]
    print(f"built-in only, {len(records)} rows of dt, close and {len(columns)} signal columns; last 3 rows:",
          file=out)
    _show(records[-3:], columns, out)

    if importlib.util.find_spec("czsc") is None:
        print("\nczsc is not installed: `pip install zjkit[czsc]` adds a mixed run here.", file=out)
        return
    quiet = io.StringIO()
    with contextlib.redirect_stdout(quiet), contextlib.redirect_stderr(quiet):  # czsc's banner and progress bar
        from czsc import Freq, RawBar
        raw = [RawBar(symbol=b["symbol"], id=i, dt=datetime.datetime.fromisoformat(b["dt"]), freq=Freq.D,
                      open=b["open"], close=b["close"], high=b["high"], low=b["low"], vol=b["vol"],
                      amount=b["amount"]) for i, b in enumerate(bars)]
        table = _native.generate_all_signals(raw, CZSC + BUILTIN, init_n=500, df=True)
    signal_columns = [c for c in table.columns if "_D" in c]
    print(f"\nmixed with czsc over RawBar objects: {len(table)} rows (the bars after init_n=500); last 3 rows:",
          file=out)
    rows = table.tail(3).to_dict("records")
    for row in rows:
        row["dt"] = f"{row['dt']:%Y-%m-%d}"
    _show(rows, signal_columns, out)
