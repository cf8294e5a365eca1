"""A market panel through zjkit.frame.signals."""

from __future__ import annotations

from typing import TextIO

TITLE = "frame.signals: a panel of five symbols in one long DataFrame"

SYMBOLS = ["600519.SH", "000001.SZ", "300750.SZ", "601318.SH", "002594.SZ"]
SIGNALS = [
    {"name": "zj_ttm_squeeze_V260711", "freq": "日线"},
    {"name": "zj_dmi_state_V260714", "freq": "日线", "params": {"n1": 14, "n2": 6}},
    {"name": "zj_vol_ratio_V260721", "freq": "日线", "params": {"n": 20}},
]


def run(seed: int, out: TextIO) -> None:
    import pandas as pd

    from zjkit import frame
    from zjkit.sample import daily_bars

    rows = [bar for i, s in enumerate(SYMBOLS)
            for bar in daily_bars(n=250, seed=seed + i, symbol=s)]
    bars = pd.DataFrame(rows).iloc[::-1]  # newest first, as tushare returns it: ordered inside
    print(f"input: {len(bars)} rows, columns {', '.join(bars.columns)}", file=out)
    wide = frame.signals(bars, SIGNALS)
    newest = wide.groupby("symbol", observed=True, sort=False).tail(1)
    options = ("display.width", 200, "display.max_columns", 10, "display.max_colwidth", 40)
    with pd.option_context(*options):
        print("\nnewest bar of each symbol (wide layout):", file=out)
        print(newest.to_string(index=False), file=out)
    long = frame.signals(bars, SIGNALS, layout="long")
    counts = long[long["signal"] == SIGNALS[0]["name"]].groupby("v3", observed=True).size()
    print(f"\nlong layout: {len(long)} records; TTM squeeze states over the panel: "
          + ", ".join(f"{k} {v}" for k, v in counts.items()), file=out)
